#pragma once

#include "SerialPort.h"

#include <QStringList>

class QSerialPort;

// The modem port on a real serial device through QSerialPort. Port number n is "COMn" on
// Windows; elsewhere the n-th device of the list given at construction, or of the system's
// serial ports (USB and ACM modems first) when the list is empty.
class HardwarePort : public SerialPort
{
    Q_OBJECT
public:
    explicit HardwarePort(QStringList devices = {}, QObject *parent = nullptr);
    ~HardwarePort() override;

    static QStringList systemPorts();
    // Device name that port number n maps to (empty when there is none).
    QString deviceFor(int n) const;

    bool setSettings(const QString &s) override;
    void setDtrEnable(bool on) override;
    void setRtsEnable(bool on) override;
    void close() override;
    bool isOpen() const override;
    int inBufferCount() const override;
    QByteArray readAll() override;
    QByteArray read(int n) override;
    bool carrierDetect() const override;

protected:
    bool openLine() override;
    void writeLine(const QByteArray &bytes) override;

private:
    void applySettings();
    void onError(int error);

    QStringList m_devices;
    QSerialPort *m_port;
    mutable bool m_signalsUnreadable = false;
    int m_errorBurst = 0;
    qint64 m_burstStart = 0;
};
