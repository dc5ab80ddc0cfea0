#pragma once

#include <QObject>
#include <QString>

class LineDevice;
class QSocketNotifier;

// Serves a simulated device on a pseudo-terminal, so that the station can reach it through the
// system's serial stack. The speed the station set on the terminal is handed to the device with
// every chunk, as a real line would carry noise at the wrong speed.
class PtyLine : public QObject
{
    Q_OBJECT
public:
    explicit PtyLine(LineDevice *device, QObject *parent = nullptr);
    ~PtyLine() override;

    // Creates the terminal; false with a reason when the system refuses.
    bool open(QString *error = nullptr);
    // The device path the station opens ("/dev/pts/N").
    QString devicePath() const { return m_path; }

private:
    void onReadable();
    QString lineSettings() const;

    LineDevice *m_device;
    int m_master = -1;
    int m_slave = -1; // kept open so the master never sees a hang-up between station sessions
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
};
