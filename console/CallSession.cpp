#include "CallSession.h"

#include "Clock.h"
#include "ConversionRun.h"
#include "Dialogs.h"
#include "LinkState.h"
#include "MachineFiles.h"
#include "MachineLink.h"
#include "MemoryMap.h"
#include "OutputFile.h"
#include "PortLender.h"
#include "Runtime.h"
#include "SerialPort.h"
#include "TcpLine.h"
#include "TrayIcon.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace {
constexpr int DialTimeoutMs = 60000;
constexpr int EscapeTimeoutMs = 3000;
constexpr int LineSettleMs = 1000;
constexpr int HangUpWaitMs = 10000;

using DialOutcome = CallSession::DialOutcome;

// The dial's verdict on what the modem said so far: a failure result code (tested first), a
// connect with its line ended, or nothing yet (-1).
int judgeDial(const QByteArray &answer)
{
    static const std::pair<QByteArray, DialOutcome> failures[] = {
        {"ERROR", DialOutcome::Failed},     {"NO CARRIER", DialOutcome::NoCarrier},
        {"NO DIAL TONE", DialOutcome::Failed}, {"BUSY", DialOutcome::Busy},
        {"NO ANSWER", DialOutcome::NoAnswer}};
    for (const auto &[code, outcome] : failures)
        if (answer.contains(code))
            return int(outcome);
    if (answer.contains("CONNECT") && answer.contains("\r\n"))
        return int(DialOutcome::Connected);
    return -1;
}

QString resetCaption(CallSession::ResetButton b)
{
    switch (b) {
    case CallSession::ResetButton::Initial:
        return CallSession::tr("   Reset   Alarm");
    case CallSession::ResetButton::Abrogate:
        return CallSession::tr("Abrogate");
    case CallSession::ResetButton::Reset:
        break;
    }
    return CallSession::tr("Reset Alarm");
}
} // namespace

CallSession::CallSession(const Services &services, ::Timer &pollingTimer, ::Timer &scheduleTimer,
                         QObject *parent)
    : QObject(parent), m_s(services), m_pollingTimer(pollingTimer), m_scheduleTimer(scheduleTimer)
{
    // One-shot time-outs: a tick only switches its timer off, and the waits watch for that.
    connect(&Timer1, &::Timer::tick, this, [this] {
        Timer1.stop();
        if (m_connecting)
            connectEnded();
        if (m_pointers.active)
            pointerBytes();
    });
    connect(&Timer2, &::Timer::tick, this, [this] { Timer2.stop(); });
    newCall();
}

CallSession::~CallSession() = default;

LinkState &CallSession::call()
{
    return m_link->state;
}

SerialPort &CallSession::callPort()
{
    if (m_line)
        return m_lineIo ? *m_lineIo : *m_line;
    return *m_s.port;
}

TcpLine *CallSession::line() const
{
    return m_line;
}

void CallSession::setLine(TcpLine *line, SerialPort *io)
{
    if (callUp() || m_callState == CallState::Dialling)
        return;
    m_line = line;
    m_lineIo = line ? io : nullptr;
    newCall();
}

