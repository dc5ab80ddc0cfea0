#include "DatabaseTarget.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

bool DatabaseTarget::parse(const QString &text, DatabaseTarget *out, QString *why)
{
    const QString t = text.trimmed();
    DatabaseTarget d;
    if (!t.startsWith(QLatin1String("postgresql://")) && !t.startsWith(QLatin1String("postgres://"))) {
        if (t.contains(QLatin1String("://"))) {
            *why = QStringLiteral("unsupported database URL (postgresql:// or a file path): %1").arg(t);
            return false;
        }
        if (t.isEmpty()) {
            *why = QStringLiteral("empty database name");
            return false;
        }
        d.path = t;
        *out = d;
        return true;
    }
    const QUrl url(t, QUrl::StrictMode);
    if (!url.isValid()) {
        *why = QStringLiteral("malformed database URL: %1").arg(url.errorString());
        return false;
    }
    if (!url.password().isEmpty()) {
        *why = QStringLiteral("the database URL carries a password; put it in ~/.pgpass or PGPASSWORD");
        return false;
    }
    d.kind = Kind::Postgres;
    d.user = url.userName();
    d.host = url.host();
    d.port = url.port(-1);
    d.dbName = url.path().mid(1);
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            d.host = value;
        else if (key == QLatin1String("port"))
            d.port = value.toInt();
        else if (key == QLatin1String("user"))
            d.user = value;
        else if (key == QLatin1String("dbname"))
            d.dbName = value;
        else if (key == QLatin1String("password")) {
            *why = QStringLiteral("the database URL carries a password; put it in ~/.pgpass or PGPASSWORD");
            return false;
        } else {
            *why = QStringLiteral("unknown database URL parameter: %1").arg(key);
            return false;
        }
    }
    if (d.dbName.isEmpty() || d.dbName.contains(QLatin1Char('/'))) {
        *why = QStringLiteral("the database URL names no database: %1").arg(t);
        return false;
    }
    if (d.port == 0 || d.port > 65535) {
        *why = QStringLiteral("bad port in the database URL: %1").arg(t);
        return false;
    }
    *out = d;
    return true;
}

QString DatabaseTarget::fromConfFile(const QString &folder)
{
    QFile f(QDir(folder).filePath(QStringLiteral("Database.conf")));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    // A configuration file is a few lines; anything longer is not one.
    const QByteArray bytes = f.read(4096);
    for (const QByteArray &raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            return line;
    }
    return QString();
}

QString DatabaseTarget::display() const
{
    if (kind == Kind::Sqlite)
        return path;
    QString s = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        s += user + QLatin1Char('@');
    if (!host.startsWith(QLatin1Char('/')))
        s += host;
    if (port > 0)
        s += QLatin1Char(':') + QString::number(port);
    s += QLatin1Char('/') + dbName;
    if (host.startsWith(QLatin1Char('/')))
        s += QStringLiteral("?host=") + host;
    return s;
}

bool DatabaseTarget::open(const QString &connectionName, QString *why) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(
        kind == Kind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), connectionName);
    if (!db.isValid()) {
        *why = QStringLiteral("no database driver for %1").arg(display());
        return false;
    }
    if (kind == Kind::Sqlite) {
        db.setDatabaseName(path);
    } else {
        db.setDatabaseName(dbName);
        if (!host.isEmpty())
            db.setHostName(host);
        if (port > 0)
            db.setPort(port);
        if (!user.isEmpty())
            db.setUserName(user);
        // A server that does not answer must not hold a collector or a desk for minutes; the
        // server's notices ("already exists, skipping") are not the operator's business.
        db.setConnectOptions(
            QStringLiteral("connect_timeout=10;options='-c client_min_messages=warning'"));
    }
    if (!db.open()) {
        *why = QStringLiteral("cannot open %1: %2")
                   .arg(display(), db.lastError().text().simplified());
        return false;
    }
    return true;
}

bool DatabaseTarget::reopen(const QString &connectionName)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    db.close();
    return db.open() && QSqlQuery(db).exec(QStringLiteral("SELECT 1"));
}
