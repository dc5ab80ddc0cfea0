#include "SmsRig.h"

#include <QTest>
#include <QTreeWidget>

namespace {
const QDateTime March21(QDate(2005, 3, 21), QTime(10, 15, 0));

QStringList rows(const FrmSms &w)
{
    QStringList out;
    for (int i = 0; i < w.ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *it = w.ListView1->topLevelItem(i);
        out << QStringList{it->text(0), it->text(1), it->text(2), it->text(3), it->text(4)}.join(
            '|');
    }
    return out;
}
} // namespace

// Reception at a polling tick, against the simulated modem's store, on virtual time.
class ReceptionTest : public QObject
{
    Q_OBJECT

private slots:
    void anEmptyStoreWritesNothingAndOpensNothing()
    {
        SmsRig r;
        r.reception.CONTROLLASMS();
        QCOMPARE(r.modem.commands(), QList<QByteArray>{"AT+CMGL=\"ALL\""});
        QVERIFY(!QFile::exists(r.logPath("SMR2612.log")));
        QVERIFY(!r.viewer.isLoaded());
        QVERIFY(!r.viewer.isVisible());
    }

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
            "\r\nOK\r\n";
        // Nothing may be deleted before its listing is safely in the log.
        QByteArray loggedAtFirstDeletion;
        QObject::connect(&r.modem, &ModemSim::commandReceived, [&](const QByteArray &line) {
            if (line.startsWith("AT+CMGD") && loggedAtFirstDeletion.isEmpty())
                loggedAtFirstDeletion = r.log("SMR2612.log");
        });
        // One byte at a time: texts reading ERROR and OK are judged at every length.
        r.modem.setChunking(1, 1);

        r.reception.CONTROLLASMS();

        QCOMPARE(r.log("SMR2612.log"), expected + "\r\n");
        QCOMPARE(loggedAtFirstDeletion, expected + "\r\n");
        QCOMPARE(r.commands("AT+CMGD"), QList<QByteArray>({"AT+CMGD=1", "AT+CMGD=2", "AT+CMGD=3"}));
        QCOMPARE(r.store.count(), 0);
        QCOMPARE(rows(r.viewer),
                 QStringList({"1|+393470000001|21/03/05|10:15:00|ALARM 12 door open",
                              "2|+393470000002|21/03/05|10:16:01|ERROR",
                              "3|+393470000003|22/03/05|10:15:00|OK"}));
        QVERIFY(r.viewer.isVisible());
    }

    void aLaterPollPutsItsMessagesOnTopInListingOrder()
    {
        SmsRig r;
        r.store.receive("+391", "first", March21);
        r.reception.CONTROLLASMS();
        r.store.receive("+392", "second", March21);
        r.store.receive("+393", "third", March21);
        r.reception.CONTROLLASMS();
        QCOMPARE(rows(r.viewer),
                 QStringList({"1|+392|21/03/05|10:15:00|second", "2|+393|21/03/05|10:15:00|third",
                              "1|+391|21/03/05|10:15:00|first"}));
        QCOMPARE(r.viewer.Label2[0]->text(), QString("+392"));
    }

    void aFailedListingLogsAndDeletesNothing_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<qint64>("duration");
        QTest::newRow("ERROR") << QByteArray("\r\nERROR\r\n") << qint64(20);
        QTest::newRow("+CMS ERROR") << QByteArray("\r\n+CMS ERROR: 500\r\n") << qint64(20);
        QTest::newRow("silence") << QByteArray() << qint64(15000);
        QTest::newRow("listing never ended")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"05/03/21,10:15:00+04\"\r\nA\r\n")
            << qint64(15000);
    }
    void aFailedListingLogsAndDeletesNothing()
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
        QCOMPARE(r.store.count(), 1);
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

    void aNewMonthStartsANewLog()
    {
        SmsRig r;
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        r.clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 5)));
        r.store.receive("+392", "B", March21);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.log("SMR2612.log"),
                 QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",,\"05/03/21,10:15:00+04\"\r\nA"
                            "\r\n\r\nOK\r\n\r\n"));
        QCOMPARE(r.log("SMR2701.log"),
                 QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+392\",,\"05/03/21,10:15:00+04\"\r\nB"
                            "\r\n\r\nOK\r\n\r\n"));
    }

    void whenTheLogCannotBeWrittenTheMessagesStayInTheModem()
    {
        SmsRig r;
        QDir(r.workFolder()).mkdir("SMR2612.log"); // a folder where the file should be
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        r.reception.CONTROLLASMS();
        QCOMPARE(r.commands("AT+CMGD"), QList<QByteArray>());
        QCOMPARE(r.store.count(), 1);
        QVERIFY(!r.viewer.isLoaded());
        // Told once, not at every tick.
        QCOMPARE(r.dialogs.messages().size(), 1);
        QVERIFY(r.dialogs.messages().at(0).startsWith(
            "Error|The received SMS cannot be written to " +
            QDir::toNativeSeparators(r.logPath("SMR2612.log"))));
        QVERIFY(r.dialogs.messages().at(0).endsWith(
            ".\r\nThey stay in the modem until the log can be written."));

        QDir(r.workFolder()).rmdir("SMR2612.log");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.commands("AT+CMGD"), QList<QByteArray>{"AT+CMGD=1"});
        QCOMPARE(r.store.count(), 0);
    }

    void unparsableHeadersAreStillDeleted()
    {
        SmsRig r;
        r.modem.setOverride("AT+CMGL=\"ALL\"",
                            "\r\n+CMGL: 4,\"REC UNREAD\"\r\ngarbled\r\n"
                            "+CMGL: 6,\"REC UNREAD\",\"+39\",,\"05/03/21,10:15:00+04\"\r\nA\r\n"
                            "\r\nOK\r\n");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.commands("AT+CMGD"), QList<QByteArray>({"AT+CMGD=4", "AT+CMGD=6"}));
        QCOMPARE(rows(r.viewer), QStringList{"6|+39|21/03/05|10:15:00|A"});
    }

    void theTelitPathReadsEachMessageForItsTimeStamp()
    {
        SmsRig r;
        modPublic().Manufacturer = "Telit_Mobile_Terminals";
        r.store.setForm(SmsStore::Form::Telit);
        r.store.receive("+391", "A", March21);
        r.store.receive("+392", "B", March21.addDays(3).addSecs(3600 + 59));
        r.store.receive("+393", "C", March21);
        // The third read is not answered: it keeps the second message's date and time.
        r.modem.setOverride("AT+CMGR=3", "");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.commands("AT+CM"),
                 QList<QByteArray>({"AT+CMGL=\"ALL\"", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                    "AT+CMGD=2", "AT+CMGR=3", "AT+CMGD=3"}));
        QCOMPARE(rows(r.viewer), QStringList({"1|+391|21/03/05|10:15|A", "2|+392|24/03/05|11:15|B",
                                              "3|+393|24/03/05|11:15|C"}));
    }
};

QTEST_MAIN(ReceptionTest)
#include "tst_reception.moc"
