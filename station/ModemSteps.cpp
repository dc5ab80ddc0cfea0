#include "ModemSteps.h"

#include "AtExchange.h"
#include "ModemCommands.h"
#include "PinFile.h"
#include "SerialPort.h"

namespace {
const QList<QByteArray> ZAnswered = {ERROR_CRLF, OK_CRLF};

void reopen(SerialPort &port, const char *settings)
{
    port.close();
    port.setSettings(QString::fromLatin1(settings));
    port.open(); // a port that cannot be opened just lets the exchange time out
}
} // namespace

bool ModemSteps::probePort(AtExchange &at, const std::function<void()> &fixSpeed)
{
    SerialPort &port = at.port();
    // The station's own speed first.
    port.setDtrEnable(true);
    port.setRtsEnable(true);
    port.setSettings(QStringLiteral("19200,N,8,1"));
    port.open();
    at.flush();
    bool answered = at.exchange("ATZ", 500, ExchangeRules{ZAnswered, true}) >= 0;
    if (!answered) {
        // A wake-up at 9600 for its effect on the modem only.
        reopen(port, "9600,N,8,1");
        at.exchange("ATZ", 500, {OK_CRLF});
        // A modem at 115200 is brought to 19200.
        reopen(port, "115200,N,8,1");
        if (at.exchange("ATZ", 500, {OK_CRLF}) == 0 && fixSpeed)
            fixSpeed();
        reopen(port, "19200,N,8,1");
        answered = at.exchange("ATZ", 500, ZAnswered) >= 0;
    }
    if (!answered)
        return false;
    // A modem counts only with a SIM that answers.
    const int sim = at.exchange("AT+CPIN?", 5000, {"SIM PUK", "READY", ERROR_, "SIM PIN"});
    if (sim != 0 && sim != 1 && sim != 3)
        return false;
    at.collect({OK_CRLF});
    return true;
}

bool ModemSteps::fixSpeed(AtExchange &at)
{
    sendEach(at,
             {"ATE0", "AT+ICF=3,3", "AT+IFC=2,2", "AT+CBST=7,0,1", "ATS0=0", "ATX0",
              "AT+CBST=7,0,1", "AT+IPR=19200"},
             1000);
    reopen(at.port(), "19200,N,8,1");
    return checkAutoBand(at);
}

bool ModemSteps::setGsm(AtExchange &at, const QByteArray &serviceCentre)
{
    SerialPort &port = at.port();
    if (port.isOpen())
        port.close();
    port.setDtrEnable(true);
    port.setRtsEnable(true);
    port.open();

    QList<QByteArray> commands = {"AT",     "AT+ICF=3,4",  "AT+IFC=0,0", "AT+CBST=7,0,1",
                                  "ATS0=0", "AT+CNMI=0,0", "AT+CSMP=1",  "AT+CMGF=1"};
    if (!serviceCentre.isEmpty())
        commands << "AT+CSCA=\"" + serviceCentre + '"';
    commands << "AT$SCRT"
             << "AT+CSAS"
             << "ATX0"
             << "ATE0";
    sendEach(at, commands, 1000);
    return checkAutoBand(at);
}

ModemSteps::SimState ModemSteps::querySim(AtExchange &at)
{
    // Modems spell the phone-lock state "PH-SIM PIN"; it must never get the SIM PIN, so both
    // spellings are tested before "SIM PIN".
    switch (at.exchange("AT+CPIN?", 5000,
                        {"READY", ERROR_, "SIM PUK", "PH_SIM PIN", "PH-SIM PIN", "SIM PIN"})) {
    case 0:
        return SimState::Ready;
    case 1:
        return SimState::Error;
    case 2:
        return SimState::Puk;
    case 3:
    case 4:
        return SimState::PhoneLock;
    case 5:
        return SimState::Pin;
    default:
        return SimState::TimedOut;
    }
}

ModemSteps::StoredPin ModemSteps::sendStoredPin(AtExchange &at, const QString &dir)
{
    at.collect({OK_CRLF});
    QByteArray line;
    if (!PinFile::readFirstLine(dir, &line))
        return StoredPin::NoFile;
    const QByteArray arg = PinFile::pinArgument(line);
    if (arg != "\"\"")
        at.pause(1000);
    // Silence counts as accepted: the SIM is asked again later anyway.
    if (at.exchange("AT+CPIN=" + arg, 5000, {ERROR_CRLF, OK_CRLF}, CRLF) == 0)
        return StoredPin::Refused;
    return StoredPin::Accepted;
}

void ModemSteps::selectOperator(AtExchange &at)
{
    at.pause(1000);
    at.flush();
    const QList<QByteArray> judged = {ERROR_CRLF, OK_CRLF};
    at.exchange("AT+COPS=3,0", 2000, judged);
    at.exchange("AT+COPS=0", 2000, judged);
}

int ModemSteps::registrationStatus(const QByteArray &answer)
{
    const int at = answer.indexOf("+CREG:");
    if (at < 0)
        return -1;
    // The status digit follows the mode digit and its comma.
    return leadingNumber(answer.mid(at + 9, 1));
}
