#include "CollectLog.h"
#include "CollectOptions.h"
#include "Collector.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineFiles.h"
#include "PortTrace.h"
#include "Runtime.h"
#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/stat.h>

Q_DECLARE_METATYPE(CollectOptions::Parsed)

namespace {
const QString Number = QStringLiteral("3351234567");

// gsmcollect from its options to its exit status, against the simulated modem on port 1 of two
// and one machine, on virtual time; standard error is captured.
struct ToolRig
{
    explicit ToolRig(bool terminal = false)
        : log([this](const QByteArray &b) { err += b; }, terminal)
    {
        QDir(tmp.path()).mkpath(QStringLiteral("prog"));
        port.plug(1, &modem);
        modem.addMachine(Number.toLatin1(), &machine);
    }
    ~ToolRig() { QDir::setCurrent(QDir::tempPath()); }

    QString home() const { return QDir(tmp.path()).absoluteFilePath(QStringLiteral("prog")); }
    QString file(const QString &name) const { return QDir(tmp.path()).filePath(name); }
    bool write(const QString &path, const QByteArray &bytes) const
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    int run(QStringList args, SerialPort *through = nullptr)
    {
        args.prepend(QStringLiteral("gsmcollect"));
        args << QStringLiteral("--home") << home() << QStringLiteral("--number") << Number;
        CollectOptions o;
        QString usage;
        if (CollectOptions::parse(args, QString(), &o, &usage) != CollectOptions::Parsed::Run)
            return -2;
        return Collector(through ? *through : port, log, tmp.path()).run(o, 2);
    }
    QStringList lines() const { return QString::fromUtf8(err).split(u'\n', Qt::SkipEmptyParts); }

    QByteArray config() const { return machine.memory(1).left(MachineFiles::ConfigImageSize); }

    VirtualTimeScope time;
    QTemporaryDir tmp;
    SingleInstance station{QStringLiteral("KVX4417"), tmp.path()};
    LoopbackPort port;
    GsmModem modem;
    MachineController machine;
    QByteArray err;
    CollectLog log;
};

// What a row changes before gsmcollect runs. Failures of the modem's preparation are that code's
// own tests; here one of them is enough to show the job ends with 1 and says why.
using Setup = std::function<bool(ToolRig &)>;
const QString OneJob = "give exactly one job: --read-config, --read-telemetry, --write-config, "
                       "--write-changed, --write-telemetry, --reset-alarms or --audit (see --help)";
} // namespace
Q_DECLARE_METATYPE(Setup)

