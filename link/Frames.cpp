#include "Frames.h"

namespace Frames {

quint8 digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return quint8(c - '0');
    if (c >= 'a' && c <= 'f')
        return quint8(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return quint8(c - 'A' + 10);
    return 0;
}

quint8 pairValue(const QByteArray &text, qsizetype pos)
{
    if (pos < 0 || pos + 1 >= text.size())
        return 0;
    return quint8(digitValue(text.at(pos)) * 16 + digitValue(text.at(pos + 1)));
}

QByteArray hex2(quint8 value)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out(2, '0');
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
    return out;
}

quint8 memorySelector(int memoryType)
{
    switch (memoryType) {
    case 0:
        return 0x10;
    case 1:
        return 0x50;
    default:
        return 0x00;
    }
}

quint8 readCommand(int memoryType, int count)
{
    return quint8(memorySelector(memoryType) | ((count - 1) & 0x0F));
}

quint8 writeCommand(int memoryType, int count)
{
    return quint8(0x80 | readCommand(memoryType, count));
}

quint8 requestChecksum(quint8 command, quint16 address, const QByteArray &data)
{
    unsigned sum = command + (address & 0xFF) + (address >> 8);
    for (char b : data)
        sum += quint8(b);
    return quint8(sum);
}

QByteArray request(quint8 frameNo, quint8 command, quint16 address, const QByteArray &data)
{
    QByteArray out;
    out.reserve(14 + 2 * data.size());
    out += SOH;
    out += hex2(frameNo);
    out += hex2(command);
    out += "00";
    out += hex2(quint8(address & 0xFF));
    out += hex2(quint8(address >> 8));
    for (char b : data)
        out += hex2(quint8(b));
    out += hex2(requestChecksum(command, address, data));
    out += EOT;
    return out;
}

quint8 slotFrameNumber(const QByteArray &request)
{
    return pairValue(request, 1);
}

quint16 slotAddress(const QByteArray &request)
{
    return quint16(pairValue(request, 9) * 256 + pairValue(request, 7));
}

quint8 slotChecksum(const QByteArray &request)
{
    // The last two digits before EOT.
    const qsizetype eot = request.lastIndexOf(EOT);
    return eot >= 2 ? pairValue(request, eot - 2) : 0;
}

int slotDataCount(const QByteArray &request)
{
    return (pairValue(request, 3) & 0x0F) + 1;
}

int lengthLimit(TransferMode mode, bool awaitResetAck, bool awaitResetStatus)
{
    switch (mode) {
    case TransferMode::ReadConfig:
    case TransferMode::ReadTelemetry:
        return 47;
    case TransferMode::WriteConfig:
    case TransferMode::WriteChanged:
    case TransferMode::WriteTelemetry:
        return 15;
    case TransferMode::ResetDialogue:
        if (awaitResetAck)
            return 15;
        if (awaitResetStatus)
            return 47;
        return 0;
    default:
        return 0;
    }
}

bool isReadMode(TransferMode mode)
{
    return mode == TransferMode::ReadConfig || mode == TransferMode::ReadAudit ||
           mode == TransferMode::ReadTelemetry;
}

QByteArray body(const QByteArray &assembled)
{
    const qsizetype soh = assembled.indexOf(SohText);
    if (soh < 0)
        return {};
    const QByteArray text = assembled.mid(soh);
    const qsizetype len = text.size() - SohText.size() - EotText.size();
    return len > 0 ? text.mid(SohText.size(), len) : QByteArray();
}

Answer checkAnswer(const QByteArray &assembled, TransferMode mode, const Slots &outstanding,
                      const SentMask &sent)
{
    Answer a;
    const QByteArray b = body(assembled);
    if (b.size() < 4) // a frame number and a check value at least
        return a;
    a.frameNo = pairValue(b, 0);
    const QByteArray &slot = outstanding[a.frameNo];
    if (!sent.test(a.frameNo) || slot.size() < 3 || slotFrameNumber(slot) != a.frameNo)
        return a;
    const int dataDigits = isReadMode(mode) ? 2 * slotDataCount(slot) : 0;
    if (b.size() != 4 + dataDigits)
        return a;

    unsigned expected = 0;
    if (isReadMode(mode)) {
        // Data pairs: from the second pair up to the pair before the check value.
        for (qsizetype i = 2; i + 2 <= b.size() - 2; i += 2)
            expected += pairValue(b, i);
    } else {
        expected = 2u * slotChecksum(slot);
    }
    if (b.right(2) != hex2(quint8(expected)))
        return a;
    a.accepted = true;
    if (isReadMode(mode))
        for (qsizetype i = 2; i + 2 <= b.size() - 2; i += 2)
            a.data += char(pairValue(b, i));
    return a;
}

} // namespace Frames
