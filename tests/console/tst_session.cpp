#include "ConsoleRig.h"

#include <QRandomGenerator>

class SessionTest : public QObject
{
    Q_OBJECT
private slots:
    // --- Dialling and hang-up ------------------------------------------------------------------

    void failedDials_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("waitMs"); // from the dial to the message box
        QTest::newRow("busy shows the modem's text")
            << int(DialAnswer::Busy) << "|\r\nBUSY\r\n|Critical|Ok" << 5000;
        QTest::newRow("no carrier")
            << int(DialAnswer::NoCarrier) << "|\r\nNO CARRIER\r\n|Critical|Ok" << 6000;
        QTest::newRow("no answer at all: Time OUT after 60 s")
            << int(DialAnswer::Silent) << "|Time OUT|Critical|Ok" << 60000;
        QTest::newRow("10 KB of noise: Time OUT") << -1 << "|Time OUT|Critical|Ok" << 60000;
    }
    void failedDials()
    {
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(int, waitMs);
        ConsoleRig rig;
        if (answer >= 0)
            rig.modem.setDialAnswer(ConsoleRig::Number, DialAnswer(answer));
        else
            rig.modem.setOverride("ATD" + ConsoleRig::Number, QByteArray());
        QRandomGenerator rng(10240);
        for (int i = 0; answer < 0 && i < 40; ++i) {
            QByteArray noise(256, '\0');
            for (char &c : noise)
                c = char(rng.bounded(256));
            rig.time.rt.post(500 * (i + 1), [&rig, noise] { rig.port.deliver(&rig.modem, noise); });
        }
        rig.session.Command2_Click();
        QCOMPARE(rig.dialogs.boxes(), QStringList{box});
        QVERIFY(qAbs(rig.dialogs.shown().first().at - waitMs) < 200);
        // The short hang-up: no 10 s wait.
        QVERIFY(rig.port.written().startsWith("ATD3351234567\r"));
        QVERIFY(rig.port.written().endsWith("+++ATH\r"));
        QVERIFY(rig.now() < waitMs + 4000);
        QVERIFY(!rig.session.LoggedOn && !rig.session.callUp() && !rig.session.call().LinkActive);
        QCOMPARE(rig.session.Label2, QStringLiteral("Wait for logoff..."));
        QVERIFY(rig.session.enabled[CallSession::Data]);
        QVERIFY(!rig.session.enabled[CallSession::Disconnect]);
        QVERIFY(rig.session.listVisible);
        QCOMPARE(rig.tray.icon(), 1);
    }

    void connectAnswers_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks"); // 100 ms apart
        QTest::addColumn<int>("upAfterChunk");         // 0: the call fails
        QTest::newRow("CONNECT split before its CR LF")
            << QList<QByteArray>{"CONNECT 9600", "\r\n"} << 2;
        QTest::newRow("CONNECT together with NO CARRIER fails")
            << QList<QByteArray>{"\r\nCONNECT 9600\r\n\r\nNO CARRIER\r\n"} << 0;
        QTest::newRow("CR LF before CONNECT counts")
            << QList<QByteArray>{"\r\n", "CONNECT 9600"} << 2;
    }
    void connectAnswers()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, upAfterChunk);
        ConsoleRig rig;
        rig.modem.setOverride("ATD" + ConsoleRig::Number, QByteArray()); // answer by hand
        int delivered = 0, chunksAtConnect = 0;
        for (int i = 0; i < chunks.size(); ++i)
            rig.time.rt.post(100 * (i + 1), [&, i] {
                rig.port.deliver(&rig.modem, chunks.at(i));
                delivered = i + 1;
            });
        QObject::connect(&rig.session, &CallSession::callStateChanged, [&](bool on) {
            if (on)
                chunksAtConnect = delivered;
        });
        bool loggedOn = false;
        rig.session.Login(loggedOn);
        const bool up = upAfterChunk > 0;
        QCOMPARE(loggedOn, up);
        QCOMPARE(rig.session.callUp(), up);
        QCOMPARE(chunksAtConnect, upAfterChunk);
        QCOMPARE(rig.session.link().engine.Timer13.isEnabled(), up);
        QCOMPARE(rig.dialogs.boxes().size(), up ? 0 : 1);
    }

    void commandWhileConnectedDoesNotDialAgain()
    {
        ConsoleRig rig;
        rig.session.Command10_Click();
        QVERIFY(rig.settle());
        rig.session.Command10_Click();
        QVERIFY(rig.settle());
        QCOMPARE(rig.commands(), QStringList{"ATD3351234567"});
        QCOMPARE(rig.machine.requests().size(), 78);
    }

    // "Disconnect" waits 10 s before the escape; closing the window hangs up and polls again.
    void hangUps_data()
    {
        QTest::addColumn<bool>("unload");
        QTest::newRow("Disconnect") << false;
        QTest::newRow("closing during a call") << true;
    }
    void hangUps()
    {
        QFETCH(bool, unload);
        ConsoleRig rig;
        bool on = false;
        rig.session.Login(on);
        QVERIFY(on);
        rig.stationState.StationActive = false;
        const qint64 start = rig.now();
        if (unload)
            rig.session.unload();
        else
            rig.session.Command4_Click();
        QCOMPARE(rig.port.written(), QByteArray("ATD3351234567\r+++ATH\r"));
        QVERIFY(!rig.modem.callUp());
        if (!unload) {
            QVERIFY(rig.now() - start >= 10000);
            QVERIFY(rig.session.enabled[CallSession::Disconnect]);
            QVERIFY(rig.session.windowEnabled);
            return;
        }
        QVERIFY(rig.stationState.StationActive);
        QVERIFY(rig.timer2.isEnabled());
        QCOMPARE(rig.timer2.interval(), 100);
    }

    // --- Commands ------------------------------------------------------------------------------

    void noMachineSelectedDoesNothing()
    {
        ConsoleRig rig;
        rig.session.select(QString(), QStringLiteral("no number"));
        rig.session.Command2_Click();
        rig.session.Command9_Click();
        rig.session.Command6_Click();
        QVERIFY(rig.commands().isEmpty());
        QVERIFY(rig.dialogs.shown().isEmpty());
    }

    // Nothing is dialled for a cancelled choice, a pattern kept as the name included.
    void noDialForTheChosenFile_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("name");
        QTest::newRow("All: *.prm typed as a name") << 7 << "*.prm";
        QTest::newRow("All: cancelled") << 7 << "";
        QTest::newRow("Telemetry write: *.tlm") << 12 << "*.tlm";
    }
    void noDialForTheChosenFile()
    {
        QFETCH(int, command);
        QFETCH(QString, name);
        ConsoleRig rig;
        rig.dialogs.chooseFileNext(name.isEmpty() ? QString() : rig.file(name));
        if (command == 7)
            rig.session.Command7_Click();
        else
            rig.session.Command12_Click();
        QVERIFY(rig.dialogs.boxes().isEmpty());
        QVERIFY(rig.session.call().FileCancelled);
        QVERIFY(rig.commands().isEmpty());
    }

    void resetAlarmTwiceCancels()
    {
        ConsoleRig rig;
        rig.session.Command6_Click();
        QCOMPARE(rig.session.Command6Caption, QStringLiteral("Abrogate"));
        QVERIFY(!rig.session.enabled[CallSession::Data]);
        QVERIFY(rig.session.enabled[CallSession::ResetAlarm]);
        rig.time.rt.runFor(300);
        rig.session.Command6_Click();
        QCOMPARE(rig.session.Command6Caption, QStringLiteral("Reset Alarm"));
        for (int b = CallSession::Data; b <= CallSession::TelemetryWrite; ++b)
            QVERIFY(rig.session.enabled[b]);
        QVERIFY(!rig.session.link().dialogue.running());
    }

    // No to "Waiting Response?" ends the reset after its acknowledgement; a machine silent for
    // 60 s is asked about, and Yes asks for its status.
    void resetQuestions_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("polls"); // status reads after the answer
        const QString silent = "|Impossible to receive response.Continue?|None|YesNo";
        QTest::newRow("No after the acknowledgement")
            << "" << MsgResult::No << "|Command RESET Sent. Waiting Response?|None|YesNo" << 0;
        QTest::newRow("silent for 60 s, Yes") << "silence-after=0" << MsgResult::Yes << silent << 1;
        QTest::newRow("silent for 60 s, No") << "silence-after=0" << MsgResult::No << silent << 0;
    }
    void resetQuestions()
    {
        QFETCH(QString, faults);
        QFETCH(MsgResult, answer);
        QFETCH(QString, box);
        QFETCH(int, polls);
        ConsoleRig rig;
        LinkFaults f;
        QVERIFY(LinkFaults::parse(faults, &f, nullptr));
        rig.machine.setFaults(f);
        rig.dialogs.answerNext(answer);
        rig.session.Command6_Click();
        QVERIFY(rig.time.rt.runUntil([&] { return !rig.dialogs.shown().isEmpty(); }, 300000));
        const qint64 asked = rig.dialogs.shown().first().at - rig.machine.requests().first().atMs;
        rig.time.rt.runFor(1500);
        QCOMPARE(rig.dialogs.boxes(), QStringList{box});
        int statusReads = 0;
        for (const auto &r : rig.machine.requests())
            statusReads += r.address == MachineController::StatusRegister;
        QCOMPARE(statusReads, polls);
        QCOMPARE(rig.machine.requests().size(), 1 + polls);
        QCOMPARE(rig.session.link().dialogue.running(), answer == MsgResult::Yes);
        if (!faults.isEmpty())
            QVERIFY(asked >= 60000 && asked < 61000);
        rig.session.link().dialogue.stop();
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
