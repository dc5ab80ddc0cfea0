#pragma once

#include "Registration.h"

#include <QByteArray>
#include <QString>
#include <optional>

class FrmStGSM;

// What one polling answer changes on the status window, the tray and the menus; a field left
// empty keeps what is shown.
struct StatusChange
{
    std::optional<bool> gprsShown;
    std::optional<int> signal;                 // both bars
    std::optional<Registration> registration; // tray icon 1, its state and tip; "Call", "Send SMS"
    std::optional<QString> operatorText;
};
// The answer to one of the polling queries ("AT+CGATT?", "AT+CSQ", "AT+CREG?", "AT+COPS?").
StatusChange statusChange(const QByteArray &command, const QByteArray &answer);

// `Timer2`: SMS reception first, then GPRS attachment, signal, registration and operator.
class NetworkPolling
{
public:
    explicit NetworkPolling(FrmStGSM &w) : w(w) {}
    void tick();

private:
    enum class Answer { Ok, TimedOut, Error };
    // errorLoses: the query ends polling on "ERROR" and takes a bare "OK" as the answer's end.
    Answer ask(const QByteArray &command, bool errorLoses);
    void show(const StatusChange &change);
    void lost();

    FrmStGSM &w;
};
