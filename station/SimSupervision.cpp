#include "SimSupervision.h"

#include "Dialogs.h"
#include "FrmPin.h"
#include "FrmStGSM.h"
#include "ModPublic.h"
#include "PinFile.h"

#include <QDir>
#include <QLabel>

namespace {
Dialogs &dialogs(FrmStGSM &w)
{
    return *w.services().dialogs;
}
} // namespace

void SimSupervision::tick()
{
    ModPublic &pub = modPublic();
    pub.PinConfirmed = false;
    w.Timer2.setEnabled(false);
    w.Timer1.setEnabled(false);
    w.Timer1.setInterval(3000);
    if (!w.ComOK())
        return;

    AtExchange &at = w.at();
    at.clear();
    at.send("AT+CPIN?\r");
    at.Tout(5000);
    for (;;) {
        if (!at.waitRound()) {
            w.Timer1.setEnabled(true);
            return;
        }
        at.readPort();
        if (at.contains("READY")) {
            w.Timer2.setInterval(1000);
            simReady();
            return;
        }
        w.Timer2.setInterval(20000);
        if (at.contains(ERROR_)) {
            w.Timer1.setEnabled(true);
            if (++pub.SimErrorCount == 6) {
                dialogs(w).message(QStringLiteral("SIM not Present or SIM Defect or SIM Busy "));
                w.Timer1.setEnabled(false);
                w.Timer2.setEnabled(false);
            }
            return;
        }
        if (at.contains("SIM PUK")) {
            dialogs(w).message(QStringLiteral("Error PUK"), MsgButtons::Ok, MsgIcon::Critical,
                               QStringLiteral("PUK"));
            w.showPinWindow()->Vpuk();
            return;
        }
        // Modems spell the phone-lock state "PH-SIM PIN"; it must never get the SIM PIN.
        if (at.contains("PH_SIM PIN") || at.contains("PH-SIM PIN")) {
            dialogs(w).message(QStringLiteral("Waiting for Phone to SIM card(antitheft)"),
                               MsgButtons::Ok, MsgIcon::Critical);
            w.Timer1.setEnabled(false);
            w.Timer2.setEnabled(false);
            return;
        }
        if (at.contains("SIM PIN")) {
            if (unlockWithStoredPin() == Next::Ready)
                simReady();
            return;
        }
    }
}

SimSupervision::Next SimSupervision::unlockWithStoredPin()
{
    AtExchange &at = w.at();
    at.collect({OK_CRLF});
    QByteArray line;
    if (!PinFile::readFirstLine(QDir::currentPath(), &line)) {
        w.showPinWindow()->Vpin();
        return Next::Done;
    }
    const QByteArray arg = PinFile::pinArgument(line);
    if (arg != "\"\"")
        at.pause(1000);
    if (at.exchange("AT+CPIN=" + arg, 5000, {ERROR_CRLF, OK_CRLF}, CRLF) == 0) {
        // A refused PIN stays in the file; the operator types the right one.
        dialogs(w).message(QStringLiteral("Error PIN"), MsgButtons::Ok, MsgIcon::Critical,
                           QStringLiteral("PIN"));
        w.showPinWindow()->Vpin();
        return Next::Done;
    }
    return Next::Ready;
}

void SimSupervision::simReady()
{
    AtExchange &at = w.at();
    w.Timer1.setEnabled(false);
    w.Timer1.setInterval(500);
    at.pause(1000);
    at.flush();
    const QList<QByteArray> judged = {ERROR_CRLF, OK_CRLF};
    at.exchange("AT+COPS=3,0", 2000, judged);
    at.exchange("AT+COPS=0", 2000, judged);
    auto identity = [&](const QByteArray &cmd, int label) {
        if (at.exchange(cmd, 3000, judged) != 1)
            return QString();
        const QString value = QString::fromLatin1(AtExchange::oneLineValue(at.buffer()));
        if (!value.isEmpty())
            w.Label1[label]->setText(value);
        return value;
    };
    const QString maker = identity("AT+CGMI", 0);
    if (!maker.isEmpty())
        modPublic().Manufacturer = maker;
    identity("AT+CGMM", 1);
    identity("AT+CGSN", 2);
    w.Timer2.setEnabled(true);
}
