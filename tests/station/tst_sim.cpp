#include "PinFile.h"
#include "SignalBar.h"
#include "StationRig.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {
// A "Pin.set" line with the PIN at its four positions and a fixed filler.
QByteArray pinLine(const QByteArray &pin)
{
    QByteArray line(80, '5');
    line[25] = pin[0];
    line[3] = pin[1];
    line[30] = pin[2];
    line[7] = pin[3];
    return line;
}

void writePinFile(const QString &dir, const QByteArray &line)
{
    QFile f(QDir(dir).filePath("Pin.set"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(line + "\r\n");
}

GsmModemConfig sim(SimCardState state, const QByteArray &pin = "1234")
{
    GsmModemConfig cfg;
    cfg.sim = state;
    cfg.pin = pin;
    return cfg;
}

QByteArray readPinFile(const QString &dir)
{
    QFile f(QDir(dir).filePath("Pin.set"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

// Unlocking the SIM: stored PIN, typed PIN, PUK, the phone lock and a failing SIM.
class SimTest : public QObject
{
    Q_OBJECT

private slots:
    void pinFileLayout_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("argument");
        QTest::newRow("PIN at positions 26, 4, 31, 8") << pinLine("1234") << QByteArray("\"1234\"");
        QTest::newRow("line of 30 characters loses the third digit")
            << QByteArray("000100020000000000000000010000") << QByteArray("\"112\"");
        QTest::newRow("line of 20 characters keeps digits 2 and 4 only")
            << QByteArray("00070008000000000000") << QByteArray("\"78\"");
        QTest::newRow("empty line gives two quotes") << QByteArray() << QByteArray("\"\"");
    }
    void pinFileLayout()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, argument);
        QCOMPARE(PinFile::pinArgument(line), argument);
    }

    void aSimWithoutPinStartsPollingOneSecondAfterTheIdentity()
    {
        StationRig r;
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return r.sentAt("AT+CGATT?") >= 0; }));
        QCOMPARE(r.sentAt("AT+CGATT?") - r.sentAt("AT+CGSN"), qint64(1000));
        QCOMPARE(r.sentAt("AT+COPS=3,0") - r.sentAt("AT+CPIN?", 1), qint64(1000));
        QCOMPARE(r.station.Label1[0]->text() + '|' + r.station.Label1[1]->text() + '|' +
                     r.station.Label1[2]->text() + '|' + r.station.state().Manufacturer,
                 QString("Generic_GSM_Modem|GSM900-1800|356938035643809|Generic_GSM_Modem"));
        QVERIFY(!r.station.Timer1.isEnabled());
    }

    void aStoredPinUnlocksWithoutAnyWindow()
    {
        StationRig r(sim(SimCardState::WantsPin, "2580"));
        writePinFile(r.workFolder(), pinLine("2580"));
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return r.sentAt("AT+CGATT?") >= 0; }));
        QVERIFY(r.port.written().contains("AT+CPIN=\"2580\"\r\n"));
        // One second's pause before the PIN, then polling 20 s after the identity.
        QCOMPARE(r.sentAt("AT+CPIN=\"2580\"") - r.sentAt("AT+CPIN?", 1), qint64(1000));
        QCOMPARE(r.sentAt("AT+CGATT?") - r.sentAt("AT+CGSN"), qint64(20000));
        QVERIFY(!r.station.pinWindow() && r.dialogs.shown().isEmpty());
    }

    void aRefusedStoredPinOpensThePinWindow_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("wrong PIN") << pinLine("1111");
        QTest::newRow("line too short for the PIN") << QByteArray("0001000200000000000000000");
    }
    void aRefusedStoredPinOpensThePinWindow()
    {
        QFETCH(QByteArray, line);
        StationRig r(sim(SimCardState::WantsPin));
        writePinFile(r.workFolder(), line);
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return r.station.pinWindow(); }));
        QCOMPARE(r.dialogs.boxes(), QStringList({"PIN|Error PIN|Critical|Ok"}));
        FrmPin *pin = r.station.pinWindow();
        QVERIFY(pin->isVisible() && pin->Text1->isEnabled() && !pin->Text2->isEnabled());
        QVERIFY(!r.station.Timer1.isEnabled());
        QCOMPARE(readPinFile(r.workFolder()), line + "\r\n"); // a refused PIN is not deleted
    }

    void aTypedPinIsStoredAndSentBySupervision()
    {
        StationRig r(sim(SimCardState::WantsPin, "9090"));
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return r.station.pinWindow(); }));
        QCOMPARE(r.dialogs.shown().size(), 0); // no stored PIN: the window, no message
        FrmPin *pin = r.station.pinWindow();
        pin->Text1->setText("909");
        QVERIFY(readPinFile(r.workFolder()).isEmpty());
        pin->Text1->setText("9090");
        const QByteArray first = readPinFile(r.workFolder());
        QCOMPARE(PinFile::pinArgument(first.left(80)), QByteArray("\"9090\""));
        QCOMPARE(first.size(), 82);
        QVERIFY(std::all_of(first.begin(), first.end() - 2,
                            [](char c) { return c >= '0' && c <= '9'; }));
        pin->Text1->setText("909");
        pin->Text1->setText("9090");
        QVERIFY(readPinFile(r.workFolder()) != first); // new filler each time
        pin->Command1->click();
        QVERIFY(r.runUntilPolling());
        QVERIFY(r.log.last().line != "AT+CPIN=\"9090\"");
        QCOMPARE(r.count("AT+CPIN=\"9090\""), 1);
        QCOMPARE(r.gsm.simState(), SimCardState::Ready);
    }

    void thePukPathRetriesAWrongPuk()
    {
        StationRig r(sim(SimCardState::WantsPuk));
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return r.station.pinWindow(); }));
        QCOMPARE(r.dialogs.boxes(), QStringList({"PUK|Error PUK|Critical|Ok"}));
        FrmPin *pin = r.station.pinWindow();
        QVERIFY(pin->Text1->isEnabled() && pin->Text2->isEnabled());

        pin->Text2->setText("00000000");
        pin->Command1->click(); // no new PIN yet: nothing is sent
        QCOMPARE(r.count("AT+CPIN=\"00000000\",\"\""), 0);
        pin->Text1->setText("4321");
        pin->Command1->click();
        QCOMPARE(r.dialogs.boxes().last(), QString("PUK|Error Puk|Critical|Ok"));
        QVERIFY(pin->Text1->text().isEmpty() && pin->Text2->text().isEmpty() && pin->isVisible());

        pin->Text2->setText("12345678");
        pin->Text1->setText("4321");
        pin->Command1->click();
        QVERIFY(r.port.written().contains("AT+CPIN=\"12345678\",\"4321\"\r"));
        QVERIFY(!r.station.pinWindow());
        QVERIFY(r.runUntilPolling());
        // The new PIN is stored too, so the next start unlocks without the window.
        QCOMPARE(PinFile::pinArgument(readPinFile(r.workFolder()).left(80)),
                 QByteArray("\"4321\""));
    }

    void pin2IsOfferedFromTheSettingsWindow()
    {
        StationRig r;
        QVERIFY(r.startAndPoll());
        r.station.mnuSet->trigger();
        FrmSet *set = r.station.setupWindow();
        set->Check1->click();
        QVERIFY(!r.station.setupWindow()); // the settings window gives way
        FrmPin *pin = r.station.pinWindow();
        QVERIFY(pin && pin->isVisible() && pin->Text3->isEnabled() && !pin->Text1->isEnabled());
        QVERIFY(pin->Check1->isEnabled() && pin->Check1->isChecked());
        pin->Text3->setText("5555");
        const QByteArray before = r.port.written();
        pin->Command1->click(); // nothing to send in PIN2 mode: the window stays
        QCOMPARE(r.port.written(), before);
        QVERIFY(r.station.pinWindow());
        pin->Check1->click();
        QVERIFY(!pin->Text3->isEnabled());
    }

    void closingThePinWindowWithoutOkEndsTheProgram()
    {
        StationRig r(sim(SimCardState::WantsPin));
        QSignalSpy ended(&r.station, &FrmStGSM::ended);
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return r.station.pinWindow(); }));
        r.station.pinWindow()->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!r.port.isOpen());
        QCOMPARE(r.launcher.started().size(), 0); // ended at once, not through "Exit"
    }

    void phoneLockStopsSupervision_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("modem spelling PH-SIM PIN")
            << QByteArray("\r\n+CPIN: PH-SIM PIN\r\n\r\nOK\r\n");
        QTest::newRow("spelling PH_SIM PIN") << QByteArray("\r\n+CPIN: PH_SIM PIN\r\n\r\nOK\r\n");
    }
    void phoneLockStopsSupervision()
    {
        QFETCH(QByteArray, answer);
        StationRig r;
        r.gsm.setOverride("AT+CPIN?", answer);
        writePinFile(r.workFolder(), pinLine("1234"));
        QVERIFY(r.start());
        QVERIFY(r.runUntil([&] { return !r.dialogs.shown().isEmpty(); }));
        QCOMPARE(r.dialogs.boxes(),
                 QStringList({"|Waiting for Phone to SIM card(antitheft)|Critical|Ok"}));
        r.time.rt.runFor(60'000);
        QVERIFY(!r.station.Timer1.isEnabled() && !r.station.Timer2.isEnabled());
        QVERIFY(!r.port.written().contains("AT+CPIN=")); // the SIM PIN never goes to a phone lock
    }

    void theSixthSimErrorIsReportedOnce()
    {
        StationRig r;
        QVERIFY(r.startAndPoll());
        // The SIM fails after start-up; a registration error hands back to supervision.
        r.gsm.config().sim = SimCardState::Failing;
        r.gsm.setOverride("AT+CREG?", "\r\nERROR\r\n");
        r.time.rt.runFor(120'000);
        QCOMPARE(r.station.state().SimErrorCount, qint16(6));
        QCOMPARE(r.tray.toolTip() + '|' + r.station.Label1[3]->text(),
                 QString("ERROR! GSM no Connected|ERROR! No Connected"));
        QVERIFY(r.tray.icon() + r.station.ProgressBar1->level() == 0 &&
                !r.station.mnuCall->isEnabled());
        QCOMPARE(r.dialogs.boxes(),
                 QStringList({"|SIM not Present or SIM Defect or SIM Busy |None|Ok"}));
        QVERIFY(!r.station.Timer1.isEnabled());
        QCOMPARE(r.count("AT+CPIN?") - 2, 6); // two from start-up, six errors, three seconds apart
        QCOMPARE(r.sentAt("AT+CPIN?", 3) - r.sentAt("AT+CPIN?", 2), qint64(3000));

        // A later READY does not reset the count: later errors retry and show nothing.
        r.gsm.config().sim = SimCardState::Ready;
        r.gsm.clearOverride("AT+CREG?");
        r.station.Timer1.start();
        QVERIFY(r.runUntilPolling());
        r.gsm.config().sim = SimCardState::Failing;
        r.gsm.setOverride("AT+CREG?", "\r\nERROR\r\n");
        r.time.rt.runFor(15'000);
        QVERIFY(r.station.state().SimErrorCount > 6 && r.station.Timer1.isEnabled());
        QCOMPARE(r.dialogs.shown().size(), 1);
    }
};

QTEST_MAIN(SimTest)
#include "tst_sim.moc"
