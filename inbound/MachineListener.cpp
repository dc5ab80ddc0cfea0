#include "MachineListener.h"

#include "Identification.h"
#include "IoWatch.h"
#include "MachineAddress.h"
#include "MachineDb.h"
#include "Timer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>

namespace {
QString peerOf(const QTcpSocket *s)
{
    QString host = s->peerAddress().toString();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("%1:%2").arg(host).arg(s->peerPort());
}

void close(QTcpSocket *s)
{
    s->disconnect();
    s->abort();
    s->deleteLater();
}
} // namespace

MachineListener::MachineListener(Resolver resolve, Limits limits, QObject *parent)
    : QObject(parent), m_resolve(std::move(resolve)), m_limits(limits),
      m_server(new QTcpServer(this))
{
    // A fleet reconnecting at once (after a network outage) must not wait out SYN retries.
    m_server->setListenBacklogSize(4096);
    connect(m_server, &QTcpServer::newConnection, this, &MachineListener::accept);
}

MachineListener::~MachineListener()
{
    for (const Held &h : std::as_const(m_held))
        h.socket->disconnect(this);
    for (const Waiting &w : std::as_const(m_waiting))
        w.socket->disconnect(this);
}

bool MachineListener::listen(const QString &hostPort, QString *error)
{
    const MachineAddress a =
        MachineAddress::parseHostPort(hostPort, MachineAddress::End::Listening);
    QHostAddress address;
    if (a.host.isEmpty())
        address = QHostAddress::Any;
    else if (a.host == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else
        address.setAddress(a.host);
    if (a.kind == MachineAddress::Kind::Invalid || address.isNull()) {
        *error = a.kind == MachineAddress::Kind::Invalid
                     ? a.problem
                     : QStringLiteral("the host of \"%1\" must be an IP address or localhost: a "
                                      "name may stand for several")
                           .arg(hostPort);
        return false;
    }
    if (!m_server->listen(address, a.port)) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(hostPort, m_server->errorString());
        return false;
    }
    IoWatch::watch(m_server);
    return true;
}

quint16 MachineListener::port() const
{
    return m_server->serverPort();
}

bool MachineListener::isListening() const
{
    return m_server->isListening();
}

QStringList MachineListener::online() const
{
    QList<std::pair<quint64, QString>> byAge;
    for (auto it = m_held.cbegin(); it != m_held.cend(); ++it)
        byAge.append({it->order, it.key()});
    std::sort(byAge.begin(), byAge.end());
    QStringList out;
    for (const auto &[order, number] : byAge)
        out << number;
    return out;
}

void MachineListener::accept()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        const QString peer = peerOf(s);
        if (m_waiting.size() >= m_limits.maxWaiting) {
            emit log(QStringLiteral("refused %1: %2 connections are already waiting for their "
                                    "identification")
                         .arg(peer)
                         .arg(m_waiting.size()));
            close(s);
            continue;
        }
        s->setReadBufferSize(m_limits.readBuffer);
        IoWatch::watch(s);
        Waiting w{s, new Timer(QStringLiteral("identify"), m_limits.identifyMs, true, s), {}, peer};
        m_waiting.insert(s, w);
        connect(w.timer, &Timer::tick, this, [this, s] {
            refuse(s, QStringLiteral("no identification within %1 s")
                          .arg(m_limits.identifyMs / 1000.0));
        });
        connect(s, &QTcpSocket::readyRead, this, [this, s] { readIdentification(s); });
        connect(s, &QTcpSocket::disconnected, this,
                [this, s] { refuse(s, QStringLiteral("closed before identifying itself")); });
        if (s->bytesAvailable() > 0)
            readIdentification(s);
    }
}

