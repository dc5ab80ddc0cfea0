#include "MachineLink.h"

#include "Dialogs.h"
#include "Frames.h"
#include "LinkConsole.h"
#include "Clock.h"
#include "MachineFiles.h"
#include "SerialPort.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {
constexpr int BadFramesToClose = 3;
} // namespace

MachineLink::MachineLink(SerialPort &port, Dialogs &dialogs, ::Timer &pollingTimer,
                         ::Timer &scheduleTimer, QObject *parent)
    : QObject(parent), engine(state, port, dialogs, box, scheduleTimer),
      dialogue(state, port, dialogs, box, pollingTimer), m_port(port), m_dialogs(dialogs)
{
    connect(&m_port, &SerialPort::received, this, &MachineLink::onReceived);
    engine.setTransferEnd([this](std::function<void()> ended) { saveMachineData(ended); });
}

void MachineLink::setConsole(LinkConsole *c)
{
    m_console = c;
    box.console = c;
    engine.setConsole(c);
    dialogue.setConsole(c);
}

bool MachineLink::listening() const
{
    return state.LinkActive && (engine.Timer8.isEnabled() || dialogue.Timer12.isEnabled()) &&
           m_port.rThreshold() > 0;
}

// One receive event per character, as the protocol was designed; characters that arrive while
// nobody listens stay in the port for later events.
void MachineLink::onReceived()
{
    while (listening() && m_port.inBufferCount() > 0) {
        const QByteArray c = m_port.read(1);
        if (c.isEmpty())
            return;
        receiveOne(c.at(0));
    }
}

void MachineLink::receiveOne(char c)
{
    const int limit = Frames::lengthLimit(state.mode, state.AwaitResetAck, state.AwaitResetStatus);
    const FrameAssembler::Result r = box.assembler.feed(c, limit);
    box.show();
    if (r == FrameAssembler::TooLong) {
        badFrame();
        return;
    }
    if (r != FrameAssembler::Complete)
        return;
    state.RxFrame = box.text();
    state.FrameBad = !state.RxFrame.contains(Frames::SohText);
    if (state.mode != TransferMode::ResetDialogue) // the dialogue reads RxFrame itself
        frameCheck();
}

void MachineLink::frameCheck()
{
    if (state.FrameBad)
        return;
    engine.Timer10.stop();
    engine.Timer10.start();
    const QByteArray text = box.text();
    box.clear();
    state.RxFrame.clear();

    const Frames::Answer a =
        Frames::checkAnswer(text, state.mode, state.FrameSlots, state.FrameSent);
    if (!a.accepted) {
        ++m_droppedAnswers;
        return; // the request stays in its slot and goes out again in the next sweep
    }
    if (Frames::isReadMode(state.mode))
        storeReadData(a.data, a.frameNo);
    else if (m_console)
        m_console->setProgressValue(m_console->progressValue() + 1);
    state.FrameSlots[a.frameNo].clear();
    state.FrameSent.reset(a.frameNo);
    if (m_console)
        m_console->showFrameNumber(QString::number(a.frameNo));
}

void MachineLink::storeReadData(const QByteArray &data, quint8 frameNo)
{
    const quint16 address = Frames::slotAddress(state.FrameSlots[frameNo]);
    QByteArray *image = nullptr;
    qsizetype at = 0;
    switch (state.mode) {
    case TransferMode::ReadConfig:
        image = &state.ConfigImage;
        at = address;
        break;
    case TransferMode::ReadTelemetry:
        image = &state.TelemetryImage;
        at = qsizetype(address) - BlockMaps::TelemetryBase;
        break;
    default:
        image = &state.AuditImage;
        at = engine.resultOffset(engine.batchCount(), frameNo);
        break;
    }
    // What would fall outside the image is dropped.
    for (qsizetype i = 0; i < data.size(); ++i) {
        const qsizetype index = at + i;
        if (index >= 0 && index < image->size())
            (*image)[index] = data.at(i);
    }
    if (m_console)
        m_console->setProgressValue(m_console->progressValue() + 1);
}

void MachineLink::badFrame()
{
    ++state.BadFrameCount;
    box.clear();
    if (state.BadFrameCount < BadFramesToClose)
        return;
    m_dialogs.message(tr(" ERROR RX ! The CONNECTION are going to Close "),
                      MsgButtons::Ok, MsgIcon::Critical, tr("ERROR"));
    state.BadFrameCount = 0;
    m_port.setRThreshold(0);
    engine.stopTimers();
    dialogue.stop();
    if (m_console) {
        m_console->setProgressValue(0);
        m_console->hangUp();
    }
}

