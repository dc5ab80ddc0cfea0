#include "CollectDesk.h"

#include "AlarmQueue.h"
#include "Clock.h"
#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "FleetCollector.h"
#include "FrmStGSM.h"
#include "MachineDb.h"
#include "Scheduler.h"
#include "StationPortRunner.h"
#include "UnattendedCollector.h"

#include <QDir>
#include <QSettings>
#include <QSqlDatabase>

namespace {
const QString ServeKey = QStringLiteral("Collection/ServeQueue");
}

struct CollectDesk::Fleet
{
    Fleet(const QString &connection, const Clock &clock, const FleetCollector::Options &o,
          PortLender &lender, ::Timer &polling, AuditJobRunner &runner)
        : connection(connection), queue(connection), collector(queue, clock, o),
          port(lender, polling, runner)
    {
    }
    ~Fleet() { QSqlDatabase::removeDatabase(connection); }

    bool ensureReady()
    {
        QString why;
        if (!ready)
            ready = reopen() && queue.prepare(&why);
        return ready;
    }
    bool reopen() { return DatabaseTarget::reopen(connection); }

    QString connection;
    CollectQueue queue;
    FleetCollector collector;
    StationPortRunner port;
    bool serving = false;
    bool ready = false; // the queue's tables are there
};

CollectDesk::CollectDesk(FrmStGSM &station, const Services &services, Scheduler &scheduler,
                         const WindowOpener &console, AuditJobRunner *runner)
    : m_station(station), m_s(services)
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
                     [this](const QString &number, bool unattended) {
                         if (unattended)
                             queueOrCollect(number);
                     });
    QObject::connect(m_collector.get(), &UnattendedCollector::portHeld, &station,
                     &FrmStGSM::setPortLent);

    DatabaseTarget target;
    QString why;
    if (!DatabaseTarget::parse(services.machineDatabase(), &target, &why) ||
        target.kind != DatabaseTarget::Kind::Postgres)
        return;
    FleetCollector::Options o;
    o.name = AlarmQueue::stationName();
    o.workFolder = QDir(QDir::tempPath())
                       .filePath(QStringLiteral("gsmstation-%1").arg(QDir::home().dirName()));
    o.ipSessions = 0; // machines on IP are the fleet collectors' work
    const QString connection =
        QStringLiteral("station-queue-%1").arg(quintptr(this), 0, 16);
    m_fleet = std::make_unique<Fleet>(connection, *services.clock, o, station.lender(),
                                      station.Timer2, *runner);
    m_fleet->ready = target.open(connection, &why) && m_fleet->queue.prepare(&why);
    m_fleet->port.setHandOverTimer(&station.Timer6);
    m_fleet->port.setConsole(&console);
    Fleet *f = m_fleet.get();
    m_fleet->collector.setReconnect([f] { return f->reopen(); });
    m_fleet->collector.addModemLine(&m_fleet->port, [f] { return f->port.portFree(); });
    QObject::connect(&m_fleet->port, &StationPortRunner::portHeld, &station,
                     &FrmStGSM::setPortLent);
    station.setQueueLineChoice({[this] { return servesQueue(); },
                                [this](bool on) { setServesQueue(on); }});
}

CollectDesk::~CollectDesk() = default;

void CollectDesk::setPortNeeded(std::function<bool(const QString &)> needed)
{
    m_portNeeded = needed;
    if (m_collector)
        m_collector->setPortNeeded(std::move(needed));
}

FleetCollector *CollectDesk::fleet()
{
    return m_fleet ? &m_fleet->collector : nullptr;
}

bool CollectDesk::servesQueue() const
{
    return m_fleet && m_fleet->serving;
}

void CollectDesk::setServesQueue(bool serve)
{
    if (!m_fleet || m_fleet->serving == serve)
        return;
    m_fleet->serving = serve;
    if (m_settings)
        m_settings->setValue(ServeKey, serve);
    if (serve) {
        m_fleet->ensureReady(); // else the collector retries with its backoff
        m_fleet->collector.start();
    } else {
        // Calls under way finish; no new claim is made.
        m_fleet->collector.stop();
    }
}

void CollectDesk::keepChoice(QSettings *settings)
{
    m_settings = settings;
    if (settings)
        setServesQueue(settings->value(ServeKey, false).toBool());
}

void CollectDesk::queueOrCollect(const QString &number)
{
    if (m_fleet) {
        const bool modem = !m_portNeeded || m_portNeeded(number);
        auto enqueue = [&] {
            return m_fleet->ensureReady()
                       ? m_fleet->queue.enqueue(number, CollectQueue::AuditJob, modem,
                                                m_s.clock->now().toMSecsSinceEpoch(),
                                                AlarmQueue::stationName())
                       : CollectQueue::Enqueued::Failed;
        };
        CollectQueue::Enqueued e = enqueue();
        if (e == CollectQueue::Enqueued::Failed) {
            m_fleet->ready = false; // the connection may have dropped since: once more
            e = enqueue();
        }
        if (e != CollectQueue::Enqueued::Failed) {
            m_station.addUnattendedResult(m_s.clock->now(), number,
                                          e == CollectQueue::Enqueued::Added
                                              ? FrmStGSM::tr("queued for the collectors")
                                              : FrmStGSM::tr("already queued for the collectors"));
            return;
        }
        // The queue cannot take it: this station collects it, as on a single desk.
    }
    m_collector->collect(number);
}
