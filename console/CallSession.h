#pragma once

#include "AtExchange.h"
#include "CallProgress.h"
#include "LinkConsole.h"
#include "MachineFiles.h"
#include "Services.h"
#include "Timer.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>

namespace audit {
struct ConversionResult;
}
class MachineLink;
class TcpLine;
struct LinkState;
enum class TransferMode : quint8;

// The call console without its widgets: dialling and hang-up, the pointer read, the seven
// commands, the file loaders and the audit conversion, and every display the machine link
// writes. `FrmCall` shows it; `gsmcollect` and the unattended collection drive it with a dialog
// policy instead of a person, so there is one copy of the console's sequencing.
class CallSession : public QObject, public LinkConsole
{
    Q_OBJECT
public:
    enum Button {
        Data,           // `Command2`
        All,            // `Command7`
        Select,         // `Command8`
        ResetAlarm,     // `Command6`
        Audit,          // `Command9`
        TelemetryRead,  // `Command10`
        TelemetryWrite, // `Command12`
        Disconnect,     // `Command4`
        ButtonCount
    };

    enum class CallState { Idle, Dialling, Connected, HangingUp };
    // How the last dial ended; the failures are the modem's result codes.
    enum class DialOutcome { None, Connected, Busy, NoAnswer, NoCarrier, Failed, TimedOut };
    // What the reset button does: start a reset (its first caption differs), or cancel one.
    enum class ResetButton { Initial, Abrogate, Reset };

    // pollingTimer is the main window's `Timer2`, scheduleTimer its `Timer5`.
    CallSession(const Services &services, ::Timer &pollingTimer, ::Timer &scheduleTimer,
                QObject *parent = nullptr);
    ~CallSession() override;

    // The link of the current call (or of the last one, until a command starts the next).
    MachineLink &link() { return *m_link; }
    LinkState &call();

    // The line of the calls that follow: a TCP line (outbound to the machine's address, or a
    // connection the machine opened) is connected instead of dialling the number on the modem,
    // and closed instead of the escape and hang-up. io, when given, is what the calls read and
    // write instead of line itself (a trace around it). nullptr goes back to the modem. Neither
    // is owned: both must outlive the calls on them. Ignored while a call is up.
    void setLine(TcpLine *line, SerialPort *io = nullptr);
    TcpLine *line() const;
    // Called with the machine's number before each new call is set up, to choose its line
    // (setLine) by the machine's address.
    void setLineChooser(std::function<void(const QString &number)> choose)
    {
        m_chooseLine = std::move(choose);
    }
    // How long an IP call waits for the connection before "Time OUT".
    static constexpr int ConnectTimeoutMs = 20000;

    // Window load: a fresh link, every button disabled.
    void load();
    // Window unload: hangs up a call that is up, gives the port back to the station.
    void unload();

    // Selection of a machine: its number and description; a number enables the commands.
    void select(const QString &number, const QString &description);
    // The scheduler's pre-selection: shows the machine but enables nothing.
    void preselect(const QString &number, const QString &description);

    // `Login`, `Logoff`, `Command4_Click`, `CntrDisable`, `CntrEnable`.
    void Login(bool &loggedOn);
    void Logoff(const QString &reason);
    void Command4_Click();
    void CntrDisable();
    void CntrEnable();

    // The seven commands.
    void Command2_Click();  // "Data"
    void Command7_Click();  // "All"
    void Command8_Click();  // "Select"
    void Command6_Click();  // "Reset Alarm" / "Abrogate"
    void Command9_Click();  // "Audit"
    void Command10_Click(); // "Telemetry" read
    void Command12_Click(); // "Telemetry" write

    CallState callState() const { return m_callState; }
    bool callUp() const { return m_callState == CallState::Connected; }
    DialOutcome dialOutcome() const { return m_dialOutcome; }
    // A command's job runs on (transfer, reset dialogue or the call set-up itself).
    bool busy() const;

    // "Select"'s check before it dials, for the console and gsmcollect alike: loads the
    // machine's snapshot, and tells whether the configuration differs from it. A snapshot that
    // is missing or unreadable comes back as the station's refusal.
    struct SnapshotCheck
    {
        MachineFiles::Result refusal;
        bool differs = false;
    };
    static SnapshotCheck checkSnapshot(const QString &programFolder, const QString &number,
                                       const QByteArray &config, QByteArray &snapshot);
    static inline const QString NoDifference = QStringLiteral(" No differents found! ");

    // Where the last audit conversion wrote its records, and how it went.
    struct AuditOutcome
    {
        bool done = false;      // a conversion ran
        bool converted = false; // every script line succeeded
        QString path;
        QString message; // why a conversion could not run
    };
    const AuditOutcome &lastAudit() const { return m_audit; }

