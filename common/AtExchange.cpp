#include "AtExchange.h"

#include "Runtime.h"
#include "SerialPort.h"
#include "Timer.h"

AtExchange::AtExchange(SerialPort &port, Timer &timeout) : m_port(port), m_timeout(timeout) {}

void AtExchange::Tout(int ms)
{
    m_timeout.setEnabled(false);
    m_timeout.setInterval(ms);
    m_timeout.setEnabled(true);
}

bool AtExchange::timedOut() const
{
    return !m_timeout.isEnabled() || Runtime::current().isEnding();
}

void AtExchange::send(const QByteArray &line)
{
    m_port.write(line);
}

bool AtExchange::waitRound()
{
    Runtime::current().yield();
    return !timedOut();
}

bool AtExchange::readPort()
{
    if (!m_port.isOpen() || m_port.inBufferCount() == 0)
        return false;
    m_buffer += m_port.readAll();
    return true;
}

void AtExchange::flush()
{
    if (m_port.isOpen() && m_port.inBufferCount() > 0)
        m_port.readAll();
}

int AtExchange::firstMarker(const QList<QByteArray> &markers) const
{
    for (int i = 0; i < markers.size(); ++i)
        if (m_buffer.contains(markers.at(i)))
            return i;
    return -1;
}

int AtExchange::exchange(const QByteArray &command, int timeoutMs, const ExchangeRules &rules,
                         const QByteArray &ending)
{
    m_buffer.clear();
    Tout(timeoutMs);
    send(command + ending);
    return collect(rules);
}

int AtExchange::exchange(const QByteArray &command, int timeoutMs, const QList<QByteArray> &markers,
                         const QByteArray &ending)
{
    return exchange(command, timeoutMs, ExchangeRules{markers}, ending);
}

int AtExchange::judged(const ExchangeRules &rules) const
{
    return rules.judge ? rules.judge(m_buffer) : firstMarker(rules.markers);
}

int AtExchange::collect(const ExchangeRules &rules)
{
    // What is already in the buffer is judged first: a wait for a marker that has arrived
    // must not sit out the time-out.
    if (const int found = judged(rules); found >= 0)
        return found;
    while (!Runtime::current().isEnding()) {
        Runtime::current().yield();
        if (rules.readBeforeTimeout) {
            const QByteArray chunk =
                m_port.isOpen() && m_port.inBufferCount() > 0 ? m_port.readAll() : QByteArray();
            if (timedOut())
                return -1; // the chunk of the last round is not judged
            m_buffer += chunk;
        } else {
            if (timedOut())
                return -1;
            if (!readPort() && rules.skipEmptyRounds)
                continue;
        }
        if (const int found = judged(rules); found >= 0)
            return found;
    }
    return -1;
}

int AtExchange::collect(const QList<QByteArray> &markers)
{
    return collect(ExchangeRules{markers});
}

void AtExchange::pause(int ms)
{
    Tout(ms);
    while (!timedOut())
        Runtime::current().yield();
}

QByteArray AtExchange::oneLineValue(const QByteArray &buffer)
{
    const int lf = buffer.indexOf('\n');
    if (lf < 0)
        return {};
    const int cr = buffer.indexOf('\r', lf + 1);
    if (cr < 0)
        return {};
    return buffer.mid(lf + 1, cr - lf - 1);
}