void MachineLink::frameAuditImage()
{
    QByteArray &img = state.AuditImage;
    const qint32 length = state.AuditImageLength;
    if (length < 4)
        return;
    img.resize(length, '\0');
    img[0] = char(length & 0xFF);
    img[1] = char((length >> 8) & 0xFF);
    // The sum of what the image holds, not of what arrived: a frame can be answered more than
    // once before one answer is taken.
    state.AuditImageSum = 0;
    for (qint32 i = 2; i < length - 2; ++i)
        state.AuditImageSum += quint8(img.at(i));
    const quint16 sum = quint16(state.AuditImageSum & 0xFFFF);
    img[length - 2] = char(sum & 0xFF);
    img[length - 1] = char(sum >> 8);
}

namespace {
void showRefusal(Dialogs &dialogs, const MachineFiles::Result &r)
{
    if (!r.ok())
        dialogs.message(r.text, MsgButtons::Ok, r.icon, r.title);
}
} // namespace

QString MachineLink::proposedName(const QString &number, const QDateTime &when,
                                  const QString &extension)
{
    return QStringLiteral("%1-%2.%3")
        .arg(number.trimmed(), when.toString(QStringLiteral("yyyyMMdd-hhmm")), extension);
}

// The operator's choice in a save dialog that proposes a name for the machine and the hour; the
// pattern given back as the name counts as a cancel. A name without an extension gets the
// pattern's.
QString MachineLink::askSaveName(const QString &title, const QString &pattern,
                                 const QString &filter)
{
    const QString number = m_console ? m_console->machineNumber() : QString();
    const QDateTime now = m_clock ? m_clock->now() : QDateTime::currentDateTime();
    const QString chosen = m_dialogs.saveFile(title, filter, m_appFolder,
                                              proposedName(number, now, pattern.mid(2)));
    const QFileInfo info(chosen);
    if (chosen.isEmpty() || info.fileName() == pattern)
        return {};
    if (info.suffix().isEmpty())
        return chosen + pattern.mid(1); // "*.prm" -> ".prm"
    return chosen;
}

void MachineLink::save(const QString &path, const QByteArray &bytes,
                       std::function<void(bool)> after)
{
    MachineFiles::writeWholeFileLater(path, bytes, this,
                                      [this, after](const MachineFiles::Result &r) {
                                          showRefusal(m_dialogs, r);
                                          after(r.ok());
                                      });
}

void MachineLink::saveSnapshot(std::function<void()> then)
{
    const QString number = m_console ? m_console->machineNumber() : QString();
    const QString path = MachineFiles::snapshotPath(m_appFolder, number);
    QDir().mkpath(QFileInfo(path).absolutePath());
    save(path, MachineFiles::rawImage(state.ConfigImage), [then](bool) { then(); });
}

void MachineLink::saveMachineData(std::function<void()> ended)
{
    const auto filler = m_clock ? MachineFiles::fillerFrom(*m_clock)
                                : [] { return quint8(QRandomGenerator::global()->bounded(255)); };
    // The transfer ends once its files are on the disk; other calls go on meanwhile.
    ++m_saving;
    auto done = [this, ended = std::move(ended)] {
        --m_saving;
        if (!state.ResetAfterWrite && m_console)
            m_console->setCommandsEnabled(true);
        ended();
    };
    switch (state.mode) {
    case TransferMode::ReadConfig: {
        const QString path = askSaveName(tr("Save the configuration"),
                                         QStringLiteral("*.prm"),
                                         tr("Configurazione(*.prm)"));
        if (path.isEmpty())
            break;
        save(path, MachineFiles::configFile(QFileInfo(path).fileName(), state.ConfigImage, filler),
             [this, path, done](bool saved) {
                 if (saved && m_console)
                     m_console->fileSaved(path);
                 saveSnapshot(done);
             });
        return;
    }
    case TransferMode::WriteConfig:
    case TransferMode::WriteChanged:
        // The machine takes a new configuration only after an alarm reset.
        if (m_console)
            m_console->resetAlarmClick();
        state.ResetAfterWrite = true;
        saveSnapshot(done);
        return;
    case TransferMode::ReadAudit:
        frameAuditImage();
        if (m_console) {
            m_console->auditDownloaded(done);
            return;
        }
        break;
    case TransferMode::ReadTelemetry: {
        const QString path = askSaveName(tr("Save the telemetry"),
                                         QStringLiteral("*.tlm"),
                                         tr("Configurazione(*.tlm)"));
        if (path.isEmpty())
            break;
        if (m_console)
            m_console->setProgressMaximum(625);
        save(path,
             MachineFiles::telemetryFile(QFileInfo(path).fileName(), state.ConfigImage,
                                         state.TelemetryImage, filler),
             [this, path, done](bool saved) {
                 if (m_console)
                     m_console->setProgressValue(624);
                 if (saved && m_console)
                     m_console->fileSaved(path);
                 done();
             });
        return;
    }
    default:
        break;
    }
    done();
}
