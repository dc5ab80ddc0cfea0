#include "NetworkPolling.h"

#include "FrmStGSM.h"
#include "ModemCommands.h"
#include "ModemSteps.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QLabel>

StatusChange statusChange(const QByteArray &command, const QByteArray &buf)
{
    StatusChange c;
    const int colon = buf.indexOf(':');
    if (command == "AT+CGATT?") {
        c.gprsShown = leadingNumber(buf.mid(colon + 1, 2)) != 0;
    } else if (command == "AT+CSQ") {
        // 99, which means "unknown", keeps its five low bits: 3.
        const int comma = buf.indexOf(',');
        if (colon >= 0 && comma > colon + 1)
            c.signal = leadingNumber(buf.mid(colon + 1, comma - colon - 1)) & 31;
    } else if (command == "AT+CREG?") {
        if (const int status = ModemSteps::registrationStatus(buf); status >= 0)
            c.registration = registrationFor(status);
    } else if (command == "AT+COPS?") {
        const int p = buf.indexOf('"') + 1;
        const int q = p > 0 ? buf.indexOf('"', p) : -1;
        if (q - p >= 1)
            c.operatorText = operatorName(buf);
    }
    return c;
}

NetworkPolling::Answer NetworkPolling::ask(const QByteArray &command, bool errorLoses)
{
    // Each query reads the port before it looks at the clock (see ExchangeRules).
    const QList<QByteArray> markers =
        errorLoses ? QList<QByteArray>{ERROR_CRLF, OK_} : QList<QByteArray>{OK_CRLF};
    const int found = w.at().exchange(command, 2000, ExchangeRules{markers, false, true});
    if (found < 0)
        return Answer::TimedOut;
    return errorLoses && found == 0 ? Answer::Error : Answer::Ok;
}

void NetworkPolling::tick()
{
    w.Timer2.setInterval(10000);
    w.Timer6.setEnabled(true);
    w.Timer2.setEnabled(false);
    w.CONTROLLASMS();

    // "ERROR" to the registration or the operator query loses the modem.
    static const std::pair<QByteArray, bool> queries[] = {
        {"AT+CGATT?", false}, {"AT+CSQ", false}, {"AT+CREG?", true}, {"AT+COPS?", true}};
    int timeouts = 0;
    for (const auto &[command, errorLoses] : queries) {
        if (!w.ComOK())
            return; // another window holds the port: polling rests
        switch (ask(command, errorLoses)) {
        case Answer::Error:
            lost();
            return;
        case Answer::TimedOut:
            ++timeouts;
            if (command == "AT+CGATT?")
                w.ProgressBar2->setVisible(false);
            break;
        case Answer::Ok:
            show(statusChange(command, w.at().buffer()));
            break;
        }
    }
    if (timeouts < 3)
        w.Timer2.setEnabled(true);
    else
        lost();
}

void NetworkPolling::show(const StatusChange &c)
{
    if (c.gprsShown)
        w.ProgressBar2->setVisible(*c.gprsShown);
    if (c.signal) {
        w.ProgressBar1->setLevel(*c.signal);
        w.ProgressBar2->setLevel(*c.signal);
    }
    if (c.registration) {
        w.tray().setIcon(1);
        w.tray().setState(0);
        w.enableCallAndSend(false);
        w.tray().setState(c.registration->trayState);
        w.enableCallAndSend(c.registration->trayState == 1);
        w.tray().setToolTip(c.registration->toolTip);
    }
    if (c.operatorText)
        w.Label1[3]->setText(*c.operatorText);
}

void NetworkPolling::lost()
{
    w.enableCallAndSend(false);
    w.tray().setIcon(0);
    w.tray().setState(0);
    w.tray().setToolTip(QCoreApplication::translate("NetworkPolling", "ERROR! GSM no Connected"));
    w.Label1[3]->setText(QCoreApplication::translate("NetworkPolling", "ERROR! No Connected"));
    w.ProgressBar1->setLevel(0);
    w.Timer1.setEnabled(true);
}
