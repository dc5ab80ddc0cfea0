#pragma once

#include "Registration.h"

#include <QByteArray>
#include <QString>

class FrmStGSM;

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
