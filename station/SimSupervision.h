#pragma once

class FrmStGSM;

// `Timer1`: brings the SIM to READY with the stored PIN or through the PIN window, then selects
// the operator, reads the modem's identity and starts network polling.
class SimSupervision
{
public:
    explicit SimSupervision(FrmStGSM &w) : w(w) {}
    void tick();

private:
    enum class Next { Ready, Done };
    Next unlockWithStoredPin();
    void simReady();

    FrmStGSM &w;
};
