#pragma once

#include "Services.h"

#include <QString>
#include <memory>

class CallQueue;
class CallSession;
class FrmCall;
class FrmSend;
class FrmStGSM;
class MachineListModel;
class SqlMachineDb;

// Wires the machine link and the call console into a station: the link runs on the main
// window's timers and port, the console lists the machines of the shared database and sits
// behind the "Call" menu entry and the scheduled-call hand-over. Lives as long as the station and
// is destroyed before it.
class CallDesk
{
public:
    CallDesk(FrmStGSM &station, const Services &services, CallQueue &queue, FrmSend &sendWindow);
    ~CallDesk();

    CallSession &session() { return *m_session; }
    FrmCall &window() { return *m_window; }
    MachineListModel &machines() { return *m_machines; }

private:
    FrmStGSM &m_station;
    FrmSend &m_send;
    std::unique_ptr<SqlMachineDb> m_db;
    std::unique_ptr<MachineListModel> m_machines;
    std::unique_ptr<CallSession> m_session;
    std::unique_ptr<FrmCall> m_window;
};
