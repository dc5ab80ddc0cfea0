#include "DemoAudit.h"

#include "MachineController.h"

namespace {
struct Line
{
    int type;
    int address; // -1: the next pointer word's target
    int length;
};
constexpr Line Map[] = {
    {0, 0x0008, 6},  {1, 0x0030, 1},  {1, 0x0000, 4},   {1, 0x32B6, 5098}, {2, 0x0014, 1},
    {2, 0x0013, 1},  {2, 0x0015, 1},  {2, 0x0016, 1},   {2, 0x0017, 1},    {1, 0x0530, 64},
    {1, 0x0570, 64}, {1, 0x05B0, 64}, {1, 0x0030, 28},  {1, 0x03FA, 1},    {1, 0x1306, 106},
    {1, 0x12FD, 1},  {0, 0x0020, 3},  {1, 0x7980, 768}, {1, 0x12F9, 4},    {1, 0x00D0, 112},
    {1, 0x0050, 1},  {1, 0x03F0, 1},  {1, 0x0806, 56},  {1, 0x08B6, 56},   {1, 0x0966, 56},
    {1, 0x0078, 6},  {2, -1, 3},      {2, -1, 1},       {2, -1, 1},        {2, -1, 16},
    {2, -1, 2},      {2, -1, 16},     {2, -1, 16},      {2, -1, 1},        {2, -1, 1},
    {1, 0x0402, 1},  {1, 0x0080, 32}, {1, 0x12F4, 5},   {1, 0x12F2, 2},    {2, 0x0AA0, 12},
    {2, 0x0B2F, 1},  {2, 0x0B67, 1},  {2, 0x0ABA, 3},   {2, 0x0B28, 6},    {2, 0x0B60, 6},
};

// The map's lines with the pointer words of the machine's memory in place.
QList<Line> placed(const MachineController &machine)
{
    QList<Line> out;
    int pointer = 0;
    for (Line l : Map) {
        if (l.address < 0) {
            const quint16 word =
                machine.wordAt(2, quint16(MachineController::PointerBlock + 2 * pointer++));
            l.address = quint16(word - MachineController::PointerBias);
        }
        out << l;
    }
    return out;
}
} // namespace

QStringList DemoAudit::mapLines(const MachineController &machine)
{
    QStringList out;
    for (const Line &l : placed(machine))
        out << QStringLiteral("%1,%2,%3")
                   .arg(l.type)
                   .arg(l.address, 4, 16, QLatin1Char('0'))
                   .arg(l.length)
                   .toUpper();
    return out;
}

QByteArray DemoAudit::data(const MachineController &machine)
{
    QByteArray out;
    for (const Line &l : placed(machine))
        for (int i = 0; i < l.length; ++i)
            out += char(machine.byteAt(l.type, quint16(l.address + i)));
    return out;
}

QByteArray DemoAudit::imageFor(const MachineController &machine)
{
    const QByteArray bytes = data(machine);
    const int length = int(bytes.size()) + 4;
    quint32 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    QByteArray image;
    image += char(length & 0xFF);
    image += char(length >> 8 & 0xFF);
    image += bytes;
    image += char(sum & 0xFF);
    image += char(sum >> 8 & 0xFF);
    return image;
}
