#include "MachineListModel.h"

#include "MachineDb.h"

#include <QSqlQuery>
#include <algorithm>

MachineListModel::MachineListModel(QObject *parent) : QAbstractTableModel(parent) {}

bool MachineListModel::fill(SqlMachineDb &db)
{
    beginResetModel();
    m_db = &db;
    m_rowids.clear();
    m_pages.clear();
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    const bool ok =
        db.isOpen() &&
        q.exec(
            QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(db.quoted(MachineTables::Distributori)));
    while (ok && q.next())
        m_rowids << q.value(0).toLongLong();
    m_pages.resize((m_rowids.size() + PageSize - 1) / PageSize);
    endResetModel();
    return ok;
}

void MachineListModel::clear()
{
    beginResetModel();
    m_db = nullptr;
    m_rowids.clear();
    m_pages.clear();
    endResetModel();
}

int MachineListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rowids.size());
}

int MachineListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const MachineListModel::Row &MachineListModel::row(int index) const
{
    QList<Row> &page = m_pages[index / PageSize];
    if (page.isEmpty()) {
        const qsizetype first = qsizetype(index / PageSize) * PageSize;
        const qsizetype count = std::min<qsizetype>(PageSize, m_rowids.size() - first);
        page.resize(count);
        QSqlQuery q(m_db->database());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT rowid, %1, %2, %3 FROM %4 WHERE rowid BETWEEN ? AND ?")
                      .arg(m_db->quoted(QStringLiteral("Description")),
                           m_db->quoted(QStringLiteral("GSM")),
                           m_db->quoted(QStringLiteral("Sale point")),
                           m_db->quoted(MachineTables::Distributori)));
        q.addBindValue(m_rowids[first]);
        q.addBindValue(m_rowids[first + count - 1]);
        // A record deleted since the fill keeps its row, empty.
        const auto begin = m_rowids.cbegin() + first;
        const auto end = begin + count;
        if (q.exec()) {
            while (q.next()) {
                const auto at = std::lower_bound(begin, end, q.value(0).toLongLong());
                if (at != end && *at == q.value(0).toLongLong())
                    page[at - begin] = {q.value(1).toString(), q.value(2).toString(),
                                        q.value(3).toString()};
            }
        }
    }
    return page[index % PageSize];
}

QVariant MachineListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowids.size() || index.column() >= ColumnCount ||
        role != Qt::DisplayRole)
        return {};
    const Row &r = row(index.row());
    if (index.column() == Description && m_online.contains(r[Gsm]))
        return r[Description] + OnlineMark;
    return r[index.column()];
}

QString MachineListModel::text(int r, Column column) const
{
    if (r < 0 || r >= m_rowids.size() || column < 0 || column >= ColumnCount)
        return {};
    return row(r)[column];
}

QVariant MachineListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const captions[ColumnCount] = {
        QT_TR_NOOP("Vending machine"), QT_TR_NOOP("Gsm number"), QT_TR_NOOP("Sale point")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return tr(captions[section]);
}

Qt::ItemFlags MachineListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

int MachineListModel::lastRowWithGsm(const QString &number) const
{
    if (!m_db || m_rowids.isEmpty())
        return -1;
    QSqlQuery q(m_db->database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid DESC")
                  .arg(m_db->quoted(MachineTables::Distributori), m_db->quoted(QStringLiteral("GSM"))));
    q.addBindValue(number);
    if (!q.exec())
        return -1;
    // The newest matching record that was listed; one added since the fill is not in the list.
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        const auto at = std::lower_bound(m_rowids.cbegin(), m_rowids.cend(), id);
        if (at != m_rowids.cend() && *at == id)
            return int(at - m_rowids.cbegin());
    }
    return -1;
}

void MachineListModel::setOnline(const QString &number, bool online)
{
    const bool was = m_online.contains(number);
    if (was == online)
        return;
    if (online)
        m_online.insert(number);
    else
        m_online.remove(number);
    // Only rows read so far can be on show; the others read the mark when they are first shown.
    for (qsizetype p = 0; p < m_pages.size(); ++p)
        for (qsizetype i = 0; i < m_pages[p].size(); ++i)
            if (m_pages[p][i][Gsm] == number) {
                const int r = int(p * PageSize + i);
                emit dataChanged(index(r, Description), index(r, Description));
            }
}
