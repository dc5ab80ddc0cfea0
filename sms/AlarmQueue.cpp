#include "AlarmQueue.h"

#include "Runtime.h"

#include <QSocketNotifier>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSysInfo>
#include <libpq-fe.h>

namespace AlarmQueue {
namespace {
const QString PendingMark = QStringLiteral("1");
const QString Channel = QStringLiteral("alarms");
constexpr int FirstRetryMs = 5000;
constexpr int LastRetryMs = 300'000;

QString fieldList(SqlMachineDb &db, const QStringList &fields)
{
    QStringList out;
    for (const QString &f : fields)
        out << db.quoted(f);
    return out.join(QStringLiteral(", "));
}

// The other desks hear it when the transaction commits, and not at all when it rolls back.
bool notifyDesks(SqlMachineDb &db)
{
    return !db.isShared() || QSqlQuery(db.database()).exec(QStringLiteral("NOTIFY ") + Channel);
}

// A shared database's connection dies with a server restart, and only the next statement finds
// out: that statement gets one more try on a fresh connection.
template <class Work> bool retried(SqlMachineDb &db, Work work)
{
    return work() || (db.isShared() && !db.database().isOpen() && db.open() && work());
}

qint64 fileOnce(SqlMachineDb &db, const DbRecord &e)
{
    QSqlDatabase conn = db.database();
    if (!conn.transaction())
        return -1;
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? AND %3 = ? AND %4 = ? AND %5 = ? "
                             "ORDER BY rowid LIMIT 1")
                  .arg(db.quoted(MachineTables::Eventi), db.quoted(QStringLiteral("Pending")),
                       db.quoted(QStringLiteral("Number")), db.quoted(QStringLiteral("Data")),
                       db.quoted(QStringLiteral("SMS"))));
    q.addBindValue(PendingMark);
    for (const char *f : {"Number", "Data", "SMS"})
        q.addBindValue(e.value(QString::fromLatin1(f)));
    if (!q.exec()) {
        conn.rollback();
        return -1;
    }
    if (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        conn.rollback();
        return id;
    }
    const QStringList fields = e.keys();
    QStringList marks;
    for (qsizetype i = 0; i < fields.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery add(conn);
    add.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(db.quoted(MachineTables::Eventi), fieldList(db, fields),
                         marks.join(QStringLiteral(", "))));
    for (const QString &f : fields)
        add.addBindValue(e.value(f));
    // SQLite's rowid, or the value the shared database's rowid column drew.
    const qint64 id = add.exec() ? add.lastInsertId().toLongLong() : -1;
    if (id >= 0 && notifyDesks(db) && conn.commit())
        return id;
    conn.rollback();
    return -1;
}

std::optional<QList<Waiting>> readWaiting(SqlMachineDb &db)
{
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE %3 = ? ORDER BY rowid DESC")
                  .arg(fieldList(db, {QStringLiteral("Number"), QStringLiteral("Data"),
                                      QStringLiteral("SMS"), QStringLiteral("Received by")}),
                       db.quoted(MachineTables::Eventi), db.quoted(QStringLiteral("Pending"))));
    q.addBindValue(PendingMark);
    if (!q.exec())
        return std::nullopt;
    QList<Waiting> out;
    while (q.next()) {
        const QString data = q.value(2).toString();
        const qsizetype blank = data.indexOf(QLatin1Char(' '));
        out << Waiting{q.value(0).toLongLong(),
                       q.value(1).toString(),
                       blank < 0 ? data : data.left(blank),
                       blank < 0 ? QString() : data.mid(blank + 1),
                       q.value(3).toString(),
                       q.value(4).toString()};
    }
    return out;
}

bool acknowledgeOnce(SqlMachineDb &db, const QList<qint64> &ids, const DbRecord &ack)
{
    QSqlDatabase conn = db.database();
    if (!conn.transaction())
        return false;
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?, %4 = NULL WHERE rowid = ?")
                  .arg(db.quoted(MachineTables::Eventi), db.quoted(QStringLiteral("Acknowledged")),
                       db.quoted(QStringLiteral("Station")), db.quoted(QStringLiteral("Pending"))));
    bool ok = true;
    for (qint64 id : ids) {
        q.bindValue(0, ack.value(QStringLiteral("Acknowledged")));
        q.bindValue(1, ack.value(QStringLiteral("Station")));
        q.bindValue(2, id);
        ok = ok && q.exec();
    }
    if (ok && notifyDesks(db) && conn.commit())
        return true;
    conn.rollback();
    return false;
}
} // namespace

qint64 file(SqlMachineDb &db, const IncomingSms::Shown &m, const QString &station)
{
    if (!db.isOpen())
        return -1;
    DbRecord e = IncomingSms::event(m);
    e.insert(QStringLiteral("Pending"), PendingMark);
    e.insert(QStringLiteral("Received by"), station);
    qint64 id = -1;
    retried(db, [&] { return (id = fileOnce(db, e)) >= 0; });
    return id;
}

