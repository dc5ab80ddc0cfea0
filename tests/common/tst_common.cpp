#include "AtExchange.h"
#include "LoopbackPort.h"
#include "Runtime.h"
#include "SingleInstance.h"
#include "StationFixture.h"
#include "Timer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The station's timers, the ports, and the AT exchange rules on them, against the simulated
// modem on virtual time.
class CommonTest : public QObject
{
    Q_OBJECT

    struct Rig : StationFixture
    {
        Rig()
        {
            timeout.setEnabled(false);
            QObject::connect(&timeout, &Timer::tick, [this] { timeout.setEnabled(false); });
            port.setSettings(QStringLiteral("19200,N,8,1"));
            port.open();
        }
        Timer timeout{QStringLiteral("Timer3"), 2000, false};
        AtExchange at{port, timeout};
    };

private slots:
    // Switching on a running timer keeps its period, a new interval restarts it, and a tick
    // still running (it yielded) swallows the periods that fall inside it.
    void timerPeriods()
    {
        VirtualTimeScope vt;
        Timer t(QStringLiteral("T"), 1000, true);
        QSignalSpy spy(&t, &Timer::tick);
        vt.rt.runFor(600);
        t.setEnabled(true);
        vt.rt.runFor(400);
        QCOMPARE(spy.count(), 1);
        vt.rt.runFor(500);
        t.setInterval(1000);
        vt.rt.runFor(999);
        QCOMPARE(spy.count(), 1);
        vt.rt.runFor(1);
        QCOMPARE(spy.count(), 2);
        Timer wait(QStringLiteral("wait"), 250, false);
        connect(&wait, &Timer::tick, [&] { wait.setEnabled(false); });
        int depth = 0, maxDepth = 0;
        connect(&t, &Timer::tick, [&] {
            maxDepth = qMax(maxDepth, ++depth);
            wait.setEnabled(spy.count() == 3);
            while (wait.isEnabled())
                Runtime::current().yield();
            --depth;
        });
        t.setInterval(100);
        vt.rt.runFor(400);
        QCOMPARE(maxDepth, 1);
        QCOMPARE(spy.count(), 4); // ticks 200 and 300 ms on fell inside the first, 400 runs
    }

