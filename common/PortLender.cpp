#include "PortLender.h"

#include "StationState.h"
#include "Timer.h"


namespace {
constexpr int ResumeAfterMs = 100;
} // namespace

PortLender::PortLender(StationState &station, Timer &polling)
    : m_station(station), m_polling(polling)
{
}

bool PortLender::stationOnPort() const
{
    return m_loans == 0 && m_station.StationActive;
}

void PortLender::lend()
{
    m_station.StationActive = false;
    m_polling.stop();
    ++m_loans;
}

void PortLender::giveBack(Resume resume)
{
    if (m_loans == 0 || --m_loans > 0)
        return;
    m_station.StationActive = true;
    if (resume == Resume::Polling) {
        m_polling.setInterval(ResumeAfterMs);
        m_polling.start();
    }
}
