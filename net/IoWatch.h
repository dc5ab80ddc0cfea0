#pragma once

class QAbstractSocket;
class QTcpServer;

// Tells the runtime when a socket or a listening server has I/O on its way (see
// Runtime::watchIo), so that tests on virtual time can talk to loopback peers.
namespace IoWatch {
void watch(QAbstractSocket *socket);
void watch(QTcpServer *server);
} // namespace IoWatch
