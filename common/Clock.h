#pragma once

#include <QDateTime>

// Date, time and random numbers.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // A number in [0, 1).
    virtual double rnd() = 0;
    // Seeds the generator from the clock.
    virtual void randomize() = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    double rnd() override;
    void randomize() override;

private:
    quint64 m_state = 88172645463325252ull;
};

// A clock that starts at a given moment and runs on the current Runtime's time, with a
// reproducible random sequence.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &start);
    QDateTime now() const override;
    void set(const QDateTime &t);
    double rnd() override;
    void randomize() override {}
    void setSeed(quint64 s) { m_state = s ? s : 1; }

private:
    QDateTime m_start;
    qint64 m_startMs;
    quint64 m_state = 1;
};
