#pragma once

#include <QByteArray>
#include <QList>

// Frames written out by hand in the tests, the way the station puts them on the wire: SOH, upper
// case hexadecimal digit pairs, EOT. Kept apart from any frame code of the product on purpose.
namespace FrameText {
constexpr char SOH = 0x01;
constexpr char EOT = 0x04;

inline QByteArray hex(int v)
{
    return QByteArray::number(v & 0xFF, 16).toUpper().rightJustified(2, '0');
}

// SOH, the digit texts as given, EOT.
inline QByteArray wire(const QList<QByteArray> &fields)
{
    QByteArray out(1, SOH);
    for (const QByteArray &f : fields)
        out += f;
    return out + EOT;
}

// A request with its checksum worked out: command + reserved + address bytes + data.
inline QByteArray request(int frameNo, int command, int address, const QByteArray &data = {})
{
    int sum = command + (address & 0xFF) + (address >> 8 & 0xFF);
    QByteArray body = hex(frameNo) + hex(command) + "00" + hex(address) + hex(address >> 8);
    for (char c : data) {
        body += hex(quint8(c));
        sum += quint8(c);
    }
    return SOH + body + hex(sum) + EOT;
}

// A read answer: frame number, data, sum of the data.
inline QByteArray readAnswer(int frameNo, const QByteArray &data)
{
    int sum = 0;
    QByteArray body = hex(frameNo);
    for (char c : data) {
        body += hex(quint8(c));
        sum += quint8(c);
    }
    return SOH + body + hex(sum) + EOT;
}

// The frame with SOH and EOT named, for readable failure messages.
inline QByteArray shown(const QByteArray &raw)
{
    return QByteArray(raw).replace(SOH, "<SOH>").replace(EOT, "<EOT>");
}
} // namespace FrameText
