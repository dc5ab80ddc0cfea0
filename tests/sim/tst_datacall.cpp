#include "FrameText.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "Runtime.h"

#include <QSignalSpy>
#include <QTest>

using namespace FrameText;

namespace {
const QByteArray Machine = "+393471110001";
const QByteArray StatusRead = wire({"00", "00", "00", "0C", "00", "0C"});
const QByteArray StatusAnswer = wire({"00", "00", "00"});

enum Setup { Unknown, Registered, Busy, NoAnswer, Silent };

// The simulated modem on port 1 of an in-process line, echo off, with one machine on file.
struct CallRig
{
    CallRig()
    {
        port.plug(1, &modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
        modem.setEcho(false);
        modem.addMachine(Machine, &machine);
    }
    // Runs until the text received since the last call holds `text`; the moment it arrived, or
    // -1 when it did not come within limitMs.
    qint64 waitFor(const QByteArray &text, qint64 limitMs = 120'000)
    {
        const bool ok = time.rt.runUntil(
            [&] {
                rx += port.readAll();
                return rx.contains(text);
            },
            limitMs);
        const qint64 when = ok ? time.rt.nowMs() : -1;
        rx.clear();
        return when;
    }
    // What arrives within ms.
    QByteArray collect(qint64 ms)
    {
        time.rt.runFor(ms);
        return std::exchange(rx, {}) + port.readAll();
    }
    bool connect()
    {
        port.write("ATD" + Machine + "\r");
        return waitFor("CONNECT 9600\r\n") >= 0;
    }

    VirtualTimeScope time;
    LoopbackPort port;
    GsmModem modem;
    MachineController machine;
    QByteArray rx;
};
} // namespace

// Data calls of the simulated modem: dial results, data mode, the escape, hang-up and carrier.
class DataCallTest : public QObject
{
    Q_OBJECT

private slots:
    void dialResultsComeAfterTheirDelay_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("delayMs"); // -1: the usual delay of that result
        QTest::addColumn<int>("registration");
        QTest::addColumn<QByteArray>("dialled");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<qint64>("atMs"); // -1: no result at all
        // Results leave the modem 20 ms after the network gave them.
        QTest::newRow("machine on file: CONNECT 9600 after 9 s")
            << int(Registered) << -1 << 1 << Machine << QByteArray("\r\nCONNECT 9600\r\n")
            << qint64(9020);
        QTest::newRow("number nobody has: NO CARRIER after 6 s")
            << int(Unknown) << -1 << 1 << QByteArray("+393470000000")
            << QByteArray("\r\nNO CARRIER\r\n") << qint64(6020);
        QTest::newRow("busy machine")
            << int(Busy) << -1 << 1 << Machine << QByteArray("\r\nBUSY\r\n") << qint64(5020);
        QTest::newRow("busy after a delay of its own")
            << int(Busy) << 1500 << 1 << Machine << QByteArray("\r\nBUSY\r\n") << qint64(1520);
        QTest::newRow("nobody picks up: NO ANSWER before the station's 60 s")
            << int(NoAnswer) << -1 << 1 << Machine << QByteArray("\r\nNO ANSWER\r\n")
            << qint64(40020);
        QTest::newRow("silent number: no result at all")
            << int(Silent) << -1 << 1 << Machine << QByteArray("\r\n") << qint64(-1);
        QTest::newRow("not registered: NO CARRIER even for a machine")
            << int(Registered) << -1 << 0 << Machine << QByteArray("\r\nNO CARRIER\r\n")
            << qint64(6020);
        QTest::newRow("blanks and dashes in the dialled number")
            << int(Registered) << -1 << 5 << QByteArray("+39 347-111 0001")
            << QByteArray("\r\nCONNECT 9600\r\n") << qint64(9020);
        QTest::newRow("tone dialling prefix") << int(Registered) << 2000 << 1 << "T" + Machine
                                              << QByteArray("\r\nCONNECT 9600\r\n") << qint64(2020);
    }
    void dialResultsComeAfterTheirDelay()
    {
        QFETCH(int, setup);
        QFETCH(int, delayMs);
        QFETCH(int, registration);
        QFETCH(QByteArray, dialled);
        QFETCH(QByteArray, result);
        QFETCH(qint64, atMs);
        CallRig r;
        r.modem.config().registration = registration;
        if (setup == Registered)
            r.modem.addMachine(Machine, &r.machine, delayMs);
        else if (setup != Unknown)
            r.modem.setDialAnswer(Machine,
                                  setup == Busy       ? DialAnswer::Busy
                                  : setup == NoAnswer ? DialAnswer::NoAnswer
                                                      : DialAnswer::Silent,
                                  delayMs);
        QSignalSpy changed(&r.modem, &GsmModem::callChanged);
        r.port.write("ATD" + dialled + "\r");
        QCOMPARE(r.waitFor(result), atMs);
        const bool up = result.contains("CONNECT");
        QCOMPARE(r.modem.callUp(), up);
        QCOMPARE(r.port.carrierDetect(), up);
        QCOMPARE(r.modem.dialling(), setup == Silent);
        QCOMPARE(changed.count(), up ? 1 : 0);
        QCOMPARE(r.collect(60'000), QByteArray()); // one result, nothing after it
    }

    // The station's short hang-up after a failed dial: "+++" in command mode, then "ATH".
    void hangingUpAbandonsACallWithoutResult()
    {
        CallRig r;
        r.modem.setDialAnswer(Machine, DialAnswer::Silent);
        r.port.write("ATD" + Machine + "\r");
        QCOMPARE(r.collect(60'000), QByteArray());
        r.port.write("+++");
        QCOMPARE(r.collect(3000), QByteArray());
        r.port.write("ATH\r");
        QCOMPARE(r.collect(1000), QByteArray("\r\nOK\r\n"));
        QVERIFY(!r.modem.dialling());
        r.port.write("ATD" + Machine + "\r"); // the modem is free for the next call
        QCOMPARE(r.collect(120'000), QByteArray());
        QVERIFY(r.modem.dialling());
    }

    void framesPassBetweenStationAndMachine()
    {
        CallRig r;
        QVERIFY(r.connect());
        const QList<QByteArray> commands = r.modem.commands();
        const qint64 sent = r.time.rt.nowMs();
        r.port.write(StatusRead);
        // 8 characters at 9600 bit/s take 9 ms after the machine's 5 ms: the modem adds nothing.
        QCOMPARE(r.waitFor(StatusAnswer), sent + 14);
        r.port.write("AT\r"); // data, not a command, while the call is up
        QCOMPARE(r.collect(5000), QByteArray());
        QCOMPARE(r.modem.commands(), commands);
        QCOMPARE(r.machine.requests().size(), 1);
        QCOMPARE(r.machine.requests().first().raw, StatusRead);
    }

    void theEscapeNeedsItsGuardTime_data()
    {
        QTest::addColumn<QStringList>("steps"); // "wait ms:bytes", from the last frame on
        QTest::addColumn<qint64>("okAfterMs");  // after the last step; -1 no escape
        QTest::newRow("1 s of silence, +++, 1 s of silence")
            << QStringList{"1000:+++"} << qint64(1020);
        QTest::newRow("+++ half a second after a frame") << QStringList{"500:+++"} << qint64(-1);
        QTest::newRow("a byte within the guard after +++")
            << QStringList{"1000:+++", "500:X"} << qint64(-1);
        QTest::newRow("the three pluses in three writes")
            << QStringList{"1200:+", "100:+", "100:+"} << qint64(1020);
        QTest::newRow("four pluses") << QStringList{"1000:++++"} << qint64(-1);
    }
    void theEscapeNeedsItsGuardTime()
    {
        QFETCH(QStringList, steps);
        QFETCH(qint64, okAfterMs);
        CallRig r;
        QVERIFY(r.connect());
        r.port.write(StatusRead);
        for (const QString &step : steps) {
            r.rx += r.collect(step.section(':', 0, 0).toInt());
            r.port.write(step.section(':', 1).toLatin1());
        }
        const qint64 last = r.time.rt.nowMs();
        QCOMPARE(r.rx, StatusAnswer);
        r.rx.clear();
        if (okAfterMs < 0) {
            QCOMPARE(r.collect(5000), QByteArray());
            QVERIFY(r.modem.dataMode());
            r.port.write(StatusRead); // still reaches the machine
            QCOMPARE(r.collect(1000), StatusAnswer);
        } else {
            QCOMPARE(r.waitFor("\r\nOK\r\n"), last + okAfterMs);
            QVERIFY(!r.modem.dataMode());
            QVERIFY(r.modem.callUp());
            QVERIFY(r.port.carrierDetect());
            QCOMPARE(r.machine.requests().size(), 1); // no plus reached the machine
        }
    }

    void commandsAfterTheEscape_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("up");
        QTest::addColumn<bool>("online");
        QTest::newRow("ATH hangs up")
            << QByteArray("ATH") << QByteArray("\r\nOK\r\n") << false << false;
        QTest::newRow("ATH0 hangs up")
            << QByteArray("ATH0") << QByteArray("\r\nOK\r\n") << false << false;
        QTest::newRow("ATO goes back online")
            << QByteArray("ATO") << QByteArray("\r\nCONNECT 9600\r\n") << true << true;
        QTest::newRow("a second call is refused")
            << "ATD" + Machine << QByteArray("\r\nERROR\r\n") << true << false;
        QTest::newRow("other commands keep the call")
            << QByteArray("AT+CSQ") << QByteArray("\r\n+CSQ: 20,99\r\n\r\nOK\r\n") << true << false;
    }
    void commandsAfterTheEscape()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QFETCH(bool, up);
        QFETCH(bool, online);
        CallRig r;
        QVERIFY(r.connect());
        r.time.rt.runFor(1000);
        r.port.write("+++");
        QVERIFY(r.waitFor("\r\nOK\r\n") > 0);
        QSignalSpy changed(&r.modem, &GsmModem::callChanged);
        r.port.write(command + "\r");
        QCOMPARE(r.collect(1000), reply);
        QCOMPARE(r.modem.callUp(), up);
        QCOMPARE(r.port.carrierDetect(), up);
        QCOMPARE(r.modem.dataMode(), online);
        QCOMPARE(changed.count(), up ? 0 : 1);
        r.port.write(StatusRead);
        QCOMPARE(r.collect(1000), online ? StatusAnswer : QByteArray());
        QCOMPARE(r.machine.requests().size(), online ? 1 : 0);
    }

    void theCallEnds_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("heard");
        QTest::newRow("machine drops the line after answering")
            << "drop-after=1" << StatusAnswer + "\r\nNO CARRIER\r\n";
        QTest::newRow("machine drops the line at the frame")
            << "drop-after=0" << QByteArray("\r\nNO CARRIER\r\n");
        QTest::newRow("network loses the call") << "network" << QByteArray("\r\nNO CARRIER\r\n");
        QTest::newRow("the station closes the port") << "close" << QByteArray();
    }
    void theCallEnds()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, heard);
        CallRig r;
        const bool dropping = how.startsWith("drop");
        if (dropping) {
            LinkFaults f;
            QVERIFY(LinkFaults::parse(how, &f, nullptr));
            r.machine.setFaults(f);
        }
        QVERIFY(r.connect());
        QSignalSpy changed(&r.modem, &GsmModem::callChanged);
        if (how == "network")
            r.modem.dropCall();
        else if (how == "close") {
            r.port.close();
            QVERIFY(r.port.open());
        } else
            r.port.write(StatusRead);
        QCOMPARE(r.collect(1000), heard);
        QVERIFY(!r.port.carrierDetect());
        QVERIFY(!r.modem.callUp());
        QVERIFY(!r.modem.dataMode());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(1).toBool(), false);
        // Back in command mode: a frame goes nowhere, and there is no call to resume.
        r.port.write(StatusRead + "ATO\r");
        QCOMPARE(r.collect(1000), QByteArray("\r\nNO CARRIER\r\n"));
        QCOMPARE(r.machine.requests().size(), dropping ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(DataCallTest)
#include "tst_datacall.moc"
