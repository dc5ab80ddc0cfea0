#include "MachineDb.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace MachineTables {
QStringList tables()
{
    return {Distributori, PuntiVendita, Operatori, Eventi};
}

QStringList fields(const QString &table)
{
    if (table == Distributori)
        return {"GSM", "Description", "Sale point", "Operator", "Address", "Identity"};
    if (table == PuntiVendita)
        return {"Name", "Address", "City", "Telephone"};
    if (table == Operatori)
        return {"Name", "Celular"};
    if (table == Eventi)
        return {"Number",   "Data",         "SMS",     "Vending machine", "Sale point",
                "Operator", "Acknowledged", "Station", "Pending",         "Received by"};
    return {};
}
} // namespace MachineTables

namespace {
int g_connections = 0;

DbRecord recordOf(const QSqlQuery &q)
{
    DbRecord r;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        if (rec.fieldName(i) != QLatin1String("rowid")) // a shared database's record order
            r.insert(rec.fieldName(i), q.value(i).toString());
    return r;
}
} // namespace

SqlMachineDb::SqlMachineDb(const QString &path)
    : m_path(path), m_connection(QStringLiteral("machinedb-%1").arg(++g_connections))
{
    if (!DatabaseTarget::parse(path, &m_target, &m_badTarget))
        m_target.path = path;
    else
        m_path = m_target.display();
}

SqlMachineDb::SqlMachineDb(const DatabaseTarget &target)
    : m_target(target), m_path(target.display()),
      m_connection(QStringLiteral("machinedb-%1").arg(++g_connections))
{
}

SqlMachineDb::~SqlMachineDb()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString SqlMachineDb::quoted(const QString &identifier) const
{
    return QSqlDatabase::database(m_connection, false)
        .driver()
        ->escapeIdentifier(identifier, QSqlDriver::TableName);
}

bool SqlMachineDb::open()
{
    m_ok = false;
    m_error = m_badTarget;
    if (!m_badTarget.isEmpty())
        return false;
    if (isShared()) {
        if (!QSqlDatabase::contains(m_connection) && !m_target.open(m_connection, &m_error))
            return false;
        QSqlDatabase db = database();
        if (!db.isOpen() && !db.open()) {
            m_error = db.lastError().text();
            return false;
        }
        m_ok = true;
        db.transaction();
        // Desks starting together must not create the tables twice.
        QSqlQuery(db).exec(QStringLiteral("SELECT pg_advisory_xact_lock(4242002)"));
        if (!db.tables().contains(MachineTables::Distributori) && !createTables()) {
            db.rollback();
            m_ok = false;
            return false;
        }
        addMachineAddresses();
        createLookUpIndexes();
        addAlarmFields();
        db.commit();
        m_error = missingParts();
        return m_error.isEmpty();
    }
    const bool existed = QFileInfo::exists(m_path);
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    // SQLite opens any file lazily: only a first read shows whether it is a database.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        m_error = probe.lastError().text();
        db.close();
        return false;
    }
    m_ok = true;
    // One transaction: a new file gets all its tables or none, and one wait for the disk.
    db.transaction();
    if (!existed && !createTables()) {
        db.rollback();
        return false;
    }
    addMachineAddresses();
    createLookUpIndexes();
    addAlarmFields();
    db.commit();
    m_error = missingParts();
    return m_error.isEmpty();
}

QSqlDatabase SqlMachineDb::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

void SqlMachineDb::createLookUpIndexes()
{
    // Fleets run to tens of thousands of machines: the SMS desk finds a sender by number and its
    // sale point and operator by name, each in one index step. Files from before the indexes get
    // them here; a read-only file goes on without (the look-ups are only slower).
    const struct
    {
        const QString &table;
        const char *field;
    } keys[] = {{MachineTables::Distributori, "GSM"},
                {MachineTables::Distributori, "Identity"},
                {MachineTables::PuntiVendita, "Name"},
                {MachineTables::Operatori, "Name"}};
    QSqlDatabase db = database();
    for (const auto &k : keys) {
        const QString field = QString::fromLatin1(k.field);
        if (!db.record(k.table).contains(field))
            continue;
        QSqlQuery q(db);
        q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                   .arg(quoted(QStringLiteral("%1_%2").arg(k.table, field)), quoted(k.table),
                        quoted(field)));
    }
}

