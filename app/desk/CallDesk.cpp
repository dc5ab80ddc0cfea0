#include "CallDesk.h"

#include "CallQueue.h"
#include "CallSession.h"
#include "FrmCall.h"
#include "FrmSend.h"
#include "FrmStGSM.h"
#include "MachineDb.h"
#include "MachineLink.h"
#include "MachineListModel.h"

#include <QDir>

CallDesk::CallDesk(FrmStGSM &station, const Services &services, CallQueue &queue,
                   FrmSend &sendWindow)
    : m_station(station), m_send(sendWindow),
      m_db(std::make_unique<SqlMachineDb>(
          services.machineDatabase())),
      m_machines(std::make_unique<MachineListModel>()),
      m_session(std::make_unique<CallSession>(services, station.Timer2, station.Timer5))
{
    m_window = std::make_unique<FrmCall>(*m_session, *m_machines);
    m_window->setCallQueue([&queue] { return queue.takeNext(); });
    m_window->setFillList([this] {
        // Errors leave the list empty; the database is opened again at the next fill.
        if (m_db->isOpen() || m_db->open())
            m_machines->fill(*m_db);
    });
    // The two windows close each other: either one holds the modem while it is open. Both
    // borrow it from the station's lender, so the one that opens keeps the station off the port
    // while the other gives its loan back.
    m_window->setOnLoad([this] {
        m_station.hide();
        if (m_send.opener().isLoaded())
            m_send.opener().unload();
    });
    m_send.setCallConsole(m_window.get());
    station.setCallConsole(m_window.get());
}

CallDesk::~CallDesk()
{
    m_station.setCallConsole(nullptr);
    m_send.setCallConsole(nullptr);
}
