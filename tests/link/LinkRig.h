#pragma once

#include "Clock.h"
#include "Dialogs.h"
#include "LinkConsole.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineLink.h"
#include "Runtime.h"

#include <QTest>
#include <functional>

// The console as the link sees it: records what the link shows and does what the call console's
// hang-up and reset do to the link.
class RecordingConsole : public LinkConsole
{
public:
    explicit RecordingConsole(MachineLink &link, LinkState &state, ::Timer &scheduleTimer)
        : m_link(link), m_state(state), m_scheduleTimer(scheduleTimer)
    {
    }

    void setProgressMaximum(int max) override { progressMax = max; }
    int progressMaximum() const override { return progressMax; }
    void setProgressValue(int value) override { progress = value; }
    int progressValue() const override { return progress; }
    void showReceiveText(const QByteArray &) override {}
    void showFrameNumber(const QString &) override {}
    void setStatusLine(const QString &) override {}
    void resetAlarmEnded() override {}
    void setCommandsEnabled(bool on) override { commandsEnabled = on; }
    QString machineNumber() const override { return QStringLiteral("3351234567"); }
    void auditDownloaded() override { ++audits; }

    void hangUp() override
    {
        ++hangUps;
        progress = 0;
        m_state.RxTimeoutCount = 0;
        m_state.LinkActive = false;
        m_link.box.clear();
        m_state.RxFrame.clear();
        m_link.engine.stopTimers();
        m_link.engine.Timer13.stop();
        m_link.dialogue.stop();
        commandsEnabled = true;
    }
    // The reset that follows a configuration write.
    void resetAlarmClick() override
    {
        commandsEnabled = false;
        m_link.dialogue.startReset();
        m_scheduleTimer.stop();
        m_scheduleTimer.start();
    }

    int progressMax = 0, progress = 0, hangUps = 0, audits = 0;
    bool commandsEnabled = false;

private:
    MachineLink &m_link;
    LinkState &m_state;
    ::Timer &m_scheduleTimer;
};

// A connected call: the link on port 1, a simulated controller at the far end, scripted dialogs
// and a recording console. Answers can be tampered with on their way back.
struct Line
{
    explicit Line(const MachineProfile &profile = MachineProfile()) : machine(profile)
    {
        port.plug(1, &machine);
        machine.setOutput([this](const QByteArray &bytes) {
            const QByteArray b = tamper ? tamper(bytes) : bytes;
            if (!b.isEmpty())
                port.deliver(&machine, b);
        });
        port.setCommPort(1);
        port.open();
        link.setConsole(&console);
        link.setClock(&clock);
    }
    // The engine and the dialogue are done.
    bool idle() const
    {
        return !link.engine.Timer.isEnabled() && !link.engine.Timer8.isEnabled() &&
               !link.engine.Timer9.isEnabled() && !link.dialogue.Timer12.isEnabled();
    }
    // Requests the controller received that were well-formed.
    QList<MachineController::Request> validRequests() const
    {
        QList<MachineController::Request> out;
        for (const auto &r : machine.requests())
            if (r.valid)
                out << r;
        return out;
    }

    LoopbackPort port;
    ScriptedDialogs dialogs;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(9, 0))};
    ::Timer timer2{QStringLiteral("Timer2"), 6000, false};
    ::Timer timer5{QStringLiteral("Timer5"), 30000, true};
    MachineController machine;
    MachineLink link{port, dialogs, timer2, timer5};
    LinkState &state = link.state;
    RecordingConsole console{link, state, timer5};
    std::function<QByteArray(const QByteArray &)> tamper;
};
