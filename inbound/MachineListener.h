#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class Timer;

// Machines that connect to the station: a router behind a carrier's NAT connects out and sends one
// identification line. Every peer is hostile until identified: it has limitMs to send a line of
// at most lineLimit bytes naming a known machine, or it is closed with one log line. A known
// machine is held "online", silent, until a call takes its connection; what it sends meanwhile is
// dropped, never taken as an answer. A second connection with the same identity replaces the
// first.
class MachineListener : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        int identifyMs = 30000;
        int lineLimit = 64;
        int maxHeld = 1000;            // the oldest held connection goes first
        int maxWaiting = 1000;         // connections not yet identified
        int readBuffer = 4096;         // per connection before identification
        qint64 maxIdleBytes = 4096;    // sent outside a call before the connection is closed
    };
    // The GSM number of the machine an identification line names, or "" for none.
    using Resolver = std::function<QString(const QByteArray &identity)>;

    MachineListener(Resolver resolve, Limits limits, QObject *parent = nullptr);
    MachineListener(Resolver resolve, QObject *parent = nullptr)
        : MachineListener(std::move(resolve), Limits{}, parent)
    {
    }
    ~MachineListener() override;

    // Listens on "HOST:PORT" (port 0: any free one). False with the reason in *error.
    bool listen(const QString &hostPort, QString *error);
    quint16 port() const;
    bool isListening() const;

    bool isOnline(const QString &number) const { return m_held.contains(number); }
    QStringList online() const; // oldest first
    int waitingCount() const { return int(m_waiting.size()); }

    // Hands the machine's held connection over to a call (ownership passes; nullptr when the
    // machine is not online). Whatever it sent while held is dropped first.
    std::unique_ptr<QTcpSocket> take(const QString &number);

signals:
    void onlineChanged(const QString &number, bool online);
    // One line for every connection refused or dropped, and every machine that comes online.
    void log(const QString &line);

private:
    struct Waiting
    {
        QTcpSocket *socket = nullptr;
        Timer *timer = nullptr;
        QByteArray buffer;
        QString peer;
    };
    struct Held
    {
        QTcpSocket *socket = nullptr;
        qint64 idleBytes = 0;
        quint64 order = 0;
    };

    void accept();
    void readIdentification(QTcpSocket *socket);
    void refuse(QTcpSocket *socket, const QString &why);
    void forgetWaiting(QTcpSocket *socket);
    void hold(const QString &number, QTcpSocket *socket, const QString &peer);
    void drop(const QString &number, const QString &why);
    void heldReadyRead(const QString &number);

    Resolver m_resolve;
    Limits m_limits;
    QTcpServer *m_server;
    QHash<QTcpSocket *, Waiting> m_waiting;
    QHash<QString, Held> m_held;
    quint64 m_order = 0;
};

// The number of the machine in Distributori an identification line names: by its "Identity"
// first, then by its GSM number.
class MachineDb;
QString machineIdentifiedBy(MachineDb &db, const QByteArray &identity);
