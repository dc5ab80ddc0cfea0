#include "TcpLine.h"

#include "IoWatch.h"
#include "Runtime.h"

#include <QHostAddress>
#include <QTcpSocket>

TcpLine::TcpLine(const QString &host, quint16 port, QObject *parent)
    : SerialPort(parent), m_socket(new QTcpSocket(this)), m_host(host), m_port(port)
{
    wire();
}

TcpLine::TcpLine(QTcpSocket *socket, QObject *parent)
    : SerialPort(parent), m_socket(socket ? socket : new QTcpSocket),
      m_host(m_socket->peerAddress().toString()), m_port(m_socket->peerPort()), m_inbound(true),
      m_discarding(true)
{
    if (!socket)
        m_reason = QStringLiteral("the machine is not connected");
    m_socket->setParent(this);
    wire();
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_state = State::Connected;
    else
        m_state = State::Dropped;
    onReadyRead();
}

TcpLine::~TcpLine()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void TcpLine::wire()
{
    m_socket->setReadBufferSize(ReadBufferSize);
    IoWatch::watch(m_socket);
    connect(m_socket, &QTcpSocket::connected, this, [this] { setState(State::Connected); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { onError(); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_state == State::Connected)
            setState(State::Dropped, m_reason.isEmpty() ? QStringLiteral("the machine closed "
                                                                         "the connection")
                                                        : m_reason);
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
}

QString TcpLine::address() const
{
    const QString h = m_host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(m_host) : m_host;
    return QStringLiteral("%1:%2").arg(h).arg(m_port);
}

void TcpLine::setState(State s, const QString &reason)
{
    m_reason = reason;
    if (s == m_state)
        return;
    m_state = s;
    if (s == State::Refused || s == State::Dropped)
        emit lost(m_reason);
    emit stateChanged(s);
}

void TcpLine::connectLine()
{
    if (m_inbound) {
        onReadyRead();
        m_discarding = false;
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            setState(State::Dropped, m_reason.isEmpty()
                                         ? QStringLiteral("the machine closed the connection")
                                         : m_reason);
        return;
    }
    m_socket->abort();
    m_reason.clear();
    m_connectStart = Runtime::current().nowMs();
    setState(State::Connecting);
    m_socket->connectToHost(m_host, m_port);
}

void TcpLine::onError()
{
    const QString why = m_socket->errorString();
    if (m_state == State::Connecting)
        setState(State::Refused, why);
    else if (m_state == State::Connected && m_socket->state() != QAbstractSocket::ConnectedState)
        setState(State::Dropped, why);
    else if (m_state != State::Closed)
        m_reason = why;
}

void TcpLine::onReadyRead()
{
    if (m_discarding) {
        if (m_socket->isOpen())
            m_socket->readAll();
        return;
    }
    if (rThreshold() > 0 && m_socket->bytesAvailable() > 0)
        emit received();
}

void TcpLine::close()
{
    if (m_state == State::Connecting)
        m_reason = QStringLiteral("no connection after %1 ms")
                       .arg(Runtime::current().nowMs() - m_connectStart);
    // Closed first: the socket's own signals that follow change nothing.
    setState(State::Closed, m_reason);
    // What is still to go goes; the socket closes after it.
    m_socket->disconnectFromHost();
}

bool TcpLine::isOpen() const
{
    return m_state == State::Connected && m_socket->state() == QAbstractSocket::ConnectedState;
}

void TcpLine::writeLine(const QByteArray &bytes)
{
    if (!isOpen())
        return;
    m_socket->write(bytes);
    m_socket->flush();
}

int TcpLine::inBufferCount() const
{
    return isOpen() || m_state == State::Dropped ? int(m_socket->bytesAvailable()) : 0;
}

QByteArray TcpLine::readAll()
{
    return m_socket->readAll();
}

QByteArray TcpLine::read(int n)
{
    return m_socket->read(qMax(0, n));
}