void CallSession::newCall()
{
    SerialPort &port = callPort();
    disconnect(m_portWatch);
    m_portWatch = connect(&port, &SerialPort::received, this, [this] {
        if (m_pointers.active)
            pointerBytes();
    });
    m_dial = std::make_unique<AtExchange>(port, Timer1);
    m_hangup = std::make_unique<AtExchange>(port, Timer2);
    m_link = std::make_unique<MachineLink>(port, *m_s.dialogs, m_pollingTimer, m_scheduleTimer);
    m_link->setAppFolder(m_s.appFolder);
    m_link->setClock(m_s.clock);
    m_link->setConsole(this);
    connect(&m_link->engine, &TransferEngine::ended, this, &CallSession::transferEnded);
    connect(&m_link->dialogue, &ResetDialogue::finished, this, &CallSession::dialogueFinished);
    // After the engine's own handler: the batch has just been built.
    connect(&m_link->engine.Timer, &::Timer::tick, this, [this] {
        const TransferEngine &e = m_link->engine;
        if (e.batchCount() == 0)
            // The plan counts from the hand-over, one build interval before the first batch.
            m_report.plan(Runtime::current().nowMs() - e.Timer.interval(), e.plannedRequests(),
                          e.designedMs(), TransferEngine::requestMs(call().mode));
        m_report.setBatch(e.batchCount() + 1, int(e.plannedBatches().size()));
        notify();
        emit batchBuilt(e.batchCount() + 1);
    });
    connect(&m_link->engine, &TransferEngine::finishing, this, [this](TransferMode mode) {
        m_report.transferDone();
        setStep(mode == TransferMode::ReadAudit ? CallProgress::Step::Converting
                                                : CallProgress::Step::Saving);
    });
    connect(&m_link->engine, &TransferEngine::ended, this, [this] {
        if (m_report.step() != CallProgress::Step::Erasing)
            endReport();
    });
    connect(&m_link->dialogue, &ResetDialogue::finished, this, [this] { endReport(); });
}

void CallSession::setStep(CallProgress::Step step)
{
    m_report.setStep(step);
    notify();
}

void CallSession::endReport()
{
    m_report.end(Runtime::current().nowMs());
    notify();
}

QString CallSession::machineName() const
{
    if (Label4.trimmed().isEmpty())
        return Label1;
    return QStringLiteral("%1 (%2)").arg(Label4.trimmed(), Label1);
}

QString CallSession::proposedName(const QString &extension) const
{
    return MachineLink::proposedName(
        Label1, m_s.clock ? m_s.clock->now() : QDateTime::currentDateTime(), extension);
}

void CallSession::fileSaved(const QString &path)
{
    m_report.saved(path);
    notify();
}

void CallSession::beginCommand()
{
    m_report.begin(Runtime::current().nowMs());
    // A command that dials starts a new call with a fresh link; one that finds the call up
    // goes on in it.
    if (callUp())
        return;
    if (m_chooseLine && !m_connecting)
        m_chooseLine(Label1);
    // An IP call leaves the modem to the station: it polls on during the call, and gets the
    // port back from the console when the call ends.
    lendPortForCall(!m_line);
    newCall();
}

void CallSession::lendPortForCall(bool consoleNeedsPort)
{
    if (!m_s.lender || !m_loaded)
        return;
    if (consoleNeedsPort && !std::exchange(m_borrowed, true))
        m_s.lender->lend();
    else if (!consoleNeedsPort && std::exchange(m_borrowed, false))
        m_s.lender->giveBack();
}

bool CallSession::busy() const
{
    return m_link->engine.Timer.isEnabled() || m_link->engine.Timer8.isEnabled() ||
           m_link->engine.Timer9.isEnabled() || m_link->dialogue.running() ||
           m_callState == CallState::Dialling || m_connecting || m_pointers.active ||
           m_link->saving();
}

void CallSession::setCallState(CallState s, const QString &shown)
{
    m_callState = s;
    Label2 = shown;
    notify();
}

void CallSession::setResetButton(ResetButton b)
{
    m_resetButton = b;
    Command6Caption = resetCaption(b);
    notify();
}

void CallSession::makeProgramFolderCurrent()
{
    if (!m_s.appFolder.isEmpty())
        QDir::setCurrent(m_s.appFolder);
}

// --- Window ---------------------------------------------------------------------------------

void CallSession::load()
{
    m_loaded = true;
    lendPortForCall(true);
    newCall();
    makeProgramFolderCurrent();
    enabled.fill(false);
    notify();
}

void CallSession::unload()
{
    makeProgramFolderCurrent();
    if (callUp() || m_connecting) {
        call().RxTimeoutCount = 0;
        Command4_Click();
        CntrEnable();
    }
    lendPortForCall(false);
    m_loaded = false;
}

