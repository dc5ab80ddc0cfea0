#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Settings string of the form "19200,N,8,1" (speed, parity, data bits, stop bits).
struct PortSettings
{
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;

    // Returns false (and leaves *out untouched) for a malformed string.
    static bool parse(const QString &text, PortSettings *out);
    QString toString() const;
};

// The modem port `MSComm1`: exactly what the station needs of a serial line. Port numbers run
// from 1; what a number maps to is up to the back-end. Failures are returned, never thrown.
// Once the program ends (Runtime::endProgram) no port opens and nothing more is written, whatever
// code is still running.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    int commPort() const { return m_port; }
    void setCommPort(int n) { m_port = n; }
    QString settings() const { return m_settings; }
    // Takes effect at the next open (and at once on an open port, where the back-end can).
    virtual bool setSettings(const QString &s);
    bool dtrEnable() const { return m_dtr; }
    bool rtsEnable() const { return m_rts; }
    virtual void setDtrEnable(bool on) { m_dtr = on; }
    virtual void setRtsEnable(bool on) { m_rts = on; }
    // Receive threshold: with a value above 0, received() is emitted for every received byte
    // until it is read; 0 switches the receive event off.
    int rThreshold() const { return m_rThreshold; }
    void setRThreshold(int n) { m_rThreshold = n; }

    // False when the port cannot be opened, is open already, or the program has ended.
    bool open();
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Ignored on a closed port and once the program has ended.
    void write(const QByteArray &bytes);
    // Number of received bytes waiting to be read.
    virtual int inBufferCount() const = 0;
    virtual QByteArray readAll() = 0;
    // Reads at most n bytes.
    virtual QByteArray read(int n) = 0;
    // Carrier detect; a line that cannot report it counts as carrying.
    virtual bool carrierDetect() const = 0;

protected:
    // The back-end's own open and write, reached only while the program runs.
    virtual bool openLine() = 0;
    virtual void writeLine(const QByteArray &bytes) = 0;

signals:
    // Bytes arrived (only while rThreshold() > 0).
    void received();
    // The port closed itself after a fatal error (device gone).
    void lost(const QString &reason);

private:
    int m_port = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_dtr = false;
    bool m_rts = false;
    int m_rThreshold = 0;
};
