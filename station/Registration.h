#pragma once

#include <QByteArray>
#include <QString>

// What a registration status means for the station.
struct Registration
{
    QString toolTip;
    int trayState; // 1 registered, 0 not
};
Registration registrationFor(int status);
// The operator text for an "AT+COPS?" answer: by the two characters after the first "222".
QString operatorName(const QByteArray &answer);