void CallSession::select(const QString &number, const QString &description)
{
    Label1 = number;
    Label4 = description;
    if (!Label1.isEmpty())
        enableButtons({Data, All, Select, ResetAlarm, Audit, TelemetryRead, TelemetryWrite}, true);
    notify();
}

void CallSession::preselect(const QString &number, const QString &description)
{
    Label1 = number;
    Label4 = description;
    notify();
}

void CallSession::enableButtons(std::initializer_list<Button> buttons, bool on)
{
    for (Button b : buttons)
        enabled[b] = on;
    notify();
}

void CallSession::setCommands(bool on)
{
    enableButtons({Data, All, Select, ResetAlarm, Audit, TelemetryRead, TelemetryWrite}, on);
}

// --- Displays the link writes ----------------------------------------------------------------

void CallSession::setProgressMaximum(int max)
{
    progressMax = max;
    emit progressChanged(progress, progressMax);
    notify();
}

void CallSession::setProgressValue(int value)
{
    progress = value;
    if (m_report.step() == CallProgress::Step::Batch)
        m_report.answered(m_link->engine.answeredRequests());
    emit progressChanged(progress, progressMax);
    notify();
}

void CallSession::showReceiveText(const QByteArray &text)
{
    Text1 = text;
    notify();
}

void CallSession::showFrameNumber(const QString &text)
{
    Text2 = text;
    notify();
}

void CallSession::setStatusLine(const QString &text)
{
    Label10 = text;
    notify();
}

void CallSession::resetAlarmEnded()
{
    setResetButton(ResetButton::Reset);
}

void CallSession::setCommandsEnabled(bool on)
{
    setCommands(on);
}

// --- Call set-up and hang-up -------------------------------------------------------------------

void CallSession::CntrDisable()
{
    busyCursor = true;
    setCommands(false);
    enabled[Disconnect] = true;
    listVisible = false;
    if (m_s.tray) {
        m_s.tray->setIcon(2);
        m_s.tray->setState(0);
    }
    notify();
}

void CallSession::CntrEnable()
{
    busyCursor = false;
    setCommands(true);
    enabled[Disconnect] = false;
    listVisible = true;
    if (m_s.tray) {
        m_s.tray->setIcon(1);
        m_s.tray->setState(0);
    }
    notify();
}

void CallSession::Login(bool &loggedOn)
{
    if (m_line) {
        beginConnect({});
        while (m_connecting && !Runtime::current().isEnding())
            Runtime::current().yield();
        loggedOn = callUp();
        return;
    }
    m_dialOutcome = DialOutcome::None;
    m_report.setStep(CallProgress::Step::Dialling);
    setCallState(CallState::Dialling, tr("Wait for logon..."));
    CntrDisable();
    SerialPort &port = callPort();
    port.setRThreshold(0);
    ExchangeRules rules;
    rules.judge = judgeDial;
    const int verdict = m_dial->exchange("ATD" + Label1.toLatin1(), DialTimeoutMs, rules, CR);
    m_dialOutcome = verdict < 0 ? DialOutcome::TimedOut : DialOutcome(verdict);
    if (m_dialOutcome == DialOutcome::Connected) {
        callConnected();
        loggedOn = true;
        m_dial->pause(LineSettleMs);
        port.setRThreshold(1);
        return;
    }
    callFailed(verdict < 0 ? tr("Time OUT") : QString::fromLatin1(m_dial->buffer()));
    loggedOn = false;
}

void CallSession::callConnected()
{
    m_dialOutcome = DialOutcome::Connected;
    m_report.setStep(CallProgress::Step::Connected);
    setCallState(CallState::Connected, tr("Connect...!"));
    LoggedOn = true;
    Timer1.stop();
    m_link->engine.Timer13.start();
    notify();
    emit callStateChanged(true);
}

void CallSession::callFailed(const QString &answer)
{
    Timer1.stop();
    m_s.dialogs->message(answer, MsgButtons::Ok, MsgIcon::Critical);
    Logoff(answer);
    CntrEnable();
    windowEnabled = true;
    LoggedOn = false;
    notify();
}

