#pragma once

#include <QObject>
#include <QString>

// A named, periodic timer with the semantics the station's windows rely on: an interval in
// milliseconds and an enabled switch. Switching it on starts a full period; changing the interval
// of a running timer restarts the period; switching it on while it runs changes nothing. A tick
// is never delivered while the previous tick of the same timer is still running (nested yields).
class Timer : public QObject
{
    Q_OBJECT
public:
    Timer(const QString &name, int intervalMs, bool enabled, QObject *parent = nullptr);
    ~Timer() override;

    QString name() const { return objectName(); }
    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool on);
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }

    // Called by the runtime when a period has elapsed.
    void fire(quint64 generation);

signals:
    void tick();

private:
    void rearm();

    int m_interval;
    bool m_enabled = false;
    bool m_inTick = false;
    quint64 m_generation = 0;
};
