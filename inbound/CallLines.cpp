#include "CallLines.h"

#include "MachineAddress.h"
#include "MachineListener.h"
#include "TcpLine.h"

#include <QTcpSocket>

namespace {
MachineAddress addressOf(MachineDb &db, const QString &number)
{
    const auto machine =
        db.findFirst(MachineTables::Distributori, QStringLiteral("GSM"), number);
    return MachineAddress::parse(machine ? machine->value(QStringLiteral("Address")) : QString());
}
} // namespace

CallLines::CallLines(const QString &databasePath)
    : m_db(std::make_unique<OnDemandDb>(databasePath))
{
}

CallLines::~CallLines() = default;

std::unique_ptr<TcpLine> CallLines::lineFor(const QString &number)
{
    if (m_listener) {
        if (std::unique_ptr<QTcpSocket> held = m_listener->take(number))
            return std::make_unique<TcpLine>(held.release());
    }
    const MachineAddress a = addressOf(*m_db, number);
    switch (a.kind) {
    case MachineAddress::Kind::Connect:
        return std::make_unique<TcpLine>(a.host, a.port);
    case MachineAddress::Kind::Inbound:
        return std::make_unique<TcpLine>(nullptr);
    case MachineAddress::Kind::Dial:
    case MachineAddress::Kind::Invalid:
        break;
    }
    return nullptr;
}

bool CallLines::needsModem(const QString &number)
{
    if (m_listener && m_listener->isOnline(number))
        return false;
    const MachineAddress::Kind kind = addressOf(*m_db, number).kind;
    return kind == MachineAddress::Kind::Dial || kind == MachineAddress::Kind::Invalid;
}
