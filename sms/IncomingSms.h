#pragma once

#include "MachineDb.h"

#include <QString>

// What the incoming SMS window does with a message, without the window: which machine sent it,
// the event it is filed as and the SMS "Send" forwards. Every look-up goes through the machine
// database; a database that is missing or cannot be used finds nothing.
namespace IncomingSms {

// The message on show and the machine identified for it, as the window shows them.
struct Shown
{
    QString number; // as received, a leading "+" included
    QString date;   // dd/MM/yy
    QString time;
    QString text;
    bool machineKnown = false; // the full layout, with the three machine fields
    QString machine = {};      // "Description" of the machine
    QString salePoint = {};
    QString operatorName = {};
};

// The message with the first machine whose GSM number equals the sender's exactly.
Shown identify(MachineDb *db, const QString &number, const QString &date, const QString &time,
               const QString &text);

// The record filed in `Eventi`: the number cut to 15 characters, date and time, the text
// cut to 160, and the machine's fields only when a machine was identified.
DbRecord event(const Shown &m);

struct Forward
{
    QString text;   // lines end in CR LF
    QString number; // where it goes
};
// The SMS "Send" prepares: the sale point's name, address, city and telephone (when the sale
// point is known) and the machine's description ahead of the text, addressed to the operator's
// mobile number, or back to the sender when the operator is unknown.
Forward forward(MachineDb *db, const Shown &m);

} // namespace IncomingSms
