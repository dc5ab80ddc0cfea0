#include "DeskRig.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QTest>

// The SMS desk inside the station's polling ticks, against the simulated modem.
class DeskTest : public QObject
{
    Q_OBJECT

private slots:
    // A Telit modem lists without time stamps, so each message is read singly. Texts ending in
    // "OK", answers in 4-byte chunks: every answer still belongs to its own command.
    void telitReadsDeletesAndQueriesStayInStep()
    {
        GsmModemConfig cfg;
        cfg.manufacturer = "Telit_Mobile_Terminals";
        cfg.operatorName.clear(); // known by its code only: " OMNITEL"
        cfg.rssi = 23;
        DeskRig r(cfg);
        r.store.setForm(SmsStore::Form::Telit);
        r.store.receive("+391", "POWER OK", QDateTime(QDate(2005, 3, 21), QTime(10, 15)));
        r.store.receive("+392", "DOOR OPEN", QDateTime(QDate(2005, 3, 22), QTime(11, 16)));
        r.gsm.setChunking(4, 5);
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        QVERIFY(r.time.rt.runUntil(
            [&] { return r.count("AT+COPS?") == 1 && r.station.Timer2.isEnabled(); }, 30'000));

        const QList<QByteArray> tick = r.commands().mid(r.commands().indexOf("AT+CMGL=\"ALL\""));
        QCOMPARE(tick, QList<QByteArray>({"AT+CMGL=\"ALL\"", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                          "AT+CMGD=2"}) +
                           PollCommands);
        QCOMPARE(r.answerTo("AT+CMGR=1"),
                 QByteArray("\r\n+CMGR: \"REC READ\",\"+391\",,\"05/03/21,10:15:00+04\"\r\n"
                            "POWER OK\r\n\r\nOK\r\n"));
        QCOMPARE(r.answerTo("AT+CMGD=1"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(r.answerTo("AT+CMGD=2"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(r.rows(), QStringList({"1|+391|21/03/05|10:15|POWER OK",
                                        "2|+392|22/03/05|11:16|DOOR OPEN"}));
        QCOMPARE(r.store.count(), 0);

        QCOMPARE(r.station.ProgressBar1->level(), 23);
        QCOMPARE(r.station.Label1[3]->text(), QString(" OMNITEL"));
        QCOMPARE(r.tray.toolTip(), QString("Connect Home network"));

        r.viewer.Command1_Click();
        r.viewer.Command1_Click();
        QCOMPARE(r.events(),
                 QStringList({"+391|21/03/05 10:15|POWER OK", "+392|22/03/05 11:16|DOOR OPEN"}));
    }
};

QTEST_MAIN(DeskTest)
#include "tst_desk.moc"
