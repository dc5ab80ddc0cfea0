#include "CollectJob.h"
#include "ConsoleRig.h"
#include "DemoAudit.h"
#include "MachineFiles.h"
#include "LinkState.h"

#include <QSignalSpy>

Q_DECLARE_METATYPE(CollectJob::Kind)
Q_DECLARE_METATYPE(CollectJob::Status)

namespace {
using Kind = CollectJob::Kind;
using Status = CollectJob::Status;

const QByteArray Number = MachineRig::Number;
const QByteArray Script = "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n";

// A job against the simulated modem on port 1 with one machine that answers data calls.
struct JobRig : MachineRig
{
    JobRig()
    {
        QObject::connect(&job, &CollectJob::line, [this](const QString &l) { lines << l; });
    }

    QString file(const QString &name) const { return QDir(tmp.path()).filePath(name); }
    QString snapshot() const
    {
        return MachineFiles::snapshotPath(programFolder(), QString::fromLatin1(Number));
    }
    bool storeScripts(const QByteArray &script) const
    {
        return write(programFolder() + "/decod.asm", script) &&
               write(programFolder() + "/address.asm", "CASH,0\r\nBLOCK,10\r\n");
    }
    void faults(const QString &list)
    {
        LinkFaults f;
        QVERIFY(LinkFaults::parse(list, &f, nullptr));
        machine.setFaults(f);
    }
    CollectJob::Result run(Kind kind, const QString &file = {}, int retries = 3, bool erase = false)
    {
        CollectJob::Request r;
        r.kind = kind;
        r.number = QString::fromLatin1(Number);
        r.file = file;
        r.retries = retries;
        r.erase = erase;
        if (kind == Kind::Audit)
            r.image = this->file("audit.img");
        const CollectJob::Result result = job.run(r);
        if (result.status != Status::Done)
            qInfo().noquote() << "reason:" << result.reason << "\nlines:" << lines.join(u'\n');
        return result;
    }
    QByteArray config() const { return machine.memory(1).left(MachineFiles::ConfigImageSize); }
    bool hungUp() const { return port.written().endsWith("+++ATH\r") && !modem.callUp(); }

    CollectJob job{port, programFolder()};
    QStringList lines;
};
} // namespace

