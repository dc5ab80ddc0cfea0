// The unattended collector in a station wired as the program wires it, with the console's job
// runner, against the simulated modem and machines, on virtual time: when it takes the port, the
// retries, the queue, the archive names and the log.
#include "AuditArchive.h"
#include "DeskRig.h"

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <csignal>

namespace {
const QString Corridor = DeskRig::Corridor;              // answers data calls
const QString Busy = QStringLiteral("3359990001");     // always busy
using Entry = DeskRig::Entry;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
}
bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// With a second machine, always busy, and a note of whether any menu entry that borrows the
// port ("Call", "Send SMS", "Setup") was usable as an attempt began.
struct Rig : DeskRig
{
    Rig()
    {
        machines.append({"Busy corner, east", Busy});
        gsm.setDialAnswer(Busy.toLatin1(), DialAnswer::Busy);
        QObject::connect(&collector, &UnattendedCollector::attemptStarted, [this] {
            menus << (station.mnuCall->isEnabled() || station.mnuSSMS->isEnabled() ||
                      station.mnuSet->isEnabled());
        });
    }
    bool runUntilIdle(qint64 limitMs = 3'600'000)
    {
        return runUntil([this] { return collector.waiting().isEmpty() && !collector.collecting(); },
                        limitMs);
    }
    QString auditFile(const QString &rel) const { return workFolder() + "/Audit/" + rel; }
    QStringList logLines() const
    {
        return QString::fromLatin1(readAll(auditFile("collect.csv")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
            .mid(1);
    }
    // Every file under Audit/ but the log, relative to it.
    QStringList archived() const
    {
        QStringList out;
        QDirIterator it(auditFile(QString()), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(auditFile(QString())).relativeFilePath(it.next());
        out.removeAll(QStringLiteral("collect.csv"));
        out.sort();
        return out;
    }
    // Where each dial of number stands in the modem's log.
    QList<int> dials(const QString &number) const
    {
        QList<int> out;
        for (int i = 0; i < log.size(); ++i)
            if (log[i].line == "ATD" + number.toLatin1())
                out << i;
        return out;
    }

    QList<bool> menus;
};

// A collector beside the desk's, on its port, with a runner of the test's own; it files under
// work (by default the desk's own folder).
std::unique_ptr<UnattendedCollector> ownCollector(DeskRig &r, AuditJobRunner &runner,
                                                  const QString &work = {})
{
    Services s = r.services;
    if (!work.isEmpty())
        s.appFolder = work + "/prog";
    return std::make_unique<UnattendedCollector>(s, r.station.lender(), r.station.Timer2, runner);
}
} // namespace

class StationCollectTest : public QObject
{
    Q_OBJECT

private slots:
    // What happens to each attempt on Corridor A, one word per attempt.
    void retries_data()
    {
        QTest::addColumn<QStringList>("attempts");
        QTest::addColumn<QStringList>("results"); // the log's result column, one per attempt
        QTest::addColumn<QStringList>("files");
        const QStringList both = {"3351234567/20261205-0900.img", "3351234567/20261205-0900.txt"};
        QTest::newRow("completed at once") << QStringList{"ok"} << QStringList{"Completed"} << both;
        QTest::newRow("busy three times: given up with a tray message")
            << QStringList{"busy", "busy", "busy", "ok"} << QStringList{"Busy", "Busy", "Busy"}
            << QStringList();
        QTest::newRow("failed transfer, no answer, failed dial: three attempts")
            << QStringList{"silent", "no-answer", "no-carrier"}
            << QStringList{"Transfer failed", "No answer", "Dial failed"} << QStringList();
        QTest::newRow("the records cannot be filed: not tried again, no half file")
            << QStringList{"txt-blocked"} << QStringList{"File error"}
            << QStringList{"3351234567/20261205-0900.img"};
        QTest::newRow("failed conversion: not tried again, the image is kept")
            << QStringList{"bad-script"} << QStringList{"Conversion failed"}
            << QStringList{"3351234567/20261205-0900.img"};
        QTest::newRow("a file where the folder goes: nothing is dialled")
            << QStringList{"folder-blocked"} << QStringList{"File error"}
            << QStringList{"3351234567"};
    }
    void retries()
    {
        QFETCH(QStringList, attempts);
        QFETCH(QStringList, results);
        QFETCH(QStringList, files);
        Rig r;
        QVERIFY(r.start());
        QList<qint64> started, ended;
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted,
                         [&](const QString &, int n) {
                             started << r.now();
                             const QString a = attempts.value(n - 1);
                             const QHash<QString, DialAnswer> dial{
                                 {"busy", DialAnswer::Busy},
                                 {"no-answer", DialAnswer::NoAnswer},
                                 {"no-carrier", DialAnswer::NoCarrier}};
                             r.gsm.setDialAnswer(Corridor.toLatin1(),
                                                 dial.value(a, DialAnswer::Connect));
                             LinkFaults f;
                             f.silenceAfter = a == "silent" ? 0 : -1;
                             r.machine.setFaults(f);
                             if (a == "txt-blocked")
                                 QDir().mkpath(r.auditFile(
                                     Corridor + r.clock.now().toString("'/'yyyyMMdd-hhmm'.txt'")));
                         });
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QObject::connect(&r.collector, &UnattendedCollector::attemptFinished,
                         [&] { ended << r.now(); });
        if (attempts.first() == "bad-script")
            QVERIFY(write(r.programFile("decod.asm"), "CA2,CASH,3,6,8\r\nCA8,0\r\n"));
        if (attempts.first() == "folder-blocked")
            QVERIFY(QDir().mkpath(r.auditFile({})) && write(r.auditFile(Corridor), "in the way"));
        r.collector.due(Corridor, true);
        QVERIFY(r.runUntilIdle());
        r.time.rt.runFor(30 * 60'000);

        const QStringList lines = r.logLines();
        QStringList logged;
        for (const QString &l : lines)
            logged << l.section(u',', 3, 3);
        QCOMPARE(logged, results);
        const QList<int> dials = r.dials(Corridor);
        QCOMPARE(dials.size(), attempts.first() == "folder-blocked" ? 0 : results.size());
        QCOMPARE(started.size(), dials.size());
        for (int i = 0; i < dials.size(); ++i) {
            QVERIFY(r.log[dials[i]].portLent);
            QVERIFY2(lines[i].startsWith("2026-12-05 09:"), qPrintable(lines[i]));
            QCOMPARE(lines[i].section(u',', 1, 2), QString(Corridor + ",Corridor A"));
            if (i == 0)
                continue;
            // 5 minutes after the failed attempt ended, at the next polling tick.
            const qint64 gap = started[i] - ended[i - 1];
            QVERIFY2(gap >= 300'000 && gap <= 310'100, qPrintable(QString::number(gap)));
            QVERIFY(r.polledBetween(dials[i - 1], dials[i]));
        }
        QCOMPARE(r.menus, QList<bool>(started.size(), false));
        for (int i = 0; i < finished.size(); ++i)
            QCOMPARE(finished[i][3].toBool(), i + 1 < results.size());
        const bool given = results.last() != "Completed";
        QCOMPARE(r.tray.messageText().isEmpty(), !given);
        if (given) {
            QCOMPARE(r.tray.messageTitle(), QStringLiteral("Audit not collected"));
            QVERIFY2(r.tray.messageText().startsWith(
                         dials.isEmpty() ? "3351234567: cannot make the folder"
                                         : "Corridor A (3351234567): " + results.last() + ", attempt "),
                     qPrintable(r.tray.messageText()));
        }
        QCOMPARE(r.archived(), files);
        QVERIFY(!r.gsm.callUp());
        QCOMPARE(r.machine.eraseCount(), 0);
        QVERIFY(r.station.state().StationActive && r.station.Timer2.isEnabled());
        QVERIFY(r.station.mnuCall->isEnabled() && r.station.mnuSet->isEnabled());
    }

    void waitsWhileThePortIsTaken_data()
    {
        QTest::addColumn<bool>("console"); // open; else polling is off
        QTest::newRow("the call console is open, even with polling running") << true;
        QTest::newRow("polling off: the port lent, or the modem silent") << false;
    }
    void waitsWhileThePortIsTaken()
    {
        QFETCH(bool, console);
        Rig r;
        QVERIFY(r.start());
        auto &s = r.station;
        QSignalSpy started(&r.collector, &UnattendedCollector::attemptStarted);
        if (console) {
            r.console.show();
            s.lender().giveBack();
        } else {
            s.Timer2.stop();
        }
        r.collector.due(Corridor, true);
        r.time.rt.runFor(30 * 60'000);
        QVERIFY(r.dials(Corridor).isEmpty());
        QVERIFY(!QFile::exists(r.auditFile("collect.csv")));
        // Given back as the console gives it back: polling again after 100 ms.
        const qint64 back = r.now();
        r.console.unload();
        s.state().StationActive = true;
        s.Timer2.setInterval(100);
        s.Timer2.start();
        QVERIFY(r.time.rt.runUntil([&] { return started.size() == 1; }, 1000));
        QCOMPARE(r.log[r.dials(Corridor).first()].at, back + 100);
    }

    // The queue keeps its order and takes a number once, a number waiting to be tried again
    // included; polling runs between two collections. Every attempt is one line; fields with
    // commas are quoted; modem lines become one.
    void theQueueAndTheLog()
    {
        Rig r;
        QVERIFY(r.start());
        QList<qint64> given, started;
        QObject::connect(&r.collector, &UnattendedCollector::portHeld, [&](bool held) {
            if (!held)
                given << r.now();
        });
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted,
                         [&] { started << r.now(); });
        r.collector.due(Busy, true);
        r.collector.due(Corridor, true);
        r.collector.due(Busy + ' ', true);
        r.collector.due(QStringLiteral("333"), false); // the console's
        r.collector.collect(QStringLiteral("  "));
        QCOMPARE(r.collector.waiting(), QStringList({Busy, Corridor}));
        QVERIFY(r.time.rt.runUntil([&] { return started.size() == 2; }, 120'000));
        r.collector.due(Busy, true); // waiting to be tried again
        QCOMPARE(r.collector.waiting(), QStringList{Busy});
        r.gsm.setDialAnswer(Busy.toLatin1(), DialAnswer::Connect);
        r.gsm.addMachine(Busy.toLatin1(), &r.machine);
        QVERIFY(r.runUntilIdle());
        QCOMPARE(started.size(), 3);
        // The next collection begins with the poll 100 ms after the port came back.
        QCOMPARE(started[1], given[0] + 100);
        const QList<int> dials = r.dials(Corridor);
        QVERIFY(r.polledBetween(r.dials(Busy).first(), dials.first()));

        const QString log = QString::fromLatin1(readAll(r.auditFile("collect.csv")));
        const QRegularExpression expected(QRegularExpression::anchoredPattern(
            "Date and time,Number,Machine,Result,Seconds,Message\r\n"
            "2026-12-05 09:00:\\d\\d,3359990001,\"Busy corner, east\",Busy,\\d+,"
            "\"BUSY \\(attempt 1 of 3, next at 09:05\\)\"\r\n"
            "2026-12-05 09:0\\d:\\d\\d,3351234567,Corridor A,Completed,\\d+,"
            "Audit/3351234567/20261205-0900.txt\r\n"
            "2026-12-05 09:0\\d:\\d\\d,3359990001,\"Busy corner, east\",Completed,\\d+,"
            "Audit/3359990001/20261205-0905.txt\r\n"));
        QVERIFY2(expected.match(log).hasMatch(), qPrintable(log));
    }

    // What a runner of another kind may say: a message in several lines is one field of one log
    // line; Completed without the records is a filing error.
    void anotherRunnersWord_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("lines") << int(AuditJobOutcome::ConversionFailed)
                               << "ATD7\r\r\nNO CARRIER\r\n"
                               << QByteArray(",Conversion failed,0,ATD7 NO CARRIER (attempt 1 of 3)");
        QTest::newRow("no records") << int(AuditJobOutcome::Completed) << ""
                                    << QByteArray(",File error,0,20261205-0900.img was not written "
                                                  "(attempt 1 of 3)");
    }
    void anotherRunnersWord()
    {
        QFETCH(int, result);
        QFETCH(QString, message);
        QFETCH(QByteArray, logged);
        struct Says : AuditJobRunner
        {
            void run(const QString &, const QString &, const QString &,
                     std::function<void(const AuditJobOutcome &)> done) override
            {
                done(outcome);
            }
            AuditJobOutcome outcome;
        } runner;
        runner.outcome = {AuditJobOutcome::Result(result), message};
        Rig r;
        QVERIFY(r.start());
        const auto collector = ownCollector(r, runner);
        collector->due(QStringLiteral("7"), true);
        r.time.rt.runFor(10'000);
        const QByteArray log = readAll(r.auditFile("collect.csv"));
        QVERIFY2(log.endsWith(logged + "\r\n"), log);
    }

    void archiveNames_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("existing"); // files already in the number's folder
        QTest::addColumn<QString>("txt");
        QTest::newRow("a number cannot leave the folder")
            << "../x/ 1" << QStringList() << "___x__1/20261205-0900.txt";
        QTest::newRow("a taken minute gets -2, leftovers are removed")
            << "7" << QStringList{"20261205-0900.img", "20261205-0900-2.txt.part"}
            << "7/20261205-0900-2.txt";
    }
    void archiveNames()
    {
        QFETCH(QString, number);
        QFETCH(QStringList, existing);
        QFETCH(QString, txt);
        QTemporaryDir dir;
        AuditArchive archive(dir.path());
        const QString folder = archive.root() + "/" + AuditArchive::folderName(number);
        QDir().mkpath(folder);
        for (const QString &f : existing)
            QVERIFY(write(folder + "/" + f, "x"));
        AuditArchive::Files files;
        QVERIFY(archive.prepare(number, QDateTime(QDate(2026, 12, 5), QTime(9, 0, 59)), &files,
                                nullptr));
        QCOMPARE(QDir(archive.root()).relativeFilePath(files.txt), txt);
        QCOMPARE(files.img, files.txt.chopped(4) + ".img");
        QCOMPARE(QDir(folder).entryList({"*.part"}, QDir::Files), QStringList());
    }

    // A console entry falls due: Timer6 opens the console on that machine, nothing is dialled.
    void aDueEntryOpensTheConsoleOnItsMachine()
    {
        Rig r;
        QVERIFY(r.start(Entry::Console));
        QVERIFY(r.time.rt.runUntil([&] { return r.console.isLoaded(); }, 10 * 60'000));
        if (!r.desk.scheduler().queue().first().isEmpty())
            r.console.activated(); // what the window system does when the console comes up
        QCOMPARE(r.console.Label1->text(), Corridor);
        QCOMPARE(r.console.Label4->text(), QStringLiteral("Corridor A"));
        QCOMPARE(r.console.ListView1->currentIndex().row(), 0);
        QVERIFY(!r.console.Command9->isEnabled());
        r.time.rt.runFor(10 * 60'000);
        QVERIFY(r.dials(Corridor).isEmpty());
        QVERIFY(!QFile::exists(r.auditFile("collect.csv")));
    }

    // An unattended entry falls due while the operator works in the console: it waits until the
    // console is closed, then dials at once. The machine and the step show on the status line
    // and in the tray's tooltip, and the result is listed. The audit is filed without anyone,
    // named for when it was read and equal to what evadts-convert makes of the same image, and
    // polling goes on. The station was killed once while writing that machine's files: the
    // temporary names it left are cleared away.
    void anUnattendedEntryWaitsForTheConsoleThenIsFiled()
    {
        Rig r;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("COLLECT_CRASH_WORK"), r.workFolder());
        env.insert(QStringLiteral("TMPDIR"), r.workFolder()); // the killed child's own folder
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60'000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QDir folder(r.auditFile(Corridor));
        QCOMPARE(folder.entryList(QDir::Files),
                 QStringList({"20261205-0900.img.part", "20261205-0900.txt.part"}));
        QCOMPARE(readAll(folder.filePath("20261205-0900.txt.part")), QByteArray("ID1*100"));

        QVERIFY(r.start(Entry::Unattended));
        const QString idle = r.tray.toolTip();
        r.station.mnuCall->trigger();
        r.time.rt.runFor(20 * 60'000);
        QCOMPARE(r.collector.waiting(), QStringList{Corridor});
        QVERIFY(r.dials(Corridor).isEmpty());

        QStringList shown; // the tooltip, while the status line said the same
        QObject::connect(&r.tray, &TrayIcon::changed, [&] {
            if (r.collector.collecting() && r.station.LabelStatus->text() == r.tray.toolTip())
                shown << r.tray.toolTip();
        });
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QDateTime started;
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted,
                         [&] { started = r.clock.now(); });
        const qint64 closed = r.now();
        r.console.close();
        QVERIFY(r.runUntil([&] { return finished.size() == 1; }, 30 * 60'000));
        QCOMPARE(finished[0][1].value<AuditJobOutcome>().result, AuditJobOutcome::Completed);
        QCOMPARE(r.dials(Corridor).size(), 1);
        QCOMPARE(r.log[r.dials(Corridor).first()].at, closed + 100);
        QVERIFY2(shown.indexOf(QRegularExpression("^Collecting the audit of Corridor A "
                                                  "\\(3351234567\\): batch 2 of 3, \\d+%$")) >= 0,
                 qPrintable(shown.join(u'\n')));
        QVERIFY(r.station.LabelStatus->text().isEmpty());
        QCOMPARE(r.tray.toolTip(), idle);
        QCOMPARE(r.station.ListResults->count(), 1);
        QVERIFY(r.station.ListResults->item(0)->text().endsWith(
            "  Corridor A (3351234567)  Completed"));

        const int ended = int(r.log.size());
        const QString stamp = AuditArchive::stamp(started);
        QCOMPARE(folder.entryList(QDir::Files), QStringList({stamp + ".img", stamp + ".txt"}));
        QProcess convert;
        convert.setWorkingDirectory(r.programFolder());
        convert.start(QStringLiteral(EVADTS_CONVERT), {"--script", "decod.asm", "--address",
                                                       "address.asm", "--image",
                                                       folder.filePath(stamp + ".img")});
        QVERIFY(convert.waitForFinished(60'000));
        QCOMPARE(convert.exitCode(), 0);
        const QByteArray records = convert.readAllStandardOutput();
        QVERIFY(records.startsWith("CA2*"));
        QCOMPARE(readAll(folder.filePath(stamp + ".txt")), records);
        const QStringList lines = r.logLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(started.toString("yyyy-MM-dd hh:mm:")), qPrintable(lines[0]));
        QVERIFY(lines[0].section(u',', 4, 4).toInt() > 60);
        r.time.rt.runFor(1000);
        QVERIFY(r.polledBetween(ended - 1, r.log.size()));
    }
};

// The child of anUnattendedEntryWaitsForTheConsoleThenIsFiled: its job writes part of the
// records and the process is killed there.
static int crashingChild(const QString &work)
{
    class Killed : public AuditJobRunner
    {
    public:
        void run(const QString &, const QString &txt, const QString &img,
                 std::function<void(const AuditJobOutcome &)>) override
        {
            write(img, "\x08\x00");
            QFile f(txt);
            if (f.open(QIODevice::WriteOnly) && f.write("ID1*100") == 7 && f.flush())
                std::raise(SIGKILL);
        }
    } runner;
    Rig r;
    const auto collector = ownCollector(r, runner, work);
    if (r.start())
        collector->due(Corridor, true);
    r.time.rt.runFor(60'000);
    return 0; // not killed: the parent sees a normal exit and fails
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("COLLECT_CRASH_WORK"))
        return crashingChild(qEnvironmentVariable("COLLECT_CRASH_WORK"));
    StationCollectTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_station.moc"
