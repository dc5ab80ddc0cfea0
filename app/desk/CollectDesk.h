#pragma once

#include "Services.h"

#include <QString>
#include <functional>
#include <memory>

class AuditJobRunner;
class FleetCollector;
class FrmStGSM;
class MachineDb;
class QSettings;
class Scheduler;
class UnattendedCollector;

// Wires the unattended collection into a station: the schedule check hands it the entries
// marked "Collect audit unattended", it borrows the main window's port between polling ticks,
// keeps clear of the call console, and while it holds the port the menu entries that would
// borrow it too ("Call", "Send SMS", "Setup") are unavailable.
//
// On a shared database the entries go to the fleet's collection queue instead, for whichever
// collector can call the machine; the station's own modem serves the queue too when the operator
// ticks that in "Setup". An entry the queue cannot take is collected here, as on a single desk.
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
    // Whether a machine is called through the station's modem (else it is on IP).
    void setPortNeeded(std::function<bool(const QString &number)> needed);

    // The fleet's queue, on a shared database only (nullptr otherwise).
    FleetCollector *fleet();
    bool servesQueue() const;
    void setServesQueue(bool serve);
    // Keeps the "Setup" choice with the station's other settings (not owned).
    void keepChoice(QSettings *settings);

private:
    struct Fleet;
    void queueOrCollect(const QString &number);

    FrmStGSM &m_station;
    Services m_s;
    std::unique_ptr<MachineDb> m_db;
    std::unique_ptr<UnattendedCollector> m_collector;
    std::unique_ptr<Fleet> m_fleet;
    std::function<bool(const QString &)> m_portNeeded;
    QSettings *m_settings = nullptr;
};
