#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class LineDevice;
class QTcpServer;
class Timer;

// A simulated machine behind a cellular router in transparent mode: the router carries the
// device's serial line over TCP, one connection at a time. It either listens on a port for the
// station, or connects out to the station and first sends one identification line; when the
// station ends that connection it connects again after a pause, as a router does.
class TcpMachine : public QObject
{
    Q_OBJECT
public:
    // What the router's serial side runs at.
    static inline const QString LineSettings = QStringLiteral("9600,N,8,1");

    explicit TcpMachine(LineDevice *device, QObject *parent = nullptr);
    ~TcpMachine() override;

    // Listens on address:port (0: any free port); false with the system's reason. A second
    // connection while one is up is closed at once.
    bool listen(const QHostAddress &address, quint16 port, QString *error = nullptr);
    quint16 port() const;
    // Connects out to host:port and sends identity with CR LF; when the connection fails or
    // ends, tries again after retryMs (0: never).
    void connectTo(const QString &host, quint16 port, const QByteArray &identity, int retryMs);

    bool connected() const { return m_line; }
    int connections() const { return m_connections; }

signals:
    // A connection came up or ended.
    void connectionChanged(bool up);

private:
    void attach(QTcpSocket *socket);
    void detach();
    void dial();
    void retryLater();

    LineDevice *m_device;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_line;
    QPointer<QTcpSocket> m_dialling;
    int m_retryMs = 0;
    Timer *m_retry = nullptr;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_identity;
    int m_connections = 0;
};
