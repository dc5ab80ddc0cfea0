// gsmcollect against gsmsim through a pseudo-terminal and the real serial stack, on real time,
// for a configuration read and an audit. Each run is compared with the same job on virtual time
// against the same simulated modem and machine in-process, which gives the designed duration:
// the station's pacing, pauses, waits and the simulated line's own times, nothing else. Prints
// wall time, designed duration and their ratio (goal at most 1.01) for the whole run and for the
// transfer alone, and the CPU share of both processes (goal below 1 % of one core each).

#include "CollectLog.h"
#include "CollectOptions.h"
#include "Collector.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "Runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const QString Number = QStringLiteral("3351234567");
constexpr int DialDelayMs = 2000;
constexpr int ModemLatencyMs = 5; // gsmsim's

struct Timeline
{
    qint64 total = -1;    // the whole run
    qint64 transfer = -1; // call connected -> transfer complete
    int status = -1;
    double cpuCollect = 0;
    double cpuSim = 0;
    QString lastLine;
};

// Milliseconds since the start at which each line of standard error came.
struct Lines
{
    void add(qint64 at, const QByteArray &bytes)
    {
        pending += bytes;
        for (int nl = pending.indexOf('\n'); nl >= 0; nl = pending.indexOf('\n')) {
            const QString line = QString::fromLocal8Bit(pending.left(nl));
            pending.remove(0, nl + 1);
            if (!firstAt.contains(line))
                firstAt.insert(line, at);
            last = line;
        }
    }
    qint64 span(const QString &from, const QString &to) const
    {
        const QString p = QStringLiteral("gsmcollect: ");
        if (!firstAt.contains(p + from) || !firstAt.contains(p + to))
            return -1;
        return firstAt.value(p + to) - firstAt.value(p + from);
    }
    QByteArray pending;
    QHash<QString, qint64> firstAt;
    QString last;
};

QStringList jobArgs(const QString &job, const QString &home, const QString &out)
{
    return {QStringLiteral("--home"),   home, QStringLiteral("--number"), Number,
            QStringLiteral("--") + job, out};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A folder with a program folder holding the audit's conversion files.
bool prepare(const QTemporaryDir &tmp)
{
    const QDir prog(QDir(tmp.path()).filePath(QStringLiteral("prog")));
    return QDir().mkpath(prog.path()) &&
           writeFile(prog.filePath(QStringLiteral("decod.asm")),
                     "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n") &&
           writeFile(prog.filePath(QStringLiteral("address.asm")), "CASH,0\r\nBLOCK,10\r\n");
}

Timeline designed(const QString &job)
{
    Timeline t;
    QTemporaryDir tmp;
    prepare(tmp);
    VirtualRuntime vrt;
    Runtime::install(&vrt);
    {
        LoopbackPort port;
        GsmModem modem;
        modem.setLatency(ModemLatencyMs);
        modem.setDialDelay(DialDelayMs);
        MachineController machine(MachineProfile::forNumber(Number.toLatin1()));
        modem.addMachine(Number.toLatin1(), &machine);
        port.plug(1, &modem);
        Lines lines;
        CollectLog log([&](const QByteArray &b) { lines.add(vrt.nowMs(), b); }, false);
        Collector collector(port, log, tmp.path());
        CollectOptions o;
        QString message;
        CollectOptions::parse(QStringList{QStringLiteral("gsmcollect")} +
                                  jobArgs(job, QDir(tmp.path()).filePath(QStringLiteral("prog")),
                                          QDir(tmp.path()).filePath(QStringLiteral("out"))),
                              QString(), &o, &message);
        const qint64 start = vrt.nowMs();
        t.status = collector.run(o, 1);
        t.total = vrt.nowMs() - start;
        t.transfer =
            lines.span(QStringLiteral("call connected"), QStringLiteral("transfer complete"));
        t.lastLine = lines.last;
    }
    Runtime::install(nullptr);
    return t;
}

double childrenCpu()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// User and system time of a running process from /proc.
double processCpu(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which ends with the last ')'.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

Timeline real(const QString &job)
{
    Timeline t;
    QTemporaryDir tmp;
    prepare(tmp);
    QProcess sim;
    sim.start(QStringLiteral(GSMSIM),
              {QStringLiteral("--machine"), Number, QStringLiteral("--dial-delay"),
               QString::number(DialDelayMs)});
    if (!sim.waitForStarted(10'000) || !sim.waitForReadyRead(10'000))
        return t;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();

    QProcess collect;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp.path()); // a lock apart from any station's
    collect.setProcessEnvironment(env);
    Lines lines;
    QElapsedTimer wall;
    QObject::connect(&collect, &QProcess::readyReadStandardError,
                     [&] { lines.add(wall.elapsed(), collect.readAllStandardError()); });
    QEventLoop loop;
    QObject::connect(&collect, &QProcess::finished, &loop, &QEventLoop::quit);
    const double cpu0 = childrenCpu();
    const double sim0 = processCpu(sim.processId());
    wall.start();
    collect.start(QStringLiteral(GSMCOLLECT),
                  jobArgs(job, QDir(tmp.path()).filePath(QStringLiteral("prog")),
                          QDir(tmp.path()).filePath(QStringLiteral("out"))) +
                      QStringList{QStringLiteral("--ports"), device});
    loop.exec();
    t.total = wall.elapsed();
    lines.add(t.total, collect.readAllStandardError());
    t.cpuCollect = childrenCpu() - cpu0;
    t.cpuSim = processCpu(sim.processId()) - sim0;
    t.status = collect.exitCode();
    t.transfer = lines.span(QStringLiteral("call connected"), QStringLiteral("transfer complete"));
    t.lastLine = lines.last;
    sim.terminate();
    sim.waitForFinished(5000);
    return t;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const struct
    {
        const char *job;
        const char *name;
    } jobs[] = {{"read-config", "configuration read (665 blocks)"},
                {"audit", "audit with conversion (442 frames)"}};
    for (const auto &job : jobs) {
        const QString name = QString::fromLatin1(job.job);
        const Timeline d = designed(name);
        const Timeline r = real(name);
        std::printf("%s:\n", job.name);
        if (d.status != 0 || r.status != 0) {
            std::printf("  FAILED: designed run exit %d (%s), real run exit %d (%s)\n", d.status,
                        qPrintable(d.lastLine), r.status, qPrintable(r.lastLine));
            continue;
        }
        std::printf("  whole run: wall %.2f s, designed %.2f s, ratio %.4f (goal <= 1.01)\n",
                    r.total / 1000.0, d.total / 1000.0, double(r.total) / double(d.total));
        std::printf("  transfer:  wall %.2f s, designed %.2f s, ratio %.4f (goal <= 1.01)\n",
                    r.transfer / 1000.0, d.transfer / 1000.0,
                    double(r.transfer) / double(d.transfer));
        std::printf("  CPU: gsmcollect %.3f s = %.3f %% of one core, gsmsim %.3f s = %.3f %% "
                    "(goal < 1 %% each)\n",
                    r.cpuCollect, 100.0 * r.cpuCollect / (r.total / 1000.0), r.cpuSim,
                    100.0 * r.cpuSim / (r.total / 1000.0));
        std::fflush(stdout);
    }
    return 0;
}
