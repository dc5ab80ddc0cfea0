// What the operator sees of the station as the program wires it (StationDesk), on virtual time:
// the main window never lost, a command's progress, the erase question, unattended work.
#include "CallSession.h"
#include "DemoScripts.h"
#include "FrmCall.h"
#include "FrmSend.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "UnattendedCollector.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

namespace {
const QString Corridor = QStringLiteral("3351234567");

// A desktop without a notification area.
class NoTray : public TrayIcon
{
public:
    bool available() const override { return false; }
};

struct Rig : StationFixture
{
    explicit Rig(bool withTray = true) : trayChosen(withTray || (services.tray = &noTray))
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &machine);
    }
    // Starts (with an unattended collection of Corridor at 09:03 when asked) and runs until
    // the modem is registered.
    bool start(bool collectAt0903 = false)
    {
        SqlMachineDb db(programFile("Dati.mdb"));
        bool ready = db.open() && db.append(MachineTables::Distributori,
                                            {{"Description", "Corridor A"}, {"GSM", Corridor}}) &&
                     DemoScripts::install(programFolder());
        if (collectAt0903) {
            Schedule schedule(programFile("PROGOR.DAT"));
            schedule[0].setNumber(Corridor);
            schedule[0].setHour(9);
            schedule[0].setMinute(3);
            schedule[0].setWeekday(6, true);
            schedule[0].setWeekly(true);
            schedule[0].setUnattended(true);
            ready = ready && schedule.save();
        }
        return ready && desk.station().load() &&
               time.rt.runUntil([this] { return desk.station().mnuCall->isEnabled(); }, 120'000);
    }
    QString programFile(const QString &name) const { return QDir(programFolder()).filePath(name); }
    // The console open on Corridor A.
    void openConsoleOnCorridor()
    {
        desk.station().mnuCall->trigger();
        console.activated();
        console.rowClicked(0);
    }

    NoTray noTray;
    bool trayChosen; // before the desk, which takes the services' tray
    GsmModem gsm;
    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    StationDesk desk{services, nullptr};
    FrmCall &console = desk.calls().window();
    CallSession &session = desk.calls().session();
};
} // namespace

class DeskUiTest : public QObject
{
    Q_OBJECT

private slots:
    // The console and the send window hide the main window while they are open. Without a
    // tray it must come back when they close, or nothing is left to reach the station by.
    void mainWindowComesBackWithoutATray_data()
    {
        QTest::addColumn<bool>("withTray");
        QTest::addColumn<bool>("console");
        QTest::newRow("no tray, console closed") << false << true;
        QTest::newRow("no tray, send window closed") << false << false;
        QTest::newRow("tray, console closed: stays in the tray") << true << true;
        QTest::newRow("tray, send window closed: stays in the tray") << true << false;
    }
    void mainWindowComesBackWithoutATray()
    {
        QFETCH(bool, withTray);
        QFETCH(bool, console);
        Rig r(withTray);
        QVERIFY(r.start());
        FrmStGSM &station = r.desk.station();
        QCOMPARE(station.isVisible(), !withTray);
        QCOMPARE(station.isMinimized(), withTray);

        QWidget &child = console ? static_cast<QWidget &>(r.console) : r.desk.sms().sendWindow();
        for (int round = 0; round < 2; ++round) {
            (console ? station.mnuCall : station.mnuSSMS)->trigger();
            QVERIFY(child.isVisible());
            QVERIFY(!station.isVisible());
            child.close();
            QVERIFY(!child.isVisible());
            QCOMPARE(station.isVisible(), !withTray);
        }
        // One child replacing the other is no reason to come back.
        station.mnuCall->trigger();
        station.mnuSSMS->trigger();
        QVERIFY(!station.isVisible());
    }

    // The title bar's close puts the window away, never ends the station, and says so once.
    void closingTheMainWindow_data()
    {
        QTest::addColumn<bool>("withTray");
        QTest::newRow("tray: hidden, a balloon") << true;
        QTest::newRow("no tray: minimized, a box") << false;
    }
    void closingTheMainWindow()
    {
        QFETCH(bool, withTray);
        Rig r(withTray);
        QVERIFY(r.start());
        FrmStGSM &station = r.desk.station();
        for (int round = 0; round < 2; ++round) {
            station.restore();
            QVERIFY(!station.close());
            QVERIFY(!station.isUnloaded());
            if (withTray)
                QVERIFY(!station.isVisible());
            else
                QVERIFY(station.isMinimized());
        }
        const QString box = "GSM STATUS|The station keeps running. \"Exit\" in this window's menu "
                            "(right mouse button) ends it.";
        QCOMPARE(r.dialogs.messages(), withTray ? QStringList() : QStringList{box});
        QCOMPARE(r.tray.messageTitle(), withTray ? QStringLiteral("GSM STATUS") : QString());
    }

