#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class AtExchange;

// The steps of modem discovery, configuration, SIM supervision and registration that need no
// window. The main window's timers run them for the station; the unattended collector runs them
// in a row to get a modem ready before it dials.
namespace ModemSteps {

// One port of the search, on the port number the port holds: "ATZ" at 19200 baud; without an
// answer the wake-up at 9600, then 115200 (where an answer runs fixSpeed) and 19200 again; a
// modem counts only when "AT+CPIN?" then names a SIM state. True when one was found: the port
// is left open at 19200 with the SIM's answer collected.
bool probePort(AtExchange &at, const std::function<void()> &fixSpeed);

// The fixed configuration of a modem found at 115200 baud, which brings it and the port to
// 19200, then the band check. True when the band selection was changed (the modem must be
// switched off and on).
bool fixSpeed(AtExchange &at);

// "Set GSM": the port opened afresh with DTR and RTS, the working configuration for data calls
// and text-mode SMS (with the service centre unless it is empty), the profile stored. True when
// the band selection was changed.
bool setGsm(AtExchange &at, const QByteArray &serviceCentre);

// The SIM's state as "AT+CPIN?" reports it.
enum class SimState { Ready, Error, Puk, PhoneLock, Pin, TimedOut };
SimState querySim(AtExchange &at);

// After a "SIM PIN" answer: the rest of that answer is collected, then the PIN stored in
// "Pin.set" in dir is sent.
enum class StoredPin { NoFile, Refused, Accepted };
StoredPin sendStoredPin(AtExchange &at, const QString &dir);

// Once the SIM is ready: a second's pause, then the operator reported by name and selected
// automatically.
void selectOperator(AtExchange &at);

// The registration status digit of a "+CREG:" answer; -1 when the answer holds none.
int registrationStatus(const QByteArray &answer);

} // namespace ModemSteps
