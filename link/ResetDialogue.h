#pragma once

#include "LinkState.h"
#include "Timer.h"

#include <QObject>

class Dialogs;
struct ReceiveBox;
class LinkConsole;
class SerialPort;

// Gives the machine a one-byte command through its command register and, for the alarm reset,
// watches its status register until the reset is carried out. A small state machine on `Timer12`
// (200 ms) with `Timer11` (60 s) as its answer time-out; `ResetStep` names its states.
class ResetDialogue : public QObject
{
    Q_OBJECT
public:
    ResetDialogue(LinkState &state, SerialPort &port, Dialogs &dialogs, ReceiveBox &box,
                  ::Timer &pollingTimer, QObject *parent = nullptr);

    void setConsole(LinkConsole *c) { m_console = c; }

    // The console's start of an alarm reset: shared state set and `Timer12` switched on.
    void startReset();
    // The erase command: sent once, no answer awaited.
    void startErase();
    // Stops both timers (the console's cancel and hang-up).
    void stop();
    bool running() const { return Timer12.isEnabled(); }

    ::Timer Timer11{QStringLiteral("Timer11"), 60000, false};
    ::Timer Timer12{QStringLiteral("Timer12"), 200, false};

signals:
    // The dialogue ended on its own. done: the machine acknowledged the reset after a write or
    // reported it carried out, or the erase went out; false: it gave up or was not waited for.
    // A cancel or hang-up from the console (stop()) emits nothing.
    void finished(bool done);

private:
    void tick();
    void answerTimeout();
    void send(ResetStep step);
    // The two characters before "<EOT>" of the received frame text.
    static QByteArray checkDigits(const QByteArray &frame);
    // Whether the frame names the request the dialogue sent last.
    bool answersRequest(const QByteArray &frame) const;
    void giveUp(const QString &message);
    void cancelThroughConsole();

    LinkState &m;
    SerialPort &m_port;
    Dialogs &m_dialogs;
    ReceiveBox &m_box;
    ::Timer &m_pollingTimer; // `Timer2`
    LinkConsole *m_console = nullptr;
    ::Timer m_clearStatus{QStringLiteral("CommandSentShown"), 1000, false};
};
