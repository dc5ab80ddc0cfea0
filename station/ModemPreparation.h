#pragma once

#include "AtExchange.h"
#include "Timer.h"

#include <QObject>
#include <QString>

class SerialPort;

// Gets the modem ready for a data call with nobody at the screen: the station's port search over
// the given port numbers and speeds, its working configuration, the SIM unlocked with the PIN
// stored in "Pin.set", and a wait until the network has registered the modem. Everything the
// station would show in a message box, and each step reached, comes out as one line (note()).
class ModemPreparation : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Ready, NoModem, SimNotReady, NotRegistered };

    explicit ModemPreparation(SerialPort &port, QObject *parent = nullptr);

    // Tries port numbers 1 to portCount in order; pinFolder holds "Pin.set". Leaves the port open
    // at 19200 baud in command mode when the outcome is Ready.
    Outcome run(int portCount, const QString &pinFolder, int registrationWaitMs = 60000);
    // Why the last run did not end Ready (one line).
    QString reason() const { return m_reason; }
    // The registration status of the last answer (as in "+CREG:"), -1 before any.
    int registration() const { return m_registration; }

signals:
    void note(const QString &line);

private:
    bool findModem(int portCount);
    Outcome unlockSim(const QString &pinFolder);
    Outcome waitForNetwork(int waitMs);
    Outcome fail(Outcome outcome, const QString &reason);

    SerialPort &m_port;
    ::Timer m_timeout{QStringLiteral("Timer3"), 2000, false};
    AtExchange m_at;
    QString m_reason;
    int m_registration = -1;
};
