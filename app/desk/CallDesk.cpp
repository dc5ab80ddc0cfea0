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

namespace {
// The window being opened takes the modem over from the one it closes, whose unload handed the
// port back to the station: the station must not poll it meanwhile.
void takeOver(WindowOpener &other, Timer &polling)
{
    if (!other.isLoaded())
        return;
    other.unload();
    modPublic().StationActive = false;
    polling.setEnabled(false);
}
} // namespace

// The console as the send window sees it: closing it hands the port to the send window.
class CallDesk::ConsoleForSend : public WindowOpener
{
public:
    ConsoleForSend(WindowOpener &console, Timer &polling) : m_console(console), m_polling(polling)
    {
    }
    void show() override { m_console.show(); }
    bool isLoaded() const override { return m_console.isLoaded(); }
    void unload() override { takeOver(m_console, m_polling); }

private:
    WindowOpener &m_console;
    Timer &m_polling;
};

CallDesk::CallDesk(FrmStGSM &station, const Services &services, CallQueue &queue,
                   FrmSend &sendWindow)
    : m_station(station), m_send(sendWindow),
      m_db(std::make_unique<SqlMachineDb>(
          QDir(services.appFolder).filePath(QStringLiteral("Dati.mdb")))),
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
    // The two windows close each other: either one holds the modem while it is open.
    m_window->setOnLoad([this] {
        m_station.hide();
        takeOver(m_send.opener(), m_station.Timer2);
    });
    m_consoleForSend = std::make_unique<ConsoleForSend>(*m_window, station.Timer2);
    m_send.setCallConsole(m_consoleForSend.get());
    station.setCallConsole(m_window.get());
}

CallDesk::~CallDesk()
{
    m_station.setCallConsole(nullptr);
    m_send.setCallConsole(nullptr);
}
