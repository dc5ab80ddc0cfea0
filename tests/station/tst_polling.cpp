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

private slots:
    // What each polling answer changes; "-" where the answer leaves the window as it is.
    void statusRows_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("change"); // GPRS bar shown|signal|tip|tray state|operator
        const auto row = [](const char *tag, const char *command, const char *answer,
                            const QString &change) {
            QTest::newRow(tag) << QByteArray(command) << "\r\n" + QByteArray(answer) + "\r\n\r\nOK\r\n"
                               << change;
        };
        row("0 not registered", "AT+CREG?", "+CREG: 0,0", "-|-|NO connect|0|-");
        row("1 home network", "AT+CREG?", "+CREG: 0,1", "-|-|Connect Home network|1|-");
        row("2 searching", "AT+CREG?", "+CREG: 0,2", "-|-|Searching operator|0|-");
        row("3 denied", "AT+CREG?", "+CREG: 0,3", "-|-|Operator registration denied|0|-");
        row("4 unknown", "AT+CREG?", "+CREG: 0,4", "-|-|Unknown|0|-");
        row("5 roaming works like home", "AT+CREG?", "+CREG: 0,5", "-|-|Connect Roaming network|1|-");
        row("7 any other: empty tip", "AT+CREG?", "+CREG: 0,7", "-|-||0|-");
        row("no status: nothing changes", "AT+CREG?", "", "-|-|-|-|-");
        row("signal 17", "AT+CSQ", "+CSQ: 17,0", "-|17|-|-|-");
        row("signal 99,99 unknown gives 3", "AT+CSQ", "+CSQ: 99,99", "-|3|-|-|-");
        row("signal without a comma: nothing", "AT+CSQ", "+CSQ: 17", "-|-|-|-|-");
        row("attached shows the GPRS bar", "AT+CGATT?", "+CGATT: 1", "1|-|-|-|-");
        row("detached hides the GPRS bar", "AT+CGATT?", "+CGATT: 0", "0|-|-|-|-");
        row("numeric 22201 is TIM", "AT+COPS?", "+COPS: 0,2,\"22201\"", "-|-|-|-| TIM");
        row("numeric 22210 is OMNITEL", "AT+COPS?", "+COPS: 0,2,\"22210\"", "-|-|-|-| OMNITEL");
        row("numeric 22288 is WIND", "AT+COPS?", "+COPS: 0,2,\"22288\"", "-|-|-|-| WIND");
        row("numeric 22298 is BLUE", "AT+COPS?", "+COPS: 0,2,\"22298\"", "-|-|-|-| BLUE");
        row("other Italian code", "AT+COPS?", "+COPS: 0,2,\"22250\"", "-|-|-|-| Operator n\u00B050");
        row("name without 222 is unidentified", "AT+COPS?", "+COPS: 0,0,\"GSM OPERATOR\"",
            "-|-|-|-| Unidentified");
        row("no quoted operator leaves the label", "AT+COPS?", "+COPS: 0", "-|-|-|-|-");
    }
    void statusRows()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        QFETCH(QString, change);
        const StatusChange c = statusChange(command, answer);
        const auto shown = [](const auto &v, const auto &text) { return v ? text() : QString("-"); };
        QCOMPARE(QStringList({shown(c.gprsShown, [&] { return QString::number(*c.gprsShown); }),
                              shown(c.signal, [&] { return QString::number(*c.signal); }),
                              shown(c.registration, [&] { return c.registration->toolTip; }),
                              shown(c.registration,
                                    [&] { return QString::number(c.registration->trayState); }),
                              shown(c.operatorText, [&] { return *c.operatorText; })})
                     .join('|'),
                 change);
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
        QTest::newRow("ERROR to the operator query")
            << QList<QByteArray>{} << QByteArray("AT+COPS?") << true;
    }
    void lossOfConnection()
    {
        QFETCH(QList<QByteArray>, silent);
        QFETCH(QByteArray, errorTo);
        QFETCH(bool, lost);
        StationRig r;
        QVERIFY(r.startAndPoll());
        for (const auto &c : silent)
            r.gsm.setOverride(c, QByteArray());
        if (!errorTo.isEmpty())
            r.gsm.setOverride(errorTo, "\r\nERROR\r\n");
        const qint64 tick = r.now() + 1000;
        r.time.rt.runFor(1000 + 2000 * silent.size() + 100);
        if (lost) {
            QCOMPARE(r.tray.toolTip() + '|' + r.station.Label1[3]->text(),
                     QString("ERROR! GSM no Connected|ERROR! No Connected"));
            QCOMPARE(r.tray.icon() + r.station.ProgressBar1->level(), 0);
            QVERIFY(!r.station.mnuCall->isEnabled() && !r.station.Timer2.isEnabled());
            QVERIFY(r.station.Timer1.isEnabled());
            // Supervision asks the SIM again after its 500 ms interval.
            r.time.rt.runFor(500);
            QCOMPARE(r.count("AT+CPIN?"), 3);
        } else {
            QVERIFY(r.station.Timer2.isEnabled() && !r.station.Timer1.isEnabled());
            QVERIFY(!r.station.ProgressBar2->isVisibleTo(&r.station)); // GPRS unanswered
            QCOMPARE(r.sentAt("AT+CGATT?"), tick);
        }
    }

    // The last chunk of an answer lands in the very round in which its time-out expires: the
    // query reads it but does not judge it, so it neither counts as the answer nor is left in
    // the port for the next query to take as its own.
    void aChunkInTheTimeOutRoundIsReadButNotJudged()
    {
        StationRig r;
        QVERIFY(r.startAndPoll());
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
        QVERIFY(r.runFirstTick());
        QCOMPARE(r.sentAt("AT+CREG?") - r.sentAt("AT+CSQ"), qint64(2000));
        QCOMPARE(r.station.ProgressBar1->level(), 0);
        QCOMPARE(r.tray.toolTip() + '|' + r.station.Label1[3]->text(),
                 QString("Connect Home network| Unidentified"));
    }

    void aBorrowedPortStopsPolling()
    {
        StationRig r;
        QVERIFY(r.startAndPoll());
        r.station.state().StationActive = false;
        const int before = r.log.size();
        r.time.rt.runFor(60'000);
        QVERIFY(r.log.size() == before && !r.station.Timer2.isEnabled());
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
        QVERIFY(r.startAndPoll());
        r.time.rt.runFor(1500);
        if (!centreReadable)
            r.gsm.setOverride("AT+CSCA?", "\r\nERROR\r\n");
        r.log.clear();
        r.station.mnuSet->trigger();
        FrmSet *set = r.station.setupWindow();
        QCOMPARE(set->Text2->isEnabled(), centreReadable);
        QCOMPARE(set->Text2->text(), centreReadable ? QString("+393359609600") : QString());
        set->Command1->click();
        QCOMPARE(r.commands(), QList<QByteArray>{"AT+CSCA?"} +
                                   setGsmCommands(centreReadable ? "+393359609600" : ""));
        QVERIFY(!r.station.setupWindow() && r.station.state().StationActive);
        QVERIFY(r.station.Timer1.isEnabled()); // supervision again, then polling
        QVERIFY(r.runUntilPolling());
    }

    void closingTheSettingsWindowResumesPolling()
    {
        StationRig r;
        QVERIFY(r.startAndPoll());
        r.time.rt.runFor(1500);
        r.station.mnuSet->trigger();
        r.station.Timer2.stop(); // as the next tick would, finding the port borrowed
        r.station.setupWindow()->close();
        QVERIFY(r.station.state().StationActive && r.station.Timer2.isEnabled());
    }
};

QTEST_MAIN(PollingTest)
#include "tst_polling.moc"
