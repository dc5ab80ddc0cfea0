#include "CallSession.h"
#include "DeskRig.h"
#include "FrmPin.h"
#include "FrmSet.h"
#include "ModemPreparation.h"
#include "PinFile.h"
#include "PollingRound.h"
#include "SignalBar.h"
#include "SmsStore.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

// The commands of a "Set GSM" run with the given service centre ("" = none sent).
inline QList<QByteArray> setGsmCommands(const QByteArray &centre, bool bandWasOff = false)
{
    QList<QByteArray> c = {"AT",     "AT+ICF=3,4",  "AT+IFC=0,0", "AT+CBST=7,0,1",
                           "ATS0=0", "AT+CNMI=0,0", "AT+CSMP=1",  "AT+CMGF=1"};
    if (!centre.isEmpty())
        c << "AT+CSCA=\"" + centre + '"';
    c += {"AT$SCRT", "AT+CSAS", "ATX0", "ATE0", "AT#AUTOBND"};
    if (bandWasOff)
        c << "AT#AUTOBND=1";
    c << "AT&W";
    return c;
}

inline const QList<QByteArray> ReadyCommands = {"AT+COPS=3,0", "AT+COPS=0", "AT+CGMI", "AT+CGMM",
                                                "AT+CGSN"};

namespace {
#ifdef Q_OS_WIN
const QString Name = "gsmdb.exe";
#else
const QString Name = "gsmdb";
#endif

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

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

QByteArray readPinFile(const QString &dir)
{
    QFile f(QDir(dir).filePath("Pin.set"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class NoTray : public TrayIcon
{
public:
    bool available() const override { return false; }
};

// The incoming queue, one "index|number|date|time|text" per row.
QStringList queued(const FrmSms &viewer)
{
    QStringList out;
    for (int i = 0; i < viewer.queued(); ++i) {
        const QTreeWidgetItem *it = viewer.ListView1->topLevelItem(i);
        out << QStringList{it->text(0), it->text(1), it->text(2), it->text(3), it->text(4)}
                   .join('|');
    }
    return out;
}

// The filed events, "Number|Data|SMS" each.
QStringList events(const DeskRig &r)
{
    SqlMachineDb db(r.programFile("Dati.mdb"));
    db.open();
    QStringList out;
    for (const DbRecord &e : db.records(MachineTables::Eventi))
        out << QStringList{e.value("Number"), e.value("Data"), e.value("SMS")}.join('|');
    return out;
}
} // namespace

Q_DECLARE_METATYPE(ModemPreparation::Outcome)
using Outcome = ModemPreparation::Outcome;

// The station booting (tray, data folder, database tool), finding and preparing the modem,
// unlocking the SIM, network polling rows; and the station as the program wires it: the windows
// that borrow the modem keep clear of each other, the SMS desk keeps in step inside the polling
// ticks, a command's progress shows, and "Exit" ends whatever the station is waiting for.
class StationTest : public QObject
{
    Q_OBJECT

    static QStringList opens(int port)
    {
        const QString p = QString::number(port);
        return {p + ":19200,N,8,1", p + ":9600,N,8,1", p + ":115200,N,8,1", p + ":19200,N,8,1"};
    }

private slots:
    // A station starts in the tray with supervision on, moving an old data folder (Telmodex) over
    // DirIzara; its window opens from the tray only once the status entry is enabled. A second
    // station ends at once.
    void startsInTheTrayWithSupervisionOn_data()
    {
        QTest::addColumn<bool>("telmodex");
        QTest::addColumn<bool>("dirIzara");
        QTest::addColumn<QByteArray>("expectedDb"); // content of DirIzara/Dati.mdb afterwards
        QTest::newRow("no Telmodex: nothing copied or deleted")
            << false << true << QByteArray("old");
        QTest::newRow("Telmodex copied over DirIzara and removed")
            << true << true << QByteArray("new");
        QTest::newRow("Telmodex without DirIzara: copy fails silently, folder still removed")
            << true << false << QByteArray();
    }
    void startsInTheTrayWithSupervisionOn()
    {
        QFETCH(bool, telmodex);
        QFETCH(bool, dirIzara);
        QFETCH(QByteArray, expectedDb);
        StationFixture f;
        QDir work(f.workFolder());
        if (dirIzara && work.mkdir("DirIzara"))
            writeFile(work.filePath("DirIzara/Dati.mdb"), "old");
        if (telmodex && work.mkpath("Telmodex/sub")) {
            writeFile(work.filePath("Telmodex/Dati.mdb"), "new");
            writeFile(work.filePath("Telmodex/sub/other.txt"), "x");
        }
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QVERIFY(!work.exists("Telmodex"));
        QFile db(work.filePath("DirIzara/Dati.mdb"));
        QCOMPARE(db.open(QIODevice::ReadOnly) ? db.readAll() : QByteArray(), expectedDb);
        QVERIFY(f.tray.isVisible() && !w.isVisible() && w.state().StationActive);
        QCOMPARE(f.tray.toolTip(), QString("Wait connecting"));
        QCOMPARE(w.state().AppFolder, f.programFolder());
        QCOMPARE(QDir::currentPath(), f.workFolder());
        QVERIFY(w.Timer1.isEnabled() && !w.Timer2.isEnabled() && w.Timer5.isEnabled());
        QVERIFY(w.mnuData->isEnabled() && !w.mnuCall->isEnabled() && !w.mnuSet->isEnabled());
        emit f.tray.doubleClicked();
        QVERIFY(!w.isVisible());
        w.mnuOPEN->setEnabled(true);
        emit f.tray.doubleClicked();
        QVERIFY(w.isVisible() && !(w.windowState() & Qt::WindowMinimized));
        QVERIFY(!w.close() && !w.isVisible()); // the title bar's close puts it in the tray
        w.restore();
        w.setWindowState(Qt::WindowMinimized);
        QVERIFY(!w.isVisible()); // minimised means hidden in the tray
        FrmStGSM second(f.services);
        QVERIFY(!second.load());
        QVERIFY(!second.Timer1.isEnabled() && !second.Timer5.isEnabled());
    }

    // The editor is looked for in the current folder (the program folder's parent), beside the
    // station's executable, then on the search path; it opens the station's own database.
    void databaseToolIsFoundWhereItLies_data()
    {
        QTest::addColumn<QStringList>("placed");
        QTest::addColumn<bool>("startable");
        QTest::addColumn<QString>("started"); // the place of the program started, "" for none
        QTest::addColumn<QString>("failure");
        QTest::newRow("current folder first")
            << QStringList{"work", "bin", "path"} << true << "work"
            << "";
        QTest::newRow("beside the station") << QStringList{"bin", "path"} << true << "bin"
                                            << "";
        QTest::newRow("search path") << QStringList{"path"} << true << "path"
                                     << "";
#ifndef Q_OS_WIN
        QTest::newRow("not executable: passed over")
            << QStringList{"plain", "path"} << true << "path"
            << "";
#endif
        QTest::newRow("nowhere: nothing started")
            << QStringList{} << true << ""
            << QString("%1 is neither in %work% nor in %bin% nor on the search path").arg(Name);
        QTest::newRow("failure to start") << QStringList{"bin"} << false << "bin"
                                          << "%bin%/" + Name + " could not be started";
    }
    void databaseToolIsFoundWhereItLies()
    {
        QFETCH(QStringList, placed);
        QFETCH(bool, startable);
        QFETCH(QString, started);
        QFETCH(QString, failure);
        StationFixture f;
        QDir tmp(f.workFolder());
        const QHash<QString, QString> dirs{
            {"work", f.workFolder()}, {"bin", tmp.filePath("bin")}, {"path", tmp.filePath("path")}};
        for (const QString &d : dirs)
            QVERIFY(QDir().mkpath(d));
        for (const QString &where : placed) {
            const bool executable = where != "plain";
            const QString path = QDir(dirs.value(executable ? where : "work")).filePath(Name);
            writeFile(path, "#!/bin/sh\n");
            if (executable)
                QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
        }
        f.services.executableFolder = dirs.value("bin");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QDir::toNativeSeparators(dirs.value("path")).toLocal8Bit());
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QSignalSpy failed(&w, &FrmStGSM::startFailed);
        f.launcher.setSucceed(startable);
        w.mnuData->trigger();
        qputenv("PATH", oldPath);

        QCOMPARE(f.launcher.started().size(), started.isEmpty() ? 0 : 1);
        if (!started.isEmpty()) {
            const RecordingLauncher::Started &s = f.launcher.started().first();
            QCOMPARE(s.program, QDir(dirs.value(started)).filePath(Name));
            QCOMPARE(s.args, QStringList({"--home", f.programFolder(), "--maximized"}));
            QCOMPARE(s.workDir, f.workFolder());
        }
        for (const QString &d : {QString("work"), QString("bin")})
            failure.replace('%' + d + '%', QDir::toNativeSeparators(dirs.value(d)));
        QCOMPARE(failed.count(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QCOMPARE(failed.first().first().toString(), failure);
        QCOMPARE(f.dialogs.shown().size(), 0); // the operator is never told
    }

    // The modem is found, configured and set up for the station ("Set GSM"); automatic band
    // selection is switched on when it was off, and the operator asked to restart the modem.
    void theModemIsFoundAndConfigured_data()
    {
        QTest::addColumn<int>("baud"); // the only speed the modem hears
        QTest::addColumn<QByteArray>("atz"); // the answer instead of the modem's own; null: its own
        QTest::addColumn<QByteArray>("band"); // likewise to "AT#AUTOBND"
        QTest::addColumn<QList<QByteArray>>("search"); // what comes before the found ATZ
        QTest::addColumn<QStringList>("opened");
        const QStringList once{"1:19200,N,8,1", "1:19200,N,8,1"};
        const auto row = [&](const char *tag, const QByteArray &atz, const QByteArray &band) {
            QTest::newRow(tag) << 19200 << atz << band << QList<QByteArray>{} << once;
        };
        row("fixed at 19200, band automatic: found at once, nothing to say", {}, {});
        row("ERROR to ATZ still counts as found", "\r\nERROR\r\n", {});
        row("band off: switched on, restart asked for", {}, "\r\n#AUTOBND: 0\r\n\r\nOK\r\n");
        row("band silent counts as off, after the 2 s time-out", {}, "");
        // A and B go unheard at 19200 and 9600; C answers and is set to 19200; D finds it.
        QTest::newRow("only at 115200: configured, then found at 19200")
            << 115200 << QByteArray() << QByteArray()
            << QList<QByteArray>{"ATZ",          "ATZ",           "ATZ",    "ATE0", "AT+ICF=3,3",
                                 "AT+IFC=2,2",   "AT+CBST=7,0,1", "ATS0=0", "ATX0", "AT+CBST=7,0,1",
                                 "AT+IPR=19200", "AT#AUTOBND",    "AT&W"}
            << (opens(1) << once);
    }
    void theModemIsFoundAndConfigured()
    {
        QFETCH(int, baud);
        QFETCH(QByteArray, atz);
        QFETCH(QByteArray, band);
        QFETCH(QList<QByteArray>, search);
        QFETCH(QStringList, opened);
        DeskRig r({.bauds = {baud}});
        if (!atz.isNull())
            r.gsm.setOverride("ATZ", atz);
        if (!band.isNull())
            r.gsm.setOverride("AT#AUTOBND", band);
        QVERIFY(r.boot() && r.runUntilPolling());
        search << "ATZ"
               << "AT+CPIN?"
               << "AT+CSCA?" << setGsmCommands("+393359609600", !band.isNull()) << "AT+CPIN?"
               << ReadyCommands;
        QCOMPARE(r.written(), search);
        QCOMPARE(r.port.openAttempts(), opened);
        QCOMPARE(r.gsm.bauds(), QSet<int>{19200});
        QVERIFY(r.station.mnuSet->isEnabled() && r.station.mnuOPEN->isEnabled());
        QVERIFY(!r.station.setupWindow()); // loaded hidden for "Set GSM", then unloaded
        QVERIFY(r.station.state().StationActive);
        QCOMPARE(r.dialogs.boxes(),
                 band.isNull() ? QStringList()
                               : QStringList{"|Modified AUTO BAND.Close Program and Turn OFF/ON "
                                             "MODEM|Information|Ok"});
        QCOMPARE(r.sentAt("ATZ"), baud == 19200 ? 500 : 1500); // heard at C
        if (!band.isNull() && band.isEmpty())
            QCOMPARE(r.sentAt("AT#AUTOBND=1") - r.sentAt("AT#AUTOBND"), qint64(2000));
    }

    // Four 500 ms time-outs per port; the question comes after port 13; Retry searches again
    // from port 1; Cancel gives up.
    void withoutAModemTheOperatorRetriesOrGivesUp_data()
    {
        QTest::addColumn<bool>("failingSim"); // on port 1; else no modem anywhere
        QTest::newRow("no modem: Retry, then Cancel") << false;
        QTest::newRow("a SIM that answers ERROR makes its port worthless: Cancel") << true;
    }
    void withoutAModemTheOperatorRetriesOrGivesUp()
    {
        QFETCH(bool, failingSim);
        DeskRig r({.sim = SimCardState::Failing});
        if (!failingSim) {
            r.port.unplug(1);
            r.dialogs.answerNext(MsgResult::Retry);
        }
        r.dialogs.answerNext(MsgResult::Cancel);
        QSignalSpy ended(&r.station, &FrmStGSM::ended);
        QVERIFY(r.boot());
        const int asked = failingSim ? 1 : 2;
        QVERIFY(r.runUntil([&] { return r.dialogs.shown().size() == asked; }));
        QStringList round;
        for (int p = 1 + failingSim; p <= 13; ++p)
            round << opens(p);
        QCOMPARE(r.port.openAttempts(),
                 failingSim ? QStringList{"1:19200,N,8,1"} + round : round + round);
        QCOMPARE(r.written(),
                 failingSim ? QList<QByteArray>({"ATZ", "AT+CPIN?"}) : QList<QByteArray>());
        if (!failingSim) {
            QCOMPARE(r.dialogs.shown().at(0).at, qint64(500 + 13 * 2000));
            QCOMPARE(r.dialogs.shown().at(1).at, qint64(500 + 26 * 2000));
        }
        QCOMPARE(r.dialogs.boxes(),
                 QStringList(asked, "ERROR|NO GSM FOUND!|Critical|RetryCancel"));
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
    }

    // "Setup" borrows the port; OK sends "Set GSM" back, then supervision and polling resume. Its
    // PIN2 box gives way to the PIN window, which sends nothing in PIN2 mode.
    void settingsWindowFromTheMenu_data()
    {
        QTest::addColumn<bool>("centreReadable");
        QTest::addColumn<QString>("then"); // "ok", "close" (the title bar), "pin2"
        QTest::newRow("service centre read and sent back") << true << "ok";
        QTest::newRow("ERROR to the query: field disabled, nothing sent") << false << "ok";
        QTest::newRow("closed without OK: nothing sent, polling at once") << true << "close";
        QTest::newRow("PIN2 offered") << true << "pin2";
    }
    void settingsWindowFromTheMenu()
    {
        QFETCH(bool, centreReadable);
        QFETCH(QString, then);
        DeskRig r;
        QVERIFY(r.boot() && r.runUntilPolling());
        r.time.rt.runFor(1500);
        if (!centreReadable)
            r.gsm.setOverride("AT+CSCA?", "\r\nERROR\r\n");
        r.log.clear();
        r.station.mnuSet->trigger();
        r.station.Timer2.stop(); // as the next tick would, finding the port borrowed
        FrmSet *set = r.station.setupWindow();
        QVERIFY(set->isVisible() && !r.station.state().StationActive);
        QCOMPARE(set->Text2->isEnabled(), centreReadable);
        QCOMPARE(set->Text2->text(), centreReadable ? QString("+393359609600") : QString());
        if (then == "pin2") {
            set->Check1->click();
            QVERIFY(!r.station.setupWindow());
            FrmPin *pin = r.station.pinWindow();
            QVERIFY(pin && pin->isVisible() && pin->Text3->isEnabled() && !pin->Text1->isEnabled());
            QVERIFY(pin->Check1->isEnabled() && pin->Check1->isChecked());
            pin->Text3->setText("5555");
            const QByteArray before = r.port.written();
            pin->Command1->click();
            QCOMPARE(r.port.written(), before);
            QVERIFY(r.station.pinWindow());
            pin->Check1->click();
            QVERIFY(!pin->Text3->isEnabled());
            return;
        }
        const bool ok = then == "ok";
        ok ? set->Command1->click() : void(set->close());
        QCOMPARE(r.commands(),
                 QList<QByteArray>{"AT+CSCA?"} +
                     (ok ? setGsmCommands(centreReadable ? "+393359609600" : "")
                         : QList<QByteArray>()));
        QVERIFY(!r.station.setupWindow() && r.station.state().StationActive);
        // After "Set GSM" supervision comes first, then polling.
        QCOMPARE(r.station.Timer1.isEnabled(), ok);
        QCOMPARE(r.station.Timer2.isEnabled(), !ok);
        QVERIFY(r.runUntilPolling());
    }

    // A window takes the port while a polling query waits: the round asks nothing more and
    // polling rests.
    void aPortTakenDuringARoundEndsIt()
    {
        DeskRig r;
        QVERIFY(r.boot() && r.runUntilPolling());
        connect(&r.gsm, &ModemSim::commandReceived, [&](const QByteArray &line) {
            if (line == "AT+CSQ")
                r.station.state().StationActive = false;
        });
        const int asked = r.count("AT+CREG?");
        r.time.rt.runFor(60'000);
        QCOMPARE(r.count("AT+CREG?"), asked);
        QVERIFY(!r.station.Timer2.isEnabled());
    }

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

    // What the SIM asks for at start-up, with a PIN in Pin.set or none: polling starts 1 s after
    // the identity, or 20 s after it once a stored PIN was sent after a second's pause; without
    // one, or with a refused one (which stays in the file), the PIN window opens; a phone lock
    // stops supervision and never gets the SIM PIN. Closing the PIN window without OK ends the
    // program at once; a PIN typed there is stored and sent by supervision.
    void simAtStartUp_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("cpin"); // the answer to "AT+CPIN?" instead of the SIM's
        QTest::addColumn<QByteArray>("line"); // Pin.set's; null for none
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("polling"); // ms from the identity; -1 never
        const int ready = int(SimCardState::Ready), wantsPin = int(SimCardState::WantsPin);
        const QString lock = "|Waiting for Phone to SIM card(antitheft)|Critical|Ok";
        const auto phoneLock = [](const char *spelling) {
            return "\r\n+CPIN: " + QByteArray(spelling) + "\r\n\r\nOK\r\n";
        };
        QTest::newRow("no PIN asked") << ready << QByteArray() << QByteArray() << "" << 1000;
        QTest::newRow("stored PIN unlocks without any window")
            << wantsPin << QByteArray() << pinLine("2580") << "" << 20000;
        QTest::newRow("no stored PIN: the window, no message; the PIN typed")
            << wantsPin << QByteArray() << QByteArray() << "" << -1;
        QTest::newRow("wrong stored PIN") << wantsPin << QByteArray() << pinLine("1111")
                                          << "PIN|Error PIN|Critical|Ok" << -1;
        QTest::newRow("line too short for the PIN")
            << wantsPin << QByteArray() << QByteArray("0001000200000000000000000")
            << "PIN|Error PIN|Critical|Ok" << -1;
        QTest::newRow("phone lock, modem spelling PH-SIM PIN")
            << ready << phoneLock("PH-SIM PIN") << pinLine("2580") << lock << -1;
        QTest::newRow("phone lock spelt PH_SIM PIN")
            << ready << phoneLock("PH_SIM PIN") << pinLine("2580") << lock << -1;
    }
    void simAtStartUp()
    {
        QFETCH(int, state);
        QFETCH(QByteArray, cpin);
        QFETCH(QByteArray, line);
        QFETCH(QString, box);
        QFETCH(int, polling);
        DeskRig r({.sim = SimCardState(state), .pin = "2580"});
        if (!cpin.isNull())
            r.gsm.setOverride("AT+CPIN?", cpin);
        if (!line.isNull())
            writeFile(QDir(r.workFolder()).filePath("Pin.set"), line + "\r\n");
        QSignalSpy ended(&r.station, &FrmStGSM::ended);
        QVERIFY(r.boot());
        r.time.rt.runFor(60'000);
        QCOMPARE(r.dialogs.boxes(), box.isEmpty() ? QStringList() : QStringList{box});
        QVERIFY(!r.station.Timer1.isEnabled());
        QCOMPARE(r.station.Timer2.isEnabled(), polling >= 0);
        QCOMPARE(r.count("AT+CPIN=\"2580\""), int(polling == 20000));
        if (polling >= 0) {
            QCOMPARE(r.sentAt("AT+CGATT?") - r.sentAt("AT+CGSN"), qint64(polling));
            const qsizetype query = r.indexOf("AT+CPIN?", 1); // then the PIN or the network
            QCOMPARE(r.log[query + 1].at - r.log[query].at, qint64(1000));
            QCOMPARE(r.station.Label1[0]->text() + '|' + r.station.Label1[1]->text() + '|' +
                         r.station.Label1[2]->text() + '|' + r.station.state().Manufacturer,
                     QString("Generic_GSM_Modem|GSM900-1800|356938035643809|Generic_GSM_Modem"));
        }
        FrmPin *pin = r.station.pinWindow();
        QCOMPARE(bool(pin), state == int(SimCardState::WantsPin) && polling < 0);
        if (!pin)
            return;
        QVERIFY(pin->isVisible() && pin->Text1->isEnabled() && !pin->Text2->isEnabled());
        if (line.isNull()) { // typed: stored with a new filler each time, sent by supervision
            pin->Text1->setText("258");
            QVERIFY(readPinFile(r.workFolder()).isEmpty());
            pin->Text1->setText("2580");
            const QByteArray first = readPinFile(r.workFolder());
            QCOMPARE(PinFile::pinArgument(first.left(80)), QByteArray("\"2580\""));
            QVERIFY(first.size() == 82 && std::all_of(first.begin(), first.end() - 2,
                                                      [](char c) { return c >= '0' && c <= '9'; }));
            pin->Text1->setText("258");
            pin->Text1->setText("2580");
            QVERIFY(readPinFile(r.workFolder()) != first);
            pin->Command1->click();
            QVERIFY(r.runUntilPolling());
            QVERIFY(r.log.last().line != "AT+CPIN=\"2580\"");
            QCOMPARE(r.count("AT+CPIN=\"2580\""), 1);
            return;
        }
        QCOMPARE(readPinFile(r.workFolder()), line + "\r\n"); // a refused PIN stays
        pin->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!r.port.isOpen());
        QCOMPARE(r.launcher.started().size(), 0); // ended at once, not through "Exit"
    }

    void thePukPathRetriesAWrongPuk()
    {
        DeskRig r({.sim = SimCardState::WantsPuk});
        QVERIFY(r.boot());
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

    void theSixthSimErrorIsReportedOnce()
    {
        DeskRig r;
        QVERIFY(r.boot() && r.runUntilPolling());
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

    // Preparing the modem for a command-line collection.
    void outcomes_data()
    {
        QTest::addColumn<int>("sim");
        QTest::addColumn<QByteArray>("storedPin"); // empty: no Pin.set
        QTest::addColumn<int>("registration");
        QTest::addColumn<QString>("modem"); // "port of ports at baud"; "" none
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("note"); // a line that came out (if unregistered, the reason)
        const int ready = int(SimCardState::Ready);
        const int pin = int(SimCardState::WantsPin);
        const auto row = [](const char *tag, int sim, const QByteArray &storedPin, int registration,
                            Outcome outcome, const char *note,
                            const char *modem = "1 of 1 at 19200") {
            QTest::newRow(tag) << sim << storedPin << registration << QString(modem) << outcome
                               << QString(note);
        };
        row("SIM ready, home network", ready, "", 1, Outcome::Ready,
            "network: Connect Home network");
        row("ports in order; a modem at 115200 is brought to 19200", ready, "", 1, Outcome::Ready,
            "modem found on port 3", "3 of 4 at 115200");
        row("no modem on either port", ready, "", 1, Outcome::NoModem, "ERROR: NO GSM FOUND!", "");
        row("PIN from Pin.set", pin, "1234", 1, Outcome::Ready, "SIM unlocked with the stored PIN");
        row("PIN wanted, no Pin.set", pin, "", 1, Outcome::SimNotReady, "modem found on port 1");
        row("wrong PIN in Pin.set", pin, "4321", 1, Outcome::SimNotReady, "PIN: Error PIN");
        row("PUK wanted", int(SimCardState::WantsPuk), "1234", 1, Outcome::SimNotReady,
            "PUK: Error PUK");
        row("phone lock", int(SimCardState::PhoneLock), "", 1, Outcome::SimNotReady,
            "Waiting for Phone to SIM card(antitheft)");
        row("a SIM that answers ERROR is no modem", int(SimCardState::Failing), "", 1,
            Outcome::NoModem, "ERROR: NO GSM FOUND!");
        row("searching for the operator: given up after 60 s", ready, "", 2, Outcome::NotRegistered,
            "not registered on the network after 60 s (Searching operator)");
        row("registration denied", ready, "", 3, Outcome::NotRegistered,
            "not registered on the network after 60 s (Operator registration denied)");
    }
    void outcomes()
    {
        QFETCH(int, sim);
        QFETCH(QByteArray, storedPin);
        QFETCH(int, registration);
        QFETCH(QString, modem);
        QFETCH(Outcome, outcome);
        QFETCH(QString, note);
        const QStringList where = modem.split(' '); // port, "of", ports, "at", baud
        DeskRig rig({.sim = SimCardState(sim),
                     .registration = registration,
                     .bauds = {modem.isEmpty() ? 19200 : where[4].toInt()}});
        rig.port.unplug(1);
        if (!modem.isEmpty())
            rig.port.plug(where[0].toInt(), &rig.gsm);
        ModemPreparation prep(rig.port);
        QStringList notes;
        connect(&prep, &ModemPreparation::note, [&](const QString &line) { notes << line; });
        if (!storedPin.isEmpty())
            QVERIFY(PinFile::write(rig.workFolder(), storedPin, rig.clock));
        QCOMPARE(prep.run(modem.isEmpty() ? 2 : where[2].toInt(), rig.workFolder()), outcome);
        QCOMPARE(prep.reason().isEmpty(), outcome == Outcome::Ready);
        if (outcome == Outcome::NotRegistered) {
            QCOMPARE(prep.reason(), note);
            const qint64 waited = rig.time.rt.nowMs();
            QVERIFY2(waited >= 60'000 && waited < 75'000, qPrintable(QString::number(waited)));
            QVERIFY(rig.count("AT+CREG?") >= 20);
        } else {
            QVERIFY2(notes.contains(note), qPrintable(notes.join(u'\n')));
        }
        QCOMPARE(rig.port.isOpen(), outcome != Outcome::NoModem);
        if (outcome == Outcome::Ready) {
            QCOMPARE(rig.gsm.simState(), SimCardState::Ready);
            QCOMPARE(rig.count("AT+COPS=0"), 1);
            QCOMPARE(rig.port.commPort(), where[0].toInt());
            QCOMPARE(rig.port.settings(), QStringLiteral("19200,N,8,1"));
            QCOMPARE(rig.count("AT+IPR=19200"), int(where[4] != "19200"));
        }
        if (modem.isEmpty()) { // four speeds on each port, and nothing else to tell
            QCOMPARE(rig.port.openAttempts().size(), 8);
            QCOMPARE(notes, QStringList{note});
        }
        // The stored PIN goes out once at most: a refused one is never tried again.
        QVERIFY(rig.count("AT+CPIN=\"" + storedPin + '"') <= 1);
    }

    // A network-polling round as rows: the four answers, and what the station shows after them.
    void rounds_data()
    {
        QTest::addColumn<QByteArrayList>("answers"); // "T" time-out, "E" ERROR
        QTest::addColumn<QString>("shown"); // GPRS bar|signal|tip|tray state|operator|asked, lost
        // Every row answers like this but for the query it names.
        const auto row = [](const char *tag, const QList<std::pair<int, QByteArray>> &changed,
                            const QString &shown) {
            QByteArrayList answers = {"+CGATT: 1", "+CSQ: 17,0", "+CREG: 0,1",
                                      "+COPS: 0,2,\"22201\""};
            for (const auto &[query, answer] : changed)
                answers[query] = answer;
            QTest::newRow(tag) << answers << shown;
        };
        enum { Gprs, Csq, Creg, Cops };
        row("all answered", {}, "1|17|Connect Home network|1| TIM|4");
        row("0 not registered", {{Creg, "+CREG: 0,0"}}, "1|17|NO connect|0| TIM|4");
        row("5 roaming works like home", {{Creg, "+CREG: 0,5"}},
            "1|17|Connect Roaming network|1| TIM|4");
        row("7 any other: empty tip", {{Creg, "+CREG: 0,7"}}, "1|17||0| TIM|4");
        row("no status: registration unchanged", {{Creg, ""}}, "1|17|-|-| TIM|4");
        row("signal 99,99 unknown gives 3", {{Csq, "+CSQ: 99,99"}},
            "1|3|Connect Home network|1| TIM|4");
        row("signal without a comma: unchanged", {{Csq, "+CSQ: 17"}},
            "1|-|Connect Home network|1| TIM|4");
        row("detached hides the GPRS bar", {{Gprs, "+CGATT: 0"}},
            "0|17|Connect Home network|1| TIM|4");
        row("other Italian code", {{Cops, "+COPS: 0,2,\"22250\""}},
            "1|17|Connect Home network|1| Operator n\u00B050|4");
        row("name without 222 is unidentified", {{Cops, "+COPS: 0,0,\"GSM OPERATOR\""}},
            "1|17|Connect Home network|1| Unidentified|4");
        row("no quoted operator: unchanged", {{Cops, "+COPS: 0"}},
            "1|17|Connect Home network|1|-|4");
        row("two time-outs are tolerated; no GPRS answer hides its bar", {{Gprs, "T"}, {Csq, "T"}},
            "0|-|Connect Home network|1| TIM|4");
        row("three time-outs lose the modem", {{Gprs, "T"}, {Csq, "T"}, {Cops, "T"}},
            "0|-|Connect Home network|1|-|4, lost");
        row("ERROR to the registration query ends the round", {{Creg, "E"}}, "1|17|-|-|-|3, lost");
        row("ERROR to the operator query", {{Cops, "E"}}, "1|17|Connect Home network|1|-|4, lost");
    }
    void rounds()
    {
        QFETCH(QByteArrayList, answers);
        QFETCH(QString, shown);
        using Answer = PollingRound::Answer;
        PollingRound round;
        StatusChange seen;
        int asked = 0;
        for (QByteArray command; !(command = round.next()).isEmpty(); ++asked) {
            QVERIFY(asked < 4);
            const QByteArray a = answers[asked];
            QCOMPARE(round.errorLoses(), asked >= 2);
            const StatusChange c = round.take(a == "T"   ? Answer::TimedOut
                                              : a == "E" ? Answer::Error
                                                         : Answer::Ok,
                                              "\r\n" + a + "\r\n\r\nOK\r\n");
            seen.gprsShown = c.gprsShown ? c.gprsShown : seen.gprsShown;
            seen.signal = c.signal ? c.signal : seen.signal;
            seen.registration = c.registration ? c.registration : seen.registration;
            seen.operatorText = c.operatorText ? c.operatorText : seen.operatorText;
        }
        const auto number = [](const auto &v) { return v ? QString::number(*v) : QString("-"); };
        const Registration *reg = seen.registration ? &*seen.registration : nullptr;
        const QStringList fields = {number(seen.gprsShown), number(seen.signal),
                                    reg ? reg->toolTip : "-",
                                    reg ? QString::number(reg->trayState) : "-",
                                    seen.operatorText.value_or("-"),
                                    QString::number(asked) + (round.lost() ? ", lost" : "")};
        QCOMPARE(fields.join('|'), shown);
    }

    // The console and the send window each hold the modem while open: opening one closes the
    // other, and polling stays off the port until the last has closed. Both hide the main
    // window; without a tray it comes back when they close (one replacing the other is no reason
    // to), or nothing is left to reach the station by. Its own close button puts it away, never
    // ends the station, and says so once.
    void windowsThatBorrowTheModem_data()
    {
        QTest::addColumn<bool>("withTray");
        QTest::newRow("tray: console, then \"Send SMS\"; hidden on close, a balloon") << true;
        QTest::newRow("no tray: send window, then \"Call\"; minimized on close, a box") << false;
    }
    void windowsThatBorrowTheModem()
    {
        QFETCH(bool, withTray);
        NoTray noTray;
        DeskRig r({}, withTray ? nullptr : &noTray);
        QVERIFY(r.start());
        QCOMPARE(r.station.isVisible(), !withTray);
        QCOMPARE(r.station.isMinimized(), withTray);
        QAction *call = r.station.mnuCall, *sms = r.station.mnuSSMS;
        QWidget *send = &r.sendWindow;
        for (QWidget *child : {static_cast<QWidget *>(&r.console), send, send}) {
            (child == &r.console ? call : sms)->trigger();
            QVERIFY(child->isVisible() && !r.station.isVisible());
            child->close();
            QCOMPARE(r.station.isVisible() && !r.station.isMinimized(), !withTray);
        }

        WindowOpener &first = withTray ? static_cast<WindowOpener &>(r.console) : r.send;
        WindowOpener &second = withTray ? r.send : static_cast<WindowOpener &>(r.console);
        (withTray ? call : sms)->trigger();
        (withTray ? sms : call)->trigger();
        QVERIFY(second.isLoaded() && !first.isLoaded() && !r.station.isVisible());
        QCOMPARE(QDir::currentPath(), r.programFolder()); // "Call" works in the program folder
        const qsizetype opened = r.log.size();
        r.time.rt.runFor(30'000);
        QCOMPARE(r.count("AT+CSQ", opened), 0);
        second.unload();
        const qsizetype closed = r.log.size();
        QVERIFY(r.runUntil([&] { return r.count("AT+CSQ", closed) > 0; }, 15'000));

        for (int round = 0; round < 2; ++round) {
            r.station.restore();
            QVERIFY(!r.station.close() && !r.station.isUnloaded());
            QCOMPARE(r.station.isVisible(), !withTray);
            QCOMPARE(r.station.isMinimized(), !withTray);
        }
        const QString box = "GSM STATUS|The station keeps running. \"Exit\" in this window's menu "
                            "(right mouse button) ends it.";
        QCOMPARE(r.dialogs.messages(), withTray ? QStringList() : QStringList{box});
        QCOMPARE(r.tray.messageTitle(), withTray ? QStringLiteral("GSM STATUS") : QString());
    }

    // An audit read: the steps in order, the machine named while the list is hidden, a
    // percentage that never goes down, a remaining time that only shrinks and is 0 when the
    // transfer ends, exactly at its designed end; the file saved stays named until the next
    // command.
    void auditProgress()
    {
        DeskRig r;
        QVERIFY(r.start());
        CallSession &session = r.desk.calls().session();
        r.station.mnuCall->trigger();
        r.console.activated();
        r.console.rowClicked(0);
        QStringList steps;
        int percent = 0;
        qint64 left = -1, endedAt = -1;
        QStringList faults;
        QObject::connect(&session, &CallSession::changed, [&] {
            const CallProgress &p = session.report();
            if (!p.stepText().isEmpty() && (steps.isEmpty() || steps.last() != p.stepText()))
                steps << p.stepText();
            if (p.percent() < percent)
                faults << "percentage down in " + p.stepText();
            percent = p.percent();
            if (p.step() == CallProgress::Step::Batch) {
                if (left >= 0 && p.remainingMs(r.now()) > left)
                    faults << "remaining time grew in " + p.stepText();
                left = p.remainingMs(r.now());
                if (r.console.ListView1->isVisible() ||
                    r.console.LabelMachine->text() != "Corridor A (3351234567)")
                    faults << "machine not named in " + p.stepText();
            } else if (p.step() == CallProgress::Step::Converting && endedAt < 0) {
                endedAt = r.now() - p.designedEnd();
                left = p.remainingMs(r.now());
            }
        });
        const QString file = r.programFile("corridor.txt");
        r.dialogs.chooseFileNext(file);
        r.dialogs.answerNext(MsgResult::No);
        r.console.Command9->click();
        QVERIFY(r.runUntil([&] { return session.lastAudit().done; }, 600'000));
        session.Command4_Click();

        QCOMPARE(steps, (QStringList{"dialling", "connected", "pointer read", "memory map",
                                     "batch 1 of 3", "batch 2 of 3", "batch 3 of 3",
                                     "converting", "hanging up"}));
        QCOMPARE(faults, QStringList());
        QCOMPARE(r.console.ProgressBar1->value(), 100);
        QCOMPARE(left, 0);
        QCOMPARE(endedAt, 0); // ms after the designed end
        QCOMPARE(r.console.LabelSaved->text(), "saved to " + QDir::toNativeSeparators(file));
        const auto save = std::find_if(r.dialogs.shown().begin(), r.dialogs.shown().end(),
                                       [](const auto &s) { return s.kind == s.Save; });
        QVERIFY(save != r.dialogs.shown().end());
        QVERIFY2(QRegularExpression("^3351234567-20261205-09\\d\\d\\.txt$")
                     .match(save->suggested)
                     .hasMatch(),
                 qPrintable(save->suggested));
        QCOMPARE(r.dialogs.boxes().last(), QStringLiteral("ERASE Corridor A (3351234567)|"
                                                          "ERASE Erasable DATA ? |Question|YesNo"));
        r.dialogs.chooseFileNext({});
        r.console.Command2->click();
        QVERIFY(r.console.LabelSaved->text().isEmpty());
    }

    // Windows land whole on a screen; the SMS window beside the status window (`beside`).
    void placement_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("beside");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("placed");
        const QRect one(0, 0, 1920, 1080), two(1920, 0, 1280, 1024);
        QTest::newRow("on screen: stays")
            << QRect(100, 100, 400, 300) << QRect() << QList{one} << QRect(100, 100, 400, 300);
        QTest::newRow("second monitor gone: back on the first")
            << QRect(2500, 200, 400, 300) << QRect() << QList{one} << QRect(1520, 200, 400, 300);
        QTest::newRow("across two monitors: onto the one it covers most")
            << QRect(1800, 100, 400, 300) << QRect() << QList{one, two}
            << QRect(1920, 100, 400, 300);
        QTest::newRow("bigger than the screen: shrunk")
            << QRect(-50, -20, 2000, 1200) << QRect() << QList{one} << QRect(one);
        QTest::newRow("beside: to the right")
            << QRect(0, 0, 400, 300) << QRect(100, 100, 300, 300) << QList{one}
            << QRect(400, 100, 400, 300);
        QTest::newRow("beside: no room on the right, to the left")
            << QRect(0, 0, 400, 300) << QRect(1600, 100, 300, 300) << QList{one}
            << QRect(1200, 100, 400, 300);
    }
    void placement()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, beside);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, placed);
        QCOMPARE(beside.isNull() ? WindowPlacement::onScreen(frame, screens)
                                 : WindowPlacement::beside(frame.size(), beside, screens),
                 placed);
    }

    void anUnreadableScheduleIsReportedAtStartUp()
    {
        DeskRig r;
        const QString path = r.programFile("PROGOR.DAT");
        QVERIFY(QDir().mkpath(path)); // a folder where the file should be
        QVERIFY(r.start());
        QCOMPARE(r.dialogs.boxes().size(), 1);
        QVERIFY2(r.dialogs.boxes().first().startsWith(
                     "Error|The schedule " + QDir::toNativeSeparators(path) + " cannot be read ("),
                 qPrintable(r.dialogs.boxes().first()));
        QVERIFY(r.dialogs.boxes().first().endsWith(
            ").\r\nThe station starts without scheduled calls.|Exclamation|Ok"));
    }

    // A Telit modem lists without time stamps, so each message is read singly. Texts ending in
    // "OK", answers in 4-byte chunks: every answer still belongs to its own command.
    void telitReadsDeletesAndQueriesStayInStep()
    {
        DeskRig r;
        r.gsm.config().manufacturer = "Telit_Mobile_Terminals";
        r.gsm.config().operatorName.clear(); // known by its code only: " OMNITEL"
        r.gsm.config().rssi = 23;
        r.store.setForm(SmsStore::Form::Telit);
        r.store.receive("+391", "POWER OK", QDateTime(QDate(2005, 3, 21), QTime(10, 15)));
        r.store.receive("+392", "DOOR OPEN", QDateTime(QDate(2005, 3, 22), QTime(11, 16)));
        r.gsm.setChunking(4, 5);
        QVERIFY(r.start());
        QVERIFY(r.time.rt.runUntil(
            [&] { return r.count("AT+COPS?") && r.station.Timer2.isEnabled(); }, 30'000));

        QCOMPARE(r.commands(r.indexOf("AT+CMGL=\"ALL\"")),
                 QList<QByteArray>({"AT+CMGL=\"ALL\"", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                    "AT+CMGD=2", "AT+CGATT?", "AT+CSQ", "AT+CREG?", "AT+COPS?"}));
        QCOMPARE(r.answerTo("AT+CMGR=1"),
                 QByteArray("\r\n+CMGR: \"REC READ\",\"+391\",,\"05/03/21,10:15:00+04\"\r\n"
                            "POWER OK\r\n\r\nOK\r\n"));
        QCOMPARE(r.answerTo("AT+CMGD=1") + r.answerTo("AT+CMGD=2"), "\r\nOK\r\n\r\nOK\r\n");
        QCOMPARE(queued(r.viewer), QStringList({"1|+391|21/03/05|10:15|POWER OK",
                                        "2|+392|22/03/05|11:16|DOOR OPEN"}));
        QCOMPARE(r.store.count(), 0);

        QCOMPARE(r.station.ProgressBar1->level() * 100 + r.station.ProgressBar2->level(), 2323);
        QVERIFY(r.station.ProgressBar2->isVisibleTo(&r.station));
        QVERIFY(r.station.mnuCall->isEnabled() && r.station.mnuSSMS->isEnabled());
        QCOMPARE(r.tray.icon() * 10 + r.tray.state(), 11);
        QCOMPARE(r.station.Label1[3]->text(), QString(" OMNITEL"));
        QCOMPARE(r.tray.toolTip(), QString("Connect Home network"));

        r.time.rt.runFor(40'000); // Timer6 comes round with nothing queued: no console
        QVERIFY(!r.console.isLoaded());
        r.viewer.Command1_Click();
        r.viewer.Command1_Click();
        QCOMPARE(events(r),
                 QStringList({"+391|21/03/05 10:15|POWER OK", "+392|22/03/05 11:16|DOOR OPEN"}));
    }

    // "Exit" ends the program whatever it is waiting for: the wait gives up at once, nothing
    // more reaches the modem, and the exit sequence ends the program one second later.
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
        FakeWindow console;
        r.station.setCallConsole(&console);
        QList<qint64> ended;
        connect(&r.station, &FrmStGSM::ended, [&] { ended << r.now(); });
        qint64 exitAt = -1;
        qint64 waitEndedAt = -1;
        bool lingered = true; // the station, the port or the tray outlived "Exit" at once
        auto exitIn = [&](qint64 ms) {
            r.time.rt.post(ms, [&] {
                exitAt = r.now();
                console.loaded = true;
                r.station.mnuExit->trigger();
                lingered =
                    r.station.state().StationActive || r.port.isOpen() || !r.tray.isVisible();
            });
        };
        if (during == "discovery") {
            r.modem.setSilent(true);
            r.port.plug(1, &r.modem);
            r.port.plug(2, &r.gsm);
            connect(&r.station.Timer1, &Timer::tick, [&] { waitEndedAt = r.now(); });
            QVERIFY(r.station.load());
            exitIn(1200); // while port 1 is tried at 9600 baud
        } else {
            QVERIFY(r.start());
            QVERIFY(r.time.rt.runUntil([&] { return r.count("AT+COPS?"); }, 30'000));
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
                r.send.show();
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
        QVERIFY(!r.tray.isVisible() && !lingered && !r.station.Timer1.isEnabled());
        QCOMPARE(console.unloaded, 1);
        QCOMPARE(QDir::currentPath(), r.workFolder());
    }
};

QTEST_MAIN(StationTest)
#include "tst_station.moc"
