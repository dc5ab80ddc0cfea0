#pragma once

#include <QByteArray>
#include <QString>

class FrmStGSM;

// What a registration status means for the station.
struct Registration
{
    QString toolTip;
    int trayState; // 1 registered, 0 not
};
Registration registrationFor(int status);
// The operator text for an "AT+COPS?" answer: by the two characters after the first "222".
QString operatorName(const QByteArray &answer);

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
    void showGprs(const QByteArray &answer);
    void hideGprs();
    void showSignal(const QByteArray &answer);
    void showRegistration(const QByteArray &answer);
    void showOperator(const QByteArray &answer);
    void lost();

    FrmStGSM &w;
};