std::optional<QList<Waiting>> waiting(SqlMachineDb &db)
{
    if (!db.isOpen())
        return std::nullopt;
    std::optional<QList<Waiting>> out;
    retried(db, [&] { return (out = readWaiting(db)).has_value(); });
    return out;
}

DbRecord acknowledged(const QDateTime &when, const QString &station)
{
    return {{QStringLiteral("Acknowledged"), when.toString(QStringLiteral("dd/MM/yy hh:mm:ss"))},
            {QStringLiteral("Station"), station}};
}

bool acknowledge(SqlMachineDb &db, const QList<qint64> &ids, const QDateTime &when,
                 const QString &station)
{
    if (!db.isOpen())
        return false;
    if (ids.isEmpty())
        return true;
    const DbRecord ack = acknowledged(when, station);
    return retried(db, [&] { return acknowledgeOnce(db, ids, ack); });
}

QString stationName()
{
    return QSysInfo::machineHostName();
}
} // namespace AlarmQueue

AlarmWatch::AlarmWatch(const QString &database, QObject *parent)
    : QObject(parent), m_db(database),
      m_retry(QStringLiteral("AlarmWatch"), AlarmQueue::FirstRetryMs, false),
      m_pauseMs(AlarmQueue::FirstRetryMs)
{
    connect(&m_retry, &Timer::tick, this, &AlarmWatch::connectAndListen);
}

AlarmWatch::~AlarmWatch()
{
    delete m_socket; // before the connection closes its socket
}

void AlarmWatch::start()
{
    if (isShared() && !m_listening && !m_retry.isEnabled())
        connectAndListen();
}

void AlarmWatch::connectAndListen()
{
    m_retry.stop();
    QSqlDriver *driver = m_db.open() ? m_db.database().driver() : nullptr;
    if (!driver || !driver->subscribeToNotification(AlarmQueue::Channel)) {
        m_db.database().close();
        m_retry.setInterval(m_pauseMs);
        m_retry.start();
        m_pauseMs = qMin(m_pauseMs * 2, AlarmQueue::LastRetryMs);
        return;
    }
    m_listening = true;
    m_listeningSince = Runtime::current().nowMs();
    m_pauseMs = AlarmQueue::FirstRetryMs;
    connect(driver, &QSqlDriver::notification, this, &AlarmWatch::changed, Qt::UniqueConnection);
    // The driver reads the connection's socket for notifications only, and says nothing when the
    // server goes away: the same bytes wake this notifier too.
    if (PGconn *conn = connection()) {
        m_socket = new QSocketNotifier(PQsocket(conn), QSocketNotifier::Read, this);
        connect(m_socket, &QSocketNotifier::activated, this, &AlarmWatch::checkConnection);
    }
    emit changed();
}

PGconn *AlarmWatch::connection() const
{
    // The driver's connection, under the name its type has on either side of libpq's typedef.
    const QVariant handle = m_db.database().driver()->handle();
    const char *type = handle.typeName();
    return type && (qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0)
               ? *static_cast<PGconn *const *>(handle.data())
               : nullptr;
}

void AlarmWatch::checkConnection()
{
    // Whatever came is read now, so that a server gone away shows in the connection's state.
    // The driver, woken by the same bytes, takes the notifications, unless the event loop keeps
    // one notifier per socket (Qt without GLib) and this one took its place.
    PGconn *conn = connection();
    if (conn && PQconsumeInput(conn) && PQstatus(conn) == CONNECTION_OK) {
        bool heard = false;
        while (PGnotify *n = PQnotifies(conn)) {
            PQfreemem(n);
            heard = true;
        }
        if (heard)
            emit changed();
        return;
    }
    dropped();
}

void AlarmWatch::dropped()
{
    // libpq has closed the socket: watching it any longer would wake the loop for nothing. The
    // connection is closed once the signal under way is over, since closing it deletes the
    // driver's notifier, which may be the sender.
    if (m_socket)
        m_socket->setEnabled(false);
    QMetaObject::invokeMethod(this, &AlarmWatch::lost, Qt::QueuedConnection);
}

void AlarmWatch::lost()
{
    if (!m_listening)
        return;
    m_listening = false;
    delete m_socket;
    m_socket = nullptr;
    m_db.database().close();
    // A restarted server is usually back at once; one that keeps dropping the connection gets
    // the pause.
    if (Runtime::current().nowMs() - m_listeningSince >= AlarmQueue::FirstRetryMs) {
        QMetaObject::invokeMethod(this, &AlarmWatch::connectAndListen, Qt::QueuedConnection);
    } else {
        m_retry.setInterval(m_pauseMs);
        m_retry.start();
    }
}

std::optional<QList<AlarmQueue::Waiting>> AlarmWatch::waiting()
{
    if (!m_listening)
        return std::nullopt;
    auto out = AlarmQueue::readWaiting(m_db);
    if (!m_db.database().isOpen())
        dropped();
    return out;
}
