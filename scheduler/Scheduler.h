#pragma once

#include "CallQueue.h"
#include "Schedule.h"
#include "ScheduleCheck.h"
#include "Services.h"

// The scheduler of one station: the schedule with PROGOR.DAT in the program folder, the call
// queue and the periodic check; the schedule window `FrmProgor` edits the schedule. The program
// gives the station the queue and the start-up loader and lets the station's `Timer5` drive the
// check:
//
//     station.setCallQueue(&scheduler.queue());
//     station.setScheduleLoader([&] { scheduler.loadAtStartUp(); });
//     scheduler.check().attach(station.Timer5);
class Scheduler
{
public:
    explicit Scheduler(const Services &services);

    Schedule &schedule() { return m_schedule; }
    CallQueue &queue() { return m_queue; }
    ScheduleCheck &check() { return m_check; }
    // Loads PROGOR.DAT. A file that
    // exists but cannot be read is reported; the station then runs without a schedule.
    void loadAtStartUp();

private:
    Services m_s;
    Schedule m_schedule;
    CallQueue m_queue;
    ScheduleCheck m_check;
};