void CallSession::dialThen(std::function<void()> next)
{
    if (callUp()) {
        LoggedOn = true;
        next();
    } else if (m_line) {
        beginConnect(std::move(next));
    } else {
        Login(LoggedOn);
        if (LoggedOn)
            next();
    }
}

// The TCP connection, without waiting: the commands go on once it is up, so that many calls set
// up side by side. There is no modem line to settle after it.
void CallSession::beginConnect(std::function<void()> next)
{
    m_dialOutcome = DialOutcome::None;
    m_report.setStep(CallProgress::Step::Dialling);
    setCallState(CallState::Dialling, tr("Wait for logon..."));
    CntrDisable();
    callPort().setRThreshold(0);
    m_afterConnect = std::move(next);
    m_connecting = true;
    m_dial->Tout(ConnectTimeoutMs);
    m_lineWatch = connect(m_line, &TcpLine::stateChanged, this, [this] {
        // Out of the socket's own signal: what follows waits and shows messages.
        Runtime::current().post(0, [self = QPointer(this)] {
            if (self && self->m_connecting)
                self->connectEnded();
        });
    });
    m_line->connectLine();
    if (m_line->state() != TcpLine::State::Connecting)
        connectEnded();
}

// A refusal, or a connection the machine closed, is the modem's "NO CARRIER"; no connection in
// time its silence.
void CallSession::connectEnded()
{
    const bool waiting = m_line && m_line->state() == TcpLine::State::Connecting;
    if (waiting && !m_dial->timedOut())
        return;
    m_connecting = false;
    disconnect(m_lineWatch);
    std::function<void()> next = std::exchange(m_afterConnect, {});
    if (m_line && m_line->isOpen()) {
        callConnected();
        callPort().setRThreshold(1);
        if (next)
            next();
        return;
    }
    m_dialOutcome = waiting ? DialOutcome::TimedOut : DialOutcome::NoCarrier;
    if (m_line)
        m_line->close();
    callFailed(waiting ? tr("Time OUT") : QStringLiteral("NO CARRIER"));
}

void CallSession::Logoff(const QString &reason)
{
    enableButtons({Disconnect, Data, ResetAlarm, All, Select, Audit, TelemetryRead, TelemetryWrite},
                  false);
    windowEnabled = false;
    m_report.setStep(CallProgress::Step::HangingUp);
    setCallState(CallState::HangingUp, tr("Wait for logoff..."));
    if (m_line) {
        // There is no modem to escape from: the hang-up is the end of the connection.
        callPort().setRThreshold(0);
        m_line->close();
        windowEnabled = true;
    } else {
        hangUpModem(reason);
    }
    m_callState = CallState::Idle; // the status line keeps saying "Wait for logoff..."
    if (m_line)
        lendPortForCall(true); // the open console holds the modem again
    m_report.end(Runtime::current().nowMs());
    CntrEnable();
    emit callStateChanged(false);
}

void CallSession::hangUpModem(const QString &reason)
{
    SerialPort &port = *m_s.port;
    if (reason.isEmpty()) {
        port.setRThreshold(0);
        m_hangup->pause(HangUpWaitMs);
        // The line may have been closed under the call; it is opened again before the escape.
        m_hangup->Tout(EscapeTimeoutMs);
        while (!port.isOpen() && !port.open() && !m_hangup->timedOut())
            Runtime::current().yield();
        m_hangup->flush();
        windowEnabled = true;
        notify();
    }
    m_hangup->exchange("+++", EscapeTimeoutMs, {OK_CRLF}, QByteArray());
    m_hangup->exchange("ATH", EscapeTimeoutMs, {OK_CRLF}, CR);
}

