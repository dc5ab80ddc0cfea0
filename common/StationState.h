#pragma once

#include <QString>

// The modem station's own state, shared by its windows. The station owns it; a call's state
// lives with the call.
struct StationState
{
    bool StationActive = false; // the main window may run its own AT exchanges
    qint16 SimErrorCount = 0;   // "ERROR" answers to the SIM-state query since start-up
    QString Manufacturer;       // answer to "AT+CGMI"
    QString AppFolder;          // the program's own folder
    bool PinConfirmed = false;  // the PIN window was confirmed since the last SIM tick
};
