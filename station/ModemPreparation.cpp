#include "ModemPreparation.h"

#include "ModemCommands.h"
#include "ModemSteps.h"
#include "Registration.h"
#include "Runtime.h"
#include "SerialPort.h"

#include <QDir>

namespace {
constexpr int SimTries = 6;      // the station's limit of SIM errors
constexpr int SimRetryMs = 3000; // the station asks again 3 s after a failed query
constexpr int RegistrationPollMs = 2000;
} // namespace

ModemPreparation::ModemPreparation(SerialPort &port, QObject *parent)
    : QObject(parent), m_port(port), m_at(port, m_timeout)
{
    connect(&m_timeout, &::Timer::tick, this, [this] { m_timeout.stop(); });
}

ModemPreparation::Outcome ModemPreparation::fail(Outcome outcome, const QString &reason)
{
    m_reason = reason;
    return outcome;
}

ModemPreparation::Outcome ModemPreparation::run(int portCount, const QString &pinFolder,
                                                int registrationWaitMs)
{
    m_reason.clear();
    m_registration = -1;
    if (!findModem(portCount)) {
        emit note(QStringLiteral("ERROR: NO GSM FOUND!"));
        return fail(Outcome::NoModem,
                    QStringLiteral("no modem answers on the %1 port(s) given").arg(portCount));
    }
    emit note(QStringLiteral("modem found on port %1").arg(m_port.commPort()));
    if (ModemSteps::setGsm(m_at, QByteArray()))
        emit note(QString::fromLatin1(ModemChangedMessage));
    const Outcome sim = unlockSim(pinFolder);
    if (sim != Outcome::Ready)
        return sim;
    ModemSteps::selectOperator(m_at);
    return waitForNetwork(registrationWaitMs);
}

bool ModemPreparation::findModem(int portCount)
{
    if (m_port.isOpen())
        m_port.close();
    auto fixSpeed = [this] {
        if (ModemSteps::fixSpeed(m_at))
            emit note(QString::fromLatin1(ModemChangedMessage));
    };
    for (int n = 1; n <= portCount; ++n) {
        m_port.setCommPort(n);
        if (ModemSteps::probePort(m_at, fixSpeed))
            return true;
        if (m_port.isOpen())
            m_port.close();
    }
    return false;
}

ModemPreparation::Outcome ModemPreparation::unlockSim(const QString &pinFolder)
{
    using Sim = ModemSteps::SimState;
    int errors = 0;
    int silences = 0;
    for (;;) {
        switch (ModemSteps::querySim(m_at)) {
        case Sim::Ready:
            emit note(QStringLiteral("SIM ready"));
            return Outcome::Ready;
        case Sim::Pin:
            switch (ModemSteps::sendStoredPin(m_at, pinFolder)) {
            case ModemSteps::StoredPin::NoFile:
                return fail(Outcome::SimNotReady,
                            QStringLiteral("the SIM wants its PIN and there is no %1")
                                .arg(QDir(pinFolder).filePath(QStringLiteral("Pin.set"))));
            case ModemSteps::StoredPin::Refused:
                emit note(QStringLiteral("PIN: Error PIN"));
                return fail(Outcome::SimNotReady,
                            QStringLiteral("the SIM refused the PIN stored in %1")
                                .arg(QDir(pinFolder).filePath(QStringLiteral("Pin.set"))));
            case ModemSteps::StoredPin::Accepted:
                emit note(QStringLiteral("SIM unlocked with the stored PIN"));
                return Outcome::Ready;
            }
            break;
        case Sim::Puk:
            emit note(QStringLiteral("PUK: Error PUK"));
            return fail(Outcome::SimNotReady, QStringLiteral("the SIM wants its PUK"));
        case Sim::PhoneLock:
            emit note(QStringLiteral("Waiting for Phone to SIM card(antitheft)"));
            return fail(Outcome::SimNotReady, QStringLiteral("the SIM is locked to another phone"));
        case Sim::Error:
            if (++errors == SimTries) {
                emit note(QStringLiteral("SIM not Present or SIM Defect or SIM Busy "));
                return fail(Outcome::SimNotReady, QStringLiteral("the SIM does not answer"));
            }
            break;
        case Sim::TimedOut:
            if (++silences == SimTries)
                return fail(Outcome::SimNotReady,
                            QStringLiteral("the modem does not say what its SIM wants"));
            break;
        }
        m_at.pause(SimRetryMs);
    }
}

ModemPreparation::Outcome ModemPreparation::waitForNetwork(int waitMs)
{
    Runtime &rt = Runtime::current();
    const qint64 deadline = rt.nowMs() + waitMs;
    for (;;) {
        // As the station polls it: a bare "OK" ends the answer, "ERROR" fails it.
        const int found =
            m_at.exchange("AT+CREG?", 2000, ExchangeRules{{ERROR_CRLF, OK_}, false, true});
        if (found == 1)
            m_registration = ModemSteps::registrationStatus(m_at.buffer());
        const Registration r = registrationFor(m_registration);
        if (r.trayState == 1) {
            emit note(QStringLiteral("network: %1").arg(r.toolTip));
            return Outcome::Ready;
        }
        const qint64 left = deadline - rt.nowMs();
        if (left <= 0) {
            const QString state = r.toolTip.isEmpty() ? QStringLiteral("no answer") : r.toolTip;
            return fail(Outcome::NotRegistered,
                        QStringLiteral("not registered on the network after %1 s (%2)")
                            .arg(waitMs / 1000)
                            .arg(state));
        }
        m_at.pause(int(qMin<qint64>(left, RegistrationPollMs)));
    }
}
