#include "MachineAddress.h"

namespace {
bool isHostName(QStringView host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    const auto labels = host.split(QLatin1Char('.'));
    bool numeric = labels.size() == 4;
    for (QStringView label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-')) ||
            label.endsWith(QLatin1Char('-')))
            return false;
        bool digits = true;
        for (QChar c : label) {
            const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
            digits &= digit;
            if (!digit && !(c.toLatin1() >= 'a' && c.toLatin1() <= 'z') &&
                !(c.toLatin1() >= 'A' && c.toLatin1() <= 'Z') && c != QLatin1Char('-'))
                return false;
        }
        numeric &= digits && label.size() <= 3 && label.toInt() <= 255;
    }
    // All-digit labels are an IPv4 address, which must be a complete one.
    bool allDigits = true;
    for (QChar c : host)
        allDigits &= (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
    return !allDigits || numeric;
}

bool isIpv6(QStringView host)
{
    if (host.size() < 2 || host.size() > 45 || host.count(QLatin1Char(':')) < 2)
        return false;
    for (QChar c : host)
        if (!isxdigit(c.toLatin1()) && c != QLatin1Char(':') && c != QLatin1Char('.'))
            return false;
    return true;
}
} // namespace

MachineAddress MachineAddress::parse(const QString &text)
{
    MachineAddress a;
    if (text.isEmpty())
        return a;
    if (text == InboundWord) {
        a.kind = Kind::Inbound;
        return a;
    }
    a = parseHostPort(text);
    if (a.kind == Kind::Invalid && !text.contains(QLatin1Char(':')))
        a.problem = QStringLiteral("\"%1\" is not HOST:PORT or \"inbound\"").arg(text);
    return a;
}

MachineAddress MachineAddress::parseHostPort(const QString &text, End end)
{
    MachineAddress a;
    a.kind = Kind::Invalid;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        a.problem = QStringLiteral("\"%1\" is not HOST:PORT").arg(text);
        return a;
    }
    const bool listening = end == End::Listening;
    QStringView host = QStringView(text).left(colon);
    const QStringView port = QStringView(text).mid(colon + 1);
    bool ok = !port.isEmpty() && port.size() <= 5;
    for (QChar c : port)
        ok &= c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int number = ok ? port.toInt() : -1;
    if (number < (listening ? 0 : 1) || number > 65535) {
        a.problem = QStringLiteral("the port of \"%1\" must be a number from %2 to 65535")
                        .arg(text)
                        .arg(listening ? 0 : 1);
        return a;
    }
    const bool bracketed = host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'));
    if (bracketed)
        host = host.mid(1, host.size() - 2);
    const bool anyHost = listening && (host.isEmpty() || host == QLatin1String("*"));
    if (!anyHost && (bracketed ? !isIpv6(host) : !isHostName(host))) {
        a.problem = QStringLiteral("the host of \"%1\" is not a host name or an IP address "
                                   "(an IPv6 address goes in brackets)")
                        .arg(text);
        return a;
    }
    a.kind = Kind::Connect;
    a.host = anyHost ? QString() : host.toString();
    a.port = quint16(number);
    return a;
}

bool MachineIdentity::isValid(const QString &text)
{
    if (text.isEmpty() || text.size() > MaxLength)
        return false;
    for (QChar c : text)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F || c == QLatin1Char('"') ||
            c == QLatin1Char('\''))
            return false;
    return true;
}
