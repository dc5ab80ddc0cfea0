#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class MachineController;
class StationDesk;
class TcpMachine;

// Two demonstration machines on IP: one behind a router the station connects to, one behind a
// router that connects to the station and identifies itself with its number. Their "Address" in
// the demonstration database says so, with the port the first one got.
class DemoIp
{
public:
    ~DemoIp();
    // desk must be listening. False with the reason when a machine cannot be put on IP.
    bool start(StationDesk &desk, const QString &databasePath, MachineController *outbound,
               const QByteArray &outboundNumber, MachineController *inbound,
               const QByteArray &inboundNumber, QString *error);

private:
    QList<TcpMachine *> m_routers;
};
