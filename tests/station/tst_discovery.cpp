#include "StationRig.h"
#include "TrayIcon.h"

#include <QAction>
#include <QSignalSpy>

// Finding the modem: ports, speeds, the configuration written, and giving up.
class DiscoveryTest : public QObject
{
    Q_OBJECT

    static QStringList opens(int port)
    {
        const QString p = QString::number(port);
        return {p + ":19200,N,8,1", p + ":9600,N,8,1", p + ":115200,N,8,1", p + ":19200,N,8,1"};
    }

private slots:
    void aModemFixedAt19200IsFoundAtOnce()
    {
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        const QList<QByteArray> expected = QList<QByteArray>{"ATZ", "AT+CPIN?", "AT+CSCA?"} +
                                           setGsmCommands("+393359609600") +
                                           QList<QByteArray>{"AT+CPIN?"} + ReadyCommands;
        QCOMPARE(r.written(), expected);
        QCOMPARE(r.port.openAttempts(), QStringList({"1:19200,N,8,1", "1:19200,N,8,1"}));
        QVERIFY(r.station.mnuSet->isEnabled());
        QVERIFY(r.station.mnuOPEN->isEnabled());
        QVERIFY(!r.station.setupWindow()); // loaded hidden for "Set GSM", then unloaded
        QCOMPARE(r.dialogs.shown().size(), 0);
        QVERIFY(modPublic().StationActive);
        QCOMPARE(r.sentAt("ATZ"), qint64(500));
    }

    void aModemOnlyAt115200IsConfiguredThenFoundAt19200()
    {
        GsmModemConfig cfg;
        cfg.bauds = {115200};
        StationRig r(cfg);
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        const QList<QByteArray> gsmSet = {
            "ATE0", "AT+ICF=3,3",    "AT+IFC=2,2",   "AT+CBST=7,0,1", "ATS0=0",
            "ATX0", "AT+CBST=7,0,1", "AT+IPR=19200", "AT#AUTOBND",    "AT&W"};
        // A and B go unheard at 19200 and 9600; C answers; D finds the modem at 19200.
        const QList<QByteArray> expected = QList<QByteArray>{"ATZ", "ATZ", "ATZ"} + gsmSet +
                                           QList<QByteArray>{"ATZ", "AT+CPIN?", "AT+CSCA?"} +
                                           setGsmCommands("+393359609600") +
                                           QList<QByteArray>{"AT+CPIN?"} + ReadyCommands;
        QCOMPARE(r.written(), expected);
        QCOMPARE(r.port.openAttempts().mid(0, 5),
                 opens(1) << "1:19200,N,8,1"); // GSMSet reopens at 19200 before D
        QCOMPARE(r.gsm.bauds(), QSet<int>{19200});
        QCOMPARE(r.dialogs.shown().size(), 0);
    }

    void errorToAtzStillCountsAsFound()
    {
        StationRig r;
        r.gsm.setOverride("ATZ", "\r\nERROR\r\n");
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        QCOMPARE(r.written().mid(0, 3), QList<QByteArray>({"ATZ", "AT+CPIN?", "AT+CSCA?"}));
        QCOMPARE(r.port.openAttempts().first(), QString("1:19200,N,8,1"));
    }

    void aSimThatAnswersErrorMakesThePortWorthless()
    {
        GsmModemConfig cfg;
        cfg.sim = SimCardState::Failing;
        StationRig r(cfg);
        r.dialogs.answerNext(MsgResult::Cancel);
        QVERIFY(r.start());
        QVERIFY(r.time.rt.runUntil([&] { return !r.dialogs.shown().isEmpty(); }, 60'000));
        QCOMPARE(r.written(), QList<QByteArray>({"ATZ", "AT+CPIN?"}));
        QCOMPARE(r.port.openAttempts().mid(1, 1), QStringList({"2:19200,N,8,1"}));
    }

    void withoutAModemTheOperatorRetriesOrGivesUp()
    {
        StationRig r;
        r.port.unplug(1);
        r.dialogs.answerNext(MsgResult::Retry);
        r.dialogs.answerNext(MsgResult::Cancel);
        QSignalSpy ended(&r.station, &FrmStGSM::ended);
        QVERIFY(r.start());

        // Four 500 ms time-outs per port; the question comes after port 13; Retry searches
        // again from port 1; Cancel gives up.
        QVERIFY(r.time.rt.runUntil([&] { return r.dialogs.shown().size() == 2; }, 60'000));
        QStringList round;
        for (int p = 1; p <= 13; ++p)
            round << opens(p);
        QCOMPARE(r.port.openAttempts(), round + round);
        QCOMPARE(r.dialogs.shown().at(0).at, qint64(500 + 13 * 2000));
        QCOMPARE(r.dialogs.shown().at(1).at, qint64(500 + 26 * 2000));
        QCOMPARE(r.dialogs.boxes(), QStringList({"ERROR|NO GSM FOUND!|Critical|RetryCancel",
                                                 "ERROR|NO GSM FOUND!|Critical|RetryCancel"}));

        QCOMPARE(r.tray.icon(), 3);
        QCOMPARE(r.tray.state(), 0);
        QCOMPARE(r.tray.toolTip(), QString("Direct connect"));
        QVERIFY(r.station.mnuConn->isEnabled());
        QVERIFY(!r.station.Timer1.isEnabled());
        QVERIFY(!modPublic().StationActive);

        r.time.rt.runFor(999);
        QCOMPARE(ended.count(), 0);
        r.time.rt.runFor(1);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(r.launcher.programs(),
                 QStringList({QDir(r.workFolder()).filePath("WINCORVANI.EXE")}));
        QCOMPARE(r.written(), QList<QByteArray>());
    }

    void automaticBandSelection_data()
    {
        QTest::addColumn<bool>("bandOn");
        QTest::newRow("already automatic: no change, no message") << true;
        QTest::newRow("off: switched on, restart asked for") << false;
    }
    void automaticBandSelection()
    {
        QFETCH(bool, bandOn);
        GsmModemConfig cfg;
        cfg.autoBand = bandOn;
        StationRig r(cfg);
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        QCOMPARE(r.count("AT#AUTOBND=1"), bandOn ? 0 : 1);
        QVERIFY(r.gsm.config().autoBand);
        QCOMPARE(r.gsm.profileWrites(), 1);
        if (bandOn) {
            QCOMPARE(r.dialogs.shown().size(), 0);
        } else {
            QCOMPARE(r.dialogs.boxes(),
                     QStringList({"|Modified AUTO BAND.Close Program and Turn OFF/ON MODEM|"
                                  "Information|Ok"}));
        }
    }

    void aSilentBandQueryCountsAsOff()
    {
        StationRig r;
        r.gsm.setOverride("AT#AUTOBND", QByteArray());
        QVERIFY(r.start());
        QVERIFY(r.runUntilPolling());
        QCOMPARE(r.sentAt("AT#AUTOBND=1") - r.sentAt("AT#AUTOBND"), qint64(2000));
        QCOMPARE(r.dialogs.shown().size(), 1);
    }
};

QTEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
