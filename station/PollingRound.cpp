#include "PollingRound.h"

#include "Digits.h"
#include "ModemSteps.h"

#include <iterator>

namespace {
struct Query
{
    QByteArray command;
    bool errorLoses;
};
const Query Queries[] = {
    {"AT+CGATT?", false}, {"AT+CSQ", false}, {"AT+CREG?", true}, {"AT+COPS?", true}};
constexpr int QueryCount = int(std::size(Queries));
} // namespace

StatusChange statusChange(const QByteArray &command, const QByteArray &buf)
{
    StatusChange c;
    const int colon = buf.indexOf(':');
    if (command == "AT+CGATT?") {
        c.gprsShown = leadingNumber(buf.mid(colon + 1, 2)) != 0;
    } else if (command == "AT+CSQ") {
        // 99, which means "unknown", keeps its five low bits: 3.
        const int comma = buf.indexOf(',');
        if (colon >= 0 && comma > colon + 1)
            c.signal = leadingNumber(buf.mid(colon + 1, comma - colon - 1)) & 31;
    } else if (command == "AT+CREG?") {
        if (const int status = ModemSteps::registrationStatus(buf); status >= 0)
            c.registration = registrationFor(status);
    } else if (command == "AT+COPS?") {
        const int p = buf.indexOf('"') + 1;
        const int q = p > 0 ? buf.indexOf('"', p) : -1;
        if (q - p >= 1)
            c.operatorText = operatorName(buf);
    }
    return c;
}

QByteArray PollingRound::next() const
{
    return m_lost || m_asked == QueryCount ? QByteArray() : Queries[m_asked].command;
}

bool PollingRound::errorLoses() const
{
    return m_asked < QueryCount && Queries[m_asked].errorLoses;
}

StatusChange PollingRound::take(Answer answer, const QByteArray &buffer)
{
    if (next().isEmpty())
        return {};
    const Query &query = Queries[m_asked++];
    StatusChange c;
    switch (answer) {
    case Answer::Error:
        m_lost = true;
        break;
    case Answer::TimedOut:
        ++m_timeouts;
        if (query.command == "AT+CGATT?")
            c.gprsShown = false; // no answer, no GPRS bar
        break;
    case Answer::Ok:
        c = statusChange(query.command, buffer);
        break;
    }
    if (m_asked == QueryCount && m_timeouts >= 3)
        m_lost = true;
    return c;
}
