#include "ConsoleRig.h"
#include "DemoScripts.h"
#include "MachineFiles.h"

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

    void carrierLossHangsUp()
    {
        ConsoleRig rig;
        rig.session.Command2_Click();
        rig.time.rt.runFor(20000);
        rig.modem.dropCall();
        QVERIFY(rig.settle());
        QCOMPARE(rig.dialogs.boxes().value(0), QStringLiteral("|Lost Connection|Critical|Ok"));
        QVERIFY(!rig.session.call().LinkActive);
        QVERIFY(!rig.session.link().engine.Timer8.isEnabled());
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

    void selectAgainstTheSnapshot_data()
    {
        QTest::addColumn<bool>("snapshot");
        QTest::addColumn<bool>("differs");
        QTest::addColumn<QString>("box");
        QTest::newRow("identical to the snapshot")
            << true << false << "| No differents found! |Information|Ok";
        QTest::newRow("no snapshot yet")
            << false << false << "| File 3351234567 Not Found |Critical|Ok";
        QTest::newRow("one byte differs: written, then the reset at once")
            << true << true << "|Command RESET Sent |Information|Ok";
    }
    void selectAgainstTheSnapshot()
    {
        QFETCH(bool, snapshot);
        QFETCH(bool, differs);
        QFETCH(QString, box);
        ConsoleRig rig;
        QByteArray image = rig.machine.memory(1).left(12928);
        if (snapshot)
            QVERIFY(MachineFiles::saveSnapshotFile(
                        MachineFiles::snapshotPath(rig.programFolder(), "3351234567"), image)
                        .ok());
        if (differs)
            image[5000] = char(~image.at(5000));
        QVERIFY(rig.writeFile("new.cfx", image));
        rig.dialogs.chooseFileNext(rig.file("new.cfx"));
        rig.session.Command8_Click();
        QVERIFY(rig.settle());
        QCOMPARE(rig.commands().isEmpty(), !differs);
        QCOMPARE(rig.dialogs.boxes(), QStringList{box});
        QCOMPARE(rig.machine.byteAt(1, 5000), quint8(image.at(5000)));
    }

    // Nothing is dialled for a cancelled choice (a pattern kept as the name) or a refused file.
    void noDialForTheChosenFile_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // empty: no file written
        QTest::addColumn<QString>("box");      // empty: a cancel
        QTest::newRow("All: *.prm typed as a name") << 7 << "*.prm" << QByteArray() << "";
        QTest::newRow("All: cancelled") << 7 << "" << QByteArray() << "";
        QTest::newRow("Telemetry write: *.tlm") << 12 << "*.tlm" << QByteArray() << "";
        // Which files are refused is the readers' own test; here, that the box stops the dial.
        QByteArray badSum = MachineFiles::interleave(QByteArray(700, 'x'), [] { return 1; });
        badSum[10] = char(badSum[10] + 1);
        QTest::newRow(".tlm with a bad checksum")
            << 12 << "b.tlm" << badSum << "ERROR| Attention : Error File!!  |Critical|Ok";
        QByteArray prm = MachineFiles::interleave(QByteArray(13004, 'y'), [] { return 2; });
        prm[100] = char(prm[100] + 1);
        QTest::newRow(".prm with a bad checksum")
            << 7 << "c.prm" << prm << "| Attention : Error File!!  |Exclamation|Ok";
    }
    void noDialForTheChosenFile()
    {
        QFETCH(int, command);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, box);
        ConsoleRig rig;
        if (!bytes.isEmpty())
            QVERIFY(rig.writeFile(name, bytes));
        rig.dialogs.chooseFileNext(name.isEmpty() ? QString() : rig.file(name));
        if (command == 7)
            rig.session.Command7_Click();
        else
            rig.session.Command12_Click();
        QCOMPARE(rig.dialogs.boxes(), box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(rig.session.call().FileCancelled, box.isEmpty());
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

    // --- Pointer read and audit ----------------------------------------------------------------

    void pointerReadFailures_data()
    {
        QTest::addColumn<int>("silentReads"); // pointer requests that get no answer
        QTest::addColumn<bool>("junk");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("two time-outs, then success") << 2 << false << true;
        QTest::newRow("three time-outs fail") << 3 << false << false;
        QTest::newRow("junk before SOH three times fails") << 0 << true << false;
        QTest::newRow("garbage ending in EOT, without SOH, fails") << -1 << false << false;
    }
    void pointerReadFailures()
    {
        QFETCH(int, silentReads);
        QFETCH(bool, junk);
        QFETCH(bool, succeeds);
        ConsoleRig rig;
        int pointerReads = 0;
        rig.tamper = [&](const QByteArray &b) {
            const bool pointer = b.size() == 38 && rig.session.call().mode == TransferMode::ReadAudit &&
                                 !rig.session.link().engine.Timer.isEnabled() && !rig.session.link().engine.sending();
            if (pointer && silentReads < 0)
                return QByteArray("\x7f\xffgarbage\x04");
            if (pointer && pointerReads++ < silentReads)
                return QByteArray();
            return pointer && junk ? "zz" + b : b;
        };
        rig.session.Command9_Click();
        QVERIFY(rig.settle());
        if (succeeds) {
            QCOMPARE(rig.session.call().MapLines.at(29).section(u',', 0, 0), QStringLiteral("2"));
            QCOMPARE(rig.session.call().MapLines.at(29).section(u',', 2), QStringLiteral("16"));
            QCOMPARE(rig.session.link().engine.passCount(), 2); // 256 + 186 frames, each batch one pause
            QCOMPARE(rig.dialogs.shown().last().title, QStringLiteral("Audit Eva_Dts(*.txt)"));
            return;
        }
        QCOMPARE(rig.dialogs.boxes().first(),
                 QStringLiteral("|Error Comunication Failed|Critical|Ok"));
        QVERIFY(!rig.modem.callUp());
        QCOMPARE(rig.machine.requests().size(), silentReads > 0 ? 3 : 6);
    }

    // A full audit read ends in the file the converter makes of the same framed image; the
    // erase is offered only after a clean conversion.
    void auditReadAndConversion_data()
    {
        QTest::addColumn<bool>("brokenScript");
        QTest::addColumn<MsgResult>("erase");
        QTest::addColumn<QString>("box");
        const QString question =
            "ERASE Corridor A (3351234567)|ERASE Erasable DATA ? |Question|YesNo";
        QTest::newRow("converted, erase Yes") << false << MsgResult::Yes << question;
        QTest::newRow("converted, erase No") << false << MsgResult::No << question;
        QTest::newRow("a script line fails: no erase offered")
            << true << MsgResult::Yes << "|  Conversion not Resolution |Critical|Ok";
    }
    void auditReadAndConversion()
    {
        QFETCH(bool, brokenScript);
        QFETCH(MsgResult, erase);
        QFETCH(QString, box);
        ConsoleRig rig;
        QVERIFY(DemoScripts::install(rig.programFolder()));
        if (brokenScript) {
            QFile script(rig.file("decod.asm"));
            QVERIFY(script.open(QIODevice::Append));
            script.write("ID1,NO_SUCH_NAME\r\n"); // a name address.asm does not hold
        }
        rig.dialogs.chooseFileNext(rig.file("audit"));
        rig.dialogs.answerNext(erase);
        rig.session.Command9_Click();
        QVERIFY(rig.settle());
        rig.time.rt.runFor(1000); // the erase goes out on the dialogue's next tick
        QCOMPARE(rig.dialogs.boxes(), QStringList{box});
        QCOMPARE(rig.machine.eraseCount(), !brokenScript && erase == MsgResult::Yes ? 1 : 0);
        QCOMPARE(rig.session.lastAudit().path, rig.file("audit.txt"));
        QCOMPARE(rig.session.lastAudit().converted, !brokenScript);
        QCOMPARE(rig.session.call().AuditImageLength, 6635);
        QCOMPARE(rig.session.call().AuditImage.size(), 6635);
        QFile a(rig.file("audit.txt"));
        QVERIFY(a.open(QIODevice::ReadOnly));
        QVERIFY(a.readAll().startsWith("ID1*"));
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
