#pragma once

#include "Registration.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What one polling answer changes on the status window, the tray and the menus; a field left
// empty keeps what is shown.
struct StatusChange
{
    std::optional<bool> gprsShown;
    std::optional<int> signal;                // both bars
    std::optional<Registration> registration; // tray icon 1, its state and tip; "Call", "Send SMS"
    std::optional<QString> operatorText;
};
// The answer to one of the polling queries ("AT+CGATT?", "AT+CSQ", "AT+CREG?", "AT+COPS?").
StatusChange statusChange(const QByteArray &command, const QByteArray &answer);

// One network-polling round without the window: the queries in turn, what each answer shows,
// and whether the round gives the modem up (three time-outs, or "ERROR" to the registration or
// the operator query).
class PollingRound
{
public:
    enum class Answer { Ok, TimedOut, Error };
    // The next query; empty when the round is over.
    QByteArray next() const;
    // Whether "ERROR" answers the next query (and a bare "OK" ends its answer).
    bool errorLoses() const;
    // The answer to next(), and what it changes on screen.
    StatusChange take(Answer answer, const QByteArray &buffer);
    bool lost() const { return m_lost; }

private:
    int m_asked = 0;
    int m_timeouts = 0;
    bool m_lost = false;
};
