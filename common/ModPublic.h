#pragma once

#include <QString>

// The modem station's own state, shared by its windows; a call's state lives with the call.
struct ModPublic
{
    // Modem station
    bool StationActive = false; // the main window may run its own AT exchanges
    qint16 SimErrorCount = 0;   // "ERROR" answers to the SIM-state query since start-up
    QString Manufacturer;       // answer to "AT+CGMI"
    QString AppFolder;          // the program's own folder
    bool PinConfirmed = false;  // the PIN window was confirmed since the last SIM tick

};

// The one instance.
ModPublic &modPublic();
// Back to the start-of-run values (tests run several stations in one process).
void resetModPublic();
