#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

class SerialPort;
class Timer;

// How an AT exchange reads and judges the modem's answer.
struct ExchangeRules
{
    // Markers tested in this order after each read; the first found ends the exchange.
    // Put failure markers first: "ERROR" wins over "OK" in the same buffer.
    QList<QByteArray> markers;
    // Rounds in which the port holds nothing only wait (first discovery step, SMS listing).
    bool skipEmptyRounds = false;
    // Read the port before testing the time-out; the chunk read in the round in which time runs
    // out is then not judged (network-status queries).
    bool readBeforeTimeout = false;
    // Judges the answer after each read in place of `markers`: an outcome of 0 or more ends the
    // exchange with it, -1 goes on collecting. For answers that must be read line by line.
    std::function<int(const QByteArray &answer)> judge = {};
};

// The command-line endings the station uses.
inline const QByteArray CR = QByteArrayLiteral("\r");
inline const QByteArray CRLF = QByteArrayLiteral("\r\n");

// Commonly used markers.
inline const QByteArray OK_CRLF = QByteArrayLiteral("OK\r\n");
inline const QByteArray ERROR_CRLF = QByteArrayLiteral("ERROR\r\n");
inline const QByteArray OK_ = QByteArrayLiteral("OK");
inline const QByteArray ERROR_ = QByteArrayLiteral("ERROR");

// One synchronous AT command exchange at a time on a shared port: write one command line, then
// yield to the event loop and collect the answer until a marker or the time-out. The time-out is
// the owner's timer (the main window's `Timer3`, the settings window's own), armed by `Tout`;
// its tick only switches it off, so the exchange has timed out exactly when it is off. Once the
// program ends every wait counts as timed out at once.
class AtExchange
{
public:
    AtExchange(SerialPort &port, Timer &timeout);

    // Switch the time-out off, set its interval, switch it on: re-arming restarts the period.
    void Tout(int ms);
    bool timedOut() const;

    // Sends command + ending with the given rules. Returns the index of the marker found in
    // rules.markers (or the judge's outcome), or -1 when the time-out (or the end of the
    // program) ended the exchange. buffer() holds the answer.
    int exchange(const QByteArray &command, int timeoutMs, const ExchangeRules &rules,
                 const QByteArray &ending = CR);
    // Same, with the markers alone and the default rules.
    int exchange(const QByteArray &command, int timeoutMs, const QList<QByteArray> &markers,
                 const QByteArray &ending = CR);
    // Goes on collecting into the current buffer (the same time-out still running); a marker
    // already in the buffer ends it at once.
    int collect(const ExchangeRules &rules);
    int collect(const QList<QByteArray> &markers);
    // Waits until the time-out expires, reading nothing (a pause).
    void pause(int ms);

    // Reads and discards whatever the port holds.
    void flush();

    // The steps of an exchange, for the few that judge the buffer in an order of their own.
    void clear() { m_buffer.clear(); }
    void send(const QByteArray &line);
    // Yields once; false when the time-out has expired (or the program has ended).
    bool waitRound();
    // Appends everything the port holds to the buffer; false when it held nothing.
    bool readPort();

    const QByteArray &buffer() const { return m_buffer; }
    bool contains(const QByteArray &marker) const { return m_buffer.contains(marker); }
    SerialPort &port() const { return m_port; }

    // The value that starts after the first line feed of the buffer and ends before the next
    // carriage return; empty when there is none.
    static QByteArray oneLineValue(const QByteArray &buffer);

private:
    int firstMarker(const QList<QByteArray> &markers) const;
    int judged(const ExchangeRules &rules) const;

    SerialPort &m_port;
    Timer &m_timeout;
    QByteArray m_buffer;
};
