#include "StationDesk.h"

#include "CallSession.h"
#include "Clock.h"
#include "CollectJob.h"
#include "FleetCollector.h"
#include "FrmCall.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "MachineDb.h"
#include "MachineListModel.h"
#include "MachineListener.h"
#include "TcpLine.h"
#include "UnattendedCollector.h"
#include <QDir>

#include <QDir>

// The desks get the station's services, which carry its port lender.
StationDesk::StationDesk(const Services &services, ModemSim *modem)
    : m_lines(services.machineDatabase()),
      m_station(services),
      m_sms(m_station, m_station.services(), modem, services.appFolder,
            [this] { return m_station.ComOK(); }),
      m_scheduler(services), m_scheduleWindow(services, m_scheduler.schedule()),
      m_calls(m_station, m_station.services(), m_scheduler.queue(), m_sms.sendWindow()),
      m_runner(*services.port, services.appFolder),
      m_collect(m_station, m_station.services(), m_scheduler, m_calls.window(), &m_runner),
      m_windows(m_station)
{
    m_station.setCallQueue(&m_scheduler.queue());
    m_station.setScheduleLoader([this] { m_scheduler.loadAtStartUp(); });
    m_scheduler.check().attach(m_station.Timer5);
    m_calls.window().setOpenSchedule(
        [this](const QString &number) { m_scheduleWindow.showFor(number); });
    // Machines on IP are called over TCP, by the console and the collection alike; the
    // collection then leaves the modem to the station.
    m_calls.session().setLineChooser([this](const QString &number) {
        std::unique_ptr<TcpLine> line = m_lines.lineFor(number);
        m_calls.session().setLine(line.get());
        m_consoleLine = std::move(line);
    });
    m_runner.setLines([this](const QString &number) { return m_lines.lineFor(number); });
    m_collect.setPortNeeded([this](const QString &number) { return m_lines.needsModem(number); });

    FrmSend &send = m_sms.sendWindow();
    m_windows.addChild(&m_calls.window(), &m_calls.window());
    m_windows.addChild(&send, &send.opener());
    m_windows.place(&m_station, QStringLiteral("status"));
    m_windows.place(&m_calls.window(), QStringLiteral("call"));
    m_windows.place(&send, QStringLiteral("send"));
    m_windows.place(&m_sms.smsWindow(), QStringLiteral("sms"), &m_station);
    m_windows.place(&m_scheduleWindow, QStringLiteral("schedule"));
    showUnattendedWork();
}

// While a collection runs, the status line and the tray's tooltip follow its steps; each
// attempt's end joins the list of results.
void StationDesk::showUnattendedWork()
{
    if (FleetCollector *fleet = m_collect.fleet()) {
        // The queue's calls on this modem: the status line says which, the list how each ended.
        QObject::connect(fleet, &FleetCollector::callStarted, &m_station, [this](const QString &n) {
            m_station.setUnattendedStatus(FrmStGSM::tr("Collecting the audit of %1").arg(n));
        });
        QObject::connect(fleet, &FleetCollector::callFinished, &m_station,
                         [this](const QString &n, const AuditJobOutcome &o) {
                             m_station.setUnattendedStatus({});
                             m_station.addUnattendedResult(m_station.services().clock->now(), n,
                                                           resultShown(o.result));
                         });
    }
    UnattendedCollector *collector = m_collect.collector();
    if (!collector)
        return;
    auto who = [collector](const QString &number) {
        return collector->machine().isEmpty()
                   ? number
                   : QStringLiteral("%1 (%2)").arg(collector->machine(), number);
    };
    CallSession &session = m_runner.job().session();
    QObject::connect(&session, &CallSession::changed, &m_station, [this, collector, who, &session] {
        if (!collector->collecting())
            return;
        const CallProgress &report = session.report();
        const QString step = report.stepText();
        m_station.setUnattendedStatus(
            step.isEmpty()
                ? FrmStGSM::tr("Collecting the audit of %1").arg(who(session.Label1))
                : FrmStGSM::tr("Collecting the audit of %1: %2, %3%")
                      .arg(who(session.Label1), step)
                      .arg(report.percent()));
    });
    QObject::connect(collector, &UnattendedCollector::attemptStarted, &m_station,
                     [this, who](const QString &number) {
                         m_station.setUnattendedStatus(
                             FrmStGSM::tr("Collecting the audit of %1").arg(who(number)));
                     });
    QObject::connect(collector, &UnattendedCollector::attemptFinished, &m_station,
                     [this, collector, who](const QString &number, const AuditJobOutcome &o,
                                            int, bool again) {
                         m_station.setUnattendedStatus({});
                         m_station.addUnattendedResult(
                             collector->startedAt(), who(number),
                             again ? FrmStGSM::tr("%1, tried again in 5 minutes")
                                         .arg(resultText(o.result))
                                   : resultText(o.result));
                     });
}

StationDesk::~StationDesk() = default;

bool StationDesk::listen(const QString &hostPort, QString *error)
{
    auto listener = std::make_unique<MachineListener>([this](const QByteArray &identity) {
        return machineIdentifiedBy(m_lines.database(), identity);
    });
    if (!listener->listen(hostPort, error))
        return false;
    m_listener = std::move(listener);
    m_lines.setListener(m_listener.get());
    QObject::connect(m_listener.get(), &MachineListener::onlineChanged,
                     [this](const QString &number, bool online) {
                         m_calls.machines().setOnline(number, online);
                     });
    return true;
}
