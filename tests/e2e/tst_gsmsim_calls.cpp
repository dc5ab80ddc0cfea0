#include "GsmSimProcess.h"
#include "HardwarePort.h"
#include "Runtime.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
constexpr char SOH = 0x01;
constexpr char EOT = 0x04;

// Data calls of gsmsim through a pseudo-terminal and the real serial stack. Real time: dial
// results come after 50 ms and the escape guard is 200 ms, so the whole run takes about a second.
struct Line
{
    explicit Line(const QString &device) : port({device})
    {
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
    }
    // Writes `text` and collects until `until` has come or `ms` have passed.
    QByteArray say(const QByteArray &text, const QByteArray &until, int ms = 3000)
    {
        if (!text.isEmpty())
            port.write(text);
        QElapsedTimer t;
        t.start();
        QTimer wake; // lets the loop look at the clock even when the line is quiet
        wake.start(50);
        QByteArray got;
        while (t.elapsed() < ms) {
            got += port.readAll();
            if (!until.isEmpty() && got.contains(until))
                break;
            Runtime::current().yield();
        }
        return got;
    }
    HardwarePort port;
};
} // namespace

class GsmSimCallsTest : public QObject
{
    Q_OBJECT

private slots:
    void dialResultsDataAndHangUp()
    {
        GsmSimProcess sim({"--machine", "5550001:drop-after=2", "--machine", "5550002:lowercase",
                           "--busy", "5550003", "--no-answer", "5550004", "--silent-number",
                           "5550005", "--dial-delay", "50", "--escape-guard", "200"});
        QVERIFY(!sim.device().isEmpty());
        Line l(sim.device());
        QVERIFY(l.port.isOpen());
        QVERIFY(l.say("ATE0\r", "OK\r\n").endsWith("OK\r\n"));

        QCOMPARE(l.say("ATD5550003\r", "\r\n", 2000), QByteArray("\r\nBUSY\r\n"));
        QCOMPARE(l.say("ATD5550004\r", "\r\n", 2000), QByteArray("\r\nNO ANSWER\r\n"));
        QCOMPARE(l.say("ATD5559999\r", "\r\n", 2000), QByteArray("\r\nNO CARRIER\r\n"));
        QCOMPARE(l.say("ATD5550005\r", "\r\n", 500), QByteArray());
        QCOMPARE(l.say("ATH\r", "OK\r\n"), QByteArray("\r\nOK\r\n"));

        // A 16-byte read of the telemetry start; this machine writes its check in lower case.
        QCOMPARE(l.say("ATD5550002\r", "\r\n"), QByteArray("\r\nCONNECT 9600\r\n"));
        const QByteArray answer = l.say(SOH + QByteArray("055F00F00E5D") + EOT, QByteArray(1, EOT));
        QCOMPARE(answer.size(), 38);
        QCOMPARE(answer.left(3), SOH + QByteArray("05"));
        int sum = 0;
        for (int i = 3; i < 35; i += 2)
            sum += answer.mid(i, 2).toInt(nullptr, 16);
        QCOMPARE(answer.mid(35, 2),
                 QByteArray::number(sum & 0xFF, 16).rightJustified(2, '0').toLower());
        QCOMPARE(l.say({}, {}, 300), QByteArray()); // the guard time before the escape
        QCOMPARE(l.say("+++", "OK\r\n"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(l.say("ATH\r", "OK\r\n"), QByteArray("\r\nOK\r\n"));

        // This machine drops the line after two answers; the terminal shows it as NO CARRIER.
        const QByteArray status = SOH + QByteArray("0000000C000C") + EOT;
        QCOMPARE(l.say("ATD5550001\r", "\r\n"), QByteArray("\r\nCONNECT 9600\r\n"));
        QCOMPARE(l.say(status, QByteArray(1, EOT)), SOH + QByteArray("000000") + EOT);
        QCOMPARE(l.say(status, "NO CARRIER\r\n"),
                 SOH + QByteArray("000000") + EOT + "\r\nNO CARRIER\r\n");
        QCOMPARE(l.say("AT\r", "OK\r\n"), QByteArray("\r\nOK\r\n"));
    }

    void badMachineOptionsAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown fault") << QStringList{"--machine", "5550001:noise=1"}
                                       << QByteArray("gsmsim: --machine 5550001:noise=1: unknown "
                                                     "fault \"noise\"\n");
        QTest::newRow("probability above 1")
            << QStringList{"--machine", "5550001:lost=2"}
            << QByteArray("gsmsim: --machine 5550001:lost=2: bad value for lost: \"2\"\n");
        QTest::newRow("no number") << QStringList{"--machine", ":lost=0.1"}
                                   << QByteArray("gsmsim: --machine needs a number\n");
        QTest::newRow("dial delay that is no number")
            << QStringList{"--dial-delay", "soon"}
            << QByteArray("gsmsim: bad --dial-delay \"soon\"\n");
    }
    void badMachineOptionsAreUsageErrors()
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

QTEST_GUILESS_MAIN(GsmSimCallsTest)
#include "tst_gsmsim_calls.moc"
