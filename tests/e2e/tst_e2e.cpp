#include "AtExchange.h"
#include "GsmSimProcess.h"
#include "HardwarePort.h"
#include "ModemSim.h"
#include "PtyLine.h"
#include "Runtime.h"
#include "Timer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <memory>

// The serial stack on a pseudo-terminal, and the gsmcollect program against gsmsim through one, on
// real time: dial results after 50 ms and a short escape guard keep each run to the station's own
// pacing (a telemetry read and the 10 s wait before the hang-up take most of it).
class EndToEndTest : public QObject
{
    Q_OBJECT

    static QString gammu(const QString &rc, const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(GAMMU), QStringList{"-c", rc} + args);
        if (!p.waitForFinished(60'000))
            p.kill();
        return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    }

private slots:
    // The serial stack on a pseudo-terminal: one exchange, silence at a speed the modem does not
    // run, and a line that vanishes closes the port instead of spinning on failed reads.
    void onePseudoTerminal()
    {
        ModemSim modem;
        modem.setLatency(5);
        auto line = std::make_unique<PtyLine>(&modem);
        QString error;
        QVERIFY2(line->open(&error), qPrintable(error));
        HardwarePort port({line->devicePath()});
        port.setCommPort(1);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.setDtrEnable(true); // a pseudo-terminal refuses DTR; that must not matter
        QVERIFY(port.open());
        QVERIFY(port.carrierDetect()); // cannot be read on a pseudo-terminal: counts as present

        Timer timeout(QStringLiteral("Timer3"), 2000, false);
        connect(&timeout, &Timer::tick, [&] { timeout.setEnabled(false); });
        AtExchange at(port, timeout);
        QCOMPARE(at.exchange("ATE0", 2000, {ERROR_CRLF, OK_CRLF}), 1);
        QCOMPARE(at.buffer(), QByteArray("ATE0\r\r\nOK\r\n"));
        QCOMPARE(at.exchange("AT+NOSUCH", 2000, {ERROR_CRLF, OK_CRLF}), 0);
        QCOMPARE(modem.commands(), QList<QByteArray>({"ATE0", "AT+NOSUCH"}));
        port.setSettings(QStringLiteral("9600,N,8,1"));
        QCOMPARE(at.exchange("AT", 300, {OK_CRLF}), -1);
        QCOMPARE(at.buffer(), QByteArray());

        QSignalSpy lost(&port, &SerialPort::lost);
        line.reset();
        QVERIFY(lost.wait(5000));
        QVERIFY(!port.isOpen());
    }

    void jobs_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("interrupted"); // by SIGTERM once the SIM is ready, never registered
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line"); // the last line of standard error
        QTest::newRow("telemetry read") << "5550001" << false << 0 << "gsmcollect: done";
        QTest::newRow("busy number") << "5550003" << false << 1
                                     << "gsmcollect: failed: the call did not connect: BUSY";
        // Nothing is dialled yet, so nothing waits for SIGTERM: not the 60 s wait for the network.
        QTest::newRow("interrupted before the call: ends at once")
            << "5550001" << true << 1 << "gsmcollect: failed: interrupted";
    }
    void jobs()
    {
        QFETCH(QString, number);
        QFETCH(bool, interrupted);
        QFETCH(int, status);
        QFETCH(QString, line);
        GsmSimProcess sim(QStringList{"--machine", "5550001", "--busy", "5550003", "--dial-delay",
                                      "50", "--escape-guard", "200", "--verbose"} +
                          (interrupted ? QStringList{"--registration", "0"} : QStringList()));
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("prog"));

        // Its single-instance marker apart from any station's.
        QProcess collect;
        collect.setWorkingDirectory(tmp.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", tmp.path());
        collect.setProcessEnvironment(env);
        collect.setReadChannel(QProcess::StandardError);
        collect.start(QStringLiteral(GSMCOLLECT), {"--home", tmp.filePath("prog"), "--ports",
                                                   sim.device(), "--number", number,
                                                   "--read-telemetry", "t.tlm"});
        QByteArray err;
        while (interrupted && !err.contains("SIM ready") && collect.waitForReadyRead(30'000))
            err += collect.readAllStandardError();
        if (interrupted)
            ::kill(pid_t(collect.processId()), SIGTERM);
        QVERIFY(collect.waitForFinished(interrupted ? 3000 : 120'000));
        err += collect.readAllStandardError();
        QCOMPARE(collect.exitStatus(), QProcess::NormalExit);
        QCOMPARE(collect.exitCode(), status);
        QVERIFY2(err.endsWith(line.toLocal8Bit() + '\n'), err.constData());
        QCOMPARE(collect.readAllStandardOutput(), QByteArray());
        if (status == 0)
            QCOMPARE(QFileInfo(QDir(tmp.path()).filePath("t.tlm")).size(), 1403);

        // The hang-up after the dial (after a failed dial the modem is in command mode and
        // takes "+++" and "ATH" as one line).
        const QByteArray heard = sim.output();
        QCOMPARE(heard.contains("<- ATD"), !interrupted);
        QVERIFY2(interrupted || heard.lastIndexOf("ATH") > heard.indexOf("<- ATD"),
                 heard.constData());
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

    // gammu, a client written by others from the same standards, must recognise the simulated
    // modem and read its signal and network.
    void gammuIdentifiesAndMonitors()
    {
        if (QStringLiteral(GAMMU).isEmpty())
            QSKIP("gammu is not installed");
        GsmSimProcess sim({"--manufacturer", "Sim_Maker", "--model", "SM-900", "--imei",
                           "490154203237518", "--signal", "20"});
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir tmp;
        const QString rc = QDir(tmp.path()).filePath("gammurc");
        QFile f(rc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[gammu]\ndevice = " + sim.device().toLocal8Bit() + "\nconnection = at19200\n");
        f.close();

        const QString id = gammu(rc, {"identify"});
        QVERIFY2(id.contains("Manufacturer         : Sim_Maker"), qPrintable(id));
        QVERIFY2(id.contains("SM-900"), qPrintable(id));
        QVERIFY2(id.contains("IMEI                 : 490154203237518"), qPrintable(id));

        const QString mon = gammu(rc, {"monitor", "1"});
        QVERIFY2(mon.contains("Signal strength      : -73 dBm"), qPrintable(mon));
        QVERIFY2(mon.contains("Network state        : home network"), qPrintable(mon));
        QVERIFY2(mon.contains("222 10"), qPrintable(mon));
        QVERIFY2(mon.contains("GPRS                 : attached"), qPrintable(mon));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_e2e.moc"
