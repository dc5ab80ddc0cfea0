#include "ModemCommands.h"

#include "AtExchange.h"

void sendEach(AtExchange &at, const QList<QByteArray> &commands, int timeoutMs)
{
    for (const QByteArray &c : commands)
        at.exchange(c, timeoutMs, {OK_});
}

bool checkAutoBand(AtExchange &at)
{
    bool change = false;
    at.clear();
    at.Tout(2000);
    at.send("AT#AUTOBND\r");
    // Silence or a "0" means the selection is off. A "0" is looked for right after each read,
    // "ERROR" or a "1" only from the next round on, so "0" wins when both come in one read.
    for (;;) {
        if (!at.waitRound()) {
            change = true;
            break;
        }
        at.readPort();
        if (at.contains("0")) {
            change = true;
            break;
        }
        if (at.contains(ERROR_) || at.contains("1"))
            break;
    }
    if (change)
        at.exchange("AT#AUTOBND=1", 2000, {OK_});
    at.exchange("AT&W", 2000, {OK_});
    return change;
}

int leadingNumber(const QByteArray &text)
{
    int i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    long long v = 0;
    bool any = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 1'000'000'000) {
        v = v * 10 + (text[i] - '0');
        any = true;
        ++i;
    }
    return any ? int(v) : 0;
}
