#include "EventsModel.h"

#include "FieldNames.h"
#include "LikePattern.h"
#include "TableIo.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
// "dd/MM/yy hh:mm:ss" as "yyMMdd hh:mm:ss", which sorts by time.
const char *const WhenKey =
    "(substr(\"Data\", 7, 2) || substr(\"Data\", 4, 2) || substr(\"Data\", 1, 2) || "
    "substr(\"Data\", 9))";
const char *const DayKey =
    "(substr(\"Data\", 7, 2) || substr(\"Data\", 4, 2) || substr(\"Data\", 1, 2))";
} // namespace

EventsModel::EventsModel(SqlMachineDb &db, QObject *parent) : QSqlQueryModel(parent), m_db(db)
{
    refresh();
}

void EventsModel::setEventFilter(const Filter &filter)
{
    m_filter = filter;
    refresh();
}

void EventsModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn =
        column < 0 || column >= MachineTables::fields(MachineTables::Eventi).size() ? -1 : column;
    m_order = order;
    refresh();
}

QString EventsModel::statement(const QString &what, QVariantList &binds, bool ordered) const
{
    QStringList where;
    const auto like = [&](const QStringList &fields, const QString &text) {
        if (text.isEmpty())
            return;
        QStringList any;
        for (const QString &f : fields) {
            // lower() on both sides: PostgreSQL's LIKE minds the case, SQLite's does not.
            any << QStringLiteral("lower(%1) LIKE lower(?) ESCAPE '\\'").arg(m_db.quoted(f));
            binds << likePattern(text);
        }
        where << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    };
    like({QStringLiteral("Vending machine"), QStringLiteral("Number")}, m_filter.machine);
    like({QStringLiteral("Sale point")}, m_filter.salePoint);
    like({QStringLiteral("Operator")}, m_filter.operatorName);
    like(MachineTables::fields(MachineTables::Eventi), m_filter.search);
    if (m_filter.state != State::Any) {
        // Events filed before alarms waited have no mark: they read as acknowledged.
        where << QStringLiteral("COALESCE(%1, '') %2 '1'")
                     .arg(m_db.quoted(QStringLiteral("Pending")), m_filter.state == State::Pending
                                                                      ? QStringLiteral("=")
                                                                      : QStringLiteral("<>"));
    }
    if (m_filter.from.isValid()) {
        where << QString::fromLatin1(DayKey) + QStringLiteral(" >= ?");
        binds << m_filter.from.toString(QStringLiteral("yyMMdd"));
    }
    if (m_filter.to.isValid()) {
        where << QString::fromLatin1(DayKey) + QStringLiteral(" <= ?");
        binds << m_filter.to.toString(QStringLiteral("yyMMdd"));
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(what, m_db.quoted(MachineTables::Eventi));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    if (!ordered)
        return sql;
    const QString dir =
        m_order == Qt::DescendingOrder ? QStringLiteral(" DESC") : QStringLiteral(" ASC");
    const QStringList fields = MachineTables::fields(MachineTables::Eventi);
    if (m_sortColumn < 0)
        sql += QStringLiteral(" ORDER BY %1 DESC, rowid DESC").arg(QString::fromLatin1(WhenKey));
    else if (fields[m_sortColumn] == QLatin1String("Data"))
        sql += QStringLiteral(" ORDER BY %1%2, rowid%2").arg(QString::fromLatin1(WhenKey), dir);
    else
        // lower() rather than a collation: it means the same on SQLite and PostgreSQL.
        sql += QStringLiteral(" ORDER BY lower(%1)%2, rowid%2")
                   .arg(m_db.quoted(fields[m_sortColumn]), dir);
    return sql;
}

bool EventsModel::refresh()
{
    QStringList names;
    for (const QString &f : MachineTables::fields(MachineTables::Eventi))
        names << m_db.quoted(f);
    QVariantList binds;
    QSqlQuery q(m_db.database());
    q.prepare(statement(names.join(QStringLiteral(", ")), binds, true));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    const bool ok = m_db.isOpen() && q.exec();
    setQuery(std::move(q));
    return ok;
}

QVariant EventsModel::data(const QModelIndex &index, int role) const
{
    static const int acknowledged =
        int(MachineTables::fields(MachineTables::Eventi).indexOf(QStringLiteral("Acknowledged")));
    static const int pending =
        int(MachineTables::fields(MachineTables::Eventi).indexOf(QStringLiteral("Pending")));
    if (role == Qt::DisplayRole && index.column() == acknowledged &&
        QSqlQueryModel::data(index.siblingAtColumn(pending)).toString() == QLatin1String("1"))
        return tr("waiting");
    return QSqlQueryModel::data(index, role);
}

int EventsModel::matchingRows() const
{
    QVariantList binds;
    QSqlQuery q(m_db.database());
    q.prepare(statement(QStringLiteral("count(*)"), binds, false));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

int EventsModel::totalRows() const
{
    QSqlQuery q(m_db.database());
    return q.exec(
               QStringLiteral("SELECT count(*) FROM %1").arg(m_db.quoted(MachineTables::Eventi))) &&
                   q.next()
               ? q.value(0).toInt()
               : 0;
}

bool EventsModel::exportCsv(QIODevice &out, int *rows, QString *error) const
{
    const QStringList fields = MachineTables::fields(MachineTables::Eventi);
    QStringList names;
    for (const QString &f : fields)
        names << m_db.quoted(f);
    QVariantList binds;
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    q.prepare(statement(names.join(QStringLiteral(", ")), binds, true));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    return TableIo::writeRows(q, fields, out, rows, error);
}

QVariant EventsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QVariant name = QSqlQueryModel::headerData(section, orientation, role);
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return name;
    return FieldNames::shown(name.toString());
}