    // The step, percentage and times of the command under way, and the file it saved.
    const CallProgress &report() const { return m_report; }
    // "Corridor A (3351234567)", or the number alone.
    QString machineName() const;

    // Displays (what `FrmCall` shows)
    QString Label1;  // GSM number
    QString Label4;  // description
    QString Label2;  // call status
    QString Label10; // command status line
    QString Command6Caption = CallSession::tr("   Reset   Alarm");
    std::array<bool, ButtonCount> enabled{};
    bool listVisible = true;
    bool windowEnabled = true;
    bool busyCursor = false;
    bool LoggedOn = false;
    int progressMax = 100;
    int progress = 0;
    QByteArray Text1; // receive box
    QString Text2;    // last accepted frame number

    ::Timer Timer1{QStringLiteral("FrmCall.Timer1"), 60000, false};
    ::Timer Timer2{QStringLiteral("FrmCall.Timer2"), 3000, false};

    // LinkConsole
    void setProgressMaximum(int max) override;
    int progressMaximum() const override { return progressMax; }
    void setProgressValue(int value) override;
    int progressValue() const override { return progress; }
    void showReceiveText(const QByteArray &text) override;
    void showFrameNumber(const QString &text) override;
    void setStatusLine(const QString &text) override;
    void resetAlarmEnded() override;
    void setCommandsEnabled(bool on) override;
    QString machineNumber() const override { return Label1; }
    void hangUp() override { Command4_Click(); }
    void resetAlarmClick() override { Command6_Click(); }
    void auditDownloaded() override
    {
        auditDownloaded([] {});
    }
    void auditDownloaded(std::function<void()> converted) override;
    void fileSaved(const QString &path) override;

signals:
    // Something the window shows has changed.
    void changed();
    // Progress of a transfer (value, maximum), for displays that only follow it.
    void progressChanged(int value, int maximum);
    // A call went up or down.
    void callStateChanged(bool up);
    // An audit read has been through its conversion (or its file choice was cancelled).
    void auditFinished();
    // The current call's transfer completed; its reset dialogue ended on its own (done or not).
    void transferEnded(TransferMode mode);
    void dialogueFinished(bool done);
    // A batch of the current transfer was built (1 for the first).
    void batchBuilt(int number);

private:
    void newCall();
    void setCallState(CallState s, const QString &shown);
    void setResetButton(ResetButton b);
    void beginCommand();
    // Runs next once the call is up: at once when it is, after the dial (which waits), or when
    // the TCP connection comes up (which does not). Nothing runs when the call fails.
    void dialThen(std::function<void()> next);
    void beginConnect(std::function<void()> next);
    void connectEnded();
    void callConnected();
    void callFailed(const QString &answer);
    // The line the current call runs on: the TCP line's, or the modem port.
    SerialPort &callPort();
    void hangUpModem(const QString &reason);
    void enableButtons(std::initializer_list<Button> buttons, bool on);
    void setCommands(bool on); // the seven command buttons
    void clearReceiveState();
    void readPointers(std::function<void()> next);
    void askPointers(int index);
    void pointerBytes();
    bool LoadConfigFile();
    bool LoadTelemetryFile();
    void convertAudit(std::function<void()> then);
    void auditConverted(const QString &path, const audit::ConversionResult &r);
    void makeProgramFolderCurrent();
    void notify() { emit changed(); }
    void setStep(CallProgress::Step step);
    void endReport();
    QString proposedName(const QString &extension) const;

    Services m_s;
    QPointer<TcpLine> m_line;
    QPointer<SerialPort> m_lineIo;
    std::function<void(const QString &)> m_chooseLine;
    std::unique_ptr<MachineLink> m_link;
    ::Timer &m_pollingTimer;
    ::Timer &m_scheduleTimer;
    // On the current call's line; made again with each new call.
    std::unique_ptr<AtExchange> m_dial;
    std::unique_ptr<AtExchange> m_hangup;
    AuditOutcome m_audit;
    CallProgress m_report;
    CallState m_callState = CallState::Idle;
    DialOutcome m_dialOutcome = DialOutcome::None;
    ResetButton m_resetButton = ResetButton::Initial;
    // The station's port: the console holds it from load to unload, except during an IP call.
    void lendPortForCall(bool consoleNeedsPort);
    bool m_borrowed = false;
    bool m_loaded = false;
    bool m_connecting = false;
    std::function<void()> m_afterConnect;
    QMetaObject::Connection m_lineWatch;
    QMetaObject::Connection m_portWatch;
    struct PointerRead
    {
        bool active = false;
        int index = 0;
        int badAnswers = 0; // time-outs and check mismatches
        int noFrame = 0;    // answers without SOH
        QByteArray replies[2];
        std::function<void()> next;
    } m_pointers;
};
