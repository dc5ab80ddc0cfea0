#pragma once

class FrmStGSM;

// Finds the port and speed at which the modem answers (`ComOK`) and writes the fixed
// configuration of a modem found at 115200 baud (`GSMSet`).
class Discovery
{
public:
    explicit Discovery(FrmStGSM &w) : w(w) {}

    // True when the port is open and the station may talk to the modem; searches ports 1 to 13
    // at 19200, 9600 and 115200 baud the first time. False while another window holds the port.
    bool ComOK();
    void GSMSet();

private:
    bool mayUsePort() const;
    void giveUp();

    FrmStGSM &w;
};
