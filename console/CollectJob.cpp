#include "CollectJob.h"

#include "CallSession.h"
#include "MachineFiles.h"
#include "LinkState.h"
#include "MachineLink.h"
#include "Runtime.h"
#include "Services.h"

#include <QDir>
#include <QFileInfo>
#include <memory>
#include <optional>

namespace {

bool isRead(CollectJob::Kind k)
{
    using K = CollectJob::Kind;
    return k == K::ReadConfig || k == K::ReadTelemetry || k == K::Audit;
}

bool isWrite(CollectJob::Kind k)
{
    using K = CollectJob::Kind;
    return k == K::WriteConfig || k == K::WriteChanged || k == K::WriteTelemetry;
}

QString absolute(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}
} // namespace

CollectJob::CollectJob(SerialPort &port, const QString &programFolder, QObject *parent)
    : QObject(parent), m_folder(QDir(programFolder).absolutePath())
{
    Services s;
    s.port = &port;
    s.dialogs = &m_dialogs;
    s.appFolder = m_folder;
    m_session = std::make_unique<CallSession>(s, m_pollingTimer, m_scheduleTimer);

    connect(&m_dialogs, &PolicyDialogs::line, this, &CollectJob::line);
    connect(m_session.get(), &CallSession::progressChanged, this, &CollectJob::progress);
    connect(m_session.get(), &CallSession::changed, this, [this] {
        if (m_session->callState() == CallSession::CallState::Dialling)
            m_dialled = true;
    });
    connect(m_session.get(), &CallSession::callStateChanged, this, [this](bool up) {
        m_wasUp = m_wasUp || up;
        emit line(up ? QStringLiteral("call connected") : QStringLiteral("call ended"));
    });
    connect(m_session.get(), &CallSession::transferEnded, this, [this](TransferMode mode) {
        m_endedMode = mode;
        emit line(QStringLiteral("transfer complete"));
    });
    connect(m_session.get(), &CallSession::dialogueFinished, this,
            [this](bool done) { m_dialogue = done ? 1 : 0; });
    connect(m_session.get(), &CallSession::batchBuilt, this, [this](int number) {
        emit batch(number, m_session->progress, m_session->progressMax);
    });
}

CollectJob::~CollectJob() = default;

MachineLink &CollectJob::link()
{
    return m_session->link();
}

void CollectJob::setLine(TcpLine *line, SerialPort *io)
{
    m_session->setLine(line, io);
}

QString CollectJob::savedPath(Kind kind, const QString &file)
{
    if (file.isEmpty() || !QFileInfo(file).suffix().isEmpty())
        return file;
    switch (kind) {
    case Kind::ReadConfig:
        return file + QStringLiteral(".prm");
    case Kind::ReadTelemetry:
        return file + QStringLiteral(".tlm");
    case Kind::Audit:
        return file + QStringLiteral(".txt");
    default:
        return file;
    }
}

CollectJob::Result CollectJob::run(const Request &request)
{
    Request r = request;
    // The session makes the program folder current; names given relative mean the caller's.
    r.file = absolute(r.file);
    r.image = absolute(r.image);
    m_abort = false;
    m_dialled = false;
    m_wasUp = false;
    m_endedMode = TransferMode::None;
    m_dialogue = -1;

    PolicyDialogs::Policy p;
    p.retries = r.retries;
    p.erase = r.erase;
    if (isWrite(r.kind))
        p.openPath = r.file;
    if (isRead(r.kind))
        p.savePath = r.file;
    m_dialogs.setPolicy(p);
    m_session->load();
    m_session->select(r.number, QString());

    start(r);
    Runtime &rt = Runtime::current();
    while (m_session->busy() && !m_abort)
        rt.yield();
    const Result result =
        m_abort ? Result{Status::Failed, QStringLiteral("interrupted")} : judge(r);
    if (m_session->callUp())
        m_session->Command4_Click();
    return result;
}

void CollectJob::start(const Request &r)
{
    CallSession &s = *m_session;
    switch (r.kind) {
    case Kind::ReadConfig:
        s.Command2_Click();
        break;
    case Kind::ReadTelemetry:
        s.Command10_Click();
        break;
    case Kind::WriteConfig:
        s.Command7_Click();
        break;
    case Kind::WriteChanged:
        s.Command8_Click();
        break;
    case Kind::WriteTelemetry:
        s.Command12_Click();
        break;
    case Kind::ResetAlarms:
        s.Command6_Click();
        break;
    case Kind::Audit:
        s.Command9_Click();
        break;
    }
}

