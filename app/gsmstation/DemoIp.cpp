#include "DemoIp.h"

#include "MachineController.h"
#include "MachineDb.h"
#include "MachineListener.h"
#include "StationDesk.h"
#include "TcpMachine.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
constexpr int ReconnectMs = 5000;

bool setAddress(SqlMachineDb &db, const QByteArray &number, const QString &address,
                QString *error)
{
    QSqlQuery q(db.database());
    q.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                  .arg(db.quoted(MachineTables::Distributori), db.quoted(QStringLiteral("Address")),
                       db.quoted(QStringLiteral("GSM"))));
    q.addBindValue(address);
    q.addBindValue(QString::fromLatin1(number));
    if (q.exec())
        return true;
    *error = q.lastError().text();
    return false;
}
} // namespace

DemoIp::~DemoIp()
{
    qDeleteAll(m_routers);
}

bool DemoIp::start(StationDesk &desk, const QString &databasePath, MachineController *outbound,
                   const QByteArray &outboundNumber, MachineController *inbound,
                   const QByteArray &inboundNumber, QString *error)
{
    SqlMachineDb db(databasePath);
    if (!db.open()) {
        *error = db.error();
        return false;
    }
    auto *served = new TcpMachine(outbound);
    m_routers << served;
    if (!served->listen(QHostAddress::LocalHost, 0, error))
        return false;
    auto *calling = new TcpMachine(inbound);
    m_routers << calling;
    calling->connectTo(QStringLiteral("127.0.0.1"), desk.listener()->port(), inboundNumber,
                       ReconnectMs);
    return setAddress(db, outboundNumber, QStringLiteral("127.0.0.1:%1").arg(served->port()),
                      error) &&
           setAddress(db, inboundNumber, QStringLiteral("inbound"), error);
}