void CallSession::Command4_Click()
{
    makeProgramFolderCurrent();
    m_pointers.active = false;
    if (std::exchange(m_connecting, false)) {
        disconnect(m_lineWatch);
        m_afterConnect = {};
    }
    setProgressValue(0);
    call().RxTimeoutCount = 0;
    call().LinkActive = false;
    m_link->box.clear();
    call().RxFrame.clear();
    m_link->engine.stopTimers();
    m_link->engine.Timer13.stop();
    if (m_resetButton == ResetButton::Abrogate) {
        setResetButton(ResetButton::Reset);
        Label10.clear();
        m_link->dialogue.stop();
    }
    Logoff(QString());
    enableButtons({Disconnect, Data, ResetAlarm, All, Select, Audit, TelemetryRead, TelemetryWrite},
                  true);
    windowEnabled = true;
    notify();
}

void CallSession::clearReceiveState()
{
    m_link->box.clear();
    call().RxFrame.clear();
}

// --- Commands --------------------------------------------------------------------------------

void CallSession::Command2_Click()
{
    beginCommand();
    call().RxTimeoutCount = 0;
    if (Label1.isEmpty())
        return;
    dialThen([this] {
        call().ResetAfterWrite = false;
        setCommands(false);
        call().ConfigImage.fill('\0', MachineFiles::ConfigImageSize);
        m_link->engine.start(TransferMode::ReadConfig);
    });
}

void CallSession::Command7_Click()
{
    beginCommand();
    call().FileCancelled = false;
    call().RxTimeoutCount = 0;
    if (!LoadConfigFile() || Label1.isEmpty() || call().FileCancelled)
        return;
    dialThen([this] {
        call().ResetAfterWrite = false;
        setCommands(false);
        m_link->engine.start(TransferMode::WriteConfig);
    });
}

void CallSession::Command8_Click()
{
    beginCommand();
    call().RxTimeoutCount = 0;
    call().FileCancelled = false;
    clearReceiveState();
    if (!LoadConfigFile() || Label1.isEmpty() || call().FileCancelled)
        return;
    const SnapshotCheck check =
        checkSnapshot(m_s.appFolder, Label1, call().ConfigImage, call().SnapshotImage);
    if (const MachineFiles::Result &r = check.refusal; !r.ok()) {
        m_s.dialogs->message(r.text, MsgButtons::Ok, r.icon, r.title);
        return;
    }
    if (!check.differs) {
        m_s.dialogs->ask(MsgId::NoDifference, NoDifference, MsgButtons::Ok, MsgIcon::Information);
        enableButtons({Data, All, Select}, true);
        return;
    }
    dialThen([this] {
        call().ResetAfterWrite = false;
        setCommands(false);
        m_link->engine.start(TransferMode::WriteChanged);
    });
}

CallSession::SnapshotCheck CallSession::checkSnapshot(const QString &programFolder,
                                                      const QString &number,
                                                      const QByteArray &config,
                                                      QByteArray &snapshot)
{
    SnapshotCheck c;
    c.refusal = MachineFiles::loadSnapshotFile(MachineFiles::snapshotPath(programFolder, number),
                                               number, snapshot);
    c.differs = c.refusal.ok() && config.left(MachineFiles::ConfigImageSize) !=
                                      snapshot.left(MachineFiles::ConfigImageSize);
    return c;
}

void CallSession::Command9_Click()
{
    beginCommand();
    if (Label1.isEmpty())
        return;
    dialThen([this] {
        call().LinkActive = true;
        call().TransferStart = true;
        call().ResetAfterWrite = false;
        call().mode = TransferMode::ReadAudit;
        clearReceiveState();
        readPointers([this] {
            setCommands(false);
            for (MapRecord &r : call().MapRecords)
                r = MapRecord{255, 255, 255};
            m_link->engine.start(TransferMode::ReadAudit);
        });
    });
}

void CallSession::Command10_Click()
{
    beginCommand();
    if (Label1.isEmpty())
        return;
    dialThen([this] {
        call().ResetAfterWrite = false;
        call().TelemetryImage = QByteArray(MachineFiles::TelemetryImageSize, '\0');
        setCommands(false);
        m_link->engine.start(TransferMode::ReadTelemetry);
    });
}