class CollectorTest : public QObject
{
    Q_OBJECT
private slots:
    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<CollectOptions::Parsed>("parsed");
        QTest::addColumn<QString>("message");
        using P = CollectOptions::Parsed;
        const QStringList n{"--number", "3351234567"};
        QTest::newRow("no job") << n << P::Error << OneJob;
        QTest::newRow("two jobs") << n + QStringList{"--reset-alarms", "--audit", "a.txt"}
                                  << P::Error << OneJob;
        QTest::newRow("no number")
            << QStringList{"--reset-alarms"} << P::Error << "--number is required";
        QTest::newRow("a number that would end the command")
            << QStringList{"--reset-alarms", "--number", "123;H"} << P::Error
            << "bad --number \"123;H\": digits, +, *, #, comma, p and w only";
        QTest::newRow("retries that are no number")
            << n + QStringList{"--reset-alarms", "--retries", "many"} << P::Error
            << "bad --retries \"many\": a number 0-999";
        QTest::newRow("--erase without --audit")
            << n + QStringList{"--read-telemetry", "t.tlm", "--erase"} << P::Error
            << "--image and --erase belong to --audit";
        QTest::newRow("empty file name") << n + QStringList{"--read-config", ""} << P::Error
                                         << "--read-config needs a file name";
        QTest::newRow("a stray argument") << n + QStringList{"--reset-alarms", "now"} << P::Error
                                          << "unexpected argument \"now\"";
        QTest::newRow("standard output for a job's own file")
            << n + QStringList{"--read-config", "-"} << P::Error
            << "--read-config needs a file name, not \"-\"";
        QTest::newRow("a password in --database")
            << n + QStringList{"--reset-alarms", "--database", "postgresql://op:secret@db/fleet"}
            << P::Error
            << "bad --database: the database URL carries a password; put it in ~/.pgpass or "
               "PGPASSWORD";
        QTest::newRow("help") << QStringList{"--help"} << P::Help << QString();
        QTest::newRow("every option of a job")
            << QStringList{"--number",      "+39335",  "--audit",   "/a.txt", "--image",
                           "/b/a.img",      "--erase", "--retries", "0",      "--ports",
                           "/dev/a,/dev/b", "--home",  "/srv/prog"}
            << P::Run << "+39335|/a.txt|/b/a.img|0|/dev/a,/dev/b|/srv/prog|audit|erase";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(CollectOptions::Parsed, parsed);
        QFETCH(QString, message);
        CollectOptions o;
        QString got;
        QCOMPARE(CollectOptions::parse(QStringList{"gsmcollect"} + args, "/x", &o, &got), parsed);
        if (parsed == CollectOptions::Parsed::Help)
            got = got.contains(QLatin1String("Exit status: 0")) ? QString() : got;
        if (parsed == CollectOptions::Parsed::Run) {
            QCOMPARE(o.request.kind, CollectJob::Kind::Audit);
            got = QStringList({o.request.number, o.request.file, o.request.image,
                               QString::number(o.request.retries), o.ports.join(','), o.home, o.job,
                               o.request.erase ? "erase" : ""})
                      .join('|');
        }
        QCOMPARE(got, message);
    }

    void exitStatus_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("job");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("last"); // the last lines on standard error
        QTest::addColumn<bool>("modemUsed");
        const QStringList tlm{"--read-telemetry", "t.tlm"};
        const Setup plain = [](ToolRig &) { return true; };
        const Setup wantsPin = [](ToolRig &r) {
            return r.modem.config().sim = SimCardState::WantsPin, true;
        };
        const Setup noModem = [](ToolRig &r) { return r.port.unplug(1), true; };
        const Setup stationRunning = [](ToolRig &r) { return r.station.acquire(); };
        const Setup noHome = [](ToolRig &r) { return QDir(r.home()).removeRecursively(); };
        const auto fifo = [](const QString &name) {
            return Setup([=](ToolRig &r) {
                return ::mkfifo(QFile::encodeName(r.file(name)).constData(), 0600) == 0;
            });
        };
        const Setup telemetry = [](ToolRig &r) {
            return r.write(r.file("good.tlm"),
                           MachineFiles::interleave(QByteArray(700, '\0'), [] { return 3; }));
        };
        QTest::newRow("SIM PIN without Pin.set")
            << wantsPin << tlm << 1 << "failed: the SIM wants its PIN and there is no %T/Pin.set"
            << true;
        QTest::newRow("no modem") << noModem << tlm << 1
                                  << "failed: no modem answers on the 2 port(s) given" << false;
        QTest::newRow("a station holds the modem")
            << stationRunning << tlm << 1
            << "the station (or another gsmcollect) is running and holds the modem; try again "
               "when it has ended"
            << false;
        QTest::newRow("output into a missing folder")
            << plain << QStringList{"--read-config", "no/c.prm"} << 2
            << "cannot write %T/no/c.prm: there is no folder %T/no" << false;
        QTest::newRow("output is a folder")
            << plain << QStringList{"--read-telemetry", "x.tlm"} << 2
            << "cannot write %T/x.tlm: it is a folder" << false;
        QTest::newRow("image into a missing folder")
            << plain << QStringList{"--audit", "a.txt", "--image", "no/a.img"} << 2
            << "cannot write %T/no/a.img: there is no folder %T/no" << false;
        QTest::newRow("output name beyond the file system's limit")
            << plain << QStringList{"--read-telemetry", QString(252, 'n') + ".tlm"} << 2
            << "cannot write %T/" + QString(252, 'n') +
                   ".tlm: its name is 256 bytes long, more than the 255 the file system allows"
            << false;
        QTest::newRow("output name at the limit")
            << plain << QStringList{"--read-telemetry", QString(251, 'n') + ".tlm"} << 0 << "done"
            << true;
        QTest::newRow("output read back is a FIFO")
            << fifo("o.tlm") << QStringList{"--read-telemetry", "o.tlm"} << 2
            << "cannot write %T/o.tlm: it is a FIFO, not a file" << false;
        QTest::newRow("input is a FIFO")
            << fifo("i.tlm") << QStringList{"--write-telemetry", "i.tlm"} << 2
            << "cannot read %T/i.tlm: it is a FIFO, not a file" << false;
        QTest::newRow("Pin.set is a FIFO")
            << fifo("Pin.set") << tlm << 2 << "cannot read %T/Pin.set: it is a FIFO, not a file"
            << false;
        QTest::newRow("missing input")
            << plain << QStringList{"--write-config", "none.prm"} << 2
            << "cannot read %T/none.prm: No such file or directory" << false;
        QTest::newRow("telemetry write")
            << telemetry << QStringList{"--write-telemetry", "good.tlm"} << 0 << "done" << true;
        QTest::newRow("no snapshot to compare with")
            << plain << QStringList{"--write-changed", "same.cfx"} << 2
            << " File 3351234567 Not Found \n%T/prog/Cartella/3351234567.ntm" << false;
        QTest::newRow("audit without its conversion files")
            << plain << QStringList{"--audit", "a.txt"} << 2
            << "cannot read %T/prog/decod.asm: No such file or directory" << false;
        QTest::newRow("no program folder")
            << noHome << tlm << 2 << "there is no program folder %T/prog" << false;
    }
    void exitStatus()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, job);
        QFETCH(int, status);
        QFETCH(QString, last);
        QFETCH(bool, modemUsed);
        ToolRig rig;
        QVERIFY(QDir(rig.tmp.path()).mkpath(QStringLiteral("x.tlm")));
        QVERIFY(rig.write(rig.file("same.cfx"), rig.config()));
        QVERIFY(setup(rig));
        // File names on the command line are relative to the caller's folder.
        QDir::setCurrent(rig.tmp.path());
        QCOMPARE(rig.run(job), status);
        const QStringList lines = rig.lines();
        QVERIFY(!lines.isEmpty());
        const QString tmp = QDir(rig.tmp.path()).absolutePath();
        QStringList want = last.split('\n');
        for (QString &l : want)
            l = QStringLiteral("gsmcollect: ") + l.replace("%T", tmp);
        QCOMPARE(lines.mid(lines.size() - want.size()), want);
        for (const QString &l : lines)
            QVERIFY2(l.startsWith(QLatin1String("gsmcollect: ")), qPrintable(l));
        QCOMPARE(!rig.modem.commands().isEmpty(), modemUsed);
        QVERIFY(!rig.modem.callUp());
        QVERIFY(!rig.port.isOpen());
    }

    // Into a file: a line per batch, and with --verbose each command, answer and frame on a
    // line of its own; on a terminal a bar that stays above what follows the transfer.
    void progress_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::newRow("lines into a file") << false;
        QTest::newRow("a bar on a terminal") << true;
    }
    void progress()
    {
        QFETCH(bool, terminal);
        ToolRig rig(terminal);
        PortTrace trace(rig.port, [&rig](const QString &l) { rig.log.line(l); });
        const QStringList job{"--read-config", rig.file("c.prm")};
        QCOMPARE(terminal ? rig.run(job) : rig.run(job + QStringList{"--verbose"}, &trace), 0);
        const QString err = QString::fromUtf8(rig.err);
        const QStringList lines = rig.lines(), batches = lines.filter(QStringLiteral(": batch "));
        if (!terminal) {
            QVERIFY(lines.contains("gsmcollect: transfer complete"));
            QCOMPARE(batches, (QStringList{"gsmcollect: batch 1: 0 of 671 answered so far",
                                           "gsmcollect: batch 2: 256 of 671 answered so far",
                                           "gsmcollect: batch 3: 512 of 671 answered so far"}));
            QVERIFY(!err.contains(u'\r'));
            for (const char *l :
                 {"> ATD3351234567", "< CONNECT 9600", "> <SOH>005F0000005F<EOT>", "> ATH"})
                QVERIFY2(lines.contains(QStringLiteral("gsmcollect: ") + l), l);
            const int frames = int(rig.machine.requests().size());
            QCOMPARE(lines.filter(QRegularExpression("^gsmcollect: > <SOH>")).size(), frames);
            QCOMPARE(lines.filter(QRegularExpression("^gsmcollect: < <SOH>")).size(), frames);
            return;
        }
        QVERIFY(batches.isEmpty());
        QVERIFY(err.contains("\rgsmcollect: [####################"));
        QVERIFY(err.contains(QRegularExpression("\\] 100%  saving  \\d+:\\d\\d elapsed, 0:00 "
                                                "left\x1b\\[K\ngsmcollect: transfer complete\n"
                                                "gsmcollect: call ended\n")));
        QVERIFY(err.endsWith("gsmcollect: done\n"));
    }
};

QTEST_GUILESS_MAIN(CollectorTest)
#include "tst_collector.moc"
