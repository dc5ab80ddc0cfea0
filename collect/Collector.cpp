#include "Collector.h"

#include "CallSession.h"
#include "CollectJob.h"
#include "CollectLog.h"
#include "ConversionRun.h"
#include "MachineAddress.h"
#include "DatabaseTarget.h"
#include "MachineDb.h"
#include "MachineFiles.h"
#include "MachineListener.h"
#include "ModemPreparation.h"
#include "OutputFile.h"
#include "PortTrace.h"
#include "Runtime.h"
#include "SerialPort.h"
#include "SingleInstance.h"
#include "TcpLine.h"
#include "Timer.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <memory>

namespace {
using Kind = CollectJob::Kind;

// "Pin.set" lies in the program folder's parent.
QString pinPath(const QString &home)
{
    QDir work(home);
    work.cdUp();
    return work.absoluteFilePath(QStringLiteral("Pin.set"));
}

bool writesSnapshot(Kind k)
{
    return k == Kind::ReadConfig || k == Kind::WriteConfig || k == Kind::WriteChanged;
}
} // namespace

Collector::Collector(SerialPort &port, CollectLog &log, const QString &lockDir, QObject *parent)
    : QObject(parent), m_port(port), m_log(log), m_lockDir(lockDir)
{
}

void Collector::abort()
{
    m_aborted = true;
    if (m_job)
        m_job->abort();
}

int Collector::refuse(Exit status, const QString &why)
{
    m_log.line(why);
    return status;
}

int Collector::checkFiles(const CollectOptions &o)
{
    const CollectJob::Request &r = o.request;
    if (!QFileInfo(o.home).isDir())
        return refuse(
            UsageOrFile,
            QStringLiteral("there is no program folder %1").arg(QDir::toNativeSeparators(o.home)));
    // Outputs first: a read that cannot be kept is not worth a call.
    QStringList outputs;
    QStringList readBack; // the job checks these by reading them again
    if (r.kind == Kind::ReadConfig || r.kind == Kind::ReadTelemetry || r.kind == Kind::Audit)
        outputs << CollectJob::savedPath(r.kind, r.file);
    if (r.kind != Kind::Audit)
        readBack = outputs;
    if (!r.image.isEmpty())
        outputs << r.image;
    if (writesSnapshot(r.kind)) {
        const QString snapshot = MachineFiles::snapshotPath(o.home, r.number);
        if (!QFileInfo(QFileInfo(snapshot).absolutePath()).isDir())
            outputs << QDir(o.home).filePath(QStringLiteral("Cartella"));
        else
            outputs << snapshot;
        readBack << snapshot;
    }
    for (const QString &out : outputs) {
        QString why = OutputFile::problem(out);
        if (why.isEmpty() && readBack.contains(out) && QFileInfo::exists(out))
            why = inputFileProblem(out);
        if (!why.isEmpty())
            return refuse(
                UsageOrFile,
                QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(out), why));
    }

    // Inputs next: a FIFO or a device would hold the program in open().
    QStringList inputs;
    if (r.kind == Kind::WriteConfig || r.kind == Kind::WriteChanged ||
        r.kind == Kind::WriteTelemetry)
        inputs << r.file;
    if (r.kind == Kind::Audit)
        inputs << QDir(o.home).filePath(QStringLiteral("decod.asm"))
               << QDir(o.home).filePath(QStringLiteral("address.asm"));
    if (QFileInfo::exists(pinPath(o.home)))
        inputs << pinPath(o.home);
    for (const QString &in : inputs)
        if (const QString why = inputFileProblem(in); !why.isEmpty())
            return refuse(
                UsageOrFile,
                QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(in), why));

    // Inputs: unreadable is a file error, refused by the station's readers a failed job.
    auto station = [this](const MachineFiles::Result &res) {
        if (res.status == MachineFiles::Status::IoError)
            return UsageOrFile;
        m_log.line(PolicyDialogs::oneLine(res.title, res.text));
        return Failed;
    };
    switch (r.kind) {
    case Kind::WriteConfig:
    case Kind::WriteChanged: {
        QByteArray image(MachineFiles::ConfigImageSize, '\0');
        if (const auto res = MachineFiles::loadConfigFile(r.file, image); !res.ok())
            return station(res);
        if (r.kind == Kind::WriteConfig)
            break;
        QByteArray snapshot;
        const CallSession::SnapshotCheck check =
            CallSession::checkSnapshot(o.home, r.number, image, snapshot);
        if (const MachineFiles::Result &res = check.refusal; !res.ok()) {
            // The station's own message, and where it looked.
            m_log.line(PolicyDialogs::oneLine(res.title, res.text));
            return refuse(UsageOrFile, QDir::toNativeSeparators(
                                           MachineFiles::snapshotPath(o.home, r.number)));
        }
        if (!check.differs) {
            m_log.line(CallSession::NoDifference);
            return Done;
        }
        break;
    }
    case Kind::WriteTelemetry: {
        QByteArray image;
        if (const auto res = MachineFiles::loadTelemetryFile(r.file, image); !res.ok())
            return station(res);
        break;
    }
    case Kind::Audit: {
        audit::ConversionScripts scripts;
        const QDir dir(o.home);
        const audit::ConversionResult res =
            audit::LoadScripts(dir.filePath(QStringLiteral("decod.asm")),
                               dir.filePath(QStringLiteral("address.asm")), scripts);
        if (!res.fileError.isEmpty())
            return refuse(UsageOrFile, res.fileError);
        break;
    }
    default:
        break;
    }
    return -1;
}