void CallSession::Command12_Click()
{
    beginCommand();
    call().FileCancelled = false;
    call().RxTimeoutCount = 0;
    if (!LoadTelemetryFile() || Label1.isEmpty() || call().FileCancelled)
        return;
    dialThen([this] {
        call().ResetAfterWrite = false;
        setCommands(false);
        m_link->engine.start(TransferMode::WriteTelemetry);
    });
}

void CallSession::Command6_Click()
{
    call().FileCancelled = false;
    call().RxTimeoutCount = 0;
    if (m_resetButton == ResetButton::Abrogate) {
        setResetButton(ResetButton::Reset);
        Label10.clear();
        m_link->dialogue.stop();
        setCommands(true);
        return;
    }
    beginCommand();
    if (Label1.isEmpty())
        return;
    dialThen([this] {
        setResetButton(ResetButton::Abrogate);
        enableButtons({Data, All, Select, Audit, TelemetryRead, TelemetryWrite}, false);
        // The dial left every button off; this one must stay usable to cancel.
        enableButtons({ResetAlarm}, true);
        m_scheduleTimer.stop();
        m_scheduleTimer.start();
        m_link->dialogue.startReset();
    });
}

// --- Pointer read ------------------------------------------------------------------------------

// Two request frames, each answered within the dial's time-out, read on the port's receive
// event rather than in a wait of its own, so that calls on other lines go on meanwhile. Three
// bad or missing answers, or three answers without a frame, end the call.
void CallSession::readPointers(std::function<void()> next)
{
    setStep(CallProgress::Step::PointerRead);
    m_pointers = PointerRead{};
    m_pointers.active = true;
    m_pointers.next = std::move(next);
    callPort().setRThreshold(1);
    askPointers(0);
}

void CallSession::askPointers(int index)
{
    m_pointers.index = index;
    call().FrameSlots[index] = MemoryMap::pointerRequest(index);
    m_dial->clear();
    m_dial->Tout(DialTimeoutMs);
    m_dial->send(call().FrameSlots[index]);
    pointerBytes(); // an answer may be there already
}

void CallSession::pointerBytes()
{
    PointerRead &p = m_pointers;
    m_dial->readPort();
    const int i = p.index;
    const qsizetype start = MemoryMap::replyStart(m_dial->buffer(), i);
    if (start < 0 && !m_dial->timedOut())
        return;
    const bool timedOut = start < 0;
    if (!timedOut) {
        p.replies[i] = m_dial->buffer().mid(start);
        if (i == 0) {
            askPointers(1);
            return;
        }
    }
    MemoryMap::PointerReply::Status failure = MemoryMap::PointerReply::Ok;
    QStringList pointers;
    if (!timedOut) {
        for (int k = 0; k < 2 && failure == MemoryMap::PointerReply::Ok; ++k) {
            const MemoryMap::PointerReply r = MemoryMap::checkPointerReply(p.replies[k], k);
            failure = r.status;
            pointers += k == 0 ? r.addresses.mid(0, 8) : r.addresses.mid(0, 1);
        }
    }
    if (!timedOut && failure == MemoryMap::PointerReply::Ok) {
        p.active = false;
        Timer1.stop();
        setStep(CallProgress::Step::MemoryMap);
        const QStringList lines = MemoryMap::build(pointers);
        for (int k = 0; k < MemoryMap::Lines; ++k)
            call().MapLines[k] = lines.at(k);
        if (const std::function<void()> next = std::exchange(p.next, {}))
            next();
        return;
    }
    if (timedOut || failure == MemoryMap::PointerReply::BadCheck)
        ++p.badAnswers;
    else
        ++p.noFrame;
    if (p.badAnswers < 3 && p.noFrame < 3) {
        askPointers(0);
        return;
    }
    p.active = false;
    Timer1.stop();
    m_s.dialogs->message(tr("Error Comunication Failed"), MsgButtons::Ok,
                         MsgIcon::Critical);
    Command4_Click();
}

// --- File loaders ------------------------------------------------------------------------------

