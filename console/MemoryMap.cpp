#include "MemoryMap.h"

#include "Frames.h"

namespace MemoryMap {

namespace {
struct Line
{
    const char *text; // nullptr for a line placed by a pointer
    int length;
};
// The fixed selection; the nine pointer lines are rows 26-34.
constexpr Line Map[Lines] = {
    {"0,0008", 6},  {"1,0030", 1},  {"1,0000", 4},   {"1,32B6", 5098}, {"2,0014", 1},
    {"2,0013", 1},  {"2,0015", 1},  {"2,0016", 1},   {"2,0017", 1},    {"1,0530", 64},
    {"1,0570", 64}, {"1,05B0", 64}, {"1,0030", 28},  {"1,03FA", 1},    {"1,1306", 106},
    {"1,12FD", 1},  {"0,0020", 3},  {"1,7980", 768}, {"1,12F9", 4},    {"1,00D0", 112},
    {"1,0050", 1},  {"1,03F0", 1},  {"1,0806", 56},  {"1,08B6", 56},   {"1,0966", 56},
    {"1,0078", 6},  {nullptr, 3},   {nullptr, 1},    {nullptr, 1},     {nullptr, 16},
    {nullptr, 2},   {nullptr, 16},  {nullptr, 16},   {nullptr, 1},     {nullptr, 1},
    {"1,0402", 1},  {"1,0080", 32}, {"1,12F4", 5},   {"1,12F2", 2},    {"2,0AA0", 12},
    {"2,0B2F", 1},  {"2,0B67", 1},  {"2,0ABA", 3},   {"2,0B28", 6},    {"2,0B60", 6},
};
constexpr int FirstPointerLine = 26;

quint16 hexValue(const QByteArray &digits)
{
    quint16 v = 0;
    for (char c : digits)
        v = quint16(v * 16 + Frames::digitValue(c));
    return v;
}
} // namespace

QStringList build(const QStringList &p)
{
    QStringList out;
    for (int i = 0; i < Lines; ++i) {
        const QString start = Map[i].text ? QString::fromLatin1(Map[i].text)
                                          : QStringLiteral("2,") + p.value(i - FirstPointerLine);
        out << start + u',' + QString::number(Map[i].length);
    }
    return out;
}

QString swapWordBytes(const QString &word)
{
    return word.mid(2, 2) + word.left(2);
}

QString pointerAddress(quint16 word)
{
    return QStringLiteral("%1").arg(quint16(word - 400), 4, 16, QLatin1Char('0')).toUpper();
}

QByteArray pointerRequest(int block)
{
    return Frames::request(quint8(block), Frames::readCommand(2, 16),
                           quint16(PointerBlock + 16 * block));
}

qsizetype replyStart(const QByteArray &received, int block)
{
    for (qsizetype start = 0;;) {
        const qsizetype eot = received.indexOf(Frames::EOT, start);
        if (eot < 0)
            return -1;
        const qsizetype soh = received.lastIndexOf(Frames::SOH, eot);
        if (soh < start || eot - soh < 3 || Frames::pairValue(received, soh + 1) == block)
            return start;
        start = eot + 1;
    }
}

PointerReply checkPointerReply(const QByteArray &reply, int block)
{
    PointerReply r;
    const qsizetype soh = reply.indexOf(Frames::SOH);
    if (soh < 0)
        return r;
    constexpr qsizetype EotAfterSoh = 1 + 2 + 2 * 16 + 2;
    if (reply.indexOf(Frames::EOT, soh) - soh != EotAfterSoh ||
        Frames::pairValue(reply, soh + 1) != block) {
        r.status = PointerReply::BadCheck;
        return r;
    }
    // From after SOH and the frame number, as long as the whole reply less four: a reply with
    // anything before its SOH ends past its check digits and fails the check.
    const QByteArray row = reply.mid(soh + 3, qMax<qsizetype>(0, reply.size() - 4));
    const qsizetype len = row.size();
    unsigned sum = 0;
    for (qsizetype k = 0; k + 1 <= len - 3; k += 2)
        sum += Frames::pairValue(row, k);
    if (len < 2 || row.right(2) != Frames::hex2(quint8(sum))) {
        r.status = PointerReply::BadCheck;
        return r;
    }
    for (qsizetype k = 0; k + 1 <= len - 3; k += 4) {
        const QString le = QString::fromLatin1(row.mid(k, 4));
        r.addresses << pointerAddress(hexValue(swapWordBytes(le).toLatin1()));
    }
    r.status = PointerReply::Ok;
    return r;
}

} // namespace MemoryMap
