#pragma once

#include <QDateTime>
#include <QObject>
#include <QStringList>

class CallQueue;
class Clock;
class Schedule;
class Timer;

// The periodic schedule check: every tick of the main window's `Timer5` (30 s) compares the
// clock with the schedule once per minute and queues the number of every entry that is due for
// the call console. A due number that finds the call queue full waits, in order, and is queued at
// a later tick as soon as a place is free.
class ScheduleCheck : public QObject
{
    Q_OBJECT
public:
    ScheduleCheck(Schedule &schedule, CallQueue &queue, Clock &clock, QObject *parent = nullptr);

    // Runs the check at every tick of timer (the main window's `Timer5`).
    void attach(Timer &timer);
    // One check.
    void run();

    // Whether the station collects unattended entries itself. Then they are only announced
    // (due with unattended set) and the console never sees them; otherwise (no collector) they
    // are queued for the console like any other entry.
    void setUnattendedCollected(bool on) { m_unattendedCollected = on; }

    // Numbers due but not yet queued because the queue was full, oldest first (15 characters).
    const QStringList &waiting() const { return m_waiting; }

signals:
    // An entry fell due (emitted once per entry and minute, after a console entry's number was
    // queued or set waiting). number: without trailing blanks; unattended: the entry's collection
    // flag.
    void due(const QString &number, bool unattended);

private:
    void drainWaiting();

    Schedule &m_schedule;
    CallQueue &m_queue;
    Clock &m_clock;
    // The minute scanned last, as date, hour and minute: the minute of the hour alone would skip
    // 09:30 if nothing had been scanned since 08:30 (the check switched off meanwhile).
    QDateTime m_lastScanned;
    QStringList m_waiting;
    bool m_unattendedCollected = false;
};
