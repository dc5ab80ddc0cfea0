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

    // Modems spell the phone-lock state "PH-SIM PIN"; it must never get the SIM PIN, so both
    // spellings are tested before "SIM PIN".
    enum { Ready, Error, Puk, PhoneLock, PhoneLockDash, Pin };
    const int found = w.at().exchange(
        "AT+CPIN?", 5000, {"READY", ERROR_, "SIM PUK", "PH_SIM PIN", "PH-SIM PIN", "SIM PIN"});
    if (found == Ready) {
        w.Timer2.setInterval(1000);
        simReady();
        return;
    }
    w.Timer2.setInterval(20000);
    switch (found) {
    case Error:
        w.Timer1.setEnabled(true);
        if (++pub.SimErrorCount == 6) {
            dialogs(w).message(QStringLiteral("SIM not Present or SIM Defect or SIM Busy "));
            w.Timer1.setEnabled(false);
            w.Timer2.setEnabled(false);
        }
        return;
    case Puk:
        dialogs(w).message(QStringLiteral("Error PUK"), MsgButtons::Ok, MsgIcon::Critical,
                           QStringLiteral("PUK"));
        w.showPinWindow()->Vpuk();
        return;
    case PhoneLock:
    case PhoneLockDash:
        dialogs(w).message(QStringLiteral("Waiting for Phone to SIM card(antitheft)"),
                           MsgButtons::Ok, MsgIcon::Critical);
        w.Timer1.setEnabled(false);
        w.Timer2.setEnabled(false);
        return;
    case Pin:
        if (unlockWithStoredPin() == Next::Ready)
            simReady();
        return;
    default: // time-out: the next try comes in 3 s
        w.Timer1.setEnabled(true);
        return;
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
