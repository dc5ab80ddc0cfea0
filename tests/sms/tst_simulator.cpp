#include "DemoData.h"
#include "SimulatedFleet.h"
#include "SmsRig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

namespace {
const QDateTime March21(QDate(2005, 3, 21), QTime(10, 15, 0));
}

// The simulated modem's SMS store answers as the text-mode standard writes it; the demo fleet
// and database give the operator a full window and a forward.
class SimulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void storeAnswers_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        const int G = int(SmsStore::Form::Generic);
        QTest::newRow("listing, empty alpha field")
            << G << QByteArray("AT+CMGL=\"ALL\"")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",,\"05/03/21,10:15:00+04\"\r\nA\r\n"
                          "+CMGL: 2,\"REC UNREAD\",\"+392\",,\"05/03/22,23:59:59-08\"\r\nB b\r\n"
                          "\r\nOK\r\n");
        QTest::newRow("listing without alpha field")
            << int(SmsStore::Form::GenericNoAlpha) << QByteArray("AT+CMGL=\"ALL\"")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",\"05/03/21,10:15:00+04\"\r\nA\r\n"
                          "+CMGL: 2,\"REC UNREAD\",\"+392\",\"05/03/22,23:59:59-08\"\r\nB b\r\n"
                          "\r\nOK\r\n");
        QTest::newRow("listing, Telit form")
            << int(SmsStore::Form::Telit) << QByteArray("AT+CMGL=\"ALL\"")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\"\r\nA\r\n"
                          "+CMGL: 2,\"REC UNREAD\",\"+392\"\r\nB b\r\n\r\nOK\r\n");
        QTest::newRow("listing of read messages only")
            << G << QByteArray("AT+CMGL=\"REC READ\"") << QByteArray("\r\nOK\r\n");
        QTest::newRow("listing of an unknown status")
            << G << QByteArray("AT+CMGL=\"NEW\"") << QByteArray("\r\n+CMS ERROR: 302\r\n");
        QTest::newRow("read")
            << G << QByteArray("AT+CMGR=2")
            << QByteArray("\r\n+CMGR: \"REC UNREAD\",\"+392\",,\"05/03/22,23:59:59-08\"\r\nB b\r\n"
                          "\r\nOK\r\n");
        QTest::newRow("read of an empty place")
            << G << QByteArray("AT+CMGR=9") << QByteArray("\r\n+CMS ERROR: 321\r\n");
        QTest::newRow("delete") << G << QByteArray("AT+CMGD=1") << QByteArray("\r\nOK\r\n");
        QTest::newRow("delete of an empty place")
            << G << QByteArray("AT+CMGD=9") << QByteArray("\r\n+CMS ERROR: 321\r\n");
        QTest::newRow("send prompts for the text")
            << G << QByteArray("AT+CMGS=\"+39333\"") << QByteArray("\r\n> ");
    }
    void storeAnswers()
    {
        QFETCH(int, form);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        SmsRig r;
        r.store.setForm(SmsStore::Form(form));
        r.store.receive("+391", "A", March21);
        r.store.receive("+392", "B b", March21.addDays(1).addSecs(13 * 3600 + 44 * 60 + 59), -8);
        r.at.exchange(command, 1000, QList<QByteArray>{});
        QCOMPARE(r.at.buffer(), answer);
    }

    void aListedMessageIsListedAsReadAfterwards()
    {
        SmsRig r;
        r.store.receive("+391", "A", March21);
        r.at.exchange("AT+CMGL=\"REC UNREAD\"", 1000, {OK_CRLF});
        QCOMPARE(r.at.exchange("AT+CMGL=\"ALL\"", 1000, {OK_CRLF}), 0);
        QVERIFY(r.at.buffer().startsWith("\r\n+CMGL: 1,\"REC READ\",\"+391\""));
    }

    void sendingEndsAsTheFaultSays_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("stored");
        QTest::newRow("accepted") << int(SmsStore::SendFault::None)
                                  << QByteArray("\r\n> \r\n+CMGS: 1\r\n\r\nOK\r\n") << 1;
        QTest::newRow("no prompt") << int(SmsStore::SendFault::NoPrompt) << QByteArray() << 0;
        QTest::newRow("ERROR after the text")
            << int(SmsStore::SendFault::Error) << QByteArray("\r\n> \r\n+CMS ERROR: 500\r\n") << 0;
        QTest::newRow("no final result")
            << int(SmsStore::SendFault::NoFinalOk) << QByteArray("\r\n> ") << 0;
    }
    void sendingEndsAsTheFaultSays()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, answer);
        QFETCH(int, stored);
        SmsRig r;
        r.store.failSends(SmsStore::SendFault(fault));
        r.port.write("AT+CMGS=\"+39333\"\rhello\x1a");
        r.time.rt.runFor(1000);
        QCOMPARE(r.port.readAll(), answer);
        QCOMPARE(r.store.sent().size(), stored);
    }

    void theDemoFleetFillsTheWindowAndAForwardReachesTheOperator()
    {
        SmsRig r;
        {
            SqlMachineDb db(r.dbPath());
            QVERIFY(db.open());
            QVERIFY(DemoData::seed(db));
        }
        SimulatedFleet fleet(r.store, r.clock, {DemoData::machineNumbers().at(0)},
                             DemoData::strangerNumber());
        fleet.start(1000, 1000, 1000);
        r.time.rt.runFor(2500);
        QCOMPARE(fleet.sent(), 2);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.viewer.queued(), 2);
        QVERIFY(r.viewer.machineShown());
        QCOMPARE(r.viewer.Label1[1]->text(), QString("Coffee 1 - hall"));
        const QString alarm = r.viewer.TextSms->toPlainText();
        QVERIFY(alarm.startsWith("ALARM "));

        r.viewer.Command2_Click();
        QCOMPARE(r.send.Text1->text(), QString("+393489990001"));
        QCOMPARE(r.send.text(), "Bar Centrale\r\nVia Roma 12\r\nTorino\r\n011 5550112\r\n"
                                "Coffee 1 - hall\r\n" +
                                    alarm);
        r.send.close();

        r.viewer.Command1_Click();
        QCOMPARE(r.viewer.Label2[0]->text(), QString::fromLatin1(DemoData::strangerNumber()));
        QVERIFY(!r.viewer.machineShown());
    }
};

QTEST_MAIN(SimulatorTest)
#include "tst_simulator.moc"
