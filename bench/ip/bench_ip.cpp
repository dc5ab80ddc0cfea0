// Many machines on IP read at once by one process: N simulated machines behind routers on
// loopback TCP, each read by a call session of its own on the one event loop (an audit each, then
// a telemetry read each), and the same for one call alone. Each call is compared with the same
// call on virtual time, which gives its designed duration: the station's pacing and the simulated
// controller's own times, nothing else. Prints per call the wall time against the designed
// duration (goal at most 1.01), the time for all of them against one designed duration (goal at
// most 1.05), the CPU share of one core per call (goal below 0.2 %) and the memory per call (goal
// below 200 KiB). The simulated machines run in the same process: their CPU counts in the
// figures, their memory does not (it is measured before the calls are made). Files are saved as
// the station saves them, flushed to the disk on worker threads while the event loop goes on;
// TMPDIR chooses the disk (a folder on it, or /dev/shm for none).

#include "CallSession.h"
#include "DemoScripts.h"
#include "LinkState.h"
#include "MachineController.h"
#include "MachineLink.h"
#include "PolicyDialogs.h"
#include "Runtime.h"
#include "TcpLine.h"
#include "TcpMachine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {
enum class Job { Audit, Telemetry };

struct Machine
{
    explicit Machine(const QByteArray &n) : number(n), controller(MachineProfile::forNumber(n))
    {
        router.listen(QHostAddress::LocalHost, 0);
    }
    QByteArray number;
    MachineController controller;
    TcpMachine router{&controller};
};

struct Call
{
    Call(Machine &m, const QString &folder, Job job)
        : line(QStringLiteral("127.0.0.1"), m.router.port())
    {
        Services s;
        s.port = &line;
        s.dialogs = &dialogs;
        s.appFolder = folder;
        PolicyDialogs::Policy p;
        p.savePath = QDir(folder).filePath(QString::fromLatin1(m.number) +
                                           (job == Job::Audit ? ".txt" : ".tlm"));
        dialogs.setPolicy(p);
        session = std::make_unique<CallSession>(s, polling, schedule);
        session->load();
        session->select(QString::fromLatin1(m.number), QString());
        session->setLine(&line);
        auto end = [this](bool done) {
            ok = done;
            if (session->callUp())
                session->Command4_Click();
        };
        if (job == Job::Audit)
            QObject::connect(session.get(), &CallSession::auditFinished,
                             [this, end] { end(session->lastAudit().converted); });
        else
            QObject::connect(session.get(), &CallSession::transferEnded,
                             [end](TransferMode m) { end(m == TransferMode::ReadTelemetry); });
        QObject::connect(session.get(), &CallSession::callStateChanged, [this](bool up) {
            (up ? upMs : endMs) = Runtime::current().nowMs();
        });
    }
    void start(Job job)
    {
        startMs = Runtime::current().nowMs();
        if (job == Job::Audit)
            session->Command9_Click();
        else
            session->Command10_Click();
    }
    bool done() const { return endMs >= 0; }
    qint64 ms() const { return endMs - startMs; }

    TcpLine line;
    PolicyDialogs dialogs;
    ::Timer polling{QStringLiteral("Timer2"), 6000, false};
    ::Timer schedule{QStringLiteral("Timer5"), 30000, false};
    std::unique_ptr<CallSession> session;
    qint64 startMs = -1;
    qint64 upMs = -1;
    qint64 endMs = -1;
    bool ok = false;
};

QByteArray numberOf(int i)
{
    return QByteArray::number(3350000000LL + i);
}

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

qint64 rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

struct Figures
{
    std::vector<qint64> ms; // per call
    qint64 worstUpMs = 0;   // connection set-up
    qint64 spanMs = 0;      // first start to last end
    double cpuMs = 0;
    qint64 memKiB = 0; // the calls' own, all of them
    int failed = 0;
};

// Starts every call at once and runs until all have hung up.
Figures runCalls(int n, Job job, const QString &folder)
{
    std::vector<std::unique_ptr<Machine>> machines;
    for (int i = 0; i < n; ++i)
        machines.push_back(std::make_unique<Machine>(numberOf(i)));
    Figures f;
    const qint64 rssBefore = rssKiB();
    std::vector<std::unique_ptr<Call>> calls;
    for (int i = 0; i < n; ++i)
        calls.push_back(std::make_unique<Call>(*machines[i], folder, job));
    Runtime &rt = Runtime::current();
    const double cpuBefore = cpuMs();
    const qint64 t0 = rt.nowMs();
    for (auto &c : calls)
        c->start(job);
    qint64 peak = rssKiB();
    qint64 sampled = t0;
    auto allDone = [&] {
        if (rt.nowMs() - sampled >= 500) { // reading it costs CPU of its own
            sampled = rt.nowMs();
            peak = std::max(peak, rssKiB());
        }
        return std::all_of(calls.begin(), calls.end(), [](const auto &c) { return c->done(); });
    };
    if (auto *v = dynamic_cast<VirtualRuntime *>(&rt))
        v->runUntil(allDone, 3600 * 1000);
    else
        while (!allDone())
            rt.yield();
    f.spanMs = rt.nowMs() - t0;
    peak = std::max(peak, rssKiB());
    f.cpuMs = cpuMs() - cpuBefore;
    f.memKiB = std::max<qint64>(0, peak - rssBefore);
    for (auto &c : calls) {
        f.ms.push_back(c->ms());
        f.worstUpMs = std::max(f.worstUpMs, c->upMs - c->startMs);
        f.failed += c->ok ? 0 : 1;
    }
    return f;
}

void print(const char *what, int n, const Figures &f, qint64 designedMs)
{
    const qint64 worst = *std::max_element(f.ms.begin(), f.ms.end());
    double mean = 0;
    for (qint64 m : f.ms)
        mean += double(m) / double(f.ms.size());
    std::printf("%-9s %3d call%s: designed %6.2f s; per call mean %6.2f s, worst %6.2f s "
                "(x%.4f, goal <= 1.01); all in %6.2f s (x%.4f, goal <= 1.05); CPU %.3f %% of "
                "a core per call (goal < 0.2); memory %lld KiB per call (goal < 200); failed %d\n",
                what, n, n == 1 ? " " : "s", designedMs / 1e3, mean / 1e3, worst / 1e3,
                double(worst) / double(designedMs), f.spanMs / 1e3,
                double(f.spanMs) / double(designedMs),
                100.0 * f.cpuMs / double(std::max<qint64>(1, f.spanMs)) / n,
                static_cast<long long>(f.memKiB / n), f.failed);
    std::fprintf(stderr, "bench_ip: %s, %d: slowest connection %lld ms\n", what, n,
                 static_cast<long long>(f.worstUpMs));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int n = 100;
    if (argc > 1)
        n = qBound(1, QByteArray(argv[1]).toInt(), 1000);
    QTemporaryDir tmp;
    const QString folder = tmp.path();
    DemoScripts::install(folder);
    std::fprintf(stderr, "bench_ip: %d machines on loopback\n", n);

    const QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    for (Job job : {Job::Audit, Job::Telemetry}) {
        const char *name = job == Job::Audit ? "audit" : "telemetry";
        if (!only.isEmpty() && only != name)
            continue;
        qint64 designed = 0;
        {
            VirtualTimeScope time;
            const Figures v = runCalls(1, job, folder);
            designed = v.ms.front();
            if (v.failed) {
                std::fprintf(stderr, "bench_ip: the %s call failed on virtual time\n", name);
                return 1;
            }
        }
        print(name, 1, runCalls(1, job, folder), designed);
        print(name, n, runCalls(n, job, folder), designed);
    }
    return 0;
}