    void settingsStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::newRow("station speed") << "19200,N,8,1" << true << 19200;
        QTest::newRow("discovery speed") << "115200,N,8,1" << true << 115200;
        QTest::newRow("lower-case parity") << "9600,e,7,2" << true << 9600;
        QTest::newRow("missing field") << "19200,N,8" << false << 0;
        QTest::newRow("unknown parity") << "19200,X,8,1" << false << 0;
        QTest::newRow("speed not a number") << "fast,N,8,1" << false << 0;
        QTest::newRow("three stop bits") << "19200,N,8,3" << false << 0;
    }
    void settingsStrings()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, baud);
        PortSettings ps;
        QCOMPARE(PortSettings::parse(text, &ps), valid);
        if (valid)
            QCOMPARE(ps.baud, baud);
        LoopbackPort port;
        const QString before = port.settings();
        QCOMPARE(port.setSettings(text), valid);
        QCOMPARE(port.settings(), valid ? text : before);
    }

    void singleInstanceMarkerIsExclusiveAndReleased()
    {
        QTemporaryDir dir;
        auto first = std::make_unique<SingleInstance>("KVX4417", dir.path());
        QVERIFY(first->acquire());
        SingleInstance second("KVX4417", dir.path());
        QVERIFY(!second.acquire());
        first.reset();
        QVERIFY(second.acquire());
    }

    // Markers, or a judge in their place, decide on the whole answer after every read.
    void answersAreJudgedWhole_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<bool>("judge"); // 5 once the answer ends in a line "OK"
        QTest::addColumn<int>("expected");
        // markers: 0 = ERROR CR LF, 1 = OK CR LF
        QTest::newRow("OK in one piece") << QByteArray("\r\nOK\r\n") << 0 << false << 1;
        QTest::newRow("OK split across chunks") << QByteArray("\r\nOK\r\n") << 3 << false << 1;
        QTest::newRow("ERROR wins over OK in the same buffer")
            << QByteArray("\r\nOK\r\n\r\nERROR\r\n") << 0 << false << 0;
        QTest::newRow("OK without CR LF is no final result")
            << QByteArray("\r\nOK") << 0 << false << -1;
        QTest::newRow("a judge instead of the markers")
            << QByteArray("\r\nx OK\r\nOK\r\n") << 1 << true << 5;
    }
    void answersAreJudgedWhole()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, chunk);
        QFETCH(bool, judge);
        QFETCH(int, expected);
        Rig r;
        r.modem.setChunking(chunk, 7);
        r.modem.setOverride("AT+TEST", answer);
        ExchangeRules rules{{ERROR_CRLF, OK_CRLF}};
        if (judge)
            rules.judge = [](const QByteArray &a) { return a.endsWith("\nOK\r\n") ? 5 : -1; };
        QCOMPARE(r.at.exchange("AT+TEST", 2000, rules), expected);
        QVERIFY(r.at.buffer().endsWith(answer));
    }

    // A silent modem ends a wait at its time-out, or at the time-out re-armed; the end of the
    // program ends any wait at once, and every later wait returns without waiting.
    void silentWaits_data()
    {
        QTest::addColumn<QString>("wait");
        QTest::addColumn<QString>("event"); // at 1500 ms "rearm" for 2 s, at 700 ms "end"
        QTest::addColumn<qint64>("endsAt");
        auto row = [](const char *name, const char *wait, const char *event, qint64 endsAt) {
            QTest::newRow(name) << QString(wait) << QString(event) << endsAt;
        };
        row("an exchange's time-out", "exchange", "", 2000);
        row("re-armed for 2 s after 1.5 s", "exchange", "rearm", 3500);
        row("the end: an exchange", "exchange", "end", 700);
        row("the end: a listing that skips empty rounds", "listing", "end", 700);
        row("the end: a query that reads before the time-out", "query", "end", 700);
        row("the end: a pause", "pause", "end", 700);
    }
    void silentWaits()
    {
        QFETCH(QString, wait);
        QFETCH(QString, event);
        QFETCH(qint64, endsAt);
        Rig r;
        r.modem.setSilent(true);
        if (event == "rearm")
            r.time.rt.post(1500, [&r] { r.at.Tout(2000); });
        if (event == "end")
            r.time.rt.post(700, [] { Runtime::current().endProgram(); });
        const qint64 start = r.now();
        int found = -1;
        if (wait == "exchange")
            found = r.at.exchange("AT+CSQ", 2000, {ERROR_CRLF, OK_CRLF});
        else if (wait == "listing")
            found = r.at.exchange("AT+CMGL", 15000, ExchangeRules{{OK_CRLF}, true});
        else if (wait == "query")
            found = r.at.exchange("AT+CSQ", 2000, ExchangeRules{{OK_CRLF}, false, true});
        else
            r.at.pause(1000);
        QCOMPARE(found, -1);
        QCOMPARE(r.now() - start, endsAt);
        QCOMPARE(r.at.buffer(), QByteArray());
        QVERIFY(r.at.timedOut());
        if (event != "end")
            return;
        // Nothing more is written, and the port does not open again.
        const QByteArray written = r.port.written();
        QCOMPARE(r.at.exchange("AT", 2000, {OK_CRLF}), -1);
        r.at.pause(1000);
        QCOMPARE(r.now() - start, qint64(700));
        r.port.write("AT&W\r");
        QCOMPARE(r.port.written(), written);
        r.port.close();
        QVERIFY(!r.port.open());
    }

    // The chunk that lands in the round in which a query's time-out runs out is read but not
    // judged: it neither answers the query nor stays in the port for the next one.
    void aQueryDropsTheChunkOfItsTimeOutRound()
    {
        Rig r;
        r.modem.setEcho(false);
        r.modem.setOverride("AT+CSQ", "\r\n+CSQ: 17,0\r\n\r\n");
        // Runs after the rig's own handler has switched the time-out off.
        connect(&r.timeout, &Timer::tick, [&] { r.port.deliver(&r.modem, "OK\r\n"); });
        QCOMPARE(r.at.exchange("AT+CSQ", 2000, ExchangeRules{{OK_CRLF}, false, true}), -1);
        QCOMPARE(r.port.inBufferCount(), 0);
    }

    // A pause leaves what arrives for a flush to discard; a command line ends in CR or CR LF.
    void pausesFlushesAndLineEnds()
    {
        Rig r;
        r.modem.setEcho(false);
        r.modem.send("\r\nRING\r\n");
        const qint64 start = r.now();
        r.at.pause(1000);
        QCOMPARE(r.now() - start, qint64(1000));
        QCOMPARE(r.port.inBufferCount(), 8);
        r.at.flush();
        QCOMPARE(r.at.exchange("AT", 1000, {OK_CRLF}), 0);
        QCOMPARE(r.at.buffer(), QByteArray("\r\nOK\r\n"));
        r.at.exchange("AT+CPIN=\"1234\"", 1000, {OK_}, CRLF);
        QCOMPARE(r.port.written(), QByteArray("AT\rAT+CPIN=\"1234\"\r\n"));
    }

    void oneLineValue_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("identity answer")
            << QByteArray("\r\nTelit\r\n\r\nOK\r\n") << QByteArray("Telit");
        QTest::newRow("echoed command before the value")
            << QByteArray("AT+CGMM\r\r\nGE864\r\n") << QByteArray("GE864");
        QTest::newRow("empty line") << QByteArray("\r\n\r\nOK\r\n") << QByteArray("");
        QTest::newRow("no line feed") << QByteArray("OK") << QByteArray("");
        QTest::newRow("no carriage return after it") << QByteArray("\nabc") << QByteArray("");
        QTest::newRow("empty buffer") << QByteArray() << QByteArray();
    }
    void oneLineValue()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(QByteArray, value);
        QCOMPARE(AtExchange::oneLineValue(buffer), value);
    }
};

QTEST_MAIN(CommonTest)
#include "tst_common.moc"
