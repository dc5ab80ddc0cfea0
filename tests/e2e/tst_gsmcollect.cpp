#include "GsmSimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

namespace {
// gsmcollect with its program folder in tmp/prog and its single-instance marker apart from any
// station's.
void start(QProcess &collect, const QTemporaryDir &tmp, GsmSimProcess &sim, const QStringList &job)
{
    collect.setWorkingDirectory(tmp.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmp.path());
    collect.setProcessEnvironment(env);
    collect.start(QStringLiteral(GSMCOLLECT),
                  QStringList{"--home", tmp.filePath("prog"), "--ports", sim.device()} + job);
}
} // namespace

// The gsmcollect program against gsmsim through a pseudo-terminal and the real serial stack, on
// real time: dial results after 50 ms and a short escape guard keep each run to the station's own
// pacing (a telemetry read and the 10 s wait before the hang-up take most of it).
class GsmCollectTest : public QObject
{
    Q_OBJECT

private slots:
    void jobs_data()
    {
        QTest::addColumn<QStringList>("job");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line"); // a line of standard error
        QTest::newRow("telemetry read")
            << QStringList{"--number", "5550001", "--read-telemetry", "t.tlm"} << 0
            << "gsmcollect: done";
        QTest::newRow("alarm reset") << QStringList{"--number", "5550001", "--reset-alarms"} << 0
                                     << "gsmcollect:   RESET DONE ";
        QTest::newRow("busy number")
            << QStringList{"--number", "5550003", "--read-telemetry", "t.tlm"} << 1
            << "gsmcollect: failed: the call did not connect: BUSY";
    }
    void jobs()
    {
        QFETCH(QStringList, job);
        QFETCH(int, status);
        QFETCH(QString, line);
        GsmSimProcess sim({"--machine", "5550001", "--busy", "5550003", "--dial-delay", "50",
                           "--escape-guard", "200", "--verbose"});
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("prog"));

