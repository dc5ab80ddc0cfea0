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
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

namespace {
const QString Corridor = QStringLiteral("3351234567");

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
    // Starts, with Corridor A collected unattended at 09:03 when asked, until registered.
    bool start(bool collectAt0903 = false)
    {
        SqlMachineDb db(QDir(programFolder()).filePath("Dati.mdb"));
        bool ready = db.open() && db.append(MachineTables::Distributori,
                                            {{"Description", "Corridor A"}, {"GSM", Corridor}}) &&
                     DemoScripts::install(programFolder());
        if (collectAt0903) {
            Schedule schedule(QDir(programFolder()).filePath("PROGOR.DAT"));
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

    NoTray noTray;
    bool trayChosen; // before the desk, which takes the services' tray
    GsmModem gsm;
    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    StationDesk desk{services, nullptr};
    FrmStGSM &station = desk.station();
    FrmCall &console = desk.calls().window();
    CallSession &session = desk.calls().session();
};
} // namespace

class DeskUiTest : public QObject
{
    Q_OBJECT

private slots:
    // The console and the send window hide the main window. Without a tray it comes back when
    // they close, or nothing is left to reach the station by; its own close button puts it
    // away, never ends the station, and says so once.
    void mainWindowNeverLost_data()
    {
        QTest::addColumn<bool>("withTray");
        QTest::newRow("no tray: back after each, minimized on close, a box") << false;
        QTest::newRow("tray: stays in the tray, hidden on close, a balloon") << true;
    }
    void mainWindowNeverLost()
    {
        QFETCH(bool, withTray);
        Rig r(withTray);
        QVERIFY(r.start());
        QCOMPARE(r.station.isVisible(), !withTray);
        QCOMPARE(r.station.isMinimized(), withTray);
        QWidget *send = &r.desk.sms().sendWindow();
        for (QWidget *child : {static_cast<QWidget *>(&r.console), send, send}) {
            (child == send ? r.station.mnuSSMS : r.station.mnuCall)->trigger();
            QVERIFY(child->isVisible() && !r.station.isVisible());
            child->close();
            QCOMPARE(r.station.isVisible(), !withTray);
        }
        // One replacing the other is no reason to come back.
        r.station.mnuCall->trigger();
        r.station.mnuSSMS->trigger();
        QVERIFY(!r.station.isVisible());
        send->close();

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
        Rig r;
        QVERIFY(r.start());
        r.station.mnuCall->trigger();
        r.console.activated();
        r.console.rowClicked(0);
        QStringList steps;
        int percent = 0;
        qint64 left = -1, endedAt = -1;
        QStringList faults;
        QObject::connect(&r.session, &CallSession::changed, [&] {
            const CallProgress &p = r.session.report();
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
        const QString file = QDir(r.programFolder()).filePath("corridor.txt");
        r.dialogs.chooseFileNext(file);
        r.dialogs.answerNext(MsgResult::No);
        r.console.Command9->click();
        QVERIFY(r.time.rt.runUntil([&] { return r.session.lastAudit().done; }, 600'000));
        r.session.Command4_Click();

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
        QCOMPARE(save->text, QStringLiteral("Save the audit"));
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

    // An unattended collection names the machine and the step on the status line and in the
    // tray's tooltip; afterwards the result is listed and the tooltip is the station's again.
    void unattendedWorkIsVisible()
    {
        Rig r;
        QVERIFY(r.start(true));
        UnattendedCollector *collector = r.desk.collect().collector();
        const QString idle = r.tray.toolTip();
        QStringList seen;
        QObject::connect(&r.tray, &TrayIcon::changed, [&] {
            if (collector->collecting() && r.station.LabelStatus->text() == r.tray.toolTip())
                seen << r.tray.toolTip();
        });
        QVERIFY(r.time.rt.runUntil([&] { return r.station.ListResults->count() == 1; },
                                   30 * 60'000));
        QVERIFY2(seen.indexOf(QRegularExpression("^Collecting the audit of Corridor A "
                                                 "\\(3351234567\\): batch 2 of 3, \\d+%$")) >= 0,
                 qPrintable(seen.join(u'\n')));
        QVERIFY(r.station.LabelStatus->text().isEmpty());
        QCOMPARE(r.tray.toolTip(), idle);
        QVERIFY(r.station.ListResults->item(0)->text().endsWith(
            "  Corridor A (3351234567)  Completed"));
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
};

QTEST_MAIN(DeskUiTest)
#include "tst_deskui.moc"
