#pragma once

#include "IncomingSms.h"
#include "MachineDb.h"
#include "Timer.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

// Alarms that wait for the operator: each received SMS is an `Eventi` record from the moment it
// arrives, marked pending and named after the station that received it, until "OK" acknowledges
// it with the time and the acknowledging station. What is still pending when the station stops
// is the queue it shows again at the next start. On a shared database every desk shows the same
// pending alarms: filing and acknowledging notify the other desks (AlarmWatch).
namespace AlarmQueue {

struct Waiting
{
    qint64 id = -1; // the record in `Eventi`
    QString number, date, time, text;
    QString station; // the station that received it ("" for records from before desks shared)
};

// Files a message received by station as pending; its record's id, or -1 when the file refused
// it. The same sender, time and text already pending is the same message listed again (the
// station stopped between filing it and deleting it from the modem): it is filed once.
qint64 file(SqlMachineDb &db, const IncomingSms::Shown &m, const QString &station);

// The pending alarms, the last received first; nullopt when the database cannot be read.
std::optional<QList<Waiting>> waiting(SqlMachineDb &db);

// Marks the records acknowledged at when by station, all or none.
bool acknowledge(SqlMachineDb &db, const QList<qint64> &ids, const QDateTime &when,
                 const QString &station);

// The acknowledgement's fields, for a message that could not be filed when it arrived.
DbRecord acknowledged(const QDateTime &when, const QString &station);

// This computer, as filing and acknowledgements name it.
QString stationName();
} // namespace AlarmQueue

// A desk's ear on a shared database: a connection of its own that listens for the notification
// filing and acknowledging send, and says when the pending alarms may have changed. A lost
// connection (the server restarted or went away) is opened again at once, then after 5 s and
// twice as long each time up to 5 minutes, and counts as a change once it is back, since anything
// may have happened meanwhile. On a file there is nobody else to hear: it never starts.
class QSocketNotifier;
typedef struct pg_conn PGconn;

class AlarmWatch : public QObject
{
    Q_OBJECT
public:
    // database: the machine database as the desk names it (a file or a PostgreSQL URI).
    explicit AlarmWatch(const QString &database, QObject *parent = nullptr);
    ~AlarmWatch() override;

    bool isShared() const { return m_db.isShared(); }
    // Listens from now on and reports a change as soon as it does.
    void start();
    bool isListening() const { return m_listening; }
    // The pending alarms, read on the watch's own connection; nullopt while it is lost.
    std::optional<QList<AlarmQueue::Waiting>> waiting();

signals:
    void changed();

private:
    void connectAndListen();
    PGconn *connection() const;
    void checkConnection();
    void dropped();
    void lost();

    SqlMachineDb m_db;
    Timer m_retry;
    QSocketNotifier *m_socket = nullptr; // on the listening connection's socket
    bool m_listening = false;
    int m_pauseMs;
    qint64 m_listeningSince = 0;
};
