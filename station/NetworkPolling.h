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
    enum Outcome { TimedOut = -1 };
    int query(const QByteArray &command, const QList<QByteArray> &markers);
    void lost();

    FrmStGSM &w;
};
