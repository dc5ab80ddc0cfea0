#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "GsmSimProcess.h"
#include "PgServer.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {
const QStringList Fleet = {"5550001", "5550002", "5550003", "5550004"};

// A running gsmcollectd and what it has said on standard error.
struct Collectd
{
    Collectd(const QString &name, const QStringList &ports, const QString &url, const QString &home)
    {
        proc.start(QStringLiteral(GSMCOLLECTD),
                   {"--name", name, "--ports", ports.join(','), "--sessions", "0", "--lease", "12",
                    "--retry-delay", "1", "--home", home, "--database", url});
        proc.waitForStarted(10'000);
    }
    ~Collectd()
    {
        ::kill(pid_t(proc.processId()), SIGCONT);
        proc.kill();
        proc.waitForFinished(5000);
    }
    // Reads standard error until a line contains text (the lines so far are kept).
    bool waitFor(const QString &text, int ms = 120'000)
    {
        QElapsedTimer t;
        t.start();
        while (!said.contains(text) && !t.hasExpired(ms) && proc.state() == QProcess::Running) {
            proc.waitForReadyRead(1000);
            said += QString::fromLocal8Bit(proc.readAllStandardError());
        }
        said += QString::fromLocal8Bit(proc.readAllStandardError());
        return said.contains(text);
    }
    void signal(int sig) { ::kill(pid_t(proc.processId()), sig); }
    QProcess proc;
    QString said;
};
} // namespace

// The collector service as a fleet runs it: real processes on simulated modems, a real server,
// and the faults a night brings.
class ServiceTest : public QObject
{
    Q_OBJECT
private slots:
    void nothingCollectedTwiceNothingLost()
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
        for (const QString &n : Fleet)
            QCOMPARE(queue.enqueue(n, CollectQueue::AuditJob, true,
                                   QDateTime::currentMSecsSinceEpoch(), "test"),
                     CollectQueue::Enqueued::Added);

        QStringList simArgs{"--dial-delay", "500"};
        for (const QString &n : Fleet)
            simArgs << "--machine" << n;
        std::vector<std::unique_ptr<GsmSimProcess>> modems;
        for (int i = 0; i < 4; ++i) {
            modems.push_back(std::make_unique<GsmSimProcess>(simArgs));
            QVERIFY(!modems.back()->device().isEmpty());
        }

        // c1 dies in its call; c2 is paused past its lease; c3 has two lines and takes over.
        Collectd c1("c1", {modems[0]->device()}, url, home);
        QVERIFY2(c1.waitFor("calling"), qPrintable(c1.said));
        c1.proc.kill();
        Collectd c2("c2", {modems[1]->device()}, url, home);
        QVERIFY2(c2.waitFor("calling"), qPrintable(c2.said));
        c2.signal(SIGSTOP);
        Collectd c3("c3", {modems[2]->device(), modems[3]->device()}, url, home);
        QVERIFY2(c3.waitFor("attempt 2: calling"), qPrintable(c3.said));
        c2.signal(SIGCONT);
        QVERIFY2(c2.waitFor("taken over"), qPrintable(c2.said));
        // The server goes away under the running calls.
        QVERIFY2(pg.restart(), qPrintable(pg.error()));
        QVERIFY2(c3.waitFor("connected again"), qPrintable(c3.said));

        QSqlDatabase::database("test").close();
        QVERIFY(QSqlDatabase::database("test").open());
        QElapsedTimer wait;
        wait.start();
        auto settled = [&] {
            const auto rs = queue.requests();
            return std::all_of(rs.begin(), rs.end(), [](auto &r) { return r.state == "done"; });
        };
        while (!settled() && !wait.hasExpired(180'000))
            c3.waitFor("\n\n", 1000); // reads on; a blank line never comes
        QVERIFY2(settled(), qPrintable(c3.said));

        const auto audits = queue.audits();
        QCOMPARE(audits.size(), Fleet.size());
        QSet<QString> machines;
        for (const auto &a : audits) {
            machines << a.gsm;
            // The stored records are what the converter makes of the stored image.
            const QString img = tmp.filePath(a.gsm + ".img");
            QFile f(img);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(a.image) == a.image.size());
            f.close();
            QProcess convert;
            convert.setWorkingDirectory(home);
            convert.start(QStringLiteral(EVADTS_CONVERT), {"--script", "decod.asm", "--address",
                                                           "address.asm", "--image", img});
            QVERIFY(convert.waitForFinished(60'000));
            QCOMPARE(convert.exitCode(), 0);
            QCOMPARE(a.evaDts.toLatin1(), convert.readAllStandardOutput());
        }
        QCOMPARE(machines.size(), Fleet.size());
        int openC1 = 0, takenC2 = 0;
        for (const auto &a : queue.attempts()) {
            openC1 += a.collector == "c1" && !a.endedMs;
            takenC2 += a.collector == "c2" && a.outcome == CollectQueue::TakenOver;
        }
        QCOMPARE(openC1, 1);
        QCOMPARE(takenC2, 1);

        c2.signal(SIGTERM);
        QVERIFY(c2.proc.waitForFinished(30'000));
        QCOMPARE(c2.proc.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
