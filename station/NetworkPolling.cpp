#include "NetworkPolling.h"

#include "FrmStGSM.h"
#include "ModemCommands.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QLabel>

PollingRound::Answer NetworkPolling::ask(const QByteArray &command, bool errorLoses)
{
    using Answer = PollingRound::Answer;
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

    PollingRound round;
    for (QByteArray command; !(command = round.next()).isEmpty();) {
        if (!w.ComOK())
            return; // another window holds the port: polling rests
        show(round.take(ask(command, round.errorLoses()), w.at().buffer()));
    }
    if (round.lost())
        lost();
    else
        w.Timer2.setEnabled(true);
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
