#include "StationRig.h"
#include "TrayIcon.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

// Finding the modem: ports, speeds, the configuration written, and giving up; setting it up
// again from the menu.
class DiscoveryTest : public QObject
{
    Q_OBJECT

    static QStringList opens(int port)
    {
        const QString p = QString::number(port);
        return {p + ":19200,N,8,1", p + ":9600,N,8,1", p + ":115200,N,8,1", p + ":19200,N,8,1"};
    }

private slots:
    void theModemIsFoundAndConfigured_data()
    {
        QTest::addColumn<int>("baud"); // the only speed the modem hears
        QTest::addColumn<QByteArray>("atz");
        QTest::addColumn<QList<QByteArray>>("search"); // what comes before the found ATZ
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("fixed at 19200: found at once")
            << 19200 << QByteArray() << QList<QByteArray>{}
            << QStringList{"1:19200,N,8,1", "1:19200,N,8,1"};
        QTest::newRow("ERROR to ATZ still counts as found")
            << 19200 << QByteArray("\r\nERROR\r\n") << QList<QByteArray>{}
            << QStringList{"1:19200,N,8,1", "1:19200,N,8,1"};
        // A and B go unheard at 19200 and 9600; C answers and is set to 19200; D finds it.
        QTest::newRow("only at 115200: configured, then found at 19200")
            << 115200 << QByteArray()
            << QList<QByteArray>{"ATZ",          "ATZ",           "ATZ",    "ATE0", "AT+ICF=3,3",
                                 "AT+IFC=2,2",   "AT+CBST=7,0,1", "ATS0=0", "ATX0", "AT+CBST=7,0,1",
                                 "AT+IPR=19200", "AT#AUTOBND",    "AT&W"}
            << (opens(1) << "1:19200,N,8,1"
                         << "1:19200,N,8,1");
    }
    void theModemIsFoundAndConfigured()
    {
        QFETCH(int, baud);
        QFETCH(QByteArray, atz);
        QFETCH(QList<QByteArray>, search);
        QFETCH(QStringList, opened);
        GsmModemConfig cfg;
        cfg.bauds = {baud};
        StationRig r(cfg);
        if (!atz.isNull())
            r.gsm.setOverride("ATZ", atz);
        QVERIFY(r.startAndPoll());
        search << "ATZ"
               << "AT+CPIN?"
               << "AT+CSCA?" << setGsmCommands("+393359609600") << "AT+CPIN?" << ReadyCommands;
        QCOMPARE(r.written(), search);
        QCOMPARE(r.port.openAttempts(), opened);
        QCOMPARE(r.gsm.bauds(), QSet<int>{19200});
        QVERIFY(r.station.mnuSet->isEnabled() && r.station.mnuOPEN->isEnabled());
        QVERIFY(!r.station.setupWindow()); // loaded hidden for "Set GSM", then unloaded
        QVERIFY(r.dialogs.shown().isEmpty() && r.station.state().StationActive);
        QCOMPARE(r.sentAt("ATZ"), baud == 19200 ? 500 : 1500); // heard at C
    }

    void aSimThatAnswersErrorMakesThePortWorthless()
    {
        GsmModemConfig cfg;
        cfg.sim = SimCardState::Failing;
        StationRig r(cfg);
        r.dialogs.answerNext(MsgResult::Cancel);
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return !r.dialogs.shown().isEmpty(); }));
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
        QVERIFY(r.runUntil([&] { return r.dialogs.shown().size() == 2; }));
        QStringList round;
        for (int p = 1; p <= 13; ++p)
            round << opens(p);
        QCOMPARE(r.port.openAttempts(), round + round);
        QCOMPARE(r.dialogs.shown().at(0).at, qint64(500 + 13 * 2000));
        QCOMPARE(r.dialogs.shown().at(1).at, qint64(500 + 26 * 2000));
        QCOMPARE(r.dialogs.boxes(), QStringList({"ERROR|NO GSM FOUND!|Critical|RetryCancel",
                                                 "ERROR|NO GSM FOUND!|Critical|RetryCancel"}));

        QCOMPARE(r.tray.icon() * 10 + r.tray.state(), 30);
        QCOMPARE(r.tray.toolTip(), QString("Direct connect"));
        QVERIFY(r.station.mnuConn->isEnabled() && !r.station.Timer1.isEnabled());
        QVERIFY(!r.station.state().StationActive);

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
        QTest::addColumn<QByteArray>("answer"); // to "AT#AUTOBND"
        QTest::addColumn<bool>("switched");
        QTest::newRow("already automatic: no change, no message")
            << QByteArray("\r\n#AUTOBND: 1\r\n\r\nOK\r\n") << false;
        QTest::newRow("off: switched on, restart asked for")
            << QByteArray("\r\n#AUTOBND: 0\r\n\r\nOK\r\n") << true;
        QTest::newRow("silence counts as off, after the 2 s time-out") << QByteArray() << true;
    }
    void automaticBandSelection()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, switched);
        StationRig r;
        r.gsm.setOverride("AT#AUTOBND", answer);
        QVERIFY(r.startAndPoll());
        QCOMPARE(r.count("AT#AUTOBND=1"), switched ? 1 : 0);
        QCOMPARE(r.gsm.profileWrites(), 1);
        QCOMPARE(r.dialogs.boxes(),
                 switched ? QStringList{"|Modified AUTO BAND.Close Program and Turn OFF/ON MODEM|"
                                        "Information|Ok"}
                          : QStringList());
        if (answer.isEmpty())
            QCOMPARE(r.sentAt("AT#AUTOBND=1") - r.sentAt("AT#AUTOBND"), qint64(2000));
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
        QVERIFY(set->isVisible() && !r.station.state().StationActive);
        QCOMPARE(set->Text2->isEnabled(), centreReadable);
        QCOMPARE(set->Text2->text(), centreReadable ? QString("+393359609600") : QString());
        set->Command1->click();
        QCOMPARE(r.commands(), QList<QByteArray>{"AT+CSCA?"} +
                                   setGsmCommands(centreReadable ? "+393359609600" : ""));
        QVERIFY(!r.station.setupWindow() && r.station.state().StationActive);
        QVERIFY(r.station.Timer1.isEnabled()); // supervision again, then polling
        QVERIFY(r.runUntilPolling());
    }

    // A window takes the port while a polling query waits: the round asks nothing more and
    // polling rests.
    void aPortTakenDuringARoundEndsIt()
    {
        StationRig r;
        QVERIFY(r.startAndPoll());
        connect(&r.gsm, &ModemSim::commandReceived, [&](const QByteArray &line) {
            if (line == "AT+CSQ")
                r.station.state().StationActive = false;
        });
        const int asked = r.count("AT+CREG?");
        r.time.rt.runFor(60'000);
        QCOMPARE(r.count("AT+CREG?"), asked);
        QVERIFY(!r.station.Timer2.isEnabled());
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

QTEST_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
