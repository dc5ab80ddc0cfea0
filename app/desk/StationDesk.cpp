#include "StationDesk.h"

#include "FrmCall.h"
#include "MachineDb.h"
#include "MachineListModel.h"
#include "MachineListener.h"

#include <QDir>

// The desks get the station's services, which carry its port lender.
StationDesk::StationDesk(const Services &services, ModemSim *modem)
    : m_station(services),
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
}

StationDesk::~StationDesk() = default;

bool StationDesk::listen(const QString &hostPort, QString *error)
{
    m_identities = std::make_unique<SqlMachineDb>(
        QDir(m_station.services().appFolder).filePath(QStringLiteral("Dati.mdb")));
    auto listener = std::make_unique<MachineListener>([this](const QByteArray &identity) {
        // Opened at the first machine that connects, and again after a failure.
        if (!m_identities->isOpen() && !m_identities->open())
            return QString();
        return machineIdentifiedBy(*m_identities, identity);
    });
    if (!listener->listen(hostPort, error))
        return false;
    m_listener = std::move(listener);
    QObject::connect(m_listener.get(), &MachineListener::onlineChanged,
                     [this](const QString &number, bool online) {
                         m_calls.machines().setOnline(number, online);
                     });
    return true;
}
