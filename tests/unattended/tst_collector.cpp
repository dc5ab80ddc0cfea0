// The unattended collector's policy on virtual time, with a scripted job runner in place of the
// console: when it takes the port, the retries, the queue, the archive names and the log.
#include "AuditArchive.h"
#include "AuditFiles.h"
#include "Clock.h"
#include "MachineDb.h"
#include "PortLender.h"
#include "Runtime.h"
#include "Services.h"
#include "StationState.h"
#include "Timer.h"
#include "TrayIcon.h"
#include "UnattendedCollector.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {
using R = AuditJobOutcome::Result;

const QByteArray Records = "ID1*100234\r\nCA2*4660*16\r\n";
const QByteArray Image = QByteArray::fromHex("0800aabbccdd7201");

// Plays the console's part: each attempt takes durationMs, writes what its outcome implies (a
// failed one leaves half files behind) and reports the next scripted outcome.
class ScriptedRunner : public AuditJobRunner
{
public:
    struct Call
    {
        QString number;
        qint64 at = 0;
        bool portLent = false; // polling off, StationActive False, hand-over timer off
    };

    void run(const QString &number, const QString &txtPath, const QString &imgPath,
             std::function<void(const AuditJobOutcome &)> done) override
    {
        // A scripted FileError stands for a runner that says Completed but wrote no records.
        AuditJobOutcome outcome =
            script.isEmpty() ? AuditJobOutcome{R::Completed, {}} : script.takeFirst();
        const bool noRecords = outcome.result == R::FileError;
        if (noRecords)
            outcome.result = R::Completed;
        calls << Call{number, Runtime::current().nowMs(), portLent && portLent()};
        auto finish = [this, txtPath, imgPath, outcome, done, noRecords] {
            switch (outcome.result) {
            case R::Completed:
                write(imgPath, Image);
                if (!noRecords)
                    write(txtPath, Records);
                break;
            case R::ConversionFailed:
                write(imgPath, Image), write(txtPath, Records.left(5));
                break;
            default:
                write(imgPath, Image.left(3));
                break;
            }
            done(outcome);
        };
        Runtime::current().post(durationMs, finish);
    }
    QList<AuditJobOutcome> script;
    QList<Call> calls;
    std::function<bool()> portLent;
    qint64 durationMs = 40'000;
};

class FakeConsole : public WindowOpener
{
public:
    void show() override { loaded = true; }
    bool isLoaded() const override { return loaded; }
    void unload() override { loaded = false; }
    bool loaded = false;
};

