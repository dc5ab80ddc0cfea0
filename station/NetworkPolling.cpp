#include "NetworkPolling.h"

#include "FrmStGSM.h"
#include "ModemCommands.h"
#include "ModemSteps.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QLabel>

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

    struct Query
    {
        QByteArray command;
        bool errorLoses;
        void (NetworkPolling::*show)(const QByteArray &answer);
        void (NetworkPolling::*timedOut)();
    };
    static const Query queries[] = {
        {"AT+CGATT?", false, &NetworkPolling::showGprs, &NetworkPolling::hideGprs},
        {"AT+CSQ", false, &NetworkPolling::showSignal, nullptr},
        {"AT+CREG?", true, &NetworkPolling::showRegistration, nullptr},
        {"AT+COPS?", true, &NetworkPolling::showOperator, nullptr},
    };
    int timeouts = 0;
    for (const Query &q : queries) {
        if (!w.ComOK())
            return; // another window holds the port: polling rests
        switch (ask(q.command, q.errorLoses)) {
        case Answer::Error:
            lost();
            return;
        case Answer::TimedOut:
            ++timeouts;
            if (q.timedOut)
                (this->*q.timedOut)();
            break;
        case Answer::Ok:
            (this->*q.show)(w.at().buffer());
            break;
        }
    }
    if (timeouts < 3)
        w.Timer2.setEnabled(true);
    else
        lost();
}

void NetworkPolling::hideGprs()
{
    w.ProgressBar2->setVisible(false);
}

void NetworkPolling::showGprs(const QByteArray &buf)
{
    const int colon = buf.indexOf(':');
    w.ProgressBar2->setVisible(leadingNumber(buf.mid(colon + 1, 2)) != 0);
}

// 99, which means "unknown", keeps its five low bits: 3.
void NetworkPolling::showSignal(const QByteArray &buf)
{
    const int colon = buf.indexOf(':');
    const int comma = buf.indexOf(',');
    if (colon < 0 || comma <= colon + 1)
        return;
    const int level = leadingNumber(buf.mid(colon + 1, comma - colon - 1)) & 31;
    w.ProgressBar1->setLevel(level);
    w.ProgressBar2->setLevel(level);
}

void NetworkPolling::showRegistration(const QByteArray &buf)
{
    const int status = ModemSteps::registrationStatus(buf);
    if (status < 0)
        return;
    w.tray().setIcon(1);
    w.tray().setState(0);
    w.enableCallAndSend(false);
    const Registration r = registrationFor(status);
    w.tray().setState(r.trayState);
    w.enableCallAndSend(r.trayState == 1);
    w.tray().setToolTip(r.toolTip);
}

void NetworkPolling::showOperator(const QByteArray &buf)
{
    const int p = buf.indexOf('"') + 1;
    const int q = p > 0 ? buf.indexOf('"', p) : -1;
    if (q - p < 1)
        return;
    w.Label1[3]->setText(QString::fromLatin1(buf.mid(p, q - p)));
    w.Label1[3]->setText(operatorName(buf));
}

void NetworkPolling::lost()
{
    w.enableCallAndSend(false);
    w.tray().setIcon(0);
    w.tray().setState(0);
    w.tray().setToolTip(QStringLiteral("ERROR! GSM no Connected"));
    w.Label1[3]->setText(QStringLiteral("ERROR! No Connected"));
    w.ProgressBar1->setLevel(0);
    w.Timer1.setEnabled(true);
}
