#pragma once

struct StationState;
class Timer;

// Lends the station's modem port to whoever talks to the modem itself for a while (the call
// console, the send and settings windows, an unattended collection) and takes it back. While it
// is lent the station's polling is off and the station keeps off the port; when the last
// borrower gives it back the station polls again 100 ms later. Loans are counted: a window that
// opens while another closes keeps the port from the station in between.
class PortLender
{
public:
    enum class Resume {
        Polling, // the station polls again 100 ms after the return
        Nothing, // something else (the SIM supervision) restarts the polling
    };

    PortLender(StationState &station, Timer &polling);

    void lend();
    void giveBack(Resume resume = Resume::Polling);
    // Nobody has borrowed the port and the station is on it (not finding or leaving its modem).
    bool stationOnPort() const;

private:
    StationState &m_station;
    Timer &m_polling;
    int m_loans = 0;
};
