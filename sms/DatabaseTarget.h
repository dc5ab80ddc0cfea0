#pragma once

#include <QSqlDatabase>
#include <QString>

// Where the station's database lives: the SQLite file of a single desk, or a PostgreSQL
// database shared by desks and collectors. Passwords never travel in the target: libpq finds
// them in ~/.pgpass, PGPASSFILE or PGPASSWORD, so they stay off command lines and logs.
struct DatabaseTarget
{
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    QString path;   // SQLite file
    QString host;   // PostgreSQL host name, or the folder of its Unix socket
    int port = -1;  // -1: libpq's default
    QString user;
    QString dbName;

    // Parses a PostgreSQL URI (postgresql://user@host:port/dbname,
    // postgresql:///dbname?host=/socket/dir) or, for anything without a scheme, a file path.
    // Returns false with a one-line reason for a malformed URI or one that carries a password.
    static bool parse(const QString &text, DatabaseTarget *out, QString *why);

    // The URL named by Database.conf in folder (its first line that is neither blank nor a
    // comment), or an empty string when there is no such file.
    static QString fromConfFile(const QString &folder);

    // Safe to print: never holds a password.
    QString display() const;

    // Opens a connection under the given name. False with the driver's reason.
    bool open(const QString &connectionName, QString *why) const;
    // Opens an existing connection again (the server restarted or went away) and checks that it
    // answers.
    static bool reopen(const QString &connectionName);
};
