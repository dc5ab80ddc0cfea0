#pragma once

#include "Digits.h"

#include <QByteArray>
#include <QList>

class AtExchange;

// Sends each command with the same time-out, waiting for a bare "OK"; the outcome is not used.
void sendEach(AtExchange &at, const QList<QByteArray> &commands, int timeoutMs);

// Switches the modem's automatic band selection on when it is off, then stores the profile
// with "AT&W". Returns true when the selection was changed (the modem must be restarted).
bool checkAutoBand(AtExchange &at);


inline const char *const ModemChangedMessage =
    QT_TRANSLATE_NOOP("ModemCommands", "Modified AUTO BAND.Close Program and Turn OFF/ON MODEM");