class CollectJobTest : public QObject
{
    Q_OBJECT
private slots:
    void readsAreSavedAndCheckedBack_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");  // as given
        QTest::addColumn<QString>("saved"); // where the station saved it
        QTest::addColumn<int>("size");
        QTest::newRow("configuration") << Kind::ReadConfig << "m.prm"
                                       << "m.prm" << 26011;
        QTest::newRow("configuration without extension") << Kind::ReadConfig << "m"
                                                         << "m.prm" << 26011;
        QTest::newRow("telemetry") << Kind::ReadTelemetry << "t.tlm"
                                   << "t.tlm" << 1403;
    }
    void readsAreSavedAndCheckedBack()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        QFETCH(QString, saved);
        QFETCH(int, size);
        JobRig rig;
        QSignalSpy batches(&rig.job, &CollectJob::batch);
        QSignalSpy progress(&rig.job, &CollectJob::progress);
        QCOMPARE(rig.run(kind, rig.file(name)).status, Status::Done);
        QCOMPARE(QFileInfo(rig.file(saved)).size(), size);
        QVERIFY(rig.hungUp());
        QCOMPARE(rig.lines, (QStringList{"call connected", "transfer complete", "call ended"}));
        if (kind == Kind::ReadTelemetry) {
            QByteArray image;
            QVERIFY(MachineFiles::loadTelemetryFile(rig.file(saved), image).ok());
            QCOMPARE(image.mid(76, 623), rig.machine.memory(1).mid(3824, 623));
            return;
        }
        QCOMPARE(rig.read(rig.snapshot()), rig.job.session().call().ConfigImage);
        QCOMPARE(rig.job.session().call().ConfigImage.mid(4976, 7951), rig.config().mid(4976, 7951));
        QCOMPARE(batches.size(), 3);
        QCOMPARE(batches.at(1), (QVariantList{2, 256, 671})); // the first batch answered
        int highest = 0;
        for (const auto &p : progress)
            highest = qMax(highest, p.at(0).toInt());
        QCOMPARE(highest, 671);
    }

    void writesReachTheMachine_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("whole configuration from .cfx") << Kind::WriteConfig << "new.cfx";
        QTest::newRow("whole configuration from a plain .prm") << Kind::WriteConfig << "new.prm";
        QTest::newRow("changed blocks against the snapshot") << Kind::WriteChanged << "new.cfx";
    }
    void writesReachTheMachine()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        JobRig rig;
        QByteArray image = rig.config();
        QVERIFY(MachineFiles::saveSnapshotFile(rig.snapshot(), image).ok());
        image[5000] = char(~image.at(5000));
        image[12920] = char(~image.at(12920));
        QByteArray bytes = image;
        if (name.endsWith(QLatin1String(".prm"))) // plain layout, 13004 bytes
            bytes = MachineFiles::header(MachineFiles::FileKind::Configuration, name, image) +
                    image.mid(16).prepend(QByteArray(16, '\0'));
        QVERIFY(rig.write(rig.file(name), bytes));
        QCOMPARE(rig.run(kind, rig.file(name)).status, Status::Done);
        QCOMPARE(rig.machine.memory(1).mid(4976, 7951), image.mid(4976, 7951));
        QCOMPARE(rig.machine.resetCount(), 1);
        QCOMPARE(rig.read(rig.snapshot()), rig.job.session().call().ConfigImage);
        int writes = 0;
        for (const auto &r : rig.machine.requests())
            writes += r.valid && r.write() && r.memoryType == 1;
        QCOMPARE(writes, kind == Kind::WriteChanged ? 2 : 665);
        QVERIFY(rig.lines.contains("Command RESET Sent "));
        QVERIFY(!rig.modem.callUp());
    }

    // The write went through but the reset is never acknowledged: "Continue?" is answered Yes as
    // often as allowed, then No.
    void writeWhoseResetIsNeverAcknowledged()
    {
        JobRig rig;
        rig.faults("silence-after=665");
        QVERIFY(rig.write(rig.file("new.cfx"), rig.config()));
        QCOMPARE(rig.run(Kind::WriteConfig, rig.file("new.cfx"), 2).status, Status::Failed);
        const QString q = QStringLiteral("Impossible to receive response.Continue?");
        QCOMPARE(rig.lines.filter(q),
                 (QStringList{q + " -> Yes (1 of 2)", q + " -> Yes (2 of 2)", q + " -> No"}));
        QCOMPARE(rig.machine.resetCount(), 0);
        QVERIFY(!rig.modem.callUp());
    }

    // Yes to "Waiting Response?" however few retries are allowed: waiting is the job.
    void resetAlarmsWaitsUntilDone()
    {
        JobRig rig;
        QCOMPARE(rig.run(Kind::ResetAlarms, {}, 0).status, Status::Done);
        QCOMPARE(rig.machine.resetCount(), 1);
        QCOMPARE(rig.job.dialogs().retriesUsed(), 0);
        QVERIFY(rig.lines.contains("Command RESET Sent. Waiting Response? -> Yes"));
        QVERIFY(rig.lines.contains("  RESET DONE "));
        QVERIFY(!rig.modem.callUp());
    }

    void audit_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("erase");
        QTest::addColumn<Status>("status");
        QTest::newRow("converted, erase asked for") << Script << true << Status::Done;
        QTest::newRow("converted, no erase") << Script << false << Status::Done;
        QTest::newRow("a failed line: no erase even when asked") << Script + "CA8,0\r\n"
                                                                 << true << Status::Failed;
        QTest::newRow("no conversion script") << QByteArray() << true << Status::FileError;
    }
    void audit()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, erase);
        QFETCH(Status, status);
        JobRig rig;
        if (!script.isEmpty())
            QVERIFY(rig.storeScripts(script));
        QCOMPARE(rig.run(Kind::Audit, rig.file("audit.txt"), 3, erase).status, status);
        QCOMPARE(rig.machine.eraseCount(), erase && status == Status::Done ? 1 : 0);
        // The framed image lies beside it whatever the conversion made of it.
        const QByteArray image = rig.read(rig.file("audit.img"));
        QCOMPARE(image.size(), 6635);
        QCOMPARE(quint8(image.at(0)) + 256 * quint8(image.at(1)), 6635);
        QCOMPARE(QFile::exists(rig.file("audit.txt")), !script.isEmpty());
        QVERIFY(!rig.modem.callUp());
    }

    // Repeated, late and oversize answers, the pointer read's included: the image holds the
    // machine's memory, its sum word is the sum of what it holds, the file is a clean run's.
    void auditOnANoisyLine_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::newRow("repeated answers") << "seed=3,duplicate=0.3";
        QTest::newRow("answers 12 s late") << "seed=4,late=0.2,late-ms=12000";
        QTest::newRow("17-byte answers") << "seed=6,oversize=0.05";
    }
    void auditOnANoisyLine()
    {
        QFETCH(QString, faults);
        QByteArray cleanAudit;
        {
            JobRig clean;
            QVERIFY(clean.storeScripts(Script));
            QCOMPARE(clean.run(Kind::Audit, clean.file("audit.txt")).status, Status::Done);
            cleanAudit = clean.read(clean.file("audit.txt"));
        }
        JobRig rig;
        rig.faults(faults);
        QVERIFY(rig.storeScripts(Script));
        QCOMPARE(rig.run(Kind::Audit, rig.file("audit.txt")).status, Status::Done);
        QCOMPARE(rig.read(rig.file("audit.txt")), cleanAudit);
        const QByteArray image = rig.read(rig.file("audit.img"));
        const QByteArray expected = DemoAudit::imageFor(rig.machine);
        QCOMPARE(image.size(), expected.size());
        // Bytes 2-7 are the machine's clock, which moves on between reads.
        QCOMPARE(image.mid(8, image.size() - 10), expected.mid(8, expected.size() - 10));
        quint16 sum = 0;
        for (qsizetype i = 2; i < image.size() - 2; ++i)
            sum += quint8(image.at(i));
        QCOMPARE(quint8(image.at(image.size() - 2)) + 256 * quint8(image.at(image.size() - 1)),
                 int(sum));
    }

    void failures_data()
    {
        QTest::addColumn<int>("answer"); // how the number answers the dial
        QTest::addColumn<QString>("faults");
        QTest::addColumn<int>("retries");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("questions"); // Retry/Cancel questions asked
        const int connect = int(DialAnswer::Connect);
        const QString cancelled =
            "the job did not complete: ERROR:  TIME OUT RX ! REBROADCAST ?  -> Cancel";
        QTest::newRow("busy") << int(DialAnswer::Busy) << "" << 3
                              << "the call did not connect: BUSY" << 0;
        QTest::newRow("no answer")
            << int(DialAnswer::NoAnswer) << "" << 3 << "the call did not connect: NO ANSWER" << 0;
        QTest::newRow("Retry three times, then Cancel")
            << connect << "silence-after=20" << 3 << cancelled << 4;
        QTest::newRow("no retries allowed") << connect << "silence-after=20" << 0 << cancelled << 1;
        QTest::newRow("the fifth retry ends the call")
            << connect << "silence-after=20" << 9
            << "the job did not complete: ERROR: COMUNICATION ERROR" << 5;
    }
    void failures()
    {
        QFETCH(int, answer);
        QFETCH(QString, faults);
        QFETCH(int, retries);
        QFETCH(QString, reason);
        QFETCH(int, questions);
        JobRig rig;
        rig.modem.setDialAnswer(Number, DialAnswer(answer));
        rig.faults(faults);
        const CollectJob::Result r = rig.run(Kind::ReadConfig, rig.file("m.prm"), retries);
        QCOMPARE(r.status, Status::Failed);
        QCOMPARE(r.reason, reason);
        QCOMPARE(int(rig.lines.filter(QStringLiteral("REBROADCAST")).size()), questions);
        QVERIFY(rig.hungUp());
        QVERIFY(!QFile::exists(rig.file("m.prm")));
        // Retries are counted per job: the next one has them all again.
        if (questions != 4)
            return;
        rig.lines.clear();
        QCOMPARE(rig.run(Kind::ReadConfig, rig.file("m.prm"), retries).reason, reason);
        QCOMPARE(int(rig.lines.filter(QStringLiteral("REBROADCAST")).size()), questions);
        QCOMPARE(rig.modem.commands().count("ATD" + Number), 2);
    }

    // Refused before dialling: a file the readers refuse fails, no difference is done.
    void refusedBeforeDialling_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: the machine's own configuration
        QTest::addColumn<QString>("line");
        QByteArray prm = MachineFiles::interleave(QByteArray(13004, 'y'), [] { return 2; });
        prm[100] = char(prm[100] + 1);
        QTest::newRow(".prm with a bad checksum") << prm << " Attention : Error File!!  ";
        QTest::newRow("no difference to the snapshot") << QByteArray() << " No differents found! ";
    }
    void refusedBeforeDialling()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        JobRig rig;
        QVERIFY(MachineFiles::saveSnapshotFile(rig.snapshot(), rig.config()).ok());
        const QString name = rig.file(bytes.isEmpty() ? "same.cfx" : "c.prm");
        QVERIFY(rig.write(name, bytes.isEmpty() ? rig.config() : bytes));
        const CollectJob::Result r =
            rig.run(bytes.isEmpty() ? Kind::WriteChanged : Kind::WriteConfig, name);
        QCOMPARE(r.status, bytes.isEmpty() ? Status::Done : Status::Failed);
        QCOMPARE(rig.lines, QStringList{line});
        if (!bytes.isEmpty())
            QCOMPARE(r.reason, QStringLiteral("nothing was sent: ") + line);
        QVERIFY(rig.port.written().isEmpty());
    }

    void unwritableOutput_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("configuration into a missing folder") << Kind::ReadConfig << "no/m.prm";
        QTest::newRow("telemetry into a missing folder") << Kind::ReadTelemetry << "no/t.tlm";
        QTest::newRow("audit into a missing folder") << Kind::Audit << "no/a.txt";
    }
    void unwritableOutput()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        JobRig rig;
        QVERIFY(rig.storeScripts(Script));
        const CollectJob::Result r = rig.run(kind, rig.file(name));
        QCOMPARE(r.status, Status::FileError);
        QVERIFY(r.reason.contains(QLatin1String("no/")));
        QVERIFY(!rig.modem.callUp());
    }

    void abortHangsUp()
    {
        JobRig rig;
        rig.time.rt.post(30000, [&] { rig.job.abort(); });
        const CollectJob::Result r = rig.run(Kind::ReadConfig, rig.file("m.prm"));
        QCOMPARE(r.status, Status::Failed);
        QCOMPARE(r.reason, QStringLiteral("interrupted"));
        QVERIFY(rig.hungUp());
        QVERIFY(!rig.job.link().engine.sending());
    }
};

QTEST_GUILESS_MAIN(CollectJobTest)
#include "tst_collectjob.moc"
