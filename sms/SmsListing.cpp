#include "SmsListing.h"

#include "Digits.h"

#include <QRegularExpression>

namespace SmsListing {
namespace {
const QByteArray Header = QByteArrayLiteral("+CMGL:");
const QByteArray ReadHeader = QByteArrayLiteral("+CMGR:");
constexpr int HeaderLength = 6;

// The generic form reads the index 7 characters after "+CMGL:" starts (one blank between); the
// Telit form takes it from between "+CMGL:" and the first comma, blanks skipped.
qint64 storageIndex(const QByteArray &s, qsizetype p1, qsizetype end, Form form)
{
    qsizetype from = p1 + (form == Form::Telit ? HeaderLength : 7);
    if (form == Form::Telit)
        while (from < end && s.at(from) == ' ')
            ++from;
    return from < end ? digitRun(QByteArrayView(s).sliced(from, end - from)).value : 0;
}

// From the comma after the index on: the status, the number in quotes, an empty alpha field or
// none, the time stamp's date and time, the rest of the header line, and the text line.
const QRegularExpression GenericHeader(QStringLiteral(
    R"re(,[^,\r]*,[^,\r](?<number>[^,\r]*)[^,\r],,?[^,\r](?<date>[^,\r]{8})[^,\r]*,(?<time>[^\r]{8})[^\r]*\r\n(?<text>[^\r]*)\r)re"));
// The status, the number in quotes ending the header line, and the text line.
const QRegularExpression TelitHeader(
    QStringLiteral(R"re(,[^,\r]*,"(?<number>[^"\r]*)"\r\n(?<text>[^\r]*)\r\n)re"));

// The header whose first comma is at p2; the position the walk goes on from, or -1 when the
// header does not have its form.
qsizetype header(const QString &s, qsizetype p2, Form form, Message &m)
{
    const QRegularExpressionMatch match = (form == Form::Telit ? TelitHeader : GenericHeader)
                                              .match(s, p2, QRegularExpression::NormalMatch,
                                                     QRegularExpression::AnchorAtOffsetMatchOption);
    if (!match.hasMatch())
        return -1;
    m.number = match.captured(u"number").toLatin1();
    m.text = match.captured(u"text").toLatin1();
    if (form == Form::Generic) {
        m.date = swapEnds(match.captured(u"date").toLatin1());
        m.time = match.captured(u"time").toLatin1();
    }
    m.parsed = true;
    return match.capturedEnd(u"text");
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
    const DigitRun index = digitRun(QByteArrayView(s).sliced(i + 1, lineEnd - i - 1), 5);
    i += 1 + index.length;
    if (index.length == 0 || index.value > MaxStorageIndex || i >= lineEnd || s.at(i) != ',')
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
    const QString text = QString::fromLatin1(listing); // character for byte: the same positions
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
        const qsizetype lineEnd = cr < 0 ? listing.size() : cr;
        m.index = storageIndex(listing, p1, qMin(p2, lineEnd), form);
        m.listed = wellFormed(listing, p1, lineEnd);
        const qsizetype next = p2 < lineEnd ? header(text, p2, form, m) : -1;
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
