#pragma once

#include <QProgressBar>

// A signal bar that takes any level: the GPRS bar starts at 10 but is given the GSM level too,
// so a level below its range shows an empty bar and is kept as given.
class SignalBar : public QProgressBar
{
    Q_OBJECT
public:
    using QProgressBar::QProgressBar;
    void setLevel(int v)
    {
        m_level = v;
        setValue(qBound(minimum(), v, maximum()));
    }
    int level() const { return m_level; }

private:
    int m_level = 0;
};
