#include "DbTableModel.h"

#include "FieldNames.h"
#include "LikePattern.h"
#include "Rules.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {
// The field of Distributori that names a record of table, if any.
QString referringField(const QString &table)
{
    if (table == MachineTables::PuntiVendita)
        return QStringLiteral("Sale point");
    if (table == MachineTables::Operatori)
        return QStringLiteral("Operator");
    return {};
}

// An empty field is stored as NULL, as the station leaves the fields it does not write.
QVariant bindable(const QSqlRecord &r, int i)
{
    return r.isNull(i) || r.value(i).toString().isEmpty() ? QVariant() : r.value(i);
}
} // namespace

DbTableModel::DbTableModel(SqlMachineDb &db, const QString &table, QObject *parent)
    : QSqlTableModel(parent, db.database()), m_db(db), m_onFile(db), m_table(table)
{
    setTable(table);
    setEditStrategy(QSqlTableModel::OnFieldChange);
    // The search text reaches SQL as a bound value: it waits in a temporary table that the
    // model's filter reads, since a table model's filter is plain SQL text.
    QSqlQuery(database())
        .exec(QStringLiteral(
            "CREATE TEMP TABLE IF NOT EXISTS gsmdb_search (tab TEXT PRIMARY KEY, pattern TEXT)"));
    select();
}

QString DbTableModel::fieldAt(int column) const
{
    return record().fieldName(column);
}

int DbTableModel::columnOf(const QString &field) const
{
    return record().indexOf(field);
}

bool DbTableModel::setSearch(const QString &text)
{
    m_search = text;
    if (text.isEmpty()) {
        setFilter(QString());
        return select();
    }
    QSqlQuery q(database());
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO temp.gsmdb_search (tab, pattern) "
                             "VALUES (?, ?)"));
    q.addBindValue(m_table);
    q.addBindValue(likePattern(text));
    q.exec();
    const QString pattern =
        QStringLiteral("(SELECT pattern FROM temp.gsmdb_search WHERE tab = '%1')").arg(m_table);
    QStringList any;
    const QSqlRecord fields = record();
    for (int i = 0; i < fields.count(); ++i)
        any << QStringLiteral("%1 LIKE %2 ESCAPE '\\'")
                   .arg(m_db.quoted(fields.fieldName(i)), pattern);
    setFilter(QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')'));
    return select();
}

int DbTableModel::matchingRows() const
{
    QSqlQuery q(database());
    const QString where = filter().isEmpty() ? QString() : QStringLiteral(" WHERE ") + filter();
    if (!q.exec(QStringLiteral("SELECT count(*) FROM %1%2").arg(m_db.quoted(m_table), where)) ||
        !q.next())
        return 0;
    return q.value(0).toInt();
}

int DbTableModel::totalRows() const
{
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(m_db.quoted(m_table))) || !q.next())
        return 0;
    return q.value(0).toInt();
}

DbRecord DbTableModel::recordAt(int row) const
{
    DbRecord out;
    const QSqlRecord r = record(row);
    for (int i = 0; i < r.count(); ++i)
        out.insert(r.fieldName(i), r.value(i).toString());
    return out;
}

bool DbTableModel::refuse(const QString &reason)
{
    m_refusal = reason;
    emit refused(reason);
    return false;
}

bool DbTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (m_adding || role != Qt::EditRole || !index.isValid())
        return QSqlTableModel::setData(index, value, role);
    const QString field = fieldAt(index.column());
    const DbRecord before = recordAt(index.row());
    DbRecord after = before;
    after.insert(field, Rules::normalised({{field, value.toString()}}, m_table).value(field));
    if (after.value(field) == before.value(field))
        return true;
    const QString why = Rules::problem(m_table, after, &before, m_onFile);
    if (!why.isEmpty())
        return refuse(why);
    // The row is read back by its values, so an empty field is NULL here as on file.
    const QVariant stored =
        after.value(field).isEmpty() ? QVariant() : QVariant(after.value(field));
    if (!QSqlTableModel::setData(index, stored, role)) {
        const QString error = lastError().text();
        revertRow(index.row());
        return refuse(tr("The change was not saved: %1").arg(error));
    }
    return true;
}

bool DbTableModel::addRecord(const DbRecord &record)
{
    const DbRecord values = Rules::normalised(record, m_table);
    const QString why = Rules::problem(m_table, values, nullptr, m_onFile);
    if (!why.isEmpty())
        return refuse(why);
    QSqlRecord rec = this->record();
    for (int i = 0; i < rec.count(); ++i) {
        const QString value = values.value(rec.fieldName(i));
        rec.setValue(i, value.isEmpty() ? QVariant() : QVariant(value));
        rec.setGenerated(i, true);
    }
    m_adding = true;
    const bool ok = insertRecord(-1, rec);
    m_adding = false;
    if (!ok) {
        const QString error = lastError().text();
        revertAll();
        return refuse(tr("The record was not saved: %1").arg(error));
    }
    return true;
}

