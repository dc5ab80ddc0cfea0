#include "TcpMachine.h"

#include "IoWatch.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "Timer.h"

#include <QTcpServer>
#include <QTcpSocket>

TcpMachine::TcpMachine(LineDevice *device, QObject *parent) : QObject(parent), m_device(device)
{
    // A controller that drops its line leaves the router without a peer: it closes the connection.
    if (auto *controller = qobject_cast<MachineController *>(device))
        connect(controller, &MachineController::lineDropped, this, [this] {
            if (m_line)
                detach();
        });
}

TcpMachine::~TcpMachine()
{
    if (m_line)
        m_line->disconnect(this);
    if (m_device)
        m_device->setOutput({});
}

bool TcpMachine::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        IoWatch::watch(m_server);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server->nextPendingConnection()) {
                if (m_line) { // one call at a time
                    s->abort();
                    s->deleteLater();
                } else {
                    IoWatch::watch(s);
                    attach(s);
                }
            }
        });
    }
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 TcpMachine::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void TcpMachine::connectTo(const QString &host, quint16 port, const QByteArray &identity,
                           int retryMs)
{
    m_host = host;
    m_port = port;
    m_identity = identity;
    m_retryMs = retryMs;
    if (!m_retry) {
        m_retry = new Timer(QStringLiteral("TcpMachine.retry"), 1000, false, this);
        connect(m_retry, &Timer::tick, this, [this] {
            m_retry->stop();
            dial();
        });
    }
    dial();
}

void TcpMachine::dial()
{
    if (m_line || m_dialling)
        return;
    auto *s = new QTcpSocket(this);
    m_dialling = s;
    IoWatch::watch(s);
    connect(s, &QTcpSocket::connected, this, [this, s] {
        m_dialling = nullptr;
        s->write(m_identity + "\r\n");
        s->flush();
        attach(s);
    });
    connect(s, &QTcpSocket::errorOccurred, this, [this, s] {
        if (m_dialling != s)
            return;
        m_dialling = nullptr;
        s->deleteLater();
        retryLater();
    });
    s->connectToHost(m_host, m_port);
}

void TcpMachine::retryLater()
{
    if (m_retry && m_retryMs > 0) {
        m_retry->setInterval(m_retryMs);
        m_retry->start();
    }
}

void TcpMachine::attach(QTcpSocket *socket)
{
    m_line = socket;
    ++m_connections;
    m_device->setOutput([socket](const QByteArray &bytes) {
        if (socket->state() == QAbstractSocket::ConnectedState) {
            socket->write(bytes);
            socket->flush();
        }
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        const QByteArray bytes = socket->readAll();
        if (m_line == socket)
            m_device->fromStation(bytes, LineSettings);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (m_line == socket)
            detach();
    });
    m_device->lineOpened(LineSettings);
    emit connectionChanged(true);
}

void TcpMachine::detach()
{
    QTcpSocket *s = m_line;
    m_line = nullptr;
    m_device->setOutput({});
    m_device->lineClosed();
    if (s) {
        s->disconnect(this);
        s->abort();
        s->deleteLater();
    }
    emit connectionChanged(false);
    retryLater();
}
