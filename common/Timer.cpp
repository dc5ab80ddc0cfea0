#include "Timer.h"
#include "Runtime.h"

Timer::Timer(const QString &name, int intervalMs, bool enabled, QObject *parent)
    : QObject(parent), m_interval(intervalMs)
{
    setObjectName(name);
    setEnabled(enabled);
}

Timer::~Timer()
{
    if (m_enabled)
        Runtime::current().disarmTimer(this);
}

void Timer::setInterval(int ms)
{
    m_interval = ms;
    if (m_enabled)
        rearm();
}

void Timer::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (on) {
        rearm();
    } else {
        ++m_generation;
        Runtime::current().disarmTimer(this);
    }
}

void Timer::rearm()
{
    ++m_generation;
    if (m_interval > 0)
        Runtime::current().armTimer(this, m_generation, m_interval);
    else
        Runtime::current().disarmTimer(this);
}

void Timer::fire(quint64 generation)
{
    if (generation != m_generation || !m_enabled || m_interval <= 0)
        return;
    // A tick that is still running (it yielded) swallows this one, as the period goes on.
    if (m_inTick)
        return;
    m_inTick = true;
    QPointer<Timer> self(this);
    emit tick();
    if (self)
        m_inTick = false;
}
