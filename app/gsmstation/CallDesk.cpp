#include "CallDesk.h"

#include "CallQueue.h"
#include "CallSession.h"
#include "FrmCall.h"
#include "FrmStGSM.h"
#include "MachineDb.h"
#include "MachineLink.h"
#include "MachineListModel.h"
#include "ModPublic.h"

#include <QDir>

CallDesk::CallDesk(FrmStGSM &station, const Services &services, CallQueue &queue,
                   WindowOpener *sendWindow)
    : m_station(station), m_db(std::make_unique<SqlMachineDb>(
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
    m_window->setOnLoad([this, sendWindow] {
        m_station.hide();
        if (sendWindow && sendWindow->isLoaded())
            sendWindow->unload();
    });
    station.setCallConsole(m_window.get());
}

CallDesk::~CallDesk()
{
    m_station.setCallConsole(nullptr);
}
