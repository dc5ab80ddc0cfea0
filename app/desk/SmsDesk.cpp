#include "SmsDesk.h"

#include "DemoData.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "FrmStGSM.h"
#include "MachineDb.h"
#include "ModemSim.h"
#include "SimulatedFleet.h"
#include "SmsReception.h"
#include "SmsStore.h"

#include <QDir>
#include <QFileInfo>

SmsDesk::SmsDesk(FrmStGSM &station, const Services &services, ModemSim *modem,
                 const QString &programFolder, std::function<bool()> comOK)
    : m_station(station)
{
    QDir parent(programFolder);
    parent.cdUp();
    const QString logFolder = parent.absolutePath();
    const QString database = services.machineDatabase();

    if (modem) {
        // The demonstration fleet goes into an empty database only.
        if (SqlMachineDb db(database);
            db.open() && db.records(MachineTables::Distributori).isEmpty())
            DemoData::seed(db);
        m_store = std::make_unique<SmsStore>();
        m_store->install(*modem);
        m_fleet = std::make_unique<SimulatedFleet>(
            *m_store, *services.clock, DemoData::machineNumbers(), DemoData::strangerNumber());
        m_fleet->start(15000, 20000, 35000);
    }

    m_send = std::make_unique<FrmSend>(services, station.at(), &station, logFolder);
    m_sms = std::make_unique<FrmSms>(services, database, *m_send);
    m_reception =
        std::make_unique<SmsReception>(services, station.at(), *m_sms, std::move(comOK), logFolder);
    station.setSmsPoll([this] { m_reception->CONTROLLASMS(); });
    station.setSendWindow(&m_send->opener());
    m_sms->showPending();
}

SmsDesk::~SmsDesk()
{
    m_station.setSmsPoll({});
    m_station.setSendWindow(nullptr);
}
