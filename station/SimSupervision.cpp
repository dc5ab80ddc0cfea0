#include "SimSupervision.h"

#include "Dialogs.h"
#include "FrmPin.h"
#include "FrmStGSM.h"
#include "ModemSteps.h"

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
    StationState &pub = w.state();
    pub.PinConfirmed = false;
    w.Timer2.setEnabled(false);
    w.Timer1.setEnabled(false);
    w.Timer1.setInterval(3000);
    if (!w.ComOK())
        return;

    using Sim = ModemSteps::SimState;
    const Sim found = ModemSteps::querySim(w.at());
    if (found == Sim::Ready) {
        w.Timer2.setInterval(1000);
        simReady();
        return;
    }
    w.Timer2.setInterval(20000);
    switch (found) {
    case Sim::Error:
        w.Timer1.setEnabled(true);
        if (++pub.SimErrorCount == 6) {
            dialogs(w).message(QCoreApplication::translate(
                "SimSupervision", "SIM not Present or SIM Defect or SIM Busy "));
            w.Timer1.setEnabled(false);
            w.Timer2.setEnabled(false);
        }
        return;
    case Sim::Puk:
        dialogs(w).message(QCoreApplication::translate("SimSupervision", "Error PUK"),
                           MsgButtons::Ok, MsgIcon::Critical,
                           QCoreApplication::translate("SimSupervision", "PUK"));
        w.showPinWindow()->Vpuk();
        return;
    case Sim::PhoneLock:
        dialogs(w).message(QCoreApplication::translate("SimSupervision",
                                                       "Waiting for Phone to SIM card(antitheft)"),
                           MsgButtons::Ok, MsgIcon::Critical);
        w.Timer1.setEnabled(false);
        w.Timer2.setEnabled(false);
        return;
    case Sim::Pin:
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
    switch (ModemSteps::sendStoredPin(w.at(), QDir::currentPath())) {
    case ModemSteps::StoredPin::NoFile:
        w.showPinWindow()->Vpin();
        return Next::Done;
    case ModemSteps::StoredPin::Refused:
        // A refused PIN stays in the file; the operator types the right one.
        dialogs(w).message(QCoreApplication::translate("SimSupervision", "Error PIN"),
                           MsgButtons::Ok, MsgIcon::Critical,
                           QCoreApplication::translate("SimSupervision", "PIN"));
        w.showPinWindow()->Vpin();
        return Next::Done;
    case ModemSteps::StoredPin::Accepted:
        break;
    }
    return Next::Ready;
}

void SimSupervision::simReady()
{
    AtExchange &at = w.at();
    w.Timer1.setEnabled(false);
    w.Timer1.setInterval(500);
    ModemSteps::selectOperator(at);
    const QList<QByteArray> judged = {ERROR_CRLF, OK_CRLF};
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
        w.state().Manufacturer = maker;
    identity("AT+CGMM", 1);
    identity("AT+CGSN", 2);
    w.Timer2.setEnabled(true);
}
