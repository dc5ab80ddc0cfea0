#pragma once

#include "MachineDb.h"
#include "MachineListener.h"

#include <QPointer>
#include <QString>
#include <memory>

class TcpLine;

// Which line a call to a machine goes on, from its "Address" and from the machines online: the
// held connection of a machine that connected, a TCP connection to HOST:PORT, or the modem.
class CallLines
{
public:
    // The machine database of the program folder, opened at the first look-up.
    explicit CallLines(const QString &databasePath);
    ~CallLines();

    void setListener(MachineListener *listener) { m_listener = listener; }
    MachineListener *listener() const { return m_listener; }

    // A new line for a call to number (the caller owns it), or nullptr to dial it on the modem.
    // An inbound machine that is not connected gets a line that is already down, so its call
    // ends as one the machine dropped.
    std::unique_ptr<TcpLine> lineFor(const QString &number);
    // Whether a call to number needs the station's modem.
    bool needsModem(const QString &number);

    // The database the look-ups use (for the listener's identities too).
    MachineDb &database() { return *m_db; }

private:
    std::unique_ptr<MachineDb> m_db;
    QPointer<MachineListener> m_listener;
};
