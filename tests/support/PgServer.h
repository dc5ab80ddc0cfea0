#pragma once

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <unistd.h>

// A PostgreSQL server of the test's own: initdb into a temporary folder, a Unix socket in that
// folder and a random port, run as the `postgres` user when the tests run as root (the server
// refuses root). Stopped and removed with the object.
class PgServer
{
public:
    PgServer()
    {
        m_dir.setAutoRemove(true);
        QDir lib(QStringLiteral("/usr/lib/postgresql"));
        QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        if (versions.isEmpty()) {
            m_error = QStringLiteral("no PostgreSQL server in /usr/lib/postgresql (package postgresql)");
            return;
        }
        m_bin = lib.filePath(versions.last() + QStringLiteral("/bin/"));
        m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), m_dir.path()});
        if (!tool(QStringLiteral("initdb"), {QStringLiteral("-D"), data(), QStringLiteral("-A"),
                                             QStringLiteral("trust"), QStringLiteral("-U"),
                                             QStringLiteral("postgres"), QStringLiteral("--no-sync")}))
            return;
        m_running = tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-l"),
                                                    m_dir.filePath(QStringLiteral("log")),
                                                    QStringLiteral("-o"), options(),
                                                    QStringLiteral("-w"), QStringLiteral("start")});
    }
    ~PgServer()
    {
        if (m_running)
            tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"),
                                            QStringLiteral("immediate"), QStringLiteral("stop")});
    }

    bool ok() const { return m_running; }
    QString error() const { return m_error; }
    QString socketDir() const { return m_dir.path(); }
    int port() const { return m_port; }

    // A fresh database on the server, as the programs' --database URL names it.
    QString newDatabase(const QString &name)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgadmin"));
            db.setHostName(socketDir());
            db.setPort(m_port);
            db.setUserName(QStringLiteral("postgres"));
            db.setDatabaseName(QStringLiteral("postgres"));
            if (!db.open())
                m_error = db.lastError().text();
            else
                QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("pgadmin"));
        return QStringLiteral("postgresql://postgres@:%1/%2?host=%3").arg(m_port).arg(name, socketDir());
    }

    // pg_ctl restart -m fast, for tests of a server that goes away under the programs.
    bool restart()
    {
        return tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"),
                                               QStringLiteral("fast"), QStringLiteral("-o"), options(),
                                               QStringLiteral("-w"), QStringLiteral("restart")});
    }

    // The server away, for tests of programs that start before it.
    bool stop()
    {
        return tool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"),
                                               QStringLiteral("fast"), QStringLiteral("-w"),
                                               QStringLiteral("stop")});
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }
    QString options() const
    {
        return QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c fsync=off").arg(socketDir()).arg(m_port);
    }
    bool tool(const QString &name, QStringList args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0) {
            args.prepend(m_bin + name);
            args.prepend(QStringLiteral("--"));
            args.prepend(QStringLiteral("postgres"));
            args.prepend(QStringLiteral("-u"));
            p.start(QStringLiteral("runuser"), args);
        } else {
            p.start(m_bin + name, args);
        }
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            m_error = name + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll()).simplified();
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_error;
    int m_port = 0;
    bool m_running = false;
};
