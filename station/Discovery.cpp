#include "Discovery.h"

#include "Dialogs.h"
#include "FrmSet.h"
#include "FrmStGSM.h"
#include "ModPublic.h"
#include "ModemCommands.h"
#include "Runtime.h"
#include "SerialPort.h"
#include "TrayIcon.h"

#include <QAction>

namespace {
const QString Settings19200 = QStringLiteral("19200,N,8,1");
const QList<QByteArray> ZAnswered = {ERROR_CRLF, OK_CRLF};
} // namespace

void Discovery::reopen(const char *settings)
{
    SerialPort &port = *w.services().port;
    port.close();
    port.setSettings(QString::fromLatin1(settings));
    port.open(); // a port that cannot be opened just lets the exchange time out
}

bool Discovery::ComOK()
{
    if (!mayUsePort())
        return false;
    SerialPort &port = *w.services().port;
    if (port.isOpen())
        return true;
    AtExchange &at = w.at();
    // "Exit" (or a window that takes the port over) stops the search before the next port.
    while (mayUsePort()) {
        // A: 19200 baud, the station's own speed.
        port.setDtrEnable(true);
        port.setRtsEnable(true);
        port.setSettings(Settings19200);
        port.open();
        at.flush();
        bool answered = at.exchange("ATZ", 500, ExchangeRules{ZAnswered, true}) >= 0;
        if (!answered) {
            // B: a wake-up at 9600 for its effect on the modem only.
            reopen("9600,N,8,1");
            at.exchange("ATZ", 500, {OK_CRLF});
            // C: a modem at 115200 is brought to 19200 by GSMSet.
            reopen("115200,N,8,1");
            if (at.exchange("ATZ", 500, {OK_CRLF}) == 0)
                GSMSet();
            // D: 19200 again.
            reopen("19200,N,8,1");
            answered = at.exchange("ATZ", 500, ZAnswered) >= 0;
        }
        if (answered) {
            // E: a modem counts only with a SIM that answers.
            const int sim = at.exchange("AT+CPIN?", 5000, {"SIM PUK", "READY", ERROR_, "SIM PIN"});
            if (sim == 0 || sim == 1 || sim == 3) {
                // G: found.
                at.collect({OK_CRLF});
                w.mnuSet->setEnabled(true);
                w.mnuOPEN->setEnabled(true);
                FrmSet *set = w.loadSetupWindow();
                set->setup();
                return true;
            }
        }
        // F: next port.
        int next = port.commPort() + 1;
        if (next == 14) {
            const MsgResult r = w.services().dialogs->message(
                QStringLiteral("NO GSM FOUND!"), MsgButtons::RetryCancel, MsgIcon::Critical,
                QStringLiteral("ERROR"));
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

bool Discovery::mayUsePort()
{
    return modPublic().StationActive && !Runtime::current().isEnding();
}

void Discovery::giveUp()
{
    // H: no modem; the exit sequence follows and starts the sibling program.
    w.mnuConn->setEnabled(true);
    w.Timer1.setEnabled(false);
    w.tray().setIcon(3);
    w.tray().setState(0);
    w.tray().setToolTip(QStringLiteral("Direct connect"));
    modPublic().StationActive = false;
    w.Timer4.setEnabled(true);
}

void Discovery::GSMSet()
{
    AtExchange &at = w.at();
    sendEach(at,
             {"ATE0", "AT+ICF=3,3", "AT+IFC=2,2", "AT+CBST=7,0,1", "ATS0=0", "ATX0",
              "AT+CBST=7,0,1", "AT+IPR=19200"},
             1000);
    reopen("19200,N,8,1");
    if (checkAutoBand(at))
        w.services().dialogs->message(QString::fromLatin1(ModemChangedMessage), MsgButtons::Ok,
                                      MsgIcon::Information);
}
