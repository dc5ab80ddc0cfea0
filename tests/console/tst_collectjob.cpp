// Every console job through the job runner, on a clean line and on the faults a line or a
// machine can show, against the simulated modem and machine on virtual time.
#include "CallSession.h"
#include "CollectJob.h"
#include "ConsoleRig.h"
#include "DemoAudit.h"
#include "LinkState.h"
#include "MachineFiles.h"

#include <QRandomGenerator>

Q_DECLARE_METATYPE(CollectJob::Kind)
Q_DECLARE_METATYPE(CollectJob::Status)

namespace {
using Kind = CollectJob::Kind;
using MachineFiles::writeWholeFile;
using Status = CollectJob::Status;

const QByteArray Script = "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n";
constexpr int Areas[3][2] = {{0, 1935}, {3072, 751}, {4976, 7951}};

QByteArray areas(const QByteArray &image)
{
    QByteArray out;
    for (const auto &area : Areas)
        out += image.mid(area[0], area[1]);
    return out;
}

struct JobRig : MachineRig
{
    explicit JobRig(MachineRig *sameClock = nullptr) : MachineRig(sameClock)
    {
        QObject::connect(&job, &CollectJob::line, [this](const QString &l) { lines << l; });
    }
    QString file(const QString &name) const { return QDir(tmp.path()).filePath(name); }
    QString snapshot() const
    {
        return MachineFiles::snapshotPath(programFolder(), QString::fromLatin1(Number));
    }
    QByteArray config() const { return machine.memory(1).left(MachineFiles::ConfigImageSize); }
    bool storeScripts(const QByteArray &script) const
    {
        // BLOCK at 10 lies past the machine's clock, which moves on between reads.
        return writeWholeFile(programFolder() + "/decod.asm", script).ok() &&
               writeWholeFile(programFolder() + "/address.asm", "CASH,6\r\nBLOCK,10\r\n").ok();
    }
    CollectJob::Result run(Kind kind, const QString &file, int retries = 3, bool erase = false)
    {
        CollectJob::Request r;
        r.kind = kind;
        r.number = QString::fromLatin1(Number);
        r.file = file;
        r.retries = retries;
        r.erase = erase;
        if (kind == Kind::Audit)
            r.image = this->file("audit.img");
        return job.run(r);
    }
    bool hungUp() const { return port.written().endsWith("+++ATH\r") && !modem.callUp(); }

    CollectJob job{port, programFolder()};
    QStringList lines;
};

// The records a clean audit of the demonstration machine converts to.
QByteArray cleanRecords()
{
    static const QByteArray records = [] {
        JobRig rig;
        rig.storeScripts(Script);
        rig.run(Kind::Audit, rig.file("audit.txt"));
        return MachineRig::read(rig.file("audit.txt"));
    }();
    return records;
}
} // namespace

