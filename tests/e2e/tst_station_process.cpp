#include "GsmSimProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The station program as the operator starts it, without a display, its single-instance marker
// in a folder of the test's own.
class Station
{
public:
    Station(const QString &tmp, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), tmp);
        m_proc.setProcessEnvironment(env);
        m_proc.start(QStringLiteral(GSMSTATION),
                     QStringList{"--home", QDir(tmp).filePath("prog")} + args);
    }
    ~Station()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }
    // Waits for a line of standard output that starts with text; the moment it came, or -1.
    qint64 waitForLine(const QByteArray &text, const QElapsedTimer &clock, int ms)
    {
        while (clock.elapsed() < ms) {
            while (m_proc.canReadLine()) {
                const QByteArray line = m_proc.readLine();
                m_out += line;
                if (line.startsWith(text))
                    return clock.elapsed();
            }
            if (!m_proc.waitForReadyRead(50) && m_proc.state() == QProcess::NotRunning)
                break;
        }
        return -1;
    }
    QProcess &process() { return m_proc; }
    QByteArray output() const { return m_out; }

private:
    QProcess m_proc;
    QByteArray m_out;
};

// The sibling program the station starts at its end: it leaves a mark in its working folder.
void writeSibling(const QString &folder)
{
    QFile f(QDir(folder).filePath("WINCORVANI"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\ntouch sibling-started\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}
} // namespace

// The gsmstation program itself, through pseudo-terminals on the real serial stack.
class StationProcessTest : public QObject
{
    Q_OBJECT

private slots:
    // Port 1 hears nothing at the station's speeds; the modem waits on port 2. "Exit" comes while
    // port 1 is still being tried: port 2 is never opened, and the process ends with the exit
    // sequence's second.
    void exitDuringTheModemSearchEndsTheProcessAtOnce()
    {
        GsmSimProcess deaf({"--bauds", "300"});
        GsmSimProcess modem({"--verbose"});
        QVERIFY(!deaf.device().isEmpty() && !modem.device().isEmpty());
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("prog"));
        writeSibling(tmp.path());

        QElapsedTimer clock;
        clock.start();
        Station station(tmp.path(), {"--ports", deaf.device() + ',' + modem.device(), "--verbose",
                                     "--quit-after", "1"});
        const qint64 exitAt = station.waitForLine("menu: Exit", clock, 20'000);
        QVERIFY2(exitAt >= 0, station.output().constData());
        QVERIFY(station.process().waitForFinished(10'000));
        const qint64 endedAt = clock.elapsed();
        station.waitForLine("station ended", clock, 20'000);

        QCOMPARE(station.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.process().exitCode(), 0);
        QVERIFY2(station.output().contains("station ended"), station.output().constData());
        qInfo("from \"Exit\" to the end of the process: %lld ms", endedAt - exitAt);
        QVERIFY2(endedAt - exitAt < 1500, qPrintable(QString::number(endedAt - exitAt)));
        QTRY_VERIFY(QFile::exists(QDir(tmp.path()).filePath("sibling-started")));
        QCOMPARE(modem.output(500), QByteArray()); // not one command reached the modem
    }

    // A second station ends at once, leaving the first alone, and says why.
    void aSecondStationSaysSoAndEnds()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("prog"));
        QElapsedTimer clock;
        clock.start();
        Station first(tmp.path(), {"--simulate", "--verbose"});
        QVERIFY(first.waitForLine("station started", clock, 20'000) >= 0);
        Station second(tmp.path(), {"--simulate", "--verbose"});
        QVERIFY(second.process().waitForFinished(10'000));
        QCOMPARE(second.process().exitCode(), 0);
        const QList<QByteArray> errors = second.process().readAllStandardError().split('\n');
        QVERIFY2(errors.contains("gsmstation: another station is running"),
                 errors.join('|').constData());
        QCOMPARE(second.process().readAllStandardOutput(), QByteArray());
        QCOMPARE(first.process().state(), QProcess::Running);
    }

    void badSimulatorOptionsAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown fault") << QStringList{"--machine", "5550001:noise=1"}
                                       << QByteArray("gsmsim: --machine 5550001:noise=1: unknown "
                                                     "fault \"noise\"\n");
        QTest::newRow("no number") << QStringList{"--machine", ":lost=0.1"}
                                   << QByteArray("gsmsim: --machine needs a number\n");
        QTest::newRow("dial delay that is no number")
            << QStringList{"--dial-delay", "soon"}
            << QByteArray("gsmsim: bad --dial-delay \"soon\"\n");
    }
    void badSimulatorOptionsAreUsageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        QProcess p;
        p.start(QStringLiteral(GSMSIM), args);
        QVERIFY(p.waitForFinished(10'000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(p.readAllStandardError(), message);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(StationProcessTest)
#include "tst_station_process.moc"
