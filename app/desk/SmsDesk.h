#pragma once

#include "Services.h"

#include <QString>
#include <functional>
#include <memory>

class FrmSend;
class FrmSms;
class FrmStGSM;
class ModemSim;
class SimulatedFleet;
class SmsReception;
class SmsStore;

// Wires the SMS desk into a station: the send window behind the "Send SMS" menu entry, the
// incoming SMS window, reception at every network-polling tick. With a simulated modem it also
// installs the SMS store and the demonstration fleet, and seeds the demonstration database
// when there is none. Lives as long as the station and is destroyed before it.
class SmsDesk
{
public:
    // comOK: the station's `ComOK`. The machine database is "Dati.mdb" in the program folder;
    // the monthly logs lie in its parent.
    SmsDesk(FrmStGSM &station, const Services &services, ModemSim *modem,
            const QString &programFolder, std::function<bool()> comOK);
    ~SmsDesk();

    FrmSend &sendWindow() { return *m_send; }
    FrmSms &smsWindow() { return *m_sms; }
    // Null unless simulating.
    SmsStore *store() { return m_store.get(); }
    SimulatedFleet *fleet() { return m_fleet.get(); }

private:
    FrmStGSM &m_station;
    std::unique_ptr<SmsStore> m_store;
    std::unique_ptr<SimulatedFleet> m_fleet;
    std::unique_ptr<FrmSend> m_send;
    std::unique_ptr<FrmSms> m_sms;
    std::unique_ptr<SmsReception> m_reception;
};
