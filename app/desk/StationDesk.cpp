#include "StationDesk.h"

#include "CallSession.h"
#include "FrmCall.h"
#include "MachineDb.h"
#include "MachineListModel.h"
#include "MachineListener.h"
#include "TcpLine.h"
#include "UnattendedCollector.h"

#include <QDir>

// The desks get the station's services, which carry its port lender.
StationDesk::StationDesk(const Services &services, ModemSim *modem)
    : m_lines(QDir(services.appFolder).filePath(QStringLiteral("Dati.mdb"))),
      m_station(services),
      m_sms(m_station, m_station.services(), modem, services.appFolder,
            [this] { return m_station.ComOK(); }),
      m_scheduler(services), m_scheduleWindow(services, m_scheduler.schedule()),
      m_calls(m_station, m_station.services(), m_scheduler.queue(), m_sms.sendWindow()),
      m_runner(*services.port, services.appFolder),
      m_collect(m_station, m_station.services(), m_scheduler, m_calls.window(), &m_runner)
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
    if (UnattendedCollector *c = m_collect.collector())
        c->setPortNeeded([this](const QString &number) { return m_lines.needsModem(number); });
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
