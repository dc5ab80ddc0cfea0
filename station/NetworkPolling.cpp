#include "NetworkPolling.h"

#include "FrmStGSM.h"
#include "ModemCommands.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QLabel>

Registration registrationFor(int status)
{
    switch (status) {
    case 0:
        return {QStringLiteral("NO connect"), 0};
    case 1:
        return {QStringLiteral("Connect Home network"), 1};
    case 2:
        return {QStringLiteral("Searching operator"), 0};
    case 3:
        return {QStringLiteral("Operator registration denied"), 0};
    case 4:
        return {QStringLiteral("Unknown"), 0};
    case 5:
        return {QStringLiteral("Connect Roaming network"), 1};
    default:
        return {QString(), 0};
    }
}

QString operatorName(const QByteArray &answer)
{
    const int mcc = answer.indexOf("222");
    if (mcc < 0)
        return QStringLiteral(" Unidentified");
    const QByteArray code = answer.mid(mcc + 3, 2);
    if (code == "01")
        return QStringLiteral(" TIM");
    if (code == "10")
        return QStringLiteral(" OMNITEL");
    if (code == "88")
        return QStringLiteral(" WIND");
    if (code == "98")
        return QStringLiteral(" BLUE");
    return QStringLiteral(" Operator n\u00B0") + QString::fromLatin1(code);
}

int NetworkPolling::query(const QByteArray &command, const QList<QByteArray> &markers)
{
    return w.at().exchange(command, 2000, ExchangeRules{markers, false, true});
}

void NetworkPolling::tick()
{
    w.Timer2.setInterval(10000);
    w.Timer6.setEnabled(true);
    w.Timer2.setEnabled(false);
    w.CONTROLLASMS();

    int timeouts = 0;
    const QByteArray &buf = w.at().buffer();

    // GPRS attachment
    if (!w.ComOK())
        return;
    if (query("AT+CGATT?", {OK_CRLF}) == TimedOut) {
        ++timeouts;
        w.ProgressBar2->setVisible(false);
    } else {
        const int colon = buf.indexOf(':');
        w.ProgressBar2->setVisible(leadingNumber(buf.mid(colon + 1, 2)) != 0);
    }

    // Signal quality; 99 (unknown) keeps its five low bits, 3.
    if (!w.ComOK())
        return;
    if (query("AT+CSQ", {OK_CRLF}) == TimedOut) {
        ++timeouts;
    } else {
        const int colon = buf.indexOf(':');
        const int comma = buf.indexOf(',');
        const QByteArray field =
            colon >= 0 && comma > colon + 1 ? buf.mid(colon + 1, comma - colon - 1) : QByteArray();
        if (!field.isEmpty()) {
            const int level = leadingNumber(field) & 31;
            w.ProgressBar1->setLevel(level);
            w.ProgressBar2->setLevel(level);
        }
    }

    // Registration
    if (!w.ComOK())
        return;
    switch (query("AT+CREG?", {ERROR_CRLF, OK_})) {
    case 0:
        lost();
        return;
    case TimedOut:
        ++timeouts;
        break;
    default:
        if (const int at = buf.indexOf("+CREG:"); at >= 0) {
            w.tray().setIcon(1);
            w.tray().setState(0);
            w.enableCallAndSend(false);
            const Registration r = registrationFor(leadingNumber(buf.mid(at + 9, 1)));
            w.tray().setState(r.trayState);
            w.enableCallAndSend(r.trayState == 1);
            w.tray().setToolTip(r.toolTip);
        }
    }

    // Operator
    if (!w.ComOK())
        return;
    switch (query("AT+COPS?", {ERROR_CRLF, OK_})) {
    case 0:
        lost();
        return;
    case TimedOut:
        ++timeouts;
        break;
    default: {
        const int p = buf.indexOf('"') + 1;
        const int q = p > 0 ? buf.indexOf('"', p) : -1;
        if (q - p >= 1) {
            w.Label1[3]->setText(QString::fromLatin1(buf.mid(p, q - p)));
            w.Label1[3]->setText(operatorName(buf));
        }
    }
    }

    if (timeouts < 3)
        w.Timer2.setEnabled(true);
    else
        lost();
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
