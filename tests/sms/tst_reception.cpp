#include "DemoData.h"
#include "SimulatedFleet.h"
#include "SmsRig.h"

#include <QTest>

// Reception at a polling tick, against the simulated modem's store, on virtual time.
class ReceptionTest : public QObject
{
    Q_OBJECT

private slots:
    void threeMessagesAreLoggedQueuedAndDeleted()
    {
        SmsRig r;
        r.store.receive("+393470000001", "ALARM 12 door open", March21);
        r.store.receive("+393470000002", "ERROR", March21.addSecs(61));
        r.store.receive("+393470000003", "OK", March21.addDays(1));
        const QByteArray expected =
            "\r\n+CMGL: 1,\"REC UNREAD\",\"+393470000001\",,\"05/03/21,10:15:00+04\"\r\n"
            "ALARM 12 door open\r\n"
            "+CMGL: 2,\"REC UNREAD\",\"+393470000002\",,\"05/03/21,10:16:01+04\"\r\nERROR\r\n"
            "+CMGL: 3,\"REC UNREAD\",\"+393470000003\",,\"05/03/22,10:15:00+04\"\r\nOK\r\n"
            "\r\nOK\r\n\r\n";
        // Nothing may be deleted before its listing is safely in the log.
        QByteArray loggedAtFirstDeletion;
        QObject::connect(&r.modem, &ModemSim::commandReceived, [&](const QByteArray &line) {
            if (line.startsWith("AT+CMGD") && loggedAtFirstDeletion.isEmpty())
                loggedAtFirstDeletion = r.log("SMR2612.log");
        });
        // One byte at a time: texts reading ERROR and OK are judged at every length.
        r.modem.setChunking(1, 1);

        r.reception.CONTROLLASMS();

        QCOMPARE(r.log("SMR2612.log"), expected);
        QCOMPARE(loggedAtFirstDeletion, expected);
        QCOMPARE(r.store.deleted(), QList<int>({1, 2, 3}));
        QCOMPARE(r.rows(), QStringList({"1|+393470000001|21/03/05|10:15:00|ALARM 12 door open",
                                        "2|+393470000002|21/03/05|10:16:01|ERROR",
                                        "3|+393470000003|22/03/05|10:15:00|OK"}));
        QVERIFY(r.viewer.isVisible());
    }

