#pragma once

#include "SerialPort.h"

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <functional>

class LoopbackPort;

// The far end of a simulated line: a device plugged into one port number of a LoopbackPort, or
// served on a pseudo-terminal. It sees what the station writes and answers through toStation().
class LineDevice : public QObject
{
    Q_OBJECT
public:
    using Output = std::function<void(const QByteArray &)>;
    using QObject::QObject;
    // Where the device's bytes go (set by whoever carries the line).
    void setOutput(Output out) { m_out = std::move(out); }
    bool connected() const { return bool(m_out); }
    // The station opened or closed the port, or changed its settings.
    virtual void lineOpened(const QString &settings) { Q_UNUSED(settings); }
    virtual void lineClosed() {}
    // Bytes the station wrote, with the settings they were sent at.
    virtual void fromStation(const QByteArray &bytes, const QString &settings) = 0;
    virtual bool carrier() const { return true; }

protected:
    void toStation(const QByteArray &bytes)
    {
        if (m_out)
            m_out(bytes);
    }

private:
    Output m_out;
};

// In-process serial port: each port number can have a LineDevice plugged in; numbers without a
// device fail to open, as a missing COM port does.
class LoopbackPort : public SerialPort
{
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    // Plugs dev into port number n (not owned).
    void plug(int n, LineDevice *dev);
    void unplug(int n) { m_devices.remove(n); }

    bool setSettings(const QString &s) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    int inBufferCount() const override { return int(m_rx.size()); }
    QByteArray readAll() override;
    QByteArray read(int n) override;
    bool carrierDetect() const override;

    // Called by the device: bytes arrive now at the station's side of port n (dropped when that
    // port is not the open one, as on a real line).
    void deliver(LineDevice *from, const QByteArray &bytes);

    // Everything the station wrote, in order, across all ports (for test transcripts).
    QByteArray written() const { return m_written; }
    void clearWritten() { m_written.clear(); }
    // Every open attempt as "port:settings", whether it succeeded or not.
    QStringList openAttempts() const { return m_opens; }

protected:
    bool openLine() override;
    void writeLine(const QByteArray &bytes) override;

private:
    LineDevice *device() const;
    QMap<int, QPointer<LineDevice>> m_devices;
    bool m_open = false;
    int m_openPort = 0;
    QByteArray m_rx;
    QByteArray m_written;
    QStringList m_opens;
};
