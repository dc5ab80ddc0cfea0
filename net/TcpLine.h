#pragma once

#include "SerialPort.h"

class QTcpSocket;

// A machine's line over a TCP connection in transparent mode (a cellular router or a serial
// device server passes the controller's line through unchanged), so the machine link runs on it
// as on a data call. Settings, DTR and RTS mean nothing here and the carrier is the connection.
// An outbound line connects to the machine's address; an inbound one takes over a connection the
// machine opened, and until its call starts drops whatever the machine sends.
class TcpLine : public SerialPort
{
    Q_OBJECT
public:
    enum class State {
        Closed,     // never connected, or hung up
        Connecting, // outbound, waiting for the machine
        Connected,
        Refused,    // the connection was refused or failed before it came up
        Dropped,    // the machine closed a connection that was up
    };
    // What a line holds before its owner reads it: bounds memory when the machine floods.
    static constexpr qint64 ReadBufferSize = 16 * 1024;

    TcpLine(const QString &host, quint16 port, QObject *parent = nullptr);
    // Takes over socket, connected by the machine; nullptr for a machine that is not connected,
    // whose call then ends at once as one the machine dropped.
    explicit TcpLine(QTcpSocket *socket, QObject *parent = nullptr);
    ~TcpLine() override;

    // Where an outbound line connects, or the peer of an inbound one, as "HOST:PORT".
    QString address() const;
    bool inbound() const { return m_inbound; }

    // The call set-up: an outbound line starts connecting (Connecting, then Connected or
    // Refused, told by stateChanged); an inbound one drops what the machine sent before the
    // call and is Connected at once, or Dropped if the machine has gone meanwhile.
    void connectLine();
    State state() const { return m_state; }
    // Why the connection failed or ended, in the system's words ("" while all is well).
    QString reason() const { return m_reason; }

    // SerialPort: an open line is a connected one; open() opens nothing, close() hangs up.
    void close() override;
    bool isOpen() const override;
    int inBufferCount() const override;
    QByteArray readAll() override;
    QByteArray read(int n) override;
    bool carrierDetect() const override { return isOpen(); }

signals:
    void stateChanged(TcpLine::State state);

protected:
    bool openLine() override { return isOpen(); }
    void writeLine(const QByteArray &bytes) override;

private:
    void setState(State s, const QString &reason = {});
    void wire();
    void onError();
    void onReadyRead();

    QTcpSocket *m_socket;
    QString m_host;
    quint16 m_port = 0;
    bool m_inbound = false;
    bool m_discarding = false; // an inbound line before its call
    State m_state = State::Closed;
    QString m_reason;
    qint64 m_connectStart = 0;
};
