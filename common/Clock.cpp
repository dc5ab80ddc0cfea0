#include "Clock.h"
#include "Runtime.h"

#include <QRandomGenerator>

namespace {
// xorshift64*: small, fast, and the same sequence on every platform.
double nextUnit(quint64 &s)
{
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return double((s * 2685821657736338717ull) >> 11) / double(1ull << 53);
}
} // namespace

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

double SystemClock::rnd()
{
    return nextUnit(m_state);
}

void SystemClock::randomize()
{
    m_state =
        quint64(QDateTime::currentMSecsSinceEpoch()) ^ QRandomGenerator::system()->generate64();
    if (!m_state)
        m_state = 1;
}

FakeClock::FakeClock(const QDateTime &start) : m_start(start), m_startMs(Runtime::current().nowMs())
{
}

QDateTime FakeClock::now() const
{
    return m_start.addMSecs(Runtime::current().nowMs() - m_startMs);
}

void FakeClock::set(const QDateTime &t)
{
    m_start = t;
    m_startMs = Runtime::current().nowMs();
}

double FakeClock::rnd()
{
    return nextUnit(m_state);
}