void SqlMachineDb::addMachineAddresses()
{
    // Files from before machines on IP: every machine is dialled, so the new fields stay empty.
    QSqlDatabase db = database();
    const QSqlRecord rec = db.record(MachineTables::Distributori);
    if (rec.isEmpty())
        return;
    for (const char *name : {"Address", "Identity"}) {
        const QString field = QString::fromLatin1(name);
        if (!rec.contains(field))
            QSqlQuery(db).exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT")
                                   .arg(quoted(MachineTables::Distributori), quoted(field)));
    }
}

bool SqlMachineDb::createTables()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    for (const QString &table : MachineTables::tables()) {
        QStringList columns;
        if (isShared())
            columns << QStringLiteral("rowid BIGSERIAL PRIMARY KEY");
        for (const QString &f : MachineTables::fields(table))
            columns << quoted(f) + QStringLiteral(" TEXT");
        QSqlQuery q(db);
        if (!q.exec(
                QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table), columns.join(", ")))) {
            m_error = q.lastError().text();
            return false;
        }
    }
    return true;
}

QString SqlMachineDb::missingParts()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QStringList missing;
    for (const QString &table : MachineTables::tables()) {
        const QSqlRecord rec = db.record(table);
        if (rec.isEmpty()) {
            missing << QStringLiteral("table %1").arg(table);
            continue;
        }
        for (const QString &f : MachineTables::fields(table))
            if (!rec.contains(f))
                missing << QStringLiteral("field \"%1\" of %2").arg(f, table);
    }
    return missing.isEmpty() ? QString() : QStringLiteral("missing ") + missing.join(", ");
}

void SqlMachineDb::addAlarmFields()
{
    // Files from before alarms waited for "OK" (or before desks shared them): their events gain
    // the fields empty, which reads as acknowledged. A read-only file stays as it is and is
    // reported incomplete.
    QSqlDatabase db = database();
    const QSqlRecord rec = db.record(MachineTables::Eventi);
    if (rec.isEmpty())
        return;
    for (const char *name : {"Acknowledged", "Station", "Pending", "Received by"}) {
        const QString field = QString::fromLatin1(name);
        if (!rec.contains(field))
            QSqlQuery(db).exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT")
                                   .arg(quoted(MachineTables::Eventi), quoted(field)));
    }
}

QString SqlMachineDb::failureMessage() const
{
    const QString where = isShared() ? m_path : QFileInfo(m_path).absoluteFilePath();
    return QCoreApplication::translate("MachineDb",
                                       "The machine database %1 cannot be used: %2.\r\n"
                                       "Machines, sale points and operators will not be found "
                                       "and events will not be filed until it is repaired.")
        .arg(where, m_error);
}

std::optional<DbRecord> OnDemandDb::findFirst(const QString &table, const QString &field,
                                              const QString &value)
{
    if (!ready())
        return std::nullopt;
    std::optional<DbRecord> found = m_db.findFirst(table, field, value);
    // The first query after a server restart is the one that finds the connection gone: a miss
    // then is asked again on a new one, or the machine would pass for one without an address.
    if (!found && !m_db.database().isOpen() && m_db.open())
        found = m_db.findFirst(table, field, value);
    return found;
}

std::optional<DbRecord> SqlMachineDb::findFirst(const QString &table, const QString &field,
                                                const QString &value)
{
    if (!m_ok)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                  .arg(quoted(table), quoted(field)));
    q.addBindValue(value);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return recordOf(q);
}

QList<DbRecord> SqlMachineDb::records(const QString &table)
{
    QList<DbRecord> out;
    if (!m_ok)
        return out;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoted(table))))
        return out;
    while (q.next())
        out << recordOf(q);
    return out;
}

bool SqlMachineDb::append(const QString &table, const DbRecord &record)
{
    if (!m_ok || record.isEmpty())
        return false;
    QStringList names;
    QStringList marks;
    QList<QString> values;
    for (auto it = record.cbegin(); it != record.cend(); ++it) {
        names << quoted(it.key());
        marks << QStringLiteral("?");
        values << it.value();
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(table), names.join(", "), marks.join(", ")));
    for (const QString &v : values)
        q.addBindValue(v);
    return q.exec();
}