int Collector::run(const CollectOptions &o, int portCount)
{
    m_aborted = false;
    m_log.line(QStringLiteral("%1 on %2").arg(o.job, o.request.number));
    if (const int status = checkFiles(o); status >= 0)
        return status;
    // A machine on TCP needs neither the modem nor the station's marker.
    if (!o.address.isEmpty())
        return runOverTcp(o);
    if (!o.listen.isEmpty())
        return runInbound(o);

    // Both programs would use the same modem.
    SingleInstance instance(QStringLiteral("KVX4417"), m_lockDir);
    if (!instance.acquire())
        return refuse(Failed, QStringLiteral("the station (or another gsmcollect) is running and "
                                             "holds the modem; try again when it has ended"));

    ModemPreparation prep(m_port);
    connect(&prep, &ModemPreparation::note, this, [this](const QString &l) { m_log.line(l); });
    if (prep.run(portCount, QFileInfo(pinPath(o.home)).absolutePath(), m_registrationWaitMs) !=
        ModemPreparation::Outcome::Ready) {
        m_port.close();
        return refuse(Failed, QStringLiteral("failed: %1").arg(prep.reason()));
    }
    if (m_aborted) {
        m_port.close();
        return refuse(Failed, QStringLiteral("failed: interrupted"));
    }

    CollectJob job(m_port, o.home);
    return runJob(job, o.request, m_port);
}

int Collector::runOverTcp(const CollectOptions &o)
{
    const MachineAddress a = MachineAddress::parseHostPort(o.address);
    TcpLine line(a.host, a.port);
    return runOnLine(line, o);
}

namespace {
// A router reconnects within seconds of a line coming up; much longer means it is not coming.
constexpr int InboundWaitMs = 60000;
} // namespace

