#include "CollectDesk.h"

#include "FrmStGSM.h"
#include "MachineDb.h"
#include "Scheduler.h"
#include "UnattendedCollector.h"

#include <QDir>

CollectDesk::CollectDesk(FrmStGSM &station, const Services &services, Scheduler &scheduler,
                         const WindowOpener &console, AuditJobRunner *runner)
{
    scheduler.check().setUnattendedCollected(runner != nullptr);
    if (!runner)
        return;
    m_db =
        std::make_unique<OnDemandDb>(services.machineDatabase());
    // Made after the main window, so its polling handler runs before the collector's.
    m_collector =
        std::make_unique<UnattendedCollector>(services, station.lender(), station.Timer2, *runner);
    m_collector->setHandOverTimer(&station.Timer6);
    m_collector->setConsole(&console);
    m_collector->setMachineDb(m_db.get());
    QObject::connect(&scheduler.check(), &ScheduleCheck::due, m_collector.get(),
                     &UnattendedCollector::due);
    QObject::connect(m_collector.get(), &UnattendedCollector::portHeld, &station,
                     &FrmStGSM::setPortLent);
}

CollectDesk::~CollectDesk() = default;