CollectJob::Result CollectJob::gaveUp() const
{
    const QStringList &lines = m_dialogs.lines();
    const QString why = lines.isEmpty() ? QString() : QStringLiteral(": ") + lines.last();
    if (!m_dialled)
        return {Status::Failed, QStringLiteral("nothing was sent") + why};
    if (!m_wasUp)
        return {Status::Failed, QStringLiteral("the call did not connect") + why};
    return {Status::Failed, QStringLiteral("the job did not complete") + why};
}

CollectJob::Result CollectJob::checkSaved(const QString &path, bool telemetry) const
{
    // Read back what was saved: the file must hold what came from the machine.
    bool same = false;
    if (telemetry) {
        QByteArray image;
        same = MachineFiles::loadTelemetryFile(path, image).ok() &&
               image.mid(MachineFiles::HeaderSize, 624) ==
                   m_session->call().TelemetryImage.mid(MachineFiles::HeaderSize, 624);
    } else {
        QByteArray image = m_session->call().ConfigImage;
        same = MachineFiles::loadConfigFile(path, image).ok() && image == m_session->call().ConfigImage;
    }
    if (same)
        return {Status::Done, {}};
    return {Status::FileError, QStringLiteral("%1 was not written").arg(path)};
}

CollectJob::Result CollectJob::checkSnapshot() const
{
    const QString path = MachineFiles::snapshotPath(m_folder, m_session->Label1);
    QByteArray snapshot;
    if (MachineFiles::loadSnapshotFile(path, m_session->Label1, snapshot).ok() &&
        snapshot == m_session->call().ConfigImage.left(MachineFiles::ConfigImageSize))
        return {Status::Done, {}};
    return {Status::FileError, QStringLiteral("the snapshot %1 was not written").arg(path)};
}

CollectJob::Result CollectJob::judge(const Request &r)
{
    switch (r.kind) {
    case Kind::ReadConfig: {
        if (m_endedMode != TransferMode::ReadConfig)
            return gaveUp();
        const Result saved = checkSaved(savedPath(r.kind, r.file), false);
        return saved.status == Status::Done ? checkSnapshot() : saved;
    }
    case Kind::ReadTelemetry:
        if (m_endedMode != TransferMode::ReadTelemetry)
            return gaveUp();
        return checkSaved(savedPath(r.kind, r.file), true);
    case Kind::WriteChanged:
        if (!m_dialled && m_dialogs.shown(MsgId::NoDifference))
            return {Status::Done, {}};
        [[fallthrough]];
    case Kind::WriteConfig:
        // The machine takes the configuration with the reset that follows the write.
        if ((m_endedMode != TransferMode::WriteConfig &&
             m_endedMode != TransferMode::WriteChanged) ||
            m_dialogue != 1)
            return gaveUp();
        return checkSnapshot();
    case Kind::WriteTelemetry:
        return m_endedMode == TransferMode::WriteTelemetry ? Result{Status::Done, {}} : gaveUp();
    case Kind::ResetAlarms:
        return m_dialogue == 1 ? Result{Status::Done, {}} : gaveUp();
    case Kind::Audit: {
        if (m_endedMode != TransferMode::ReadAudit)
            return gaveUp();
        if (!r.image.isEmpty()) {
            // Waited for as the call's steps are: calls beside this one go on meanwhile.
            auto w = std::make_shared<std::optional<MachineFiles::Result>>();
            MachineFiles::writeWholeFileLater(r.image, m_session->call().AuditImage, this,
                                              [w](const MachineFiles::Result &res) { *w = res; });
            Runtime &rt = Runtime::current();
            while (!*w && !rt.isEnding())
                rt.yield();
            if (!*w || !(*w)->ok())
                return {Status::FileError,
                        QStringLiteral("cannot write the image %1 (%2)")
                            .arg(r.image, *w ? (*w)->text : QStringLiteral("interrupted"))};
        }
        const CallSession::AuditOutcome &a = m_session->lastAudit();
        if (!a.done)
            return {Status::FileError, QStringLiteral("the audit file was not written")};
        if (!a.message.isEmpty())
            return {Status::FileError, a.message};
        if (!a.converted)
            return {Status::Failed,
                    QStringLiteral("some script lines failed; %1 holds the others").arg(a.path)};
        return {Status::Done, {}};
    }
    }
    return gaveUp();
}