void MachineListener::readIdentification(QTcpSocket *s)
{
    auto it = m_waiting.find(s);
    if (it == m_waiting.end())
        return;
    it->buffer += s->read(m_limits.lineLimit + 1 - it->buffer.size());
    const Identification id = Identification::parse(it->buffer, m_limits.lineLimit);
    if (id.state == Identification::State::NeedMore) {
        if (s->state() != QAbstractSocket::ConnectedState)
            refuse(s, QStringLiteral("closed before identifying itself"));
        return;
    }
    if (id.state == Identification::State::TooLong) {
        refuse(s, QStringLiteral("no line break in the first %1 bytes").arg(m_limits.lineLimit));
        return;
    }
    const QString number = id.identity.isEmpty() ? QString() : m_resolve(id.identity);
    if (number.isEmpty()) {
        refuse(s, QStringLiteral("unknown identity \"%1\"").arg(printableBytes(id.identity)));
        return;
    }
    const QString peer = it->peer;
    forgetWaiting(s);
    hold(number, s, peer);
}

void MachineListener::forgetWaiting(QTcpSocket *s)
{
    const Waiting w = m_waiting.take(s);
    s->disconnect(this);
    delete w.timer;
}

void MachineListener::refuse(QTcpSocket *s, const QString &why)
{
    const auto it = m_waiting.constFind(s);
    if (it == m_waiting.cend())
        return;
    emit log(QStringLiteral("refused %1: %2").arg(it->peer, why));
    forgetWaiting(s);
    close(s);
}

void MachineListener::hold(const QString &number, QTcpSocket *s, const QString &peer)
{
    if (m_held.contains(number))
        drop(number, QStringLiteral("replaced by a new connection from %1").arg(peer));
    while (!m_held.isEmpty() && m_held.size() >= m_limits.maxHeld)
        drop(online().first(),
             QStringLiteral("the oldest of %1 held connections").arg(m_held.size()));
    // A carrier's NAT forgets a silent connection; keep-alives keep it and reveal a dead one.
    s->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    m_held.insert(number, Held{s, 0, ++m_order});
    connect(s, &QTcpSocket::readyRead, this, [this, number] { heldReadyRead(number); });
    connect(s, &QTcpSocket::disconnected, this,
            [this, number] { drop(number, QStringLiteral("closed by the machine")); });
    emit log(QStringLiteral("machine %1 online from %2").arg(number, peer));
    emit onlineChanged(number, true);
    heldReadyRead(number);
    if (m_held.contains(number) && s->state() != QAbstractSocket::ConnectedState)
        drop(number, QStringLiteral("closed by the machine"));
}

void MachineListener::heldReadyRead(const QString &number)
{
    auto it = m_held.find(number);
    if (it == m_held.end())
        return;
    // Nobody asked: these bytes are no answer to anything.
    it->idleBytes += it->socket->skip(it->socket->bytesAvailable());
    if (it->idleBytes > m_limits.maxIdleBytes)
        drop(number, QStringLiteral("sent %1 bytes outside a call").arg(it->idleBytes));
}

void MachineListener::drop(const QString &number, const QString &why)
{
    const auto it = m_held.constFind(number);
    if (it == m_held.cend())
        return;
    QTcpSocket *s = it->socket;
    m_held.erase(it);
    emit log(QStringLiteral("machine %1 offline: %2").arg(number, why));
    close(s);
    emit onlineChanged(number, false);
}

std::unique_ptr<QTcpSocket> MachineListener::take(const QString &number)
{
    const auto it = m_held.constFind(number);
    if (it == m_held.cend())
        return nullptr;
    QTcpSocket *s = it->socket;
    m_held.erase(it);
    s->disconnect(this);
    s->skip(s->bytesAvailable());
    s->setParent(nullptr);
    s->setReadBufferSize(0);
    emit onlineChanged(number, false);
    return std::unique_ptr<QTcpSocket>(s);
}

QString machineIdentifiedBy(MachineDb &db, const QByteArray &identity)
{
    const QString text = QString::fromLatin1(identity);
    if (text.isEmpty())
        return {};
    for (const char *field : {"Identity", "GSM"})
        if (const auto m = db.findFirst(MachineTables::Distributori, QString::fromLatin1(field),
                                        text))
            return m->value(QStringLiteral("GSM"));
    return {};
}
