#include "ModemCommands.h"

#include "AtExchange.h"

void sendEach(AtExchange &at, const QList<QByteArray> &commands, int timeoutMs)
{
    for (const QByteArray &c : commands)
        at.exchange(c, timeoutMs, {OK_});
}

bool checkAutoBand(AtExchange &at)
{
    // Silence or a "0" means the selection is off; "0" is judged before "ERROR" and "1".
    const bool change = at.exchange("AT#AUTOBND", 2000, {"0", ERROR_, "1"}) <= 0;
    if (change)
        at.exchange("AT#AUTOBND=1", 2000, {OK_});
    at.exchange("AT&W", 2000, {OK_});
    return change;
}