    // An audit read shows its steps in order, a percentage that never goes down and a remaining
    // time that reaches 0 when the transfer ends at its designed end; the file it saved stays
    // named until the next command.
    void auditProgress()
    {
        Rig r;
        QVERIFY(r.start());
        r.openConsoleOnCorridor();
        QCOMPARE(r.console.LabelMachine->text(), QStringLiteral("Corridor A (3351234567)"));
        QStringList steps;
        int lastPercent = 0;
        bool percentDown = false, machineHidden = false, leftGrew = false;
        qint64 designedEnd = -1, endedAt = -1, left = -1;
        QObject::connect(&r.session, &CallSession::changed, [&] {
            const CallProgress &p = r.session.report();
            const QString step = p.stepText();
            if (!step.isEmpty() && (steps.isEmpty() || steps.last() != step))
                steps << step;
            percentDown = percentDown || p.percent() < lastPercent;
            lastPercent = p.percent();
            if (p.step() == CallProgress::Step::Batch) {
                const qint64 now = p.remainingMs(r.now());
                leftGrew = leftGrew || (left >= 0 && now > left);
                left = now;
            }
            if (p.step() == CallProgress::Step::Converting && endedAt < 0) {
                endedAt = r.now();
                designedEnd = p.designedEnd();
                left = p.remainingMs(r.now());
            }
            // The list hides during the transfer; the machine stays named.
            if (p.step() == CallProgress::Step::Batch)
                machineHidden = machineHidden || r.console.ListView1->isVisible() ||
                                !r.console.LabelMachine->isVisible() ||
                                r.console.LabelMachine->text().isEmpty();
        });
        const QString file = r.programFile("corridor.txt");
        r.dialogs.chooseFileNext(file);
        r.dialogs.answerNext(MsgResult::No);
        r.console.Command9->click();
        QVERIFY(r.time.rt.runUntil([&] { return r.session.lastAudit().done; }, 600'000));
        r.session.Command4_Click();

        QCOMPARE(steps, (QStringList{"dialling", "connected", "pointer read", "memory map",
                                     "batch 1 of 3", "batch 2 of 3", "batch 3 of 3",
                                     "converting", "hanging up"}));
        QVERIFY(!percentDown);
        QVERIFY(!machineHidden);
        QCOMPARE(r.console.ProgressBar1->value(), 100);
        QVERIFY(!leftGrew);
        QCOMPARE(left, 0);
        QVERIFY2(endedAt == designedEnd,
                 qPrintable(QStringLiteral("ended %1 ms after its designed end")
                                .arg(endedAt - designedEnd)));
        QCOMPARE(r.console.LabelSaved->text(), "saved to " + QDir::toNativeSeparators(file));

        const auto save = std::find_if(r.dialogs.shown().begin(), r.dialogs.shown().end(),
                                       [](const auto &s) { return s.kind == s.Save; });
        QVERIFY(save != r.dialogs.shown().end());
        QCOMPARE(save->text, QStringLiteral("Save the audit"));
        QVERIFY2(QRegularExpression("^3351234567-20261205-09\\d\\d\\.txt$").match(save->suggested).hasMatch(),
                 qPrintable(save->suggested));
        QCOMPARE(r.dialogs.boxes().last(),
                 QStringLiteral("ERASE Corridor A (3351234567)|ERASE Erasable DATA ? |Question|YesNo"));

        r.dialogs.chooseFileNext({});
        r.console.Command2->click();
        QVERIFY(r.console.LabelSaved->text().isEmpty());
    }

    // While an unattended collection runs, the status line and the tray's tooltip name the
    // machine and the step; afterwards the result is listed and the tooltip is the station's
    // again.
    void unattendedWorkIsVisible()
    {
        Rig r;
        QVERIFY(r.start(true));
        FrmStGSM &station = r.desk.station();
        UnattendedCollector *collector = r.desk.collect().collector();
        QVERIFY(collector);
        const QString idle = r.tray.toolTip();
        QStringList seen;
        QObject::connect(&r.tray, &TrayIcon::changed, [&] {
            if (collector->collecting() && !seen.contains(r.tray.toolTip()))
                seen << r.tray.toolTip();
        });
        QVERIFY(r.time.rt.runUntil([&] { return station.ListResults->count() == 1; },
                                   30 * 60'000));
        QVERIFY2(!seen.filter(QRegularExpression("^Collecting the audit of Corridor A "
                                                 "\\(3351234567\\): batch 2 of 3, \\d+%$"))
                      .isEmpty(),
                 qPrintable(seen.join(u'\n')));
        QVERIFY(station.LabelStatus->text().isEmpty());
        QCOMPARE(r.tray.toolTip(), idle);
        QVERIFY(station.ListResults->item(0)->text().endsWith(
            "  Corridor A (3351234567)  Completed"));
    }

    // Windows land on a screen whole, and the incoming SMS window beside the status window.
    void placement_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("placed");
        const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
        QTest::addColumn<QList<QRect>>("screens");
        QTest::newRow("on screen: stays") << QRect(100, 100, 400, 300) << QRect(100, 100, 400, 300)
                                          << QList<QRect>{left};
        QTest::newRow("second monitor gone: back on the first")
            << QRect(2500, 200, 400, 300) << QRect(1520, 200, 400, 300) << QList<QRect>{left};
        QTest::newRow("across two monitors: onto the one it covers most")
            << QRect(1800, 100, 400, 300) << QRect(1920, 100, 400, 300)
            << QList<QRect>{left, right};
        QTest::newRow("bigger than the screen: shrunk")
            << QRect(-50, -20, 2000, 1200) << QRect(0, 0, 1920, 1080) << QList<QRect>{left};
    }
    void placement()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, placed);
        QFETCH(QList<QRect>, screens);
        QCOMPARE(WindowPlacement::onScreen(frame, screens), placed);
    }
    void besideTheStatusWindow()
    {
        const QList<QRect> screen{QRect(0, 0, 1280, 800)};
        QCOMPARE(WindowPlacement::beside(QSize(400, 300), QRect(100, 100, 300, 300), screen),
                 QRect(400, 100, 400, 300));
        QCOMPARE(WindowPlacement::beside(QSize(400, 300), QRect(900, 100, 300, 300), screen),
                 QRect(500, 100, 400, 300));
    }
};

QTEST_MAIN(DeskUiTest)
#include "tst_deskui.moc"
