#include "IoWatch.h"

#include "Runtime.h"

#include <QTcpServer>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <memory>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {
// The system holds something for the descriptor to read (bytes, a connection, an end of file).
bool readable(qintptr fd)
{
#ifdef Q_OS_UNIX
    if (fd < 0)
        return false;
    pollfd p{int(fd), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
#else
    Q_UNUSED(fd);
    return false;
#endif
}
} // namespace

void IoWatch::watch(QAbstractSocket *socket)
{
    // A connection that takes longer than this in real time is a silent peer, not I/O on its way:
    // virtual time goes on, so a connection time-out can strike.
    constexpr qint64 ConnectingMs = 500;
    auto since = std::make_shared<QElapsedTimer>();
    Runtime::current().watchIo(socket, [socket, since] {
        switch (socket->state()) {
        case QAbstractSocket::HostLookupState:
        case QAbstractSocket::ConnectingState:
            if (!since->isValid())
                since->start();
            return since->elapsed() < ConnectingMs;
        case QAbstractSocket::UnconnectedState:
            since->invalidate();
            return false;
        default:
            break;
        }
        since->invalidate();
        if (socket->bytesToWrite() > 0)
            return true;
        // A full read buffer stops reading until the owner reads: nothing more will come.
        const qint64 cap = socket->readBufferSize();
        if (cap > 0 && socket->bytesAvailable() >= cap)
            return false;
        return readable(socket->socketDescriptor());
    });
}

void IoWatch::watch(QTcpServer *server)
{
    Runtime::current().watchIo(server, [server] {
        return server->isListening() && readable(server->socketDescriptor());
    });
}