// The main window's side: its polling tick re-arms the hand-over and sets the 10 s period, as
// network polling does, and counts the polls.
struct PollingStation
{
    explicit PollingStation(StationState &state)
    {
        QObject::connect(&timer2, &Timer::tick, [&] {
            timer2.setInterval(10'000);
            timer6.start();
            if (state.StationActive)
                polls << Runtime::current().nowMs();
        });
    }
    Timer timer2{QStringLiteral("Timer2"), 10'000, true};
    Timer timer6{QStringLiteral("Timer6"), 40'000, false};
    QList<qint64> polls;
};

struct Rig
{
    Rig()
    {
        state.StationActive = true;
        db.open();
        db.append(MachineTables::Distributori,
                  {{"GSM", "3351234567"}, {"Description", "Corridor A"}});
        db.append(MachineTables::Distributori,
                  {{"GSM", "3359990001"}, {"Description", "Hall, east side"}});
        runner.portLent = [this] {
            return !state.StationActive && !station.timer2.isEnabled() &&
                   !station.timer6.isEnabled();
        };
        collector.setHandOverTimer(&station.timer6);
        collector.setConsole(&console);
        collector.setMachineDb(&db);
    }
    ~Rig() { QDir::setCurrent(QDir::tempPath()); }
    Services servicesIn(const QString &programFolder)
    {
        Services s;
        s.clock = &clock;
        s.tray = &tray;
        s.appFolder = programFolder;
        return s;
    }

    QString work() const { return QDir(tmp.path()).absolutePath(); }
    QString audit(const QString &rel) const
    {
        return QDir(work()).filePath(QStringLiteral("Audit/") + rel);
    }
    // The lines of collect.csv after its header.
    QStringList log() const
    {
        QStringList lines = QString::fromLatin1(readAll(audit("collect.csv")))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        return lines.mid(1);
    }
    QStringList results() const
    {
        QStringList out;
        for (const QString &l : log())
            out << l.section(u',', 3, 3);
        return out;
    }
    // Every file under Audit/ but the log, relative to it.
    QStringList archived() const
    {
        QStringList out;
        QDirIterator it(audit(QString()), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(audit(QString())).relativeFilePath(it.next());
        out.removeAll(QStringLiteral("collect.csv"));
        out.sort();
        return out;
    }
    bool runUntilIdle(qint64 limitMs = 3'600'000)
    {
        return time.rt.runUntil(
            [this] { return collector.waiting().isEmpty() && !collector.collecting(); }, limitMs);
    }

    VirtualTimeScope time;
    QTemporaryDir tmp;
    StationState state;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(9, 0))};
    TrayIcon tray;
    Services services = servicesIn(QDir(tmp.path()).filePath(QStringLiteral("prog")));
    SqlMachineDb db{QDir(tmp.path()).filePath(QStringLiteral("Dati.mdb"))};
    FakeConsole console;
    PollingStation station{state};
    PortLender lender{state, station.timer2};
    ScriptedRunner runner;
    UnattendedCollector collector{services, lender, station.timer2, runner};
};
} // namespace

class CollectorTest : public QObject
{
    Q_OBJECT

private slots:
    void retries_data()
    {
        QTest::addColumn<QList<int>>("outcomes");
        QTest::addColumn<QStringList>("results"); // the log's result column, one per attempt
        QTest::addColumn<bool>("trayMessage");
        QTest::addColumn<QStringList>("files");
        const QStringList both = {"3351234567/20261205-0900.img", "3351234567/20261205-0900.txt"};
        QTest::newRow("completed at once")
            << QList<int>{R::Completed} << QStringList{"Completed"} << false << both;
        QTest::newRow("busy three times: given up with a tray message")
            << QList<int>{R::Busy, R::Busy, R::Busy, R::Completed}
            << QStringList{"Busy", "Busy", "Busy"} << true << QStringList();
        QTest::newRow("no answer, failed dial, failed transfer: three attempts")
            << QList<int>{R::NoAnswer, R::DialFailed, R::TransferFailed}
            << QStringList{"No answer", "Dial failed", "Transfer failed"} << true << QStringList();
        QTest::newRow("busy, then completed at 09:05")
            << QList<int>{R::Busy, R::Completed} << QStringList{"Busy", "Completed"} << false
            << QStringList{"3351234567/20261205-0905.img", "3351234567/20261205-0905.txt"};
        QTest::newRow("completed without a records file: not tried again")
            << QList<int>{R::FileError} << QStringList{"File error"} << true
            << QStringList{"3351234567/20261205-0900.img"};
        QTest::newRow("failed conversion: not tried again, the image is kept")
            << QList<int>{R::ConversionFailed} << QStringList{"Conversion failed"} << true
            << QStringList{"3351234567/20261205-0900.img"};
    }
    void retries()
    {
        QFETCH(QList<int>, outcomes);
        QFETCH(QStringList, results);
        QFETCH(bool, trayMessage);
        QFETCH(QStringList, files);
        Rig r;
        for (int o : outcomes)
            r.runner.script << AuditJobOutcome{R(o), QStringLiteral("said %1").arg(o)};
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        r.collector.due(QStringLiteral("3351234567"), true);
        QVERIFY(r.runUntilIdle());

        QCOMPARE(r.results(), results);
        QCOMPARE(r.runner.calls.size(), results.size());
        for (int i = 1; i < r.runner.calls.size(); ++i) {
            // 5 minutes after the failed attempt ended, at the next polling tick.
            const qint64 gap = r.runner.calls[i].at - r.runner.calls[i - 1].at - 40'000;
            QVERIFY2(gap >= 300'000 && gap <= 310'100, qPrintable(QString::number(gap)));
        }
        for (int i = 0; i < finished.size(); ++i)
            QCOMPARE(finished[i][3].toBool(), i + 1 < results.size());
        QCOMPARE(!r.tray.messageText().isEmpty(), trayMessage);
        if (trayMessage) {
            QCOMPARE(r.tray.messageTitle(), QStringLiteral("Audit not collected"));
            QVERIFY2(r.tray.messageText().startsWith("Corridor A (3351234567): " + results.last() +
                                                     ", attempt "),
                     qPrintable(r.tray.messageText()));
        }
        QCOMPARE(r.archived(), files);
        if (files.size() == 2) {
            QCOMPARE(readAll(r.audit(files[1])), Records);
            QCOMPARE(readAll(r.audit(files[0])), Image);
        }
    }

