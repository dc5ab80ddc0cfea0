#include "SmsListing.h"

namespace SmsListing {
namespace {
const QByteArray Header = QByteArrayLiteral("+CMGL:");
const QByteArray ReadHeader = QByteArrayLiteral("+CMGR:");
constexpr int HeaderLength = 6;

// Reads the decimal number at from, up to the first non-digit (0 when none); blanks before it
// are skipped when skipBlanks is set.
qint64 numberAt(const QByteArray &s, qsizetype from, qsizetype end, bool skipBlanks)
{
    qsizetype i = from;
    if (skipBlanks)
        while (i < end && s.at(i) == ' ')
            ++i;
    qint64 n = 0;
    for (int digits = 0; i < end && s.at(i) >= '0' && s.at(i) <= '9' && digits < 18; ++i, ++digits)
        n = n * 10 + (s.at(i) - '0');
    return n;
}

// The generic form reads the index 7 characters after "+CMGL:" starts (one blank between); the
// Telit form takes it from between "+CMGL:" and the first comma, blanks skipped.
qint64 storageIndex(const QByteArray &s, qsizetype p1, qsizetype end, Form form)
{
    return form == Form::Telit ? numberAt(s, p1 + HeaderLength, end, true)
                               : numberAt(s, p1 + 7, end, false);
}

QByteArray span(const QByteArray &s, qsizetype from, qsizetype length)
{
    return from < 0 || length <= 0 ? QByteArray() : s.mid(from, length);
}

// Searches within the header's own line: a field missing from a garbled header is never taken
// from the lines that follow it.
struct HeaderLine
{
    const QByteArray &s;
    qsizetype end;
    qsizetype find(char c, qsizetype from) const
    {
        const qsizetype at = s.indexOf(c, from);
        return at >= 0 && at < end ? at : -1;
    }
};

// Generic header whose first comma is at p2. Returns the position the walk goes on from.
qsizetype genericHeader(const HeaderLine &h, qsizetype p2, Message &m)
{
    const QByteArray &s = h.s;
    const qsizetype c = h.find(',', p2 + 1);
    if (c < 0)
        return -1;
    const qsizetype p3 = c + 2;
    const qsizetype p4 = h.find(',', p3 - 1);
    if (p4 < 0)
        return -1;
    qsizetype p5 = h.find(',', p4 + 1);
    if (p5 != p4 + 1)
        p5 = p4; // no alpha field: the time stamp follows the number directly
    const qsizetype p6 = h.find(',', p5 + 1);
    if (p6 < 0)
        return -1;
    const qsizetype p7 = s.indexOf('\r', p6) + 2;
    const qsizetype p8 = s.indexOf('\r', p7);
    if (p7 < 2 || p8 < 0)
        return -1;
    m.number = span(s, p3, p4 - p3 - 1);
    m.date = swapEnds(s.mid(p5 + 2, 8));
    m.time = s.mid(p6 + 1, 8);
    m.text = s.mid(p7, p8 - p7);
    m.parsed = true;
    return p8;
}

qsizetype telitHeader(const HeaderLine &h, qsizetype p2, Message &m)
{
    const QByteArray &s = h.s;
    const qsizetype p3 = h.find(',', p2 + 1);
    if (p3 < 0)
        return -1;
    const qsizetype p4 = h.find('"', p3 + 2);
    if (p4 < 0)
        return -1;
    const qsizetype p5 = s.indexOf("\r\n", p4 + 2);
    if (p5 < 0)
        return -1;
    m.number = span(s, p3 + 2, p4 - p3 - 2);
    m.text = span(s, p4 + 3, p5 - p4 - 3);
    m.parsed = true;
    return p5;
}

// The quoted field at i ("..." without line ends or control characters); the position after it,
// or -1.
qsizetype quotedField(const QByteArray &s, qsizetype i, qsizetype end)
{
    if (i >= end || s.at(i) != '"')
        return -1;
    for (++i; i < end; ++i) {
        const uchar c = uchar(s.at(i));
        if (c == '"')
            return i + 1;
        if (c < 0x20)
            return -1;
    }
    return -1;
}

// "+CMGL: <index>,<status>,<number>" at the start of a line, the index within the modem's range
// and the status one that a text-mode listing reports. Noise rarely forms all of that.
bool wellFormed(const QByteArray &s, qsizetype p1, qsizetype lineEnd)
{
    if (p1 > 0 && s.at(p1 - 1) != '\n')
        return false;
    qsizetype i = p1 + HeaderLength;
    if (i >= lineEnd || s.at(i) != ' ')
        return false;
    const qsizetype digits = ++i;
    qint64 index = 0;
    while (i < lineEnd && s.at(i) >= '0' && s.at(i) <= '9' && i - digits < 5)
        index = index * 10 + (s.at(i++) - '0');
    if (i == digits || index > MaxStorageIndex || i >= lineEnd || s.at(i) != ',')
        return false;
    const qsizetype status = i + 1;
    const qsizetype afterStatus = quotedField(s, status, lineEnd);
    if (afterStatus < 0)
        return false;
    static const QByteArrayList statuses = {"\"REC UNREAD\"", "\"REC READ\"", "\"STO UNSENT\"",
                                            "\"STO SENT\""};
    if (!statuses.contains(s.mid(status, afterStatus - status)))
        return false;
    return afterStatus < lineEnd && s.at(afterStatus) == ',' &&
           quotedField(s, afterStatus + 1, lineEnd) >= 0;
}
} // namespace

QByteArray swapEnds(const QByteArray &date)
{
    if (date.size() < 4)
        return date;
    return date.right(2) + date.mid(2, date.size() - 4) + date.left(2);
}

QList<Message> parse(const QByteArray &listing, Form form)
{
    QList<Message> out;
    qsizetype position = 0;
    for (;;) {
        const qsizetype p1 = listing.indexOf(Header, position);
        if (p1 < 0)
            break;
        const qsizetype p2 = listing.indexOf(',', p1);
        if (p2 < 0)
            break;
        Message m;
        m.header = int(p1);
        const qsizetype cr = listing.indexOf('\r', p1);
        const HeaderLine line{listing, cr < 0 ? listing.size() : cr};
        m.index = storageIndex(listing, p1, qMin(p2, line.end), form);
        m.listed = wellFormed(listing, p1, line.end);
        qsizetype next = -1;
        if (p2 < line.end)
            next = form == Form::Telit ? telitHeader(line, p2, m) : genericHeader(line, p2, m);
        position = m.parsed ? next : p1 + HeaderLength;
        out << m;
    }
    return out;
}

namespace {
struct Judged
{
    Outcome outcome = Outcome::Pending;
    qsizetype end = -1; // just past the final result line
};

// A final result counts only on a complete line of its own that is not the text line following
// a header line.
Judged judgeLines(const QByteArray &answer, const QByteArray &header)
{
    bool textLine = false;
    qsizetype start = 0;
    for (qsizetype end; (end = answer.indexOf("\r\n", start)) >= 0; start = end + 2) {
        const QByteArray line = answer.mid(start, end - start);
        if (!textLine) {
            if (line == "OK")
                return {Outcome::Complete, end + 2};
            if (line == "ERROR" || line.startsWith("+CMS ERROR") || line.startsWith("+CME ERROR"))
                return {Outcome::Failed, end + 2};
        }
        textLine = !textLine && line.startsWith(header);
    }
    return {};
}
} // namespace

Outcome judge(const QByteArray &answer)
{
    return judgeLines(answer, Header).outcome;
}

Outcome judgeRead(const QByteArray &answer)
{
    return judgeLines(answer, ReadHeader).outcome;
}

qsizetype completeListingEnd(const QByteArray &answer)
{
    const Judged j = judgeLines(answer, Header);
    return j.outcome == Outcome::Complete ? j.end : -1;
}

std::optional<Stamp> parseReadAnswer(const QByteArray &answer)
{
    const qsizetype q1 = answer.indexOf(",,");
    if (q1 < 0)
        return std::nullopt;
    const qsizetype q2 = answer.indexOf('"', q1 + 2);
    if (q2 < 0)
        return std::nullopt;
    const qsizetype q3 = answer.indexOf(',', q2 + 1);
    if (q3 < 0)
        return std::nullopt;
    return Stamp{swapEnds(answer.mid(q2 + 1, q3 - q2 - 1)), answer.mid(q3 + 1, 5)};
}

} // namespace SmsListing
