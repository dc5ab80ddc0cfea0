#pragma once

#include "SerialPort.h"

#include <functional>

// A serial port that passes everything on to another one and tells, line by line, what goes
// out and what comes in: AT command lines and answers, and the machine link's frames with SOH
// and EOT named. Received bytes are told when a line or a frame is complete, or when the next
// write goes out.
class PortTrace : public SerialPort
{
    Q_OBJECT
public:
    using Sink = std::function<void(const QString &line)>;

    PortTrace(SerialPort &inner, Sink sink, QObject *parent = nullptr);
    ~PortTrace() override;

    bool setSettings(const QString &s) override;
    void setDtrEnable(bool on) override;
    void setRtsEnable(bool on) override;
    bool openLine() override;
    void close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    void writeLine(const QByteArray &bytes) override;
    int inBufferCount() const override { return m_inner.inBufferCount(); }
    QByteArray readAll() override;
    QByteArray read(int n) override;
    bool carrierDetect() const override { return m_inner.carrierDetect(); }

    // Bytes as text: CR and LF dropped, SOH and EOT named, other control bytes in hex.
    static QString shown(const QByteArray &bytes);

private:
    void noteReceived(const QByteArray &bytes);
    void flushReceived();

    SerialPort &m_inner;
    Sink m_sink;
    QByteArray m_pending; // received, not yet told
};