int Collector::runInbound(const CollectOptions &o)
{
    // Identities are in the machine database, if there is one; the number always serves.
    QString url = o.database;
    if (url.isEmpty())
        url = DatabaseTarget::fromConfFile(QDir::currentPath());
    if (url.isEmpty())
        url = QDir(o.home).filePath(QStringLiteral("Dati.mdb"));
    SqlMachineDb db(url);
    const bool known = (db.isShared() || QFileInfo::exists(url)) && db.open();
    if (!known && (db.isShared() || QFileInfo::exists(url)))
        m_log.line(QStringLiteral("identities unknown, only the number serves: %1").arg(db.error()));
    const QString number = o.request.number;
    MachineListener listener([&](const QByteArray &identity) {
        if (identity == number.toLatin1())
            return number;
        return known ? machineIdentifiedBy(db, identity) : QString();
    });
    connect(&listener, &MachineListener::log, this, [this](const QString &l) { m_log.line(l); });
    QString why;
    if (!listener.listen(o.listen, &why))
        return refuse(UsageOrFile, why);
    m_log.line(QStringLiteral("waiting on %1 for %2 to connect").arg(o.listen, number));
    ::Timer wait(QStringLiteral("inbound"), InboundWaitMs, true);
    connect(&wait, &::Timer::tick, &wait, &::Timer::stop);
    while (!listener.isOnline(number) && wait.isEnabled() && !m_aborted &&
           !Runtime::current().isEnding())
        Runtime::current().yield();
    if (m_aborted)
        return refuse(Failed, QStringLiteral("failed: interrupted"));
    if (!listener.isOnline(number)) {
        m_log.line(QStringLiteral("Time OUT"));
        return refuse(Failed, QStringLiteral("failed: %1 did not connect within %2 s")
                                  .arg(number)
                                  .arg(InboundWaitMs / 1000));
    }
    TcpLine line(listener.take(number).release());
    return runOnLine(line, o);
}

int Collector::runOnLine(TcpLine &line, const CollectOptions &o)
{
    std::unique_ptr<PortTrace> trace;
    if (o.verbose) {
        trace = std::make_unique<PortTrace>(line, [this](const QString &l) { m_log.line(l); });
        connect(&line, &TcpLine::stateChanged, this, [this, &line](TcpLine::State s) {
            const QString a = line.address();
            switch (s) {
            case TcpLine::State::Connecting:
                m_log.line(QStringLiteral("connecting to %1").arg(a));
                break;
            case TcpLine::State::Connected:
                m_log.line(QStringLiteral("connected to %1").arg(a));
                break;
            case TcpLine::State::Refused:
                m_log.line(QStringLiteral("no connection to %1: %2").arg(a, line.reason()));
                break;
            case TcpLine::State::Closed:
                m_log.line(line.reason().isEmpty()
                               ? QStringLiteral("connection to %1 closed").arg(a)
                               : QStringLiteral("no connection to %1: %2").arg(a, line.reason()));
                break;
            case TcpLine::State::Dropped: // the trace tells it
                break;
            }
        });
    }
    SerialPort &io = trace ? static_cast<SerialPort &>(*trace) : line;
    CollectJob job(io, o.home);
    job.setLine(&line, trace.get());
    return runJob(job, o.request, io);
}

int Collector::runJob(CollectJob &job, const CollectJob::Request &request, SerialPort &port)
{
    connect(&job, &CollectJob::line, this, [this](const QString &l) { m_log.line(l); });
    // The console's own step and times, redrawn as they change (the times once a second).
    const CallSession &session = job.session();
    auto redraw = [this, &session] {
        const CallProgress &report = session.report();
        if (report.started())
            m_log.progress(report.percent(), report.text(Runtime::current().nowMs()),
                           report.stepText());
    };
    connect(&session, &CallSession::changed, this, redraw);
    ::Timer clock(QStringLiteral("progress"), 1000, m_log.terminal());
    connect(&clock, &::Timer::tick, this, redraw);
    connect(&job, &CollectJob::batch, this,
            [this](int n, int value, int maximum) { m_log.batch(n, value, maximum); });
    m_job = &job;
    emit jobStarting();
    const CollectJob::Result result = job.run(request);
    m_job = nullptr;
    m_log.endProgress();
    port.close();
    switch (result.status) {
    case CollectJob::Status::Done:
        m_log.line(QStringLiteral("done"));
        return Done;
    case CollectJob::Status::FileError:
        return refuse(UsageOrFile, QStringLiteral("file error: %1").arg(result.reason));
    case CollectJob::Status::Failed:
        break;
    }
    return refuse(Failed, QStringLiteral("failed: %1").arg(result.reason));
}
