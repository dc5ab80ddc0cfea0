#pragma once

#include "CallDesk.h"
#include "CallLines.h"
#include "CollectDesk.h"
#include "ConsoleAuditRunner.h"
#include "DeskWindows.h"
#include "FrmProgor.h"
#include "FrmStGSM.h"
#include "Scheduler.h"
#include "SmsDesk.h"

#include <memory>

class MachineListener;
class ModemSim;
class TcpLine;

// The station's windows wired together as the program runs them: the main window, the SMS desk,
// the scheduler and its window, the call console, and the unattended collection with the
// console's job runner (the one gsmcollect uses). The program and the tests build this same
// object, so what the tests show is the program's wiring.
class StationDesk
{
public:
    // modem: the simulated modem, which then holds the SMS store and the demonstration fleet;
    // null on a real port.
    StationDesk(const Services &services, ModemSim *modem);
    ~StationDesk();

    FrmStGSM &station() { return m_station; }
    SmsDesk &sms() { return m_sms; }
    Scheduler &scheduler() { return m_scheduler; }
    FrmProgor &scheduleWindow() { return m_scheduleWindow; }
    CallDesk &calls() { return m_calls; }
    CollectDesk &collect() { return m_collect; }
    DeskWindows &windows() { return m_windows; }
    // Each window opens where it was last left (settings not owned; the program's, not the
    // tests').
    // The same settings keep whether the modem serves the fleet's queue.
    void keepPlaces(QSettings *settings)
    {
        m_windows.keepPlaces(settings);
        m_collect.keepChoice(settings);
    }

    // Machines that connect to the station: held online, marked in the console, and reached
    // through their connection by its calls. False, with the reason, when hostPort cannot be
    // listened on.
    bool listen(const QString &hostPort, QString *error);
    // nullptr until listen() succeeded.
    MachineListener *listener() { return m_listener.get(); }

    CallLines &lines() { return m_lines; }

private:
    // In this order: each desk hooks into the ones before it and lets go in its destructor.
    CallLines m_lines;
    FrmStGSM m_station;
    SmsDesk m_sms;
    Scheduler m_scheduler;
    FrmProgor m_scheduleWindow;
    CallDesk m_calls;
    ConsoleAuditRunner m_runner;
    CollectDesk m_collect;
    std::unique_ptr<TcpLine> m_consoleLine; // the console's current call, when on IP
    std::unique_ptr<MachineListener> m_listener;
    DeskWindows m_windows;

    void showUnattendedWork();
};
