#include "SignalBar.h"
#include "StationRig.h"
#include "TrayIcon.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

// Network polling: what each answer shows, and when the station gives the modem up.
class PollingTest : public QObject
{
    Q_OBJECT

    // Runs one polling tick after start-up (the first comes one second after the identity).
    static void pollOnce(StationRig &r)
    {
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        QVERIFY(r.time.rt.runUntil(
            [&] { return r.count("AT+COPS?") == 1 && r.station.Timer2.isEnabled(); }, 30'000));
    }

private slots:
    void registration_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<int>("state");
        QTest::newRow("0 not registered") << 0 << "NO connect" << 0;
        QTest::newRow("1 home network") << 1 << "Connect Home network" << 1;
        QTest::newRow("2 searching") << 2 << "Searching operator" << 0;
        QTest::newRow("3 denied") << 3 << "Operator registration denied" << 0;
        QTest::newRow("4 unknown") << 4 << "Unknown" << 0;
        QTest::newRow("5 roaming works like home") << 5 << "Connect Roaming network" << 1;
        QTest::newRow("7 any other: empty tip") << 7 << "" << 0;
    }
    void registration()
    {
        QFETCH(int, status);
        QFETCH(QString, toolTip);
        QFETCH(int, state);
        StationRig r;
        r.gsm.setOverride("AT+CREG?",
                          "\r\n+CREG: 0," + QByteArray::number(status) + "\r\n\r\nOK\r\n");
        pollOnce(r);
        QCOMPARE(r.tray.toolTip(), toolTip);
        QCOMPARE(r.tray.state(), state);
        QCOMPARE(r.tray.icon(), 1);
        QCOMPARE(r.station.mnuCall->isEnabled(), state == 1);
        QCOMPARE(r.station.mnuSSMS->isEnabled(), state == 1);
        QVERIFY(r.station.Timer2.isEnabled());
        QCOMPARE(r.station.Timer2.interval(), 10000);
        QVERIFY(r.station.Timer6.isEnabled());
    }

    void signalAndGprs_data()
    {
        QTest::addColumn<QByteArray>("csq");
        QTest::addColumn<QByteArray>("cgatt");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("gprsShown");
        QTest::newRow("17 attached")
            << QByteArray("+CSQ: 17,0") << QByteArray("+CGATT: 1") << 17 << true;
        QTest::newRow("99,99 unknown gives 3 in both bars")
            << QByteArray("+CSQ: 99,99") << QByteArray("+CGATT: 1") << 3 << true;
        QTest::newRow("31 detached hides the GPRS bar")
            << QByteArray("+CSQ: 31,99") << QByteArray("+CGATT: 0") << 31 << false;
    }
    void signalAndGprs()
    {
        QFETCH(QByteArray, csq);
        QFETCH(QByteArray, cgatt);
        QFETCH(int, level);
        QFETCH(bool, gprsShown);
        StationRig r;
        r.gsm.setOverride("AT+CSQ", "\r\n" + csq + "\r\n\r\nOK\r\n");
        r.gsm.setOverride("AT+CGATT?", "\r\n" + cgatt + "\r\n\r\nOK\r\n");
        pollOnce(r);
        QCOMPARE(r.station.ProgressBar1->level(), level);
        QCOMPARE(r.station.ProgressBar2->level(), level);
        QCOMPARE(r.station.ProgressBar2->isVisibleTo(&r.station), gprsShown);
    }

    void operatorName_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("label");
        QTest::newRow("numeric 22210 is OMNITEL")
            << QByteArray("+COPS: 0,2,\"22210\"") << " OMNITEL";
        QTest::newRow("numeric 22201 is TIM") << QByteArray("+COPS: 0,2,\"22201\"") << " TIM";
        QTest::newRow("numeric 22288 is WIND") << QByteArray("+COPS: 0,2,\"22288\"") << " WIND";
        QTest::newRow("numeric 22298 is BLUE") << QByteArray("+COPS: 0,2,\"22298\"") << " BLUE";
        QTest::newRow("other Italian code")
            << QByteArray("+COPS: 0,2,\"22250\"") << " Operator n\u00B050";
        QTest::newRow("name without 222 is unidentified")
            << QByteArray("+COPS: 0,0,\"GSM OPERATOR\"") << " Unidentified";
        QTest::newRow("no quoted operator leaves the label") << QByteArray("+COPS: 0") << "";
    }
    void operatorName()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, label);
        StationRig r;
        r.gsm.setOverride("AT+COPS?", "\r\n" + answer + "\r\n\r\nOK\r\n");
        pollOnce(r);
        QCOMPARE(r.station.Label1[3]->text(), label);
    }

    void lossOfConnection_data()
    {
        QTest::addColumn<QList<QByteArray>>("silent");
        QTest::addColumn<QByteArray>("errorTo");
        QTest::addColumn<bool>("lost");
        QTest::newRow("two time-outs are tolerated")
            << QList<QByteArray>{"AT+CGATT?", "AT+CSQ"} << QByteArray() << false;
        QTest::newRow("three time-outs lose the modem")
            << QList<QByteArray>{"AT+CGATT?", "AT+CSQ", "AT+COPS?"} << QByteArray() << true;
        QTest::newRow("four time-outs lose the modem") << PollCommands << QByteArray() << true;
        QTest::newRow("ERROR to the registration query")
            << QList<QByteArray>{} << QByteArray("AT+CREG?") << true;
        QTest::newRow("ERROR to the operator query")
            << QList<QByteArray>{} << QByteArray("AT+COPS?") << true;
    }
    void lossOfConnection()
    {
        QFETCH(QList<QByteArray>, silent);
        QFETCH(QByteArray, errorTo);
        QFETCH(bool, lost);
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        for (const auto &c : silent)
            r.gsm.setOverride(c, QByteArray());
        if (!errorTo.isEmpty())
            r.gsm.setOverride(errorTo, "\r\nERROR\r\n");
        const qint64 tick = r.now() + 1000;
        r.time.rt.runFor(1000 + 2000 * silent.size() + 100);
        if (lost) {
            QCOMPARE(r.tray.toolTip(), QString("ERROR! GSM no Connected"));
            QCOMPARE(r.tray.icon(), 0);
            QCOMPARE(r.station.Label1[3]->text(), QString("ERROR! No Connected"));
            QCOMPARE(r.station.ProgressBar1->level(), 0);
            QVERIFY(!r.station.mnuCall->isEnabled());
            QVERIFY(!r.station.Timer2.isEnabled());
            QVERIFY(r.station.Timer1.isEnabled());
            // Supervision asks the SIM again after its 500 ms interval.
            r.time.rt.runFor(500);
            QCOMPARE(r.count("AT+CPIN?"), 3);
        } else {
            QVERIFY(r.station.Timer2.isEnabled());
            QVERIFY(!r.station.Timer1.isEnabled());
            QCOMPARE(r.sentAt("AT+CGATT?"), tick);
        }
    }

    // The last chunk of an answer lands in the very round in which its time-out expires: the
    // query reads it but does not judge it, so it neither counts as the answer nor is left in
    // the port for the next query to take as its own.
    void aChunkInTheTimeOutRoundIsReadButNotJudged()
    {
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        r.gsm.setOverride("AT+CSQ", "\r\n+CSQ: 17,0\r\n\r\n");
        r.gsm.setChunking(4, 5); // a leftover would come first in the next query's reads
        bool csqWaiting = false;
        connect(&r.gsm, &ModemSim::commandReceived,
                [&](const QByteArray &line) { csqWaiting = line == "AT+CSQ"; });
        // Runs after the station's own handler has switched the time-out off.
        connect(&r.station.Timer3, &Timer::tick, [&] {
            if (std::exchange(csqWaiting, false))
                r.port.deliver(&r.gsm, "OK\r\n");
        });
        QVERIFY(r.time.rt.runUntil(
            [&] { return r.count("AT+COPS?") == 1 && r.station.Timer2.isEnabled(); }, 30'000));
        QCOMPARE(r.sentAt("AT+CREG?") - r.sentAt("AT+CSQ"), qint64(2000));
        QCOMPARE(r.station.ProgressBar1->level(), 0);
        QCOMPARE(r.tray.toolTip(), QString("Connect Home network"));
        QCOMPARE(r.station.Label1[3]->text(), QString(" Unidentified"));
    }

    void aBorrowedPortStopsPolling()
    {
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        modPublic().StationActive = false;
        const int before = r.log.size();
        r.time.rt.runFor(60'000);
        QCOMPARE(r.log.size(), before);
        QVERIFY(!r.station.Timer2.isEnabled());
    }

    void settingsWindowFromTheMenu_data()
    {
        QTest::addColumn<bool>("centreReadable");
        QTest::newRow("service centre read and sent back") << true;
        QTest::newRow("ERROR to the query: field disabled, nothing sent") << false;
    }
    void settingsWindowFromTheMenu()
    {
        QFETCH(bool, centreReadable);
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        r.time.rt.runFor(1500);
        if (!centreReadable)
            r.gsm.setOverride("AT+CSCA?", "\r\nERROR\r\n");
        r.log.clear();
        r.station.mnuSet->trigger();
        FrmSet *set = r.station.setupWindow();
        QCOMPARE(set->windowTitle(), QString("Setup"));
        QCOMPARE(set->Check1->text(), QString("Enable   PIN2"));
        QCOMPARE(set->Text2->isEnabled(), centreReadable);
        QCOMPARE(set->Text2->text(), centreReadable ? QString("+393359609600") : QString());
        set->Command1->click();
        QCOMPARE(r.commands(), QList<QByteArray>{"AT+CSCA?"} +
                                   setGsmCommands(centreReadable ? "+393359609600" : ""));
        QVERIFY(!r.station.setupWindow());
        QVERIFY(modPublic().StationActive);
        QVERIFY(r.station.Timer1.isEnabled()); // supervision again, then polling
        QVERIFY(r.runUntilPolling());
    }

    void closingTheSettingsWindowResumesPolling()
    {
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        r.time.rt.runFor(1500);
        r.station.mnuSet->trigger();
        r.station.Timer2.stop(); // as the next tick would, finding the port borrowed
        r.station.setupWindow()->close();
        QVERIFY(modPublic().StationActive);
        QVERIFY(r.station.Timer2.isEnabled());
    }
};

QTEST_MAIN(PollingTest)
#include "tst_polling.moc"
