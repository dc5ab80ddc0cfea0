#pragma once

#include "Services.h"

#include <memory>

class AuditJobRunner;
class FrmStGSM;
class MachineDb;
class Scheduler;
class UnattendedCollector;

// Wires the unattended collection into a station: the schedule check hands it the entries
// marked "Collect audit unattended", it borrows the main window's port between polling ticks,
// keeps clear of the call console, and while it holds the port the menu entries that would
// borrow it too ("Call", "Send SMS", "Setup") are unavailable.
//
// Without a job runner there is no collector, and the check queues unattended entries for the
// console like any other: the console then opens on the machine and the operator reads it.
class CollectDesk
{
public:
    CollectDesk(FrmStGSM &station, const Services &services, Scheduler &scheduler,
                const WindowOpener &console, AuditJobRunner *runner);
    ~CollectDesk();

    // nullptr without a job runner.
    UnattendedCollector *collector() { return m_collector.get(); }

private:
    std::unique_ptr<MachineDb> m_db;
    std::unique_ptr<UnattendedCollector> m_collector;
};
