// The fleet on real processes at scale: a PostgreSQL server of its own, MACHINES simulated
// machines on loopback TCP (gsmsim --tcp-machines, 250 to a process), COLLECTORS gsmcollectd with
// SESSIONS IP calls each, and an audit queued for every machine with gsmdb --enqueue while the
// collectors wait. Prints the wall time from the enqueue to the last filing against the ideal
// (rounds x one audit's designed duration, which comes from the same call on virtual time; goal
// at most 1.10), the CPU share of one core per collector (goal below 15 %) and of the server,
// the database round trips of one claim and of one filing (statements the server logs for a
// session of the bench's own), claims per second with no call in progress and with all the
// collectors' calls in progress, and whether any machine was collected twice or not at all.
// The machine is shared: the CPU the rest of the system used during the run is printed too.

#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "DemoScripts.h"
#include "FleetCollector.h"
#include "MachineController.h"
#include "PgServer.h"
#include "Runtime.h"
#include "TcpLine.h"
#include "TcpMachine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <numeric>
#include <optional>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {
constexpr int MachinesPerSim = 250;
constexpr int ProbeClaims = 200;
const QString Bench = QStringLiteral("bench");

QString numberOf(int i)
{
    return QString::number(3360000000LL + i);
}

// Runs the event loop until cond holds or timeoutMs passed.
bool waitUntil(const std::function<bool()> &cond, int timeoutMs, int pollMs = 100)
{
    if (cond())
        return true;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer t;
    t.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (cond() || t.hasExpired(timeoutMs))
            loop.quit();
    });
    poll.start(pollMs);
    loop.exec();
    return cond();
}

// User and system seconds of a process; with children, also those of the ones it has waited for.
double cpuOf(qint64 pid, bool children = false)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    // The fields after the command name, which ends with the last ')'.
    const QList<QByteArray> v = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (v.size() < 15)
        return 0;
    double ticks = v[11].toDouble() + v[12].toDouble();
    if (children)
        ticks += v[13].toDouble() + v[14].toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

qint64 parentOf(const QString &pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    return stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

// The server's CPU: the postmaster, the backends it has reaped, and the live ones.
double serverCpu(qint64 postmaster)
{
    double s = cpuOf(postmaster, true);
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
        if (pid.front().isDigit() && parentOf(pid) == postmaster)
            s += cpuOf(pid.toLongLong());
    return s;
}

// Busy seconds of all the machine's cores, from /proc/stat.
double systemCpu()
{
    QFile f(QStringLiteral("/proc/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> v = f.readLine().simplified().split(' ');
    double busy = 0;
    for (int i : {1, 2, 3, 6, 7, 8}) // user nice system irq softirq steal
        busy += v.value(i).toDouble();
    return busy / double(sysconf(_SC_CLK_TCK));
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().left(14)).trimmed()
                                       : QString();
}

// One audit over IP on virtual time: the station's pacing and the simulated controller's own
// times, nothing else.
qint64 designedMs(const QString &programFolder)
{
    VirtualTimeScope time;
    MachineController machine(MachineProfile::forNumber(numberOf(0).toLatin1()));
    TcpMachine router(&machine);
    if (!router.listen(QHostAddress::LocalHost, 0))
        return -1;
    QTemporaryDir tmp;
    auto runner = FleetCollector::ipRunner(
        std::make_unique<TcpLine>(QStringLiteral("127.0.0.1"), router.port()), programFolder);
    std::optional<AuditJobOutcome> outcome;
    const qint64 t0 = time.rt.nowMs();
    time.rt.spawn([&] {
        runner->run(numberOf(0), tmp.filePath("a.txt"), tmp.filePath("a.img"),
                    [&](const AuditJobOutcome &o) { outcome = o; });
    });
    time.rt.runUntil([&] { return outcome.has_value(); }, 3600'000);
    return outcome && outcome->result == AuditJobOutcome::Completed ? time.rt.nowMs() - t0 : -1;
}

// A child program whose standard error is read as it comes, line by line.
struct Child
{
    Child(const QString &program, const QStringList &args, const QString &tmpDir = QString())
    {
        if (!tmpDir.isEmpty()) { // the collectors' work folders apart from any other run's
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TMPDIR"), tmpDir);
            proc.setProcessEnvironment(env);
        }
        QObject::connect(&proc, &QProcess::readyReadStandardError, [this] {
            pending += proc.readAllStandardError();
            for (int nl = pending.indexOf('\n'); nl >= 0; nl = pending.indexOf('\n')) {
                const QByteArray line = pending.left(nl);
                pending.remove(0, nl + 1);
                lines += 1;
                if (line.contains("database:") || line.contains("taken over"))
                    notes << QString::fromLocal8Bit(line);
                if (line.contains("collecting from"))
                    ready = true;
            }
        });
        proc.start(program, args);
    }
    ~Child()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(5000);
        }
    }
    QProcess proc;
    QByteArray pending;
    int lines = 0;
    bool ready = false;
    QStringList notes;
};

// Claims per second of one session of the bench's own and its round trips per claim and per
// filing: requests for modem lines, which the IP-only collectors never take.
struct Probe
{
    double claimsPerSecond = 0;
    double tripsPerClaim = 0;
    double tripsPerFiling = 0;
    QString error;
};

int statementsSince(const QString &log, qint64 offset, qint64 backend)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
        return 0;
    const QByteArray mark = "[" + QByteArray::number(backend) + "] LOG:  statement:";
    int n = 0;
    for (const QByteArray &l : f.readAll().split('\n'))
        n += l.contains(mark) ? 1 : 0;
    return n;
}