QString DbTableModel::firstMatch(const QSqlRecord &old, QVariantList &binds) const
{
    QStringList same;
    for (int i = 0; i < old.count(); ++i) {
        same << m_db.quoted(old.fieldName(i)) + QStringLiteral(" IS ?");
        binds << bindable(old, i);
    }
    return QStringLiteral("rowid = (SELECT rowid FROM %1 WHERE %2 ORDER BY rowid LIMIT 1)")
        .arg(m_db.quoted(m_table), same.join(QStringLiteral(" AND ")));
}

bool DbTableModel::updateRowInTable(int row, const QSqlRecord &values)
{
    const QSqlRecord old = primaryValues(row);
    QStringList sets;
    QVariantList binds;
    for (int i = 0; i < values.count(); ++i) {
        if (!values.isGenerated(i))
            continue;
        sets << m_db.quoted(values.fieldName(i)) + QStringLiteral(" = ?");
        binds << bindable(values, i);
    }
    if (sets.isEmpty())
        return true;
    const QString where = firstMatch(old, binds);
    QSqlDatabase db = database();
    if (!db.transaction()) {
        setLastError(db.lastError());
        return false;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                  .arg(m_db.quoted(m_table), sets.join(QStringLiteral(", ")), where));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    bool ok = q.exec();
    QSqlError error = q.lastError();
    const QString referring = referringField(m_table);
    const int name = values.indexOf(QStringLiteral("Name"));
    const QString oldName = old.value(QStringLiteral("Name")).toString();
    int renamed = 0;
    if (ok && !referring.isEmpty() && name >= 0 && values.isGenerated(name) && !oldName.isEmpty()) {
        QSqlQuery follow(db);
        follow.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %2 = ?")
                           .arg(m_db.quoted(MachineTables::Distributori), m_db.quoted(referring)));
        follow.addBindValue(values.value(name));
        follow.addBindValue(oldName);
        ok = follow.exec();
        error = follow.lastError();
        renamed = follow.numRowsAffected();
    }
    if (ok && db.commit()) {
        emit changedOnFile();
        if (renamed > 0)
            emit machinesRenamed();
        return true;
    }
    setLastError(ok ? db.lastError() : error);
    db.rollback();
    return false;
}

bool DbTableModel::insertRowIntoTable(const QSqlRecord &values)
{
    QStringList names, marks;
    QSqlQuery q(database());
    for (int i = 0; i < values.count(); ++i) {
        if (!values.isGenerated(i))
            continue;
        names << m_db.quoted(values.fieldName(i));
        marks << QStringLiteral("?");
    }
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(m_db.quoted(m_table), names.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", "))));
    for (int i = 0; i < values.count(); ++i)
        if (values.isGenerated(i))
            q.addBindValue(bindable(values, i));
    if (!q.exec()) {
        setLastError(q.lastError());
        return false;
    }
    emit changedOnFile();
    return true;
}

bool DbTableModel::deleteOne(const QSqlRecord &old)
{
    QVariantList binds;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                  .arg(m_db.quoted(m_table), firstMatch(old, binds)));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec()) {
        setLastError(q.lastError());
        return false;
    }
    return true;
}

bool DbTableModel::deleteRowFromTable(int row)
{
    if (!deleteOne(primaryValues(row)))
        return false;
    emit changedOnFile();
    return true;
}

bool DbTableModel::deleteRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<QSqlRecord> records;
    for (int row : rows)
        if (row >= 0 && row < rowCount())
            records << record(row);
    if (records.isEmpty())
        return true;
    QSqlDatabase db = database();
    bool ok = db.transaction();
    for (const QSqlRecord &r : records)
        ok = ok && deleteOne(r);
    if (ok)
        ok = db.commit();
    if (!ok) {
        const QString error = lastError().text();
        db.rollback();
        return refuse(tr("Nothing was deleted: %1").arg(error));
    }
    select();
    emit changedOnFile();
    return true;
}

int DbTableModel::machinesNaming(const QString &field, const QString &name) const
{
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                  .arg(m_db.quoted(MachineTables::Distributori), m_db.quoted(field)));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return 0;
    return q.value(0).toInt();
}

QVariant DbTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QVariant name = QSqlTableModel::headerData(section, orientation, role);
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return name;
    return FieldNames::shown(name.toString());
}
