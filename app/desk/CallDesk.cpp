#include "CallDesk.h"

#include "CallQueue.h"
#include "CallSession.h"
#include "FrmCall.h"
#include "FrmSend.h"
#include "FrmStGSM.h"
#include "MachineDb.h"
#include "MachineLink.h"
#include "MachineListModel.h"
#include "ModPublic.h"

#include <QDir>

CallDesk::CallDesk(FrmStGSM &station, const Services &services, CallQueue &queue,
                   FrmSend &sendWindow)
    : m_station(station), m_send(sendWindow),
      m_db(std::make_unique<SqlMachineDb>(
          QDir(services.appFolder).filePath(QStringLiteral("Dati.mdb")))),
      m_machines(std::make_unique<MachineListModel>()),
      m_link(std::make_unique<MachineLink>(modPublic(), *services.port, *services.dialogs,
                                           station.Timer2, station.Timer5))
{
    m_link->setAppFolder(services.appFolder);
    m_link->setClock(services.clock);
    m_session = std::make_unique<CallSession>(services, modPublic(), *m_link, station.Timer2,
                                              station.Timer5);
    m_window = std::make_unique<FrmCall>(*m_session, *m_machines);
    m_window->setCallQueue([&queue] { return queue.takeNext(); });
    m_window->setFillList([this] {
        // Errors leave the list empty; the database is opened again at the next fill.
        if (m_db->isOpen() || m_db->open())
            m_machines->fill(*m_db);
    });
    // The two windows close each other: either one holds the modem while it is open.
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
