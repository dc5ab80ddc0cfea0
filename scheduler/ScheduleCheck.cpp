#include "ScheduleCheck.h"

#include "CallQueue.h"
#include "Clock.h"
#include "Schedule.h"
#include "Timer.h"

#include <QList>

ScheduleCheck::ScheduleCheck(Schedule &schedule, CallQueue &queue, Clock &clock, QObject *parent)
    : QObject(parent), m_schedule(schedule), m_queue(queue), m_clock(clock)
{
}

void ScheduleCheck::attach(Timer &timer)
{
    connect(&timer, &Timer::tick, this, &ScheduleCheck::run);
}

void ScheduleCheck::drainWaiting()
{
    while (!m_waiting.isEmpty() && m_queue.queue(m_waiting.first()))
        m_waiting.removeFirst();
}

void ScheduleCheck::run()
{
    drainWaiting();

    const QDateTime now = m_clock.now();
    const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
    if (minute == m_lastScanned)
        return;
    m_lastScanned = minute;
    // Collected first: a handler of due() may open the schedule window, which reloads the table.
    struct Due
    {
        QString number;
        QString text;
        bool unattended;
    };
    QList<Due> found;
    for (int i = 0; i < m_schedule.size(); ++i) {
        const ScheduleRecord &r = m_schedule[i];
        if (isDue(r, minute))
            found << Due{QString::fromLatin1(r.number()), r.numberText(), r.unattended()};
    }
    for (const Due &d : found) {
        // A collected entry is the collector's: it must not open the console on an operator.
        // Behind the ones already waiting, and once only: the machine is called once either way.
        const bool forConsole = !(d.unattended && m_unattendedCollected);
        if (forConsole && (!m_waiting.isEmpty() || !m_queue.queue(d.number))) {
            if (!m_waiting.contains(d.number))
                m_waiting << d.number;
        }
        emit due(d.text, d.unattended);
    }
}