    // The port is lent exactly like the console borrows it, and polling runs between two
    // collections.
    void thePortIsBorrowedAndGivenBack()
    {
        Rig r;
        r.station.timer6.start();
        QSignalSpy held(&r.collector, &UnattendedCollector::portHeld);
        r.collector.due(QStringLiteral("3351234567"), true);
        r.collector.due(QStringLiteral("3359990001"), true);
        QVERIFY(r.time.rt.runUntil([&] { return r.runner.calls.size() == 1; }, 20'000));
        QVERIFY(r.runner.calls[0].portLent);
        QVERIFY(r.time.rt.runUntil([&] { return held.size() == 2; }, 60'000));
        QVERIFY(r.state.StationActive);
        QVERIFY(r.station.timer2.isEnabled());
        QCOMPARE(r.station.timer2.interval(), 100);
        const qint64 gaveBack = r.time.rt.nowMs();
        QVERIFY(r.runUntilIdle());
        QCOMPARE(r.runner.calls.size(), 2);
        QVERIFY(r.runner.calls[1].portLent);
        // Polling came back 100 ms later, and the next collection began after that poll.
        QVERIFY(r.station.polls.contains(gaveBack + 100));
        QCOMPARE(r.runner.calls[1].at, gaveBack + 100);
        QCOMPARE(held.size(), 4);
    }

    void waitsWhileThePortIsTaken_data()
    {
        QTest::addColumn<int>("holder");
        QTest::newRow("the call console is open, even with polling running") << 0;
        QTest::newRow("another window borrowed the port") << 1;
        QTest::newRow("the modem stopped answering (polling off)") << 2;
    }
    void waitsWhileThePortIsTaken()
    {
        QFETCH(int, holder);
        Rig r;
        if (holder == 0)
            r.console.show();
        if (holder == 1)
            r.state.StationActive = false;
        if (holder >= 1)
            r.station.timer2.stop();
        r.collector.due(QStringLiteral("3351234567"), true);
        r.time.rt.runFor(30 * 60'000);
        QVERIFY(r.runner.calls.isEmpty());
        QVERIFY(!QFile::exists(r.audit("collect.csv")));
        // Given back as the console gives it back: polling again after 100 ms.
        const qint64 back = r.time.rt.nowMs();
        r.console.unload();
        r.state.StationActive = true;
        r.station.timer2.setInterval(100);
        r.station.timer2.start();
        QVERIFY(r.runUntilIdle());
        QCOMPARE(r.runner.calls.size(), 1);
        QCOMPARE(r.runner.calls[0].at, back + 100);
    }

    // The queue keeps its order and takes a number once, a number waiting to be tried again
    // included. Every attempt is one line; fields with commas are quoted; modem lines become one.
    void theQueueAndTheLog()
    {
        Rig r;
        r.runner.script << AuditJobOutcome{R::Busy, QStringLiteral("ATD3359990001\r\r\nBUSY\r\n")}
                        << AuditJobOutcome{R::Completed, {}};
        r.collector.due(QStringLiteral("3359990001"), true);
        r.collector.due(QStringLiteral("999"), true);
        r.collector.due(QStringLiteral("3359990001 "), true);
        r.collector.due(QStringLiteral("333"), false); // the console's
        r.collector.collect(QStringLiteral("  "));
        QCOMPARE(r.collector.waiting(), QStringList({"3359990001", "999"}));
        QVERIFY(r.time.rt.runUntil([&] { return r.runner.calls.size() == 2; }, 60'000));
        r.collector.due(QStringLiteral("3359990001"), true);
        QCOMPARE(r.collector.waiting(), QStringList({"3359990001", "999"}));
        QVERIFY(r.runUntilIdle());
        QCOMPARE(readAll(r.audit("collect.csv")),
                 QByteArray("Date and time,Number,Machine,Result,Seconds,Message\r\n"
                            "2026-12-05 09:00:10,3359990001,\"Hall, east side\",Busy,40,"
                            "\"ATD3359990001 BUSY (attempt 1 of 3, next at 09:05)\"\r\n"
                            "2026-12-05 09:00:50,999,,Completed,40,Audit/999/20261205-0900.txt\r\n"
                            "2026-12-05 09:05:50,3359990001,\"Hall, east side\",Completed,40,"
                            "Audit/3359990001/20261205-0905.txt\r\n"));
    }

    void archiveNames_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("existing"); // files already in the number's folder
        QTest::addColumn<QString>("txt");
        QTest::newRow("plain") << "+393471110001" << QStringList()
                               << "+393471110001/20261205-0900.txt";
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
        QCOMPARE(files.tempTxt, files.txt + ".part");
        QCOMPARE(files.img, files.txt.chopped(4) + ".img");
        QCOMPARE(QDir(folder).entryList({"*.part"}, QDir::Files), QStringList());
    }

    // A folder that cannot be made: the machine is not called, the log and the tray say why.
    void nothingIsDialledWhenNothingCanBeFiled()
    {
        Rig r;
        QDir().mkpath(r.audit(QString()));
        QVERIFY(write(r.audit("3351234567"), "in the way"));
        r.collector.due(QStringLiteral("3351234567"), true);
        QVERIFY(r.runUntilIdle());
        QVERIFY(r.runner.calls.isEmpty());
        QCOMPARE(r.results(), QStringList{"File error"});
        QVERIFY(r.tray.messageText().contains("cannot make the folder"));
        QVERIFY(r.state.StationActive);
    }

    // The station killed while a collection writes its files: only temporary names exist, and
    // the next collection of that number clears them away.
    void aKilledStationLeavesNoHalfFile()
    {
        QTemporaryDir work;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("COLLECT_CRASH_WORK"), work.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60'000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QDir number(work.path() + "/Audit/3351234567");
        QCOMPARE(number.entryList(QDir::Files),
                 QStringList({"20261205-0900.img.part", "20261205-0900.txt.part"}));
        QCOMPARE(readAll(number.filePath("20261205-0900.txt.part")), Records.left(7));

        Rig r;
        UnattendedCollector again(r.servicesIn(work.path() + "/prog"), r.lender, r.station.timer2,
                                  r.runner);
        again.due(QStringLiteral("3351234567"), true);
        QVERIFY(r.time.rt.runUntil([&] { return !again.collecting() && again.waiting().isEmpty(); },
                                   60'000));
        QCOMPARE(number.entryList(QDir::Files),
                 QStringList({"20261205-0900.img", "20261205-0900.txt"}));
    }
};

// The child of aKilledStationLeavesNoHalfFile: its job writes part of the records and the
// process is killed there.
static int crashingChild(const QString &work)
{
    class Killed : public AuditJobRunner
    {
    public:
        void run(const QString &, const QString &txt, const QString &img,
                 std::function<void(const AuditJobOutcome &)>) override
        {
            write(img, Image);
            QFile f(txt);
            if (f.open(QIODevice::WriteOnly) && f.write(Records.left(7)) == 7 && f.flush())
                std::raise(SIGKILL);
        }
    } runner;
    Rig r;
    r.tmp.remove(); // nothing cleans up after a kill
    UnattendedCollector collector(r.servicesIn(work + "/prog"), r.lender, r.station.timer2, runner);
    collector.due(QStringLiteral("3351234567"), true);
    r.time.rt.runFor(60'000);
    return 0; // not killed: the parent sees a normal exit and fails
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("COLLECT_CRASH_WORK"))
        return crashingChild(qEnvironmentVariable("COLLECT_CRASH_WORK"));
    CollectorTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_collector.moc"
