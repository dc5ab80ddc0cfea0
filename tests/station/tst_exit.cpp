#include "DeskRig.h"
#include "TrayIcon.h"

#include <QAction>

// "Exit" ends the program whatever it is waiting for: the wait gives up at once, nothing more
// reaches the modem, and the exit sequence ends the program one second later.
class ExitTest : public QObject
{
    Q_OBJECT

private slots:
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
        auto exitIn = [&](qint64 ms) {
            r.time.rt.post(ms, [&] {
                exitAt = r.now();
                r.station.mnuExit->trigger();
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
            QVERIFY(r.start());
            QVERIFY(r.runUntilPolling());
            QVERIFY(r.time.rt.runUntil([&] { return r.count("AT+COPS?") == 1; }, 30'000));
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
        QVERIFY(r.time.rt.runUntil([&] { return exitAt >= 0; }, 60'000));
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
        QVERIFY(!r.tray.isVisible());
    }
};

QTEST_MAIN(ExitTest)
#include "tst_exit.moc"