Probe probe(CollectQueue &queue, const QString &connection, const QString &log, int round)
{
    Probe p;
    QSqlDatabase db = QSqlDatabase::database(connection);
    QSqlQuery q(db);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < ProbeClaims; ++i)
        queue.enqueue(QStringLiteral("probe-%1-%2").arg(round).arg(i), CollectQueue::AuditJob,
                      true, now, Bench);
    q.exec(QStringLiteral("SELECT pg_backend_pid()"));
    const qint64 backend = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    QElapsedTimer t;
    t.start();
    QString why;
    for (int i = 0; i < ProbeClaims; ++i) {
        if (!queue.claim(Bench, true, false, QDateTime::currentMSecsSinceEpoch(), 300'000, &why)) {
            p.error = why.isEmpty() ? QStringLiteral("the queue ran dry") : why;
            return p;
        }
    }
    p.claimsPerSecond = ProbeClaims * 1000.0 / double(std::max<qint64>(1, t.elapsed()));

    // One claim and one filing counted apart, with every statement of the session logged.
    q.exec(QStringLiteral("SET log_statement = 'all'"));
    queue.enqueue(QStringLiteral("probe-%1-log").arg(round), CollectQueue::AuditJob, true, now, Bench);
    const qint64 afterEnqueue = QFileInfo(log).size();
    auto c = queue.claim(Bench, true, false, QDateTime::currentMSecsSinceEpoch(), 300'000, &why);
    const qint64 afterClaim = QFileInfo(log).size();
    if (c)
        queue.complete(*c, QDateTime::currentMSecsSinceEpoch(), QStringLiteral("DXS*1\r\n"),
                       QByteArray("\x01\x04", 2));
    q.exec(QStringLiteral("RESET log_statement"));
    q.finish();
    const int claimTrips = statementsSince(log, afterEnqueue, backend) -
                           statementsSince(log, afterClaim, backend);
    p.tripsPerClaim = claimTrips;
    // The RESET is the session's last statement and no part of the filing.
    p.tripsPerFiling = statementsSince(log, afterClaim, backend) - 1;
    q.exec(QStringLiteral("DELETE FROM \"CollectAttempts\" WHERE gsm LIKE 'probe-%'"));
    q.exec(QStringLiteral("DELETE FROM \"StoredAudits\" WHERE gsm LIKE 'probe-%'"));
    q.exec(QStringLiteral("DELETE FROM \"CollectRequests\" WHERE gsm LIKE 'probe-%'"));
    return p;
}

int scalar(const QString &connection, const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(connection));
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

int fail(const QString &why)
{
    std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(why));
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int machines = argc > 1 ? qBound(1, QByteArray(argv[1]).toInt(), 20'000) : 1000;
    const int collectors = argc > 2 ? qBound(1, QByteArray(argv[2]).toInt(), 16) : 4;
    const int sessions = argc > 3 ? qBound(1, QByteArray(argv[3]).toInt(), 1000) : 50;
    std::signal(SIGPIPE, SIG_IGN);

    QTemporaryDir tmp;
    const QString home = tmp.filePath(QStringLiteral("prog"));
    if (!QDir().mkpath(home) || !DemoScripts::install(home))
        return fail(QStringLiteral("cannot write the conversion files in %1").arg(home));
    const qint64 designed = designedMs(home);
    if (designed <= 0)
        return fail(QStringLiteral("the audit failed on virtual time"));

    PgServer pg;
    if (!pg.ok())
        return fail(pg.error());
    const QString url = pg.newDatabase(QStringLiteral("fleet"));
    const QString log = QDir(pg.socketDir()).filePath(QStringLiteral("log"));
    qint64 postmaster = 0;
    {
        QFile pid(QDir(pg.socketDir()).filePath(QStringLiteral("data/postmaster.pid")));
        if (pid.open(QIODevice::ReadOnly))
            postmaster = pid.readLine().trimmed().toLongLong();
    }
    std::fprintf(stderr, "bench_fleet: %d machines, %d collectors x %d sessions, server at %s\n",
                 machines, collectors, sessions, qPrintable(pg.socketDir()));

    // The machines, each on a loopback port of its own.
    std::vector<std::unique_ptr<Child>> sims;
    QByteArray csv = "GSM,Description,Address\n";
    for (int first = 0; first < machines; first += MachinesPerSim) {
        QStringList args{QStringLiteral("--tcp-machines"),
                         QStringLiteral("0:%1").arg(std::min(MachinesPerSim, machines - first))};
        for (int i = first; i < std::min(first + MachinesPerSim, machines); ++i)
            args << QStringLiteral("--machine") << numberOf(i);
        auto sim = std::make_unique<Child>(QStringLiteral(GSMSIM), args);
        QByteArray out;
        const int want = std::min(MachinesPerSim, machines - first);
        waitUntil([&] {
            out += sim->proc.readAllStandardOutput();
            return out.count('\n') >= want || sim->proc.state() == QProcess::NotRunning;
        }, 30'000);
        if (out.count('\n') < want)
            return fail(QStringLiteral("gsmsim served %1 of %2 machines").arg(out.count('\n')).arg(want));
        for (const QByteArray &l : out.trimmed().split('\n')) {
            const QList<QByteArray> f = l.split(' ');
            csv += f.value(1) + ",Bench machine," + f.value(0) + "\n";
        }
        sims.push_back(std::move(sim));
    }
    const QString csvPath = tmp.filePath(QStringLiteral("machines.csv"));
    {
        QFile f(csvPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(csv) != csv.size())
            return fail(QStringLiteral("cannot write %1").arg(csvPath));
    }
    auto gsmdb = [&](const QStringList &args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(GSMDB), QStringList{QStringLiteral("--database"), url} + args);
        return p.waitForFinished(300'000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    };
    if (!gsmdb({QStringLiteral("--import"), QStringLiteral("machines"), csvPath}))
        return fail(QStringLiteral("gsmdb --import failed"));

    // The bench's own session on the queue, for the probes and the figures.
    DatabaseTarget target;
    QString why;
    if (!DatabaseTarget::parse(url, &target, &why) || !target.open(Bench, &why))
        return fail(why);
    CollectQueue queue(Bench);
    if (!queue.prepare(&why))
        return fail(why);

    std::vector<std::unique_ptr<Child>> cs;
    for (int i = 0; i < collectors; ++i)
        cs.push_back(std::make_unique<Child>(
            QStringLiteral(GSMCOLLECTD),
            QStringList{QStringLiteral("--database"), url, QStringLiteral("--home"), home,
             QStringLiteral("--name"), QStringLiteral("c%1").arg(i + 1), QStringLiteral("--sessions"),
             QString::number(sessions)},
            tmp.path()));
    if (!waitUntil([&] {
            return std::all_of(cs.begin(), cs.end(), [](auto &c) { return c->ready; });
        }, 60'000))
        return fail(QStringLiteral("the collectors did not start"));

    const Probe idle = probe(queue, Bench, log, 0);
    if (!idle.error.isEmpty())
        return fail(QStringLiteral("claims with no call in progress: %1").arg(idle.error));

    std::vector<double> cpu0;
    for (auto &c : cs)
        cpu0.push_back(cpuOf(c->proc.processId()));
    double sims0 = 0;
    for (auto &s : sims)
        sims0 += cpuOf(s->proc.processId());
    const double server0 = serverCpu(postmaster);
    const double system0 = systemCpu();
    const QString load0 = loadAverage();
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch();
    QElapsedTimer wall;
    wall.start();
    if (!gsmdb({QStringLiteral("--enqueue"), QStringLiteral("audit"), QStringLiteral("all")}))
        return fail(QStringLiteral("gsmdb --enqueue failed"));

    // Once every session is in a call, the claim rate under load.
    const int full = std::min(machines, collectors * sessions);
    const QString heldSql = QStringLiteral("SELECT count(*) FROM \"CollectRequests\" WHERE "
                                           "state = 'pending' AND holder IS NOT NULL");
    const QString pendingSql =
        QStringLiteral("SELECT count(*) FROM \"CollectRequests\" WHERE state = 'pending'");
    Probe busy;
    int heldAtProbe = 0;
    waitUntil([&] { return (heldAtProbe = scalar(Bench, heldSql)) >= full; }, 600'000, 50);
    busy = probe(queue, Bench, log, 1);

    const qint64 timeoutMs = 20 * designed * (machines / std::max(1, full) + 1);
    const bool settled = waitUntil([&] { return scalar(Bench, pendingSql) == 0; }, int(timeoutMs), 250);
    const double elapsedS = wall.elapsed() / 1000.0;
    const double systemUsed = systemCpu() - system0;
    const QString load1 = loadAverage();
    std::vector<double> cpu;
    for (size_t i = 0; i < cs.size(); ++i)
        cpu.push_back(cpuOf(cs[i]->proc.processId()) - cpu0[i]);
    double simsCpu = -sims0;
    for (auto &s : sims)
        simsCpu += cpuOf(s->proc.processId());
    const double server = serverCpu(postmaster) - server0;

    QSqlQuery q(QSqlDatabase::database(Bench));
    q.exec(QStringLiteral("SELECT max(ended), count(*), avg(ended - started), max(ended - started) "
                          "FROM \"CollectAttempts\" WHERE outcome = 'Completed'"));
    q.next();
    const qint64 lastEnd = q.value(0).toLongLong();
    const int completed = q.value(1).toInt();
    const double meanCall = q.value(2).toDouble(), worstCall = q.value(3).toDouble();
    const int twice = scalar(Bench, QStringLiteral("SELECT count(*) FROM (SELECT gsm FROM "
                                                   "\"StoredAudits\" GROUP BY gsm HAVING count(*) > 1) t"));
    const int collected = scalar(Bench, QStringLiteral("SELECT count(DISTINCT gsm) FROM \"StoredAudits\""));
    const int failedAttempts = scalar(
        Bench, QStringLiteral("SELECT count(*) FROM \"CollectAttempts\" WHERE outcome <> 'Completed'"));

    const int rounds = (machines + full - 1) / full;
    const double total = (lastEnd - t0) / 1000.0;
    const double ideal = rounds * designed / 1000.0;
    std::printf("fleet: %d machines, %d collectors x %d sessions, %d round(s) of %.2f s (one "
                "audit's designed duration)\n",
                machines, collectors, sessions, rounds, designed / 1000.0);
    std::printf("  total %.2f s against the ideal %.2f s: x%.4f (goal <= 1.10)%s\n", total, ideal,
                total / ideal, settled ? "" : "; NOT SETTLED, requests still pending");
    std::printf("  per call: mean %.2f s, worst %.2f s (x%.4f of the designed duration)\n",
                meanCall / 1000.0, worstCall / 1000.0, worstCall / double(designed));
    for (size_t i = 0; i < cs.size(); ++i)
        std::printf("  CPU collector c%zu: %.2f s = %.2f %% of one core (goal < 15)\n", i + 1,
                    cpu[i], 100.0 * cpu[i] / elapsedS);
    std::printf("  CPU server: %.2f s = %.2f %% of one core; simulated machines: %.2f s = %.2f %%\n",
                server, 100.0 * server / elapsedS, simsCpu, 100.0 * simsCpu / elapsedS);
    std::printf("  round trips: %.0f per claim, %.0f per filing of a completed audit\n",
                idle.tripsPerClaim, idle.tripsPerFiling);
    std::printf("  claims per second: %.0f with no call in progress, %.0f with %d in progress%s\n",
                idle.claimsPerSecond, busy.claimsPerSecond, heldAtProbe,
                busy.error.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + busy.error + ")"));
    std::printf("  collected: %d of %d machines, %d completed attempts, %d other attempts; "
                "collected twice: %d (goal 0)\n",
                collected, machines, completed, failedAttempts, twice);
    const double ours = server + simsCpu + std::accumulate(cpu.begin(), cpu.end(), 0.0);
    std::printf("  machine: %ld cores, load average %s before and %s after; the rest of the "
                "system used %.2f s of CPU = %.0f %% of one core\n",
                sysconf(_SC_NPROCESSORS_ONLN), qPrintable(load0), qPrintable(load1),
                systemUsed - ours, 100.0 * (systemUsed - ours) / elapsedS);
    std::fflush(stdout);
    for (auto &c : cs) {
        for (const QString &n : c->notes.mid(0, 5))
            std::fprintf(stderr, "bench_fleet: %s\n", qPrintable(n));
        c->proc.terminate();
    }
    waitUntil([&] {
        return std::all_of(cs.begin(), cs.end(),
                           [](auto &c) { return c->proc.state() == QProcess::NotRunning; });
    }, 40'000);
    for (auto &s : sims)
        s->proc.terminate();
    QSqlDatabase::database(Bench).close();
    return settled && twice == 0 ? 0 : 1;
}
