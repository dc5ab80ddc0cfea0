#pragma once

#include "DatabaseTarget.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

// One record: field name -> text value. Fields the table does not hold are simply absent.
using DbRecord = QHash<QString, QString>;

// The machine database as the station uses it: tables of text fields, first match by equality,
// records appended. Every failure comes back as "no match" or false, never as an exception.
class MachineDb
{
public:
    virtual ~MachineDb() = default;
    // The first record (in record order) whose field equals value exactly.
    virtual std::optional<DbRecord> findFirst(const QString &table, const QString &field,
                                              const QString &value) = 0;
    // Every record of the table, in record order.
    virtual QList<DbRecord> records(const QString &table) = 0;
    virtual bool append(const QString &table, const DbRecord &record) = 0;
};

// The tables and fields the station reads and writes, by their exact names.
namespace MachineTables {
inline const QString Distributori = QStringLiteral("Distributori");
inline const QString PuntiVendita = QStringLiteral("PuntiVendita");
inline const QString Operatori = QStringLiteral("Operatori");
inline const QString Eventi = QStringLiteral("Eventi");
// Fields of each table, in the order a new file creates them.
QStringList fields(const QString &table);
QStringList tables();
} // namespace MachineTables

// The file the station names "Dati.mdb", held in SQLite through QtSql, or the same tables in a
// PostgreSQL database that several desks share. PostgreSQL has no implicit row number, so its
// tables carry a column "rowid" that keeps record order, as SQLite's does.
class SqlMachineDb : public MachineDb
{
public:
    // path: the SQLite file, or a PostgreSQL URI (see DatabaseTarget).
    explicit SqlMachineDb(const QString &path);
    explicit SqlMachineDb(const DatabaseTarget &target);
    ~SqlMachineDb() override;
    SqlMachineDb(const SqlMachineDb &) = delete;
    SqlMachineDb &operator=(const SqlMachineDb &) = delete;

    // Opens the file; a missing one is created with the four empty tables. False when the file
    // cannot be used, with the reason in error(); look-ups then fail.
    bool open();
    bool isOpen() const { return m_ok; }
    QString error() const { return m_error; }
    QString path() const { return m_path; }
    bool isShared() const { return m_target.kind == DatabaseTarget::Kind::Postgres; }

    std::optional<DbRecord> findFirst(const QString &table, const QString &field,
                                      const QString &value) override;
    QList<DbRecord> records(const QString &table) override;
    bool append(const QString &table, const DbRecord &record) override;

    // The operator's message for a database that cannot be used (Latin-1 text).
    QString failureMessage() const;

    // The connection, for models and bulk work on the same file (valid once open() ran).
    QSqlDatabase database() const;
    // Field or table name quoted for SQL ("Sale point" holds a blank).
    QString quoted(const QString &identifier) const;

private:
    bool createTables();
    void addAlarmFields();
    QString missingParts();
    void createLookUpIndexes();
    void addMachineAddresses();

    DatabaseTarget m_target;
    QString m_path;
    QString m_connection;
    bool m_ok = false;
    QString m_error;
    QString m_badTarget; // why the URL given cannot name a database
};

// The shared database, opened at the first look-up and again after a failure, for users that
// may never need it (a station that never collects, a call that is never on IP).
class OnDemandDb : public MachineDb
{
public:
    explicit OnDemandDb(const QString &pathOrUrl) : m_db(pathOrUrl) {}
    std::optional<DbRecord> findFirst(const QString &table, const QString &field,
                                      const QString &value) override;
    QList<DbRecord> records(const QString &table) override
    {
        return ready() ? m_db.records(table) : QList<DbRecord>();
    }
    bool append(const QString &table, const DbRecord &record) override
    {
        return ready() && m_db.append(table, record);
    }

private:
    // A shared database's connection that the server dropped (a restart) is opened again.
    bool ready() { return (m_db.isOpen() && m_db.database().isOpen()) || m_db.open(); }
    SqlMachineDb m_db;
};
