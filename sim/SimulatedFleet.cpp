#include "SimulatedFleet.h"

#include "Clock.h"
#include "SmsStore.h"

namespace {
const char *const Alarms[] = {
    "ALARM 03 COIN MECH JAMMED", "ALARM 11 DOOR OPEN",        "ALARM 21 CUPS EMPTY",
    "ALARM 07 WATER LEAK",       "ALARM 15 TEMPERATURE HIGH", "ALARM 30 BILL VALIDATOR FULL",
};
constexpr int StrangerTurn = 1; // the second alarm comes from the unknown number
} // namespace

SimulatedFleet::SimulatedFleet(SmsStore &store, Clock &clock, const QList<QByteArray> &machines,
                               const QByteArray &stranger, QObject *parent)
    : QObject(parent), m_store(store), m_clock(clock), m_machines(machines), m_stranger(stranger)
{
    connect(&m_timer, &Timer::tick, this, &SimulatedFleet::sendAlarm);
}

void SimulatedFleet::start(int firstMs, int minMs, int maxMs)
{
    m_minMs = minMs;
    m_maxMs = qMax(minMs, maxMs);
    m_timer.setInterval(firstMs);
    m_timer.start();
}

void SimulatedFleet::sendAlarm()
{
    const QByteArray number = (m_sent == StrangerTurn || m_machines.isEmpty())
                                  ? m_stranger
                                  : m_machines.at(int(m_clock.rnd() * m_machines.size()));
    const QByteArray text = Alarms[int(m_clock.rnd() * std::size(Alarms))];
    const QDateTime now = m_clock.now();
    if (m_store.receive(number, text, now, now.offsetFromUtc() / 900) > 0) {
        ++m_sent;
        emit alarmSent(number, text);
    }
    m_timer.setInterval(m_minMs + int(m_clock.rnd() * (m_maxMs - m_minMs)));
}
