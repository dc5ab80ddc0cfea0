#include "DeskRig.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QAction>
#include <QTest>

// The SMS desk inside the station's polling ticks, against the simulated modem; and "Exit",
// which ends the program whatever it is waiting for: the wait gives up at once, nothing more
// reaches the modem, and the exit sequence ends the program one second later.
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
        QVERIFY(r.startAndPoll());
        QVERIFY(r.runFirstTick());

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

        QCOMPARE(r.station.ProgressBar1->level() * 100 + r.station.ProgressBar2->level(), 2323);
        QVERIFY(r.station.ProgressBar2->isVisibleTo(&r.station));
        QVERIFY(r.station.mnuCall->isEnabled() && r.station.mnuSSMS->isEnabled());
        QCOMPARE(r.tray.icon() * 10 + r.tray.state(), 11);
        QCOMPARE(r.station.Label1[3]->text(), QString(" OMNITEL"));
        QCOMPARE(r.tray.toolTip(), QString("Connect Home network"));

        r.viewer.Command1_Click();
        r.viewer.Command1_Click();
        QCOMPARE(r.events(),
                 QStringList({"+391|21/03/05 10:15|POWER OK", "+392|22/03/05 11:16|DOOR OPEN"}));
    }

    void exitEndsEveryWaitAtOnce_data()
    {
        QTest::addColumn<QString>("during");
        QTest::newRow("modem search: port 1 silent, the modem on port 2") << "discovery";
        QTest::newRow("the 15 s wait for the SMS listing") << "listing";
        QTest::newRow("the 30 s wait for a sent SMS's result") << "send";
    }
    void exitEndsEveryWaitAtOnce()
    {
        QFETCH(QString, during);
        DeskRig r;
        QList<qint64> ended;
        connect(&r.station, &FrmStGSM::ended, [&] { ended << r.now(); });
        qint64 exitAt = -1;
        qint64 waitEndedAt = -1;
        bool lingered = true; // the station, the port or the tray outlived "Exit" at once
        auto exitIn = [&](qint64 ms) {
            r.time.rt.post(ms, [&] {
                exitAt = r.now();
                r.console.loaded = true;
                r.station.mnuExit->trigger();
                lingered = r.station.state().StationActive || r.port.isOpen() || !r.tray.isVisible();
            });
        };
        if (during == "discovery") {
            r.modem.setSilent(true);
            r.port.plug(1, &r.modem);
            r.port.plug(2, &r.gsm);
            connect(&r.station.Timer1, &Timer::tick, [&] { waitEndedAt = r.now(); });
            QVERIFY(r.start());
            exitIn(1200); // while port 1 is tried at 9600 baud
        } else {
            QVERIFY(r.startAndPoll());
            QVERIFY(r.runUntil([&] { return r.count("AT+COPS?") == 1; }, 30'000));
        }
        if (during == "listing") {
            r.gsm.setOverride("AT+CMGL=\"ALL\"", QByteArray());
            connect(&r.station.Timer2, &Timer::tick, [&] { waitEndedAt = r.now(); });
            connect(&r.gsm, &ModemSim::commandReceived, [&](const QByteArray &line) {
                if (line == "AT+CMGL=\"ALL\"" && exitAt < 0)
                    exitIn(3000);
            });
        }
        if (during == "send") {
            r.store.failSends(SmsStore::SendFault::NoFinalOk);
            r.time.rt.post(100, [&] {
                r.sendWindow.opener().show();
                r.sendWindow.setNumber("+39333");
                r.sendWindow.setText("ALARM");
                exitIn(2000);
                r.sendWindow.Command1_Click();
                waitEndedAt = r.now();
            });
        }
        QVERIFY(r.runUntil([&] { return exitAt >= 0; }));
        const QByteArray written = r.port.written();
        const int opened = r.port.openAttempts().size();
        const int boxes = r.dialogs.shown().size();
        r.time.rt.runFor(30'000);

        QCOMPARE(waitEndedAt, exitAt);
        QCOMPARE(r.port.written(), written);
        QCOMPARE(r.port.openAttempts().size(), opened);
        QVERIFY(!r.port.isOpen());
        QCOMPARE(r.dialogs.shown().size(), boxes);
        if (during == "discovery")
            QCOMPARE(r.gsm.commands(), QList<QByteArray>());
        QCOMPARE(ended, QList<qint64>{exitAt + 1000});
        QCOMPARE(r.launcher.programs(),
                 QStringList({QDir(r.workFolder()).filePath("WINCORVANI.EXE")}));
        QVERIFY(!r.tray.isVisible() && !lingered && !r.station.Timer1.isEnabled());
        QCOMPARE(r.console.unloaded, 1);
        QCOMPARE(QDir::currentPath(), r.workFolder());
    }
};

QTEST_MAIN(DeskTest)
#include "tst_desk.moc"