        QProcess collect;
        start(collect, tmp, sim, job);
        QVERIFY(collect.waitForFinished(120'000));
        const QString err = QString::fromLocal8Bit(collect.readAllStandardError());
        QCOMPARE(collect.exitStatus(), QProcess::NormalExit);
        QCOMPARE(collect.exitCode(), status);
        QVERIFY2(err.split(u'\n', Qt::SkipEmptyParts).contains(line), qPrintable(err));
        QCOMPARE(collect.readAllStandardOutput(), QByteArray());
        if (job.contains("t.tlm") && status == 0)
            QCOMPARE(QFileInfo(QDir(tmp.path()).filePath("t.tlm")).size(), 1403);

        // The hang-up after the dial (after a failed dial the modem is in command mode and
        // takes "+++" and "ATH" as one line).
        const QByteArray heard = sim.output();
        QVERIFY2(heard.lastIndexOf("ATH") > heard.indexOf("<- ATD"), heard.constData());
        if (status == 0)
            QVERIFY2(heard.contains("<- ATH\n"), heard.constData());
    }

    // Both programs refuse bad options with status 2 and one line, before any port is opened.
    void usageErrors_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("gsmcollect without a job")
            << GSMCOLLECT << QStringList{"--number", "5550001"}
            << QByteArray("gsmcollect: give exactly one job: --read-config, --read-telemetry, "
                          "--write-config, --write-changed, --write-telemetry, --reset-alarms or "
                          "--audit (see --help)\n");
        QTest::newRow("gsmsim: unknown fault")
            << GSMSIM << QStringList{"--machine", "5550001:noise=1"}
            << QByteArray("gsmsim: --machine 5550001:noise=1: unknown fault \"noise\"\n");
        QTest::newRow("gsmsim: probability above 1")
            << GSMSIM << QStringList{"--machine", "5550001:lost=1.5"}
            << QByteArray("gsmsim: --machine 5550001:lost=1.5: bad value for lost: \"1.5\"\n");
        QTest::newRow("gsmsim: seed that is no number")
            << GSMSIM << QStringList{"--machine", "5550001:seed=x"}
            << QByteArray("gsmsim: --machine 5550001:seed=x: bad value for seed: \"x\"\n");
        QTest::newRow("gsmsim: no number") << GSMSIM << QStringList{"--machine", ":lost=0.1"}
                                           << QByteArray("gsmsim: --machine needs a number\n");
        QTest::newRow("gsmsim: dial delay that is no number")
            << GSMSIM << QStringList{"--dial-delay", "soon"}
            << QByteArray("gsmsim: bad --dial-delay \"soon\"\n");
    }
    void usageErrors()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        QTemporaryDir tmp;
        QProcess p;
        p.setWorkingDirectory(tmp.path());
        p.start(program, args);
        QVERIFY(p.waitForFinished(10'000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(p.readAllStandardError(), message);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
    }

    // Repeated and 17-byte answers on a real line: the audit ends done, its image holds the
    // machine's memory (the clock aside, which moves on) and its sum word the sum of its data.
    void auditOnANoisyLineHoldsTheMachinesMemory()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("prog"));
        const QString expected = tmp.filePath("expected.img");
        QCOMPARE(QProcess::execute(GSMSIM, {"--machine", "5550001", "--audit-image", expected}), 0);
        QCOMPARE(QProcess::execute(
                     GSMSIM, {"--machine", "5550001", "--install-scripts", tmp.filePath("prog")}),
                 0);
        GsmSimProcess sim({"--machine", "5550001:duplicate=0.3,oversize=0.05,seed=3",
                           "--dial-delay", "50", "--escape-guard", "200"});
        QVERIFY(!sim.device().isEmpty());
        QProcess collect;
        start(collect, tmp, sim,
              {"--number", "5550001", "--audit", "a.txt", "--image", tmp.filePath("a.img")});
        QVERIFY(collect.waitForFinished(240'000));
        QVERIFY2(collect.exitCode() == 0, collect.readAllStandardError().constData());
        auto read = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray image = read(tmp.filePath("a.img")), machine = read(expected);
        QCOMPARE(image.size(), machine.size());
        QVERIFY(image.size() > 10);
        QCOMPARE(image.mid(8, image.size() - 10), machine.mid(8, machine.size() - 10));
        quint16 sum = 0;
        for (qsizetype i = 2; i < image.size() - 2; ++i)
            sum += quint8(image.at(i));
        QCOMPARE(quint8(image.at(image.size() - 2)) + 256 * quint8(image.at(image.size() - 1)),
                 int(sum));
        QVERIFY(!read(tmp.filePath("a.txt")).isEmpty());
    }

    // Nothing is dialled yet, so nothing waits for SIGTERM: not the 60 s wait for the network.
    void anInterruptBeforeTheCallEndsAtOnce()
    {
        GsmSimProcess sim({"--machine", "5550001", "--registration", "0", "--verbose"});
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("prog"));
        QProcess collect;
        collect.setReadChannel(QProcess::StandardError);
        start(collect, tmp, sim, {"--number", "5550001", "--read-telemetry", "t.tlm"});
        QByteArray err;
        while (!err.contains("SIM ready") && collect.waitForReadyRead(30'000))
            err += collect.readAllStandardError();
        QVERIFY2(err.contains("SIM ready"), err.constData());
        ::kill(pid_t(collect.processId()), SIGTERM);
        QVERIFY(collect.waitForFinished(3000));
        err += collect.readAllStandardError();
        QCOMPARE(collect.exitCode(), 1);
        QVERIFY2(err.endsWith("gsmcollect: failed: interrupted\n"), err.constData());
        QVERIFY(!sim.output().contains("<- ATD"));
    }
};

QTEST_GUILESS_MAIN(GsmCollectTest)
#include "tst_gsmcollect.moc"