class CollectJobTest : public QObject
{
    Q_OBJECT
private slots:
    // fault: a line-fault list for the simulated machine, and words for what else differs.
    void jobs_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("retries");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("reason"); // "*": any
        QTest::addColumn<int>("requests");   // well-formed frames the machine got; -1 any
        const Status done = Status::Done, failed = Status::Failed;
        const QString rx = "the job did not complete: ERROR:  TIME OUT RX ! REBROADCAST ?  -> ";
        const QString close = "the job did not complete: ERROR:  ERROR RX ! The CONNECTION are "
                              "going to Close ";
        auto row = [](const char *name, Kind k, const char *fault, int retries, Status s,
                      const QString &reason, int requests) {
            QTest::newRow(name) << k << QString(fault) << retries << s << reason << requests;
        };
        row("config read", Kind::ReadConfig, "", 3, done, "", 665);
        row("config read, repeated answers", Kind::ReadConfig, "seed=3,duplicate=0.3", 3, done, "",
            -1);
        row("config read, save cancelled", Kind::ReadConfig, "no-save", 3, Status::FileError,
            " was not written", 665);
        row("config read, *.prm kept as the name", Kind::ReadConfig, "pattern", 3,
            Status::FileError, "%T/*.prm was not written", 665);
        // Frame 7 goes out in every sweep; the tick after the seventh pause asks about the TX.
        row("config read, frame 7 unanswered: Cancel", Kind::ReadConfig, "drop-7", 1, failed,
            "the job did not complete: ERROR: ERROR TX ! REBROADCAST ?  -> Cancel", 262);
        row("config read, frame 7 unanswered: Retry starts again", Kind::ReadConfig, "drop-7", 2,
            done, "", 262 + 665);
        row("config read, 5% lost answers", Kind::ReadConfig, "seed=7,lost=0.05", 3, done, "", -1);
        row("config read, 17-byte answers close the call", Kind::ReadConfig, "oversize=1", 3,
            failed, close, 3);
        row("config read, Retry three times then Cancel, twice", Kind::ReadConfig,
            "silence-after=20,twice", 3, failed, rx + "Cancel", -1);
        row("config read, the fifth retry ends the call", Kind::ReadConfig, "silence-after=20", 9,
            failed, "the job did not complete: ERROR: COMUNICATION ERROR", -1);
        row("config read, carrier lost", Kind::ReadConfig, "drop-after=20", 3, failed,
            "the job did not complete: Lost Connection", 20);
        row("config read, busy", Kind::ReadConfig, "busy", 3, failed,
            "the call did not connect: BUSY", 0);
        row("config read, no answer", Kind::ReadConfig, "no-answer", 3, failed,
            "the call did not connect: NO ANSWER", 0);
        row("config read into a missing folder", Kind::ReadConfig, "no-folder", 3,
            Status::FileError, "%T/no/m.prm was not written", 665);
        row("telemetry read", Kind::ReadTelemetry, "", 3, done, "", 39);
        row("telemetry read, lower-case check digits and repeats", Kind::ReadTelemetry,
            "seed=3,lowercase=0.3,duplicate=0.3", 3, done, "", -1);
        row("telemetry read, answers 4 s late", Kind::ReadTelemetry, "seed=5,late=0.3,late-ms=4000",
            3, done, "", -1);
        row("telemetry read into a missing folder", Kind::ReadTelemetry, "no-folder", 3,
            Status::FileError, "%T/no/t.tlm was not written", 39);
        row("config write from .cfx", Kind::WriteConfig, "", 3, done, "", 666);
        row("config write from a plain .prm", Kind::WriteConfig, "plain-prm", 3, done, "", 666);
        row("config write, .prm with a bad checksum", Kind::WriteConfig, "bad-prm", 3, failed,
            "nothing was sent:  Attention : Error File!!  ", 0);
        row("config write, reset never acknowledged", Kind::WriteConfig, "silence-after=665", 2,
            failed, "the job did not complete: Impossible to receive response.Continue? -> No",
            668); // a reset frame, sent again for each Yes
        row("changed blocks", Kind::WriteChanged, "", 3, done, "", 3);
        row("no difference to the snapshot: no call", Kind::WriteChanged, "same", 3, done, "", 0);
        row("telemetry write", Kind::WriteTelemetry, "", 3, done, "", 39);
        row("telemetry write, a 15th character is a bad frame", Kind::WriteTelemetry, "extra-digit",
            3, failed, close, 3);
        row("reset: busy three times, then done", Kind::ResetAlarms, "", 0, done, "", 5);
        row("reset: four failures, then a good one", Kind::ResetAlarms, "bad-ack=4", 3, done, "",
            9);
        row("reset: the fifth failure ends it", Kind::ResetAlarms, "bad-ack=5", 3, failed,
            "the job did not complete: Impossible to send Cmd Reset.Try later!", 5);
        row("reset: five wrong status checks end it", Kind::ResetAlarms, "bad-status", 3, failed,
            "the job did not complete: Impossible to receive response on state of Reset", 6);
        row("audit, erase asked for", Kind::Audit, "erase", 3, done, "", 445);
        row("audit, no erase", Kind::Audit, "", 3, done, "", 444);
        row("audit, repeated answers", Kind::Audit, "seed=3,duplicate=0.3", 3, done, "", -1);
        row("audit, answers 12 s late", Kind::Audit, "seed=4,late=0.2,late-ms=12000", 3, done, "",
            -1);
        row("audit, 17-byte answers", Kind::Audit, "seed=6,oversize=0.05", 3, done, "", -1);
        row("audit, two pointer time-outs", Kind::Audit, "pointer-silent=2", 3, done, "", 446);
        row("audit, three pointer time-outs", Kind::Audit, "pointer-silent=3", 3, failed,
            "the job did not complete: Error Comunication Failed", 3);
        row("audit, junk before the pointer answers", Kind::Audit, "pointer-junk", 3, failed,
            "the job did not complete: Error Comunication Failed", 6);
        row("audit, pointer answer without SOH", Kind::Audit, "pointer-garbage", 3, failed,
            "the job did not complete: Error Comunication Failed", 6);
        row("audit, a failed line: no erase even when asked", Kind::Audit, "failed-line,erase", 3,
            failed, "some script lines failed; %T/audit.txt holds the others", 444);
        row("audit without a conversion script", Kind::Audit, "no-script,erase", 3,
            Status::FileError, "cannot read %T/prog/decod.asm: No such file or directory", 444);
        row("audit into a missing folder", Kind::Audit, "no-folder", 3, Status::FileError,
            "cannot write %T/no/audit.txt: No such file or directory", 444);
        // Seeded noise in place of every answer: never a crash, never a byte outside an image.
        row("config read, line noise", Kind::ReadConfig, "noise=1907", 3, failed, "*", -1);
        row("config write, line noise", Kind::WriteConfig, "noise=1908", 3, failed, "*", -1);
        row("telemetry read, line noise", Kind::ReadTelemetry, "noise=1909", 3, failed, "*", -1);
        row("telemetry write, line noise", Kind::WriteTelemetry, "noise=1910", 3, failed, "*", -1);
        row("audit, line noise", Kind::Audit, "noise=1911", 3, failed, "*", -1);
    }
    void jobs()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, fault);
        QFETCH(int, retries);
        QFETCH(Status, status);
        QFETCH(QString, reason);
        QFETCH(int, requests);
        JobRig rig;
        QStringList words = fault.split(u',', Qt::SkipEmptyParts);
        auto take = [&](const QString &w) { return words.removeAll(w) > 0; };
        auto number = [&](const QString &w) {
            for (const QString &x : words)
                if (x.startsWith(w + '='))
                    return words.removeAll(x), x.section(u'=', 1).toInt();
            return -1;
        };
        const bool erase = take("erase"), noFolder = take("no-folder"), drop7 = take("drop-7");
        const bool twice = take("twice");
        if (take("busy"))
            rig.modem.setDialAnswer(MachineRig::Number, DialAnswer::Busy);
        if (take("no-answer"))
            rig.modem.setDialAnswer(MachineRig::Number, DialAnswer::NoAnswer);

        // What goes back through the call: reset acknowledgements (SOH 00 28 EOT) and status
        // answers (SOH 00 ss cc EOT) spoilt, a digit too many, the pointer answers spoilt.
        const int badAcks = number("bad-ack"), silentPointers = number("pointer-silent");
        const bool badStatus = take("bad-status"), extraDigit = take("extra-digit");
        const bool pointerJunk = take("pointer-junk"), pointerGarbage = take("pointer-garbage");
        const int noise = number("noise");
        QRandomGenerator rng(quint32(qMax(noise, 0)));
        int acks = 0, pointers = 0;
        rig.tamper = [&](QByteArray b) {
            if (noise >= 0) {
                b.resize(rng.bounded(1, 80));
                for (char &c : b)
                    c = rng.bounded(5) == 0 ? "\x01\x04"[rng.bounded(2)] : char(rng.bounded(256));
                return b;
            }
            if (drop7 && b.mid(1, 2) == "07" && rig.lines.filter("ERROR TX").isEmpty())
                return QByteArray();
            if (b.size() == 6 && acks++ < badAcks)
                b[4] = '9';
            if (b.size() == 8 && badStatus)
                b[6] = b[6] == '0' ? '1' : '0';
            if (extraDigit)
                b.insert(b.size() - 1, '0');
            auto &engine = rig.job.link().engine;
            if (b.size() == 38 && rig.job.session().call().mode == TransferMode::ReadAudit &&
                !engine.Timer.isEnabled() && !engine.sending()) {
                if (pointerGarbage)
                    return QByteArray("\x7f\xffgarbage\x04");
                if (pointers++ < silentPointers)
                    return QByteArray();
                if (pointerJunk)
                    b.prepend("zz");
            }
            return b;
        };

        // The job's files: a read's output, a write's input.
        QString name = kind == Kind::ReadConfig ? "m" : kind == Kind::ReadTelemetry ? "t.tlm" : "";
        if (take("pattern"))
            name = "*.prm";
        const bool noSave = take("no-save");
        QByteArray image = rig.config(), telemetry(MachineFiles::TelemetryImageSize, '\0');
        if (kind != Kind::ReadConfig)
            QVERIFY(MachineFiles::saveSnapshotFile(rig.snapshot(), image).ok());
        if (!take("same")) {
            image[5000] = char(~image.at(5000));
            image[12920] = char(~image.at(12920));
        }
        if (kind == Kind::WriteConfig || kind == Kind::WriteChanged) {
            name = "new.cfx";
            QByteArray bytes = image;
            if (take("plain-prm")) // the plain layout, 13004 bytes
                name = "new.prm",
                bytes = MachineFiles::header(MachineFiles::FileKind::Configuration, name, image) +
                        image.mid(16).prepend(QByteArray(16, '\0'));
            if (take("bad-prm")) {
                name = "bad.prm";
                bytes = MachineFiles::interleave(QByteArray(13004, 'y'), [] { return 2; });
                bytes[100] = char(bytes[100] + 1);
            }
            QVERIFY(writeWholeFile(rig.file(name), bytes).ok());
        }
        if (kind == Kind::WriteTelemetry) {
            name = "new.tlm";
            for (int i = 76; i < 700; ++i)
                telemetry[i] = char(i & 0x7F);
            QVERIFY(MachineFiles::saveTelemetryFile(rig.file(name), image, telemetry, [] {
                        return 1;
                    }).ok());
        }
        if (kind == Kind::Audit) {
            name = "audit.txt";
            if (!take("no-script"))
                QVERIFY(rig.storeScripts(take("failed-line") ? Script + "CA8,0\r\n" : Script));
        }
        if (noFolder)
            name.prepend("no/");
        LinkFaults faults;
        QVERIFY2(LinkFaults::parse(words.join(u','), &faults, nullptr), qPrintable(fault));
        rig.machine.setFaults(faults);
        const QByteArray audit = DemoAudit::imageFor(rig.machine); // before an erase

        if (noSave)
            name.clear();
        const QString file = name.isEmpty() ? name : rig.file(name);
        CollectJob::Result r = rig.run(kind, file, retries, erase);
        if (twice) { // retries are counted per job: the next has them all again
            rig.lines.clear();
            r = rig.run(kind, file, retries, erase);
        }
        if (faults.silenceAfter == 20)
            QCOMPARE(rig.lines.filter("REBROADCAST").size(), qMin(retries + 1, 5));
        if (r.status != status)
            qInfo().noquote() << r.reason << "\n" << rig.lines.join(u'\n');
        QCOMPARE(r.status, status);
        if (reason != "*")
            QCOMPARE(r.reason, QString(reason).replace("%T", rig.tmp.path()));
        if (requests >= 0)
            QCOMPARE(
                int(std::count_if(rig.machine.requests().cbegin(), rig.machine.requests().cend(),
                                  [](auto &q) { return q.valid; })),
                requests);
        QVERIFY(!rig.modem.callUp());
        QVERIFY(rig.port.written().isEmpty() || rig.hungUp());
        QCOMPARE(rig.machine.eraseCount(), erase && status == Status::Done ? 1 : 0);
        QCOMPARE(rig.job.session().call().ConfigImage.size(), MachineFiles::ConfigImageSize);
        QVERIFY(rig.job.session().call().TelemetryImage.size() <= MachineFiles::TelemetryImageSize);
        if (!words.isEmpty() && status == Status::Done && requests < 0)
            QVERIFY(rig.job.link().droppedAnswers() > 0 || faults.lost > 0); // the fault struck
        const QString out = rig.file(kind == Kind::ReadConfig ? "m.prm" : name);
        if (kind == Kind::ReadConfig)
            QCOMPARE(QFile::exists(rig.snapshot()), status == Status::Done || noFolder);
        if (kind == Kind::ReadConfig || kind == Kind::ReadTelemetry)
            QCOMPARE(QFile::exists(out), status == Status::Done);
        if (status != Status::Done)
            return;

        // What the machine holds, what was saved from it.
        const LinkState &call = rig.job.session().call();
        QByteArray loaded = rig.config(); // a .prm leaves the identity bytes as they were
        switch (kind) {
        case Kind::ReadConfig:
            if (requests == 665) { // batches of 256 frames numbered from 0
                QList<int> frames, expected;
                for (const auto &q : rig.machine.requests())
                    frames << q.frameNo;
                for (int n : {256, 256, 153})
                    for (int i = 0; i < n; ++i)
                        expected << i;
                QCOMPARE(frames, expected);
            }
            QVERIFY(MachineFiles::loadConfigFile(out, loaded).ok());
            QCOMPARE(areas(loaded), areas(rig.machine.memory(1)));
            QCOMPARE(rig.read(rig.snapshot()), call.ConfigImage);
            break;
        case Kind::ReadTelemetry:
            QVERIFY(MachineFiles::loadTelemetryFile(out, loaded).ok());
            QCOMPARE(loaded.mid(76, 623), rig.machine.memory(1).mid(3824, 623));
            break;
        case Kind::WriteConfig:
        case Kind::WriteChanged:
            QCOMPARE(rig.machine.memory(1).mid(4976, 7951), image.mid(4976, 7951));
            QCOMPARE(rig.machine.resetCount(), requests > 0 ? 1 : 0);
            QCOMPARE(rig.read(rig.snapshot()), call.ConfigImage);
            break;
        case Kind::WriteTelemetry: {
            // The first sweep stops at the pause; the second block carries 8 bytes, the first 1.
            const auto &q = rig.machine.requests();
            int firstSweep = 1;
            while (q[firstSweep].atMs - q[firstSweep - 1].atMs < 2500)
                ++firstSweep;
            QCOMPARE(firstSweep, 23);
            QCOMPARE(int(q[1].address), 3840);
            QCOMPARE(q[1].data.size(), 8);
            QCOMPARE(int(q[1].data.at(1)), 1);
            // The end comes after the operator was told.
            QVERIFY(rig.lines.indexOf("Info Telemetry: Write Telemetry OK") <
                    rig.lines.indexOf("transfer complete"));
            QCOMPARE(rig.machine.memory(1).mid(3824, 16), telemetry.mid(76, 16));
            QCOMPARE(rig.machine.memory(1).mid(3856, 591), telemetry.mid(108, 591));
            break;
        }
        case Kind::ResetAlarms:
            QVERIFY(rig.machine.resetCount() > 0);
            QVERIFY(rig.lines.contains("  RESET DONE "));
            break;
        case Kind::Audit: {
            QCOMPARE(rig.read(out), cleanRecords());
            // The framed image: length word, the machine's memory, the sum of what it holds.
            // Bytes 2-7 are the machine's clock, which moves on between reads.
            const QByteArray img = rig.read(rig.file("audit.img"));
            QCOMPARE(img.size(), 6635);
            QCOMPARE(quint8(img.at(0)) + 256 * quint8(img.at(1)), 6635);
            QCOMPARE(img.mid(8, img.size() - 10), audit.mid(8, audit.size() - 10));
            quint16 sum = 0;
            for (qsizetype i = 2; i < img.size() - 2; ++i)
                sum += quint8(img.at(i));
            QCOMPARE(quint8(img.at(img.size() - 2)) + 256 * quint8(img.at(img.size() - 1)),
                     int(sum));
            break;
        }
        }
    }

    // Two calls in one process, each on its own line: an audit read and a configuration write,
    // their timers interleaved, each sends and stores what it does alone.
    void twoJobsSideBySide()
    {
        auto start = [](JobRig &rig, Kind kind) {
            QByteArray image = rig.config();
            image[5000] = char(~image.at(5000));
            QVERIFY(kind == Kind::Audit ? rig.storeScripts(Script)
                                        : writeWholeFile(rig.file("new.cfx"), image).ok());
            rig.rt.spawn([&rig, kind] {
                rig.run(kind, rig.file(kind == Kind::Audit ? "audit.txt" : "new.cfx"));
            });
        };
        // Once the jobs are over: every frame the machine got and when, and what the job left.
        auto outcome = [](JobRig &rig, Kind kind) {
            QByteArrayList out;
            if (!rig.rt.runUntil([&] { return !rig.rt.strandCount(); }, 3600 * 1000))
                out << "not over";
            for (const auto &r : rig.machine.requests())
                out << r.raw + ' ' + QByteArray::number(r.atMs);
            return out << (kind == Kind::Audit ? rig.read(rig.file("audit.txt")) : rig.config());
        };
        QMap<Kind, QByteArrayList> alone;
        for (Kind kind : {Kind::Audit, Kind::WriteConfig}) {
            JobRig rig;
            start(rig, kind);
            alone[kind] = outcome(rig, kind);
        }
        QCOMPARE(alone[Kind::Audit].last(), cleanRecords());
        JobRig audit, write(&audit);
        start(audit, Kind::Audit);
        start(write, Kind::WriteConfig);
        QCOMPARE(outcome(audit, Kind::Audit), alone[Kind::Audit]);
        QCOMPARE(outcome(write, Kind::WriteConfig), alone[Kind::WriteConfig]);
        QVERIFY(write.machine.requests().first().atMs < audit.machine.requests().last().atMs);
    }

    void abortHangsUp()
    {
        JobRig rig;
        rig.rt.post(30000, [&] { rig.job.abort(); });
        const CollectJob::Result r = rig.run(Kind::ReadConfig, rig.file("m.prm"));
        QCOMPARE(r.status, Status::Failed);
        QCOMPARE(r.reason, QStringLiteral("interrupted"));
        QVERIFY(rig.hungUp());
        QVERIFY(!rig.job.link().engine.sending());
    }
};

QTEST_GUILESS_MAIN(CollectJobTest)
#include "tst_collectjob.moc"
