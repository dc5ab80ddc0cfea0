#pragma once

#include <QString>

// How the station reaches a machine, from the "Address" field of Distributori: empty dials the
// GSM number, HOST:PORT connects over TCP, "inbound" waits for the machine to connect.
struct MachineAddress
{
    enum class Kind { Dial, Connect, Inbound, Invalid };
    Kind kind = Kind::Dial;
    QString host; // without the brackets of an IPv6 address
    quint16 port = 0;
    QString problem; // why the text is not an address (Invalid only)

    static MachineAddress parse(const QString &text);
    // HOST:PORT alone: a name, an IPv4 address or an IPv6 one in brackets, and a port 1-65535.
    // A listening end may also give port 0 (any free one) and an empty host or "*" (every
    // address of the station), which comes back as an empty host.
    enum class End { Connecting, Listening };
    static MachineAddress parseHostPort(const QString &text, End end = End::Connecting);
    static inline const QString InboundWord = QStringLiteral("inbound");
};

// What a machine may send as its identity: printable ASCII without blanks or quotes, as a router
// sends it, short enough to fit the identification line.
namespace MachineIdentity {
constexpr int MaxLength = 64;
bool isValid(const QString &text);
} // namespace MachineIdentity
