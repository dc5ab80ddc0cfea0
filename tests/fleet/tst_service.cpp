#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "Files.h"
#include "GsmSimProcess.h"
#include "MachineDb.h"
#include "PgServer.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {
constexpr int IpMachines = 60;
constexpr int IpSessions = 20;
const QStringList Gsm = {"5550001", "5550002", "5550003"};

// A running gsmcollectd and what it has said on standard error.
struct Collectd
{
    Collectd(const QString &name, const QStringList &lines, const QString &url, const QString &home)
    {
        // Work folders apart from any other run's.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", QFileInfo(home).path());
        proc.setProcessEnvironment(env);
        // A long enough pause between attempts for a paused collector, once continued, to hang
        // up the router that the collector taking over found busy.
        proc.start(QStringLiteral(GSMCOLLECTD),
                   QStringList{"--name", name, "--lease", "12", "--retry-delay", "5", "--home",
                               home, "--database", url} + lines);
        proc.waitForStarted(10'000);
    }
    ~Collectd()
    {
        ::kill(pid_t(proc.processId()), SIGCONT);
        proc.kill();
        proc.waitForFinished(5000);
    }
    // Reads standard error until text came `times` times (the lines so far are kept).
    bool waitFor(const QString &text, int ms = 120'000, int times = 1)
    {
        QElapsedTimer t;
        t.start();
        while (said.count(text) < times && !t.hasExpired(ms) && proc.state() == QProcess::Running) {
            proc.waitForReadyRead(1000);
            said += QString::fromLocal8Bit(proc.readAllStandardError());
        }
        said += QString::fromLocal8Bit(proc.readAllStandardError());
        return said.count(text) >= times;
    }
    void signal(int sig) { ::kill(pid_t(proc.processId()), sig); }
    QProcess proc;
    QString said;
};
} // namespace

// The collector service as a fleet runs it: real processes on simulated machines, a real
// server, and the faults a night brings, all in one run.
class ServiceTest : public QObject
{
    Q_OBJECT
private slots:
    void everyMachineCollectedOnceThroughTheNightsFaults()
    {
        PgServer pg;
        QVERIFY2(pg.ok(), qPrintable(pg.error()));
        const QString url = pg.newDatabase(QStringLiteral("fleet"));
        QTemporaryDir tmp;
        const QString home = tmp.filePath("prog");
        QVERIFY(QDir().mkpath(home));
        QCOMPARE(QProcess::execute(QStringLiteral(GSMSIM), {"--install-scripts", home}), 0);

        DatabaseTarget t;
        QString why;
        QVERIFY(DatabaseTarget::parse(url, &t, &why));
        QVERIFY2(t.open(QStringLiteral("test"), &why), qPrintable(why));
        CollectQueue queue(QStringLiteral("test"));
        QVERIFY2(queue.prepare(&why), qPrintable(why));

        // Machines behind routers on loopback, reached at the address the machine table gives.
        QStringList routerArgs{"--tcp-machines", QStringLiteral("0:%1").arg(IpMachines)};
        for (int i = 0; i < IpMachines; ++i)
            routerArgs << "--machine" << QString::number(5551000 + i);
        QProcess routers;
        routers.start(QStringLiteral(GSMSIM), routerArgs);
        QByteArray served;
        QElapsedTimer wait;
        wait.start();
        while (served.count('\n') < IpMachines && !wait.hasExpired(30'000) &&
               routers.waitForReadyRead(1000))
            served += routers.readAllStandardOutput();
        SqlMachineDb machines(t);
        QVERIFY2(machines.open(), qPrintable(machines.error()));
        const auto now = [] { return QDateTime::currentMSecsSinceEpoch(); };
        for (const QByteArray &l : served.trimmed().split('\n')) {
            const QList<QByteArray> f = l.split(' ');
            QVERIFY(machines.append(MachineTables::Distributori,
                                    {{"GSM", f.value(1)}, {"Description", "IP"}, {"Address", f.value(0)}}));
            QCOMPARE(queue.enqueue(f.value(1), CollectQueue::AuditJob, false, now(), "test"),
                     CollectQueue::Enqueued::Added);
        }
        QStringList simArgs{"--dial-delay", "500"};
        for (const QString &n : Gsm) {
            simArgs << "--machine" << n;
            QCOMPARE(queue.enqueue(n, CollectQueue::AuditJob, true, now(), "test"),
                     CollectQueue::Enqueued::Added);
        }
        GsmSimProcess modem(simArgs);
        QVERIFY(!modem.device().isEmpty());

        // c3 is paused past its lease in its calls, c2 dies in them; c1 has the modem and
        // sessions enough to take over from both.
        const QStringList sessions{"--sessions", QString::number(IpSessions)};
        Collectd c3("c3", sessions, url, home);
        QVERIFY2(c3.waitFor("calling", 60'000, IpSessions), qPrintable(c3.said));
        c3.signal(SIGSTOP);
        Collectd c2("c2", sessions, url, home);
        QVERIFY2(c2.waitFor("calling", 60'000, IpSessions), qPrintable(c2.said));
        c2.proc.kill();
        Collectd c1("c1", {"--ports", modem.device(), "--sessions", "60"}, url, home);
        QVERIFY2(c1.waitFor("attempt 2: calling"), qPrintable(c1.said));
        c3.signal(SIGCONT);
        QVERIFY2(c3.waitFor("taken over"), qPrintable(c3.said));
        // The server goes away under the running calls.
        QVERIFY2(pg.restart(), qPrintable(pg.error()));
        QVERIFY2(c1.waitFor("connected again"), qPrintable(c1.said));

        QSqlDatabase::database("test").close();
        QVERIFY(QSqlDatabase::database("test").open());
        wait.restart();
        QStringList unsettled;
        auto settled = [&] {
            unsettled.clear();
            for (const auto &r : queue.requests())
                if (r.state != "done")
                    unsettled << r.gsm + ": " + r.state;
            return unsettled.filter(": pending").isEmpty();
        };
        while (!settled() && !wait.hasExpired(360'000))
            c1.waitFor("\n\n", 1000); // reads on; a blank line never comes
        QVERIFY2(unsettled.isEmpty(), qPrintable(unsettled.join('\n') + '\n' + c1.said));

        const auto audits = queue.audits();
        QSet<QString> collected;
        for (const auto &a : audits) {
            collected << a.gsm;
            // The stored records are what the converter makes of the stored image.
            const QString img = tmp.filePath(a.gsm + ".img");
            QVERIFY(writeFile(img, a.image));
            QProcess convert;
            convert.setWorkingDirectory(home);
            convert.start(QStringLiteral(EVADTS_CONVERT), {"--script", "decod.asm", "--address",
                                                           "address.asm", "--image", img});
            QVERIFY(convert.waitForFinished(60'000));
            QCOMPARE(convert.exitCode(), 0);
            QCOMPARE(a.evaDts.toLatin1(), convert.readAllStandardOutput());
        }
        QCOMPARE(audits.size(), IpMachines + Gsm.size());
        QCOMPARE(collected.size(), IpMachines + Gsm.size());
        int completed = 0, openC2 = 0, takenC3 = 0;
        for (const auto &a : queue.attempts()) {
            completed += a.outcome == "Completed";
            openC2 += a.collector == "c2" && !a.endedMs;
            takenC3 += a.collector == "c3" && a.outcome == CollectQueue::TakenOver;
        }
        QCOMPARE(completed, audits.size());
        QCOMPARE(openC2, IpSessions);
        QVERIFY(takenC3 > 0);

        c3.signal(SIGTERM);
        QVERIFY(c3.proc.waitForFinished(30'000));
        QCOMPARE(c3.proc.exitCode(), 0);
    }

    // The server is not there when the collector starts: it says so, retries, and starts working
    // when the server appears. A machine connecting to its listener is collected through it; a
    // second collector cannot listen on the same port.
    void waitsForTheServerAndCollectsAMachineThatConnects()
    {
        PgServer pg;
        QVERIFY2(pg.ok(), qPrintable(pg.error()));
        const QString url = pg.newDatabase(QStringLiteral("late"));
        QTemporaryDir tmp;
        const QString home = tmp.filePath("prog");
        QVERIFY(QDir().mkpath(home));
        QCOMPARE(QProcess::execute(QStringLiteral(GSMSIM), {"--install-scripts", home}), 0);
        const QString inbound = QStringLiteral("5552000");
        {
            DatabaseTarget t;
            QString why;
            QVERIFY(DatabaseTarget::parse(url, &t, &why) && t.open(QStringLiteral("late"), &why));
            SqlMachineDb machines(t);
            QVERIFY2(machines.open(), qPrintable(machines.error()));
            QVERIFY(machines.append(MachineTables::Distributori,
                                    {{"GSM", inbound}, {"Description", "NAT"}, {"Address", "inbound"}}));
            CollectQueue queue(QStringLiteral("late"));
            QVERIFY(queue.prepare(&why));
            QCOMPARE(queue.enqueue(inbound, CollectQueue::AuditJob, false,
                                   QDateTime::currentMSecsSinceEpoch(), "test"),
                     CollectQueue::Enqueued::Added);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("late"));
        QVERIFY2(pg.stop(), qPrintable(pg.error()));

        Collectd c("c", {"--sessions", "2", "--listen", "127.0.0.1:0"}, url, home);
        QVERIFY2(c.waitFor("retrying in 2 s"), qPrintable(c.said));
        QVERIFY2(pg.restart(), qPrintable(pg.error()));
        QVERIFY2(c.waitFor("collecting from"), qPrintable(c.said));
        const QString port = QRegularExpression("connect to port (\\d+)").match(c.said).captured(1);
        QVERIFY2(!port.isEmpty(), qPrintable(c.said));

        Collectd second("d", {"--sessions", "1", "--listen", "127.0.0.1:" + port}, url, home);
        QVERIFY(second.proc.waitForFinished(30'000));
        QCOMPARE(second.proc.exitCode(), 2);

        QProcess machine;
        machine.start(QStringLiteral(GSMSIM), {"--connect", "127.0.0.1:" + port, "--machine", inbound});
        QVERIFY2(c.waitFor(inbound + ": request 1: Completed"), qPrintable(c.said));
        machine.kill();
        machine.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