    // A later poll in a new month, from a modem that lists no alpha field: a new log file, and
    // its messages on top of the queue.
    void aNewMonthStartsANewLogAndItsMessagesGoOnTop()
    {
        SmsRig r;
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        r.clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 5)));
        r.store.setForm(SmsStore::Form::GenericNoAlpha);
        r.store.receive("+392", "B", March21);
        r.store.receive("+393", "C", March21, -8);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.log("SMR2612.log"),
                 QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",,\"05/03/21,10:15:00+04\"\r\nA"
                            "\r\n\r\nOK\r\n\r\n"));
        QCOMPARE(r.log("SMR2701.log"),
                 QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+392\",\"05/03/21,10:15:00+04\"\r\nB"
                            "\r\n+CMGL: 2,\"REC UNREAD\",\"+393\",\"05/03/21,10:15:00-08\"\r\nC"
                            "\r\n\r\nOK\r\n\r\n"));
        QCOMPARE(r.rows(), QStringList({"1|+392|21/03/05|10:15:00|B", "2|+393|21/03/05|10:15:00|C",
                                        "1|+391|21/03/05|10:15:00|A"}));
    }

    // An answer holding no message, a failure, or silence: nothing logged, deleted or opened.
    void aListingWithoutMessagesLogsDeletesAndOpensNothing_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<qint64>("duration");
        QTest::newRow("empty store: OK alone") << QByteArray("\r\nOK\r\n") << qint64(20);
        QTest::newRow("ERROR") << QByteArray("\r\nERROR\r\n") << qint64(20);
        QTest::newRow("silence") << QByteArray() << qint64(15000);
        QTest::newRow("listing never ended")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"05/03/21,10:15:00+04\"\r\nA\r\n")
            << qint64(15000);
    }
    void aListingWithoutMessagesLogsDeletesAndOpensNothing()
    {
        QFETCH(QByteArray, answer);
        QFETCH(qint64, duration);
        SmsRig r;
        r.store.receive("+391", "A", March21);
        r.modem.setOverride("AT+CMGL=\"ALL\"", answer);
        const qint64 start = r.now();
        r.reception.CONTROLLASMS();
        QCOMPARE(r.now() - start, duration);
        QCOMPARE(r.modem.commands(), QList<QByteArray>{"AT+CMGL=\"ALL\""});
        QVERIFY(!QFile::exists(r.logPath("SMR2612.log")));
        QVERIFY(!r.viewer.isLoaded());
    }

    void nothingIsSentWhileTheStationMayNotUseThePort()
    {
        SmsRig r;
        r.comOK = false;
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.port.written(), QByteArray());
    }

    void whenTheLogCannotBeWrittenTheMessagesStayInTheModem()
    {
        SmsRig r;
        QDir(r.workFolder()).mkdir("SMR2612.log"); // a folder where the file should be
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        r.reception.CONTROLLASMS();
        QCOMPARE(r.store.deleted(), QList<int>());
        QVERIFY(!r.viewer.isLoaded());
        // Told once, not at every tick.
        QCOMPARE(r.dialogs.boxes(),
                 QStringList{"Error|The received SMS cannot be written to " +
                             QDir::toNativeSeparators(r.logPath("SMR2612.log")) +
                             " (Is a directory).\r\nThey stay in the modem until the log can be "
                             "written.|Exclamation|Ok"});
        QDir(r.workFolder()).rmdir("SMR2612.log");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.store.deleted(), QList<int>{1});
    }

    // Line noise around and inside a listing: only messages the listing genuinely holds are
    // deleted. Message 2 is in the store but not listed, and the noise names its index.
    void noiseNeverDeletesWhatWasNotListed_data()
    {
        QTest::addColumn<QByteArray>("before");     // noise before the first real header
        QTest::addColumn<QByteArray>("between");    // noise between the two real messages
        QTest::addColumn<QByteArray>("finalLines"); // the end of the answer
        QTest::addColumn<QList<int>>("deleted");
        const QByteArray ok = "\r\n\r\nOK\r\n";
        const QByteArray stamp = ",,\"05/03/21,10:16:00+04\"";
        auto row = [&](const char *name, const QByteArray &before, const QByteArray &between,
                       const QByteArray &end, bool received) {
            QTest::newRow(name) << before << between << end
                                << (received ? QList<int>{1, 3} : QList<int>{});
        };
        row("a header fragment in a garbled line", "\r\n\x8c\xff+CMGL: 2,\"REC", "", ok, true);
        row("an absurd index", "",
            "\r\n+CMGL: 999999999999999999,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX", ok, true);
        row("a header glued to noise inside a line", "",
            "\r\n#\x03+CMGL: 2,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX", ok, true);
        row("a garbled status", "\r\n+CMGL: 2,\"REC U\xd2READ\",\"+392\"" + stamp + "\r\nX", "", ok,
            true);
        row("no blank before the index", "",
            "\r\n+CMGL:2,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX", ok, true);
        row("a header without its number", "", "\r\n+CMGL: 2,\"REC UNREAD\"\r\nX", ok, true);
        row("a header after the final OK", "", "",
            ok + "+CMGL: 2,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX\r\n", true);
        // Genuinely listed, so deleted as ever; its raw text stays in the log.
        QTest::newRow("a listed header without its time stamp is deleted, not shown")
            << QByteArray() << QByteArray("\r\n+CMGL: 2,\"REC UNREAD\",\"+392\"\r\nPOWER FAIL")
            << ok << QList<int>{1, 2, 3};
        row("a garbled final OK: the listing never ends", "", "\r\n+CMGL: 2,\"REC",
            "\r\n\r\nO\xcbK\r\n", false);
    }
    void noiseNeverDeletesWhatWasNotListed()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, between);
        QFETCH(QByteArray, finalLines);
        QFETCH(QList<int>, deleted);
        SmsRig r;
        r.store.receive("+391", "DOOR OPEN", March21);
        r.store.receive("+392", "POWER FAIL", March21.addSecs(60));
        r.store.receive("+393", "COIN JAM", March21.addSecs(120));
        r.modem.setOverride(
            "AT+CMGL=\"ALL\"",
            before + "\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",,\"05/03/21,10:15:00+04\"\r\nDOOR OPEN" +
                between +
                "\r\n+CMGL: 3,\"REC UNREAD\",\"+393\",,\"05/03/21,10:17:00+04\"\r\nCOIN JAM" +
                finalLines);
        r.reception.CONTROLLASMS();
        QList<int> deletes;
        for (const QByteArray &c : r.modem.commands())
            if (c.startsWith("AT+CMGD="))
                deletes << c.mid(8).toInt();
        QCOMPARE(deletes, deleted);
        QCOMPARE(r.store.count(), 3 - deleted.size());
        if (!deleted.isEmpty()) {
            QCOMPARE(r.rows(), QStringList({"1|+391|21/03/05|10:15:00|DOOR OPEN",
                                            "3|+393|21/03/05|10:17:00|COIN JAM"}));
            QVERIFY(r.log("SMR2612.log").contains(before + "\r\n+CMGL: 1,"));
        } else {
            QVERIFY(!r.viewer.isLoaded());
        }
    }

    void theTelitPathReadsEachMessageForItsTimeStamp()
    {
        SmsRig r;
        r.stationState.Manufacturer = "Telit_Mobile_Terminals";
        r.store.setForm(SmsStore::Form::Telit);
        r.store.receive("+391", "A", March21);
        r.store.receive("+392", "B", March21.addDays(3).addSecs(3600 + 59));
        r.store.receive("+393", "C", March21);
        // The third read is not answered: it keeps the second message's date and time.
        r.modem.setOverride("AT+CMGR=3", "");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.modem.commands(),
                 QList<QByteArray>({"AT+CMGL=\"ALL\"", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                    "AT+CMGD=2", "AT+CMGR=3", "AT+CMGD=3"}));
        QCOMPARE(r.rows(), QStringList({"1|+391|21/03/05|10:15|A", "2|+392|24/03/05|11:15|B",
                                        "3|+393|24/03/05|11:15|C"}));
    }

    // The demo: alarms from the fleet reach the queue, the second from a number nobody knows,
    // and the demo database knows the first machine.
    void theDemoFleetsAlarmsReachTheQueue()
    {
        SmsRig r;
        {
            SqlMachineDb db(r.dbPath());
            QVERIFY(db.open());
            QVERIFY(DemoData::seed(db));
        }
        SimulatedFleet fleet(r.store, r.clock, {"+393471110001"}, DemoData::strangerNumber());
        fleet.start(1000, 1000, 1000);
        r.time.rt.runFor(2500);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.rows(),
                 QStringList({"1|+393471110001|05/12/26|09:00:01|ALARM 15 TEMPERATURE HIGH",
                              "2|+393339876543|05/12/26|09:00:02|ALARM 11 DOOR OPEN"}));
        QCOMPARE(r.viewer.Label1[1]->text(), QString("Coffee 1 - hall"));
    }
};

QTEST_MAIN(ReceptionTest)
#include "tst_reception.moc"
