#include "GsmSimProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {
QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A loopback port nobody listens on (it was free a moment ago).
quint16 closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

// gsmcollect against gsmsim's machine behind a simulated router, through real loopback sockets
// on real time: no modem, no --ports, the station's pacing on the connection.
class GsmCollectIpTest : public QObject
{
    Q_OBJECT

private slots:
    void jobOverTcp_data()
    {
        QTest::addColumn<QStringList>("job");
        QTest::addColumn<bool>("listening"); // false: the port refuses
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // of standard error, %A the address
        QTest::newRow("telemetry read")
            << QStringList{"--read-telemetry", "t.tlm"} << true << 0
            << QStringList{"gsmcollect: connected to %A", "gsmcollect: done"};
        QTest::newRow("audit") << QStringList{"--audit", "a.txt", "--image", "a.img"} << true << 0
                               << QStringList{"gsmcollect: done"};
        QTest::newRow("refused port")
            << QStringList{"--read-telemetry", "t.tlm"} << false << 1
            << QStringList{"gsmcollect: no connection to %A: Connection refused",
                           "gsmcollect: NO CARRIER",
                           "gsmcollect: failed: the call did not connect: NO CARRIER"};
    }
    void jobOverTcp()
    {
        QFETCH(QStringList, job);
        QFETCH(bool, listening);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        QTemporaryDir tmp;
        const QString prog = tmp.filePath("prog");
        QVERIFY(QDir().mkpath(prog));
        QCOMPARE(QProcess::execute(GSMSIM, {"--machine", "5550001", "--install-scripts", prog}),
                 0);
        GsmSimProcess sim({"--tcp-machines", "0", "--machine", "5550001", "--verbose"});
        const QStringList served = sim.device().split(u' ');
        QCOMPARE(served.value(1), QStringLiteral("5550001"));
        const QString address =
            listening ? served.first() : QStringLiteral("127.0.0.1:%1").arg(closedPort());

        QProcess collect;
        collect.setWorkingDirectory(tmp.path());
        collect.start(GSMCOLLECT, QStringList{"--home", prog, "--number", "5550001", "--address",
                                              address, "--verbose"} +
                                      job);
        QVERIFY(collect.waitForFinished(180'000));
        const QString err = QString::fromLocal8Bit(collect.readAllStandardError());
        QVERIFY2(collect.exitCode() == status, qPrintable(err));
        const QStringList got = err.split(u'\n', Qt::SkipEmptyParts);
        for (const QString &l : lines)
            QVERIFY2(got.contains(QString(l).replace("%A", address)), qPrintable(err));
        QVERIFY(!err.contains("modem"));

        const QByteArray heard = sim.output();
        // The hang-up is the end of the connection.
        QCOMPARE(heard.contains("5550001 connected"), listening);
        QCOMPARE(heard.contains("5550001 disconnected"), listening);
        if (job.contains("t.tlm") && status == 0)
            QCOMPARE(QFileInfo(tmp.filePath("t.tlm")).size(), 1403);
        if (job.contains("a.img")) {
            // The image holds the machine's memory, the clock aside (it moves on).
            const QString expected = tmp.filePath("expected.img");
            QCOMPARE(QProcess::execute(GSMSIM, {"--machine", "5550001", "--audit-image", expected}),
                     0);
            const QByteArray image = contents(tmp.filePath("a.img"));
            const QByteArray machine = contents(expected);
            QCOMPARE(image.size(), machine.size());
            QCOMPARE(image.mid(8, image.size() - 10), machine.mid(8, machine.size() - 10));
            QVERIFY(!contents(tmp.filePath("a.txt")).isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(GsmCollectIpTest)
#include "tst_gsmcollect_ip.moc"
