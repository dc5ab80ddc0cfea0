#pragma once

#include "PollingRound.h"

class FrmStGSM;

// `Timer2`: SMS reception first, then a polling round shown on the window, the tray and the menus.
class NetworkPolling
{
public:
    explicit NetworkPolling(FrmStGSM &w) : w(w) {}
    void tick();

private:
    PollingRound::Answer ask(const QByteArray &command, bool errorLoses);
    void show(const StatusChange &change);
    void lost();

    FrmStGSM &w;
};
