#include "Discovery.h"

#include "Dialogs.h"
#include "FrmSet.h"
#include "FrmStGSM.h"
#include "ModemCommands.h"
#include "ModemSteps.h"
#include "Runtime.h"
#include "SerialPort.h"
#include "TrayIcon.h"

#include <QAction>

bool Discovery::ComOK()
{
    if (!mayUsePort())
        return false;
    SerialPort &port = *w.services().port;
    if (port.isOpen())
        return true;
    // "Exit" (or a window that takes the port over) stops the search before the next port.
    while (mayUsePort()) {
        // A to E: the speeds, then the SIM.
        if (ModemSteps::probePort(w.at(), [this] { GSMSet(); })) {
            // G: found.
            w.mnuSet->setEnabled(true);
            w.mnuOPEN->setEnabled(true);
            FrmSet *set = w.loadSetupWindow();
            set->setup();
            return true;
        }
        // F: next port.
        int next = port.commPort() + 1;
        if (next == 14) {
            const MsgResult r = w.services().dialogs->message(
                QCoreApplication::translate("Discovery", "NO GSM FOUND!"), MsgButtons::RetryCancel,
                MsgIcon::Critical, QCoreApplication::translate("Discovery", "ERROR"));
            if (r != MsgResult::Retry) {
                giveUp();
                return false;
            }
            next = 1;
        }
        if (port.isOpen())
            port.close();
        port.setCommPort(next);
    }
    return false;
}

bool Discovery::mayUsePort() const
{
    return w.state().StationActive && !Runtime::current().isEnding();
}

void Discovery::giveUp()
{
    // H: no modem; the exit sequence follows and starts the sibling program.
    w.mnuConn->setEnabled(true);
    w.Timer1.setEnabled(false);
    w.tray().setIcon(3);
    w.tray().setState(0);
    w.tray().setToolTip(QCoreApplication::translate("Discovery", "Direct connect"));
    w.state().StationActive = false;
    w.Timer4.setEnabled(true);
}

void Discovery::GSMSet()
{
    if (ModemSteps::fixSpeed(w.at()))
        w.services().dialogs->message(
            QCoreApplication::translate("ModemCommands", ModemChangedMessage), MsgButtons::Ok,
            MsgIcon::Information);
}
