#pragma once

#include "PolicyDialogs.h"
#include "Timer.h"

#include <QObject>
#include <QString>
#include <memory>

class CallSession;
class MachineLink;
class SerialPort;
class TcpLine;
enum class TransferMode : quint8;

// One unattended console job on one machine, over a modem that is ready for a call (command
// mode, registered) or over a TCP line (see setLine): the call console's own command runs with a dialog policy instead of a
// person, on the station's engine and pacing, and the call is always hung up at the end. The
// job is judged by what can be seen afterwards: whether the call came up, whether the transfer
// or the reset dialogue said it ended, the boxes shown, the audit outcome and the files written.
class CollectJob : public QObject
{
    Q_OBJECT
public:
    enum class Kind {
        ReadConfig,     // "Data"
        ReadTelemetry,  // "Telemetry" read
        WriteConfig,    // "All", then the reset without status
        WriteChanged,   // "Select" against the machine's snapshot
        WriteTelemetry, // "Telemetry" write
        ResetAlarms,    // "Reset Alarm", waiting until it is carried out
        Audit,          // "Audit": pointer read, map read, conversion
    };
    struct Request
    {
        Kind kind = Kind::ReadConfig;
        QString number; // dialled as given
        QString file;   // input of the writes, output of the reads and of the audit
        QString image;  // audit: where the framed image goes ("" nowhere)
        bool erase = false;
        int retries = 3;
    };
    enum class Status {
        Done,
        Failed,    // no call, the transfer or dialogue gave up, a file was refused, lines failed
        FileError, // a file could not be written
    };
    struct Result
    {
        Status status = Status::Failed;
        QString reason; // one line; empty when done
    };

    // programFolder holds the snapshots (Cartella), "decod.asm" and "address.asm". Each job's
    // call has a link of its own.
    CollectJob(SerialPort &port, const QString &programFolder, QObject *parent = nullptr);
    ~CollectJob() override;

    // The jobs that follow connect over line instead of dialling (see CallSession::setLine);
    // nullptr dials again. Not owned.
    void setLine(TcpLine *line, SerialPort *io = nullptr);

    Result run(const Request &request);
    // Ends the running job at the next chance: the call is hung up and the job fails. Safe to
    // call from any handler; a dial under way is waited out first.
    void abort() { m_abort = true; }

    // The path the station saves a read to: a name without an extension gets the job's.
    static QString savedPath(Kind kind, const QString &file);

    PolicyDialogs &dialogs() { return m_dialogs; }
    // What the last job saw: whether the call came up, and the transfer mode that ended.
    bool connected() const { return m_wasUp; }
    TransferMode endedMode() const { return m_endedMode; }
    CallSession &session() { return *m_session; }
    MachineLink &link();

signals:
    // Every box the station would show, and what the job does, one line each.
    void line(const QString &text);
    void progress(int value, int maximum);
    // A new batch of a transfer starts; value of maximum answered so far.
    void batch(int number, int value, int maximum);

private:
    void start(const Request &r);
    Result judge(const Request &r);
    Result gaveUp() const;
    Result checkSaved(const QString &path, bool telemetry) const;
    Result checkSnapshot() const;

    QString m_folder;
    PolicyDialogs m_dialogs;
    ::Timer m_pollingTimer{QStringLiteral("Timer2"), 6000, false};
    ::Timer m_scheduleTimer{QStringLiteral("Timer5"), 30000, false};
    std::unique_ptr<CallSession> m_session;

    // What the job saw.
    bool m_abort = false;
    bool m_dialled = false;
    bool m_wasUp = false;
    TransferMode m_endedMode{};
    int m_dialogue = -1; // -1 not ended, 0 gave up, 1 done
};
