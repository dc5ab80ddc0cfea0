#pragma once

#include "Timer.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class Clock;
class SmsStore;

// The vending machines of a demonstration: now and then one of them sends an alarm SMS, which
// lands in the simulated modem's store; one alarm comes from a number no database knows.
class SimulatedFleet : public QObject
{
    Q_OBJECT
public:
    SimulatedFleet(SmsStore &store, Clock &clock, const QList<QByteArray> &machines,
                   const QByteArray &stranger, QObject *parent = nullptr);

    // The first alarm after firstMs, the next ones every minMs to maxMs.
    void start(int firstMs = 20000, int minMs = 25000, int maxMs = 45000);
    void stop() { m_timer.stop(); }
    int sent() const { return m_sent; }

signals:
    void alarmSent(const QByteArray &number, const QByteArray &text);

private:
    void sendAlarm();

    SmsStore &m_store;
    Clock &m_clock;
    QList<QByteArray> m_machines;
    QByteArray m_stranger;
    Timer m_timer{QStringLiteral("Fleet"), 20000, false};
    int m_minMs = 25000;
    int m_maxMs = 45000;
    int m_sent = 0;
};