bool CallSession::LoadConfigFile()
{
    const QString chosen = m_s.dialogs->openFile(
        tr("Open"), tr("Configuration(*.prm);;Configuration(*.cfx)"),
        m_s.appFolder);
    const QString name = QFileInfo(chosen).fileName();
    if (chosen.isEmpty() || name == QLatin1String("*.prm") || name == QLatin1String("*.cfx")) {
        call().FileCancelled = true;
        return false;
    }
    const MachineFiles::Result r = MachineFiles::loadConfigFile(chosen, call().ConfigImage);
    if (!r.ok()) {
        m_s.dialogs->message(r.text, MsgButtons::Ok, r.icon, r.title);
        return false;
    }
    return true;
}

bool CallSession::LoadTelemetryFile()
{
    const QString chosen = m_s.dialogs->openFile(tr("Open"),
                                                 tr("Telemetry(*.tlm)"), m_s.appFolder);
    if (chosen.isEmpty() || QFileInfo(chosen).fileName() == QLatin1String("*.tlm")) {
        call().FileCancelled = true;
        return false;
    }
    setProgressMaximum(int(QFileInfo(chosen).size()) + 1);
    setProgressValue(0);
    const MachineFiles::Result r = MachineFiles::loadTelemetryFile(chosen, call().TelemetryImage);
    if (!r.ok()) {
        m_s.dialogs->message(r.text, MsgButtons::Ok, r.icon, r.title);
        return false;
    }
    setProgressValue(0);
    return true;
}

// --- Audit conversion --------------------------------------------------------------------------

void CallSession::auditDownloaded(std::function<void()> converted)
{
    m_audit = AuditOutcome{};
    convertAudit([this, converted] {
        emit auditFinished();
        converted();
    });
}

void CallSession::convertAudit(std::function<void()> then)
{
    makeProgramFolderCurrent();
    const QString chosen =
        m_s.dialogs->saveFile(tr("Save the audit"),
                              tr("Audit Eva_Dts(*.txt)"), m_s.appFolder,
                              proposedName(QStringLiteral("txt")));
    const QFileInfo info(chosen);
    if (chosen.isEmpty() || info.fileName() == QLatin1String("*.txt"))
        return then();
    const QString path = info.suffix().isEmpty() ? chosen + QStringLiteral(".txt") : chosen;
    OutputFile output(path);
    const audit::ConversionResult r =
        audit::ConvertInto(m_s.appFolder, call().AuditImage, call().AuditImageLength, output, path);
    if (r.outcome == audit::ConversionResult::Outcome::FileError) {
        auditConverted(path, r);
        return then();
    }
    MachineFiles::commitLater(output, this, [this, path, r, then](const OutputFile::Committed &c) {
        auditConverted(path, c.ok ? r : audit::OutputError(path, c.errorString));
        then();
    });
}

void CallSession::auditConverted(const QString &path, const audit::ConversionResult &r)
{
    m_audit.done = true;
    m_audit.path = path;
    if (r.outcome != audit::ConversionResult::Outcome::FileError)
        m_report.saved(path);
    notify();
    if (r.outcome == audit::ConversionResult::Outcome::FileError) {
        m_audit.message = r.fileError;
        m_s.dialogs->message(r.fileError, MsgButtons::Ok, MsgIcon::Critical,
                             tr("ERROR"));
        return;
    }
    if (!r.succeeded()) {
        m_s.dialogs->message(tr("  Conversion not Resolution "), MsgButtons::Ok,
                             MsgIcon::Critical);
        return;
    }
    m_audit.converted = true;
    // The title names the machine: what is erased cannot be read again.
    if (m_s.dialogs->ask(MsgId::EraseAudit, tr("ERASE Erasable DATA ? "),
                         MsgButtons::YesNo, MsgIcon::Question,
                         tr("ERASE %1").arg(machineName())) == MsgResult::Yes) {
        setStep(CallProgress::Step::Erasing);
        m_link->dialogue.startErase();
    }
}
