#pragma once

#include "LoopbackPort.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <functional>
#include <map>

// A GSM modem as seen from its serial line: it reads command lines ended by CR, echoes them
// until "ATE0", and answers with V.25ter verbose result codes framed by CR LF. Commands are
// served by handlers registered by name; the supervision, SMS and call behaviour plug in there.
class ModemSim : public LineDevice
{
    Q_OBJECT
public:
    // What a handler answers: information text (already framed with CR LF as the modem sends it)
    // and a final result. A handler may also answer with nothing at all.
    struct Reply
    {
        QByteArray info;
        enum Result { Ok, Error, None } result = Ok;

        static Reply ok(const QByteArray &info = {}) { return {info, Ok}; }
        static Reply error() { return {{}, Error}; }
        static Reply none() { return {{}, None}; }
        // One information line "\r\n" + line + "\r\n", then OK.
        static Reply line(const QByteArray &text) { return {"\r\n" + text + "\r\n", Ok}; }
    };
    // Called with what follows the command name (e.g. "?" or "=1,2" or "" ).
    using Handler = std::function<Reply(const QByteArray &rest)>;
    // Called with the text typed after a "> " prompt, when Ctrl-Z ends it.
    using TextHandler = std::function<Reply(const QByteArray &text)>;

    explicit ModemSim(QObject *parent = nullptr);

    // Serves commands whose name (after "AT") starts with name; the longest name wins.
    void handle(const QByteArray &name, Handler h);

    // Line behaviour
    void setBauds(const QSet<int> &bauds) { m_bauds = bauds; }
    QSet<int> bauds() const { return m_bauds; }
    void setLatency(int ms) { m_latency = ms; }
    // Answers are cut into chunks of n bytes, gapMs apart (0 = in one piece).
    void setChunking(int n, int gapMs)
    {
        m_chunk = n;
        m_chunkGap = gapMs;
    }
    // A silent modem reads everything and answers nothing.
    void setSilent(bool on) { m_silent = on; }
    bool echo() const { return m_echo; }
    void setEcho(bool on) { m_echo = on; }

    // Fault injection: the exact command line (without CR) gets these bytes instead of its
    // normal answer; an empty answer means silence. Cleared with clearOverride.
    void setOverride(const QByteArray &commandLine, const QByteArray &rawAnswer);
    void clearOverride(const QByteArray &commandLine) { m_overrides.remove(commandLine); }

    // Asks for text after a "> " prompt (SMS sending); handler runs when Ctrl-Z ends the text,
    // ESC abandons it.
    void promptForText(TextHandler h);

    // Sends unframed bytes to the station now (after the latency).
    void send(const QByteArray &bytes);

    // Every complete command line the modem understood at its speed, in order.
    const QList<QByteArray> &commands() const { return m_commands; }
    void clearCommands() { m_commands.clear(); }

    // Resets what "ATZ" resets (echo on).
    virtual void resetProfile() { m_echo = true; }

    // Data mode: what the station writes goes to sink instead of the command interpreter, except
    // "+++" with the escape guard time of silence before and after it, which returns to command
    // mode and calls escaped().
    void enterDataMode(std::function<void(const QByteArray &)> sink);
    void leaveDataMode();
    bool dataMode() const { return bool(m_dataSink); }
    void setEscapeGuard(int ms) { m_guard = ms; }
    int escapeGuard() const { return m_guard; }
    // Bytes from the far end of a data call: no latency of the modem's own, never ahead of what
    // is already on its way to the station.
    void sendData(const QByteArray &bytes);

    // LineDevice
    void lineOpened(const QString &settings) override;
    void lineClosed() override;
    void fromStation(const QByteArray &bytes, const QString &settings) override;

signals:
    void commandReceived(const QByteArray &line);

protected:
    void finish(const Reply &r);
    // The escape sequence took the modem back to command mode.
    virtual void escaped() { finish(Reply::ok()); }

private:
    void runLine(const QByteArray &line);
    void dataFromStation(const QByteArray &bytes);
    void queueOut(const QByteArray &bytes, qint64 due);
    void deliverNext();
    Reply dispatch(const QByteArray &body);

    std::map<QByteArray, Handler> m_handlers;
    QHash<QByteArray, QByteArray> m_overrides;
    QSet<int> m_bauds{19200};
    int m_latency = 20;
    int m_chunk = 0;
    int m_chunkGap = 5;
    bool m_silent = false;
    bool m_echo = true;
    QByteArray m_line;
    TextHandler m_text;
    QByteArray m_typed;
    quint64 m_session = 0;
    qint64 m_lastDue = 0;
    struct Pending
    {
        QByteArray bytes;
        qint64 due;
        quint64 session;
    };
    QList<Pending> m_outbox;
    bool m_delivering = false;
    QList<QByteArray> m_commands;
    std::function<void(const QByteArray &)> m_dataSink;
    int m_guard = 1000;
    qint64 m_lastData = 0; // last byte from the station in data mode
    int m_pluses = 0;      // escape characters held back
    quint64 m_escapeTry = 0;
};
