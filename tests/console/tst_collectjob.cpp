#include "CollectJob.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineFiles.h"
#include "MachineLink.h"
#include "ModPublic.h"
#include "Runtime.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(CollectJob::Kind)
Q_DECLARE_METATYPE(CollectJob::Status)

namespace {
using Kind = CollectJob::Kind;
using Status = CollectJob::Status;

const QByteArray Number = "3351234567";
const QByteArray Script = "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n";
const QByteArray Addresses = "CASH,0\r\nBLOCK,10\r\n";

// A job against the simulated modem on port 1 (ready, registered) with one machine that answers
// data calls, on virtual time.
struct JobRig
{
    JobRig()
    {
        QDir(tmp.path()).mkpath(QStringLiteral("prog"));
        port.plug(1, &modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
        modem.setEcho(false);
        modem.addMachine(Number, &machine);
        QObject::connect(&job, &CollectJob::line, [this](const QString &l) { lines << l; });
    }
    ~JobRig() { QDir::setCurrent(QDir::tempPath()); }

    QString programFolder() const
    {
        return QDir(tmp.path()).absoluteFilePath(QStringLiteral("prog"));
    }
    QString file(const QString &name) const { return QDir(tmp.path()).filePath(name); }
    bool write(const QString &path, const QByteArray &bytes) const
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    QByteArray read(const QString &path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString snapshot() const
    {
        return MachineFiles::snapshotPath(programFolder(), QString::fromLatin1(Number));
    }
    bool storeSnapshot(const QByteArray &image) const
    {
        return MachineFiles::saveSnapshotFile(snapshot(), image).ok();
    }
    bool storeScripts(const QByteArray &script) const
    {
        return write(QDir(programFolder()).filePath(QStringLiteral("decod.asm")), script) &&
               write(QDir(programFolder()).filePath(QStringLiteral("address.asm")), Addresses);
    }
    CollectJob::Result run(Kind kind, const QString &file = {}, int retries = 3)
    {
        CollectJob::Request r;
        r.kind = kind;
        r.number = QString::fromLatin1(Number);
        r.file = file;
        r.retries = retries;
        return run(r);
    }
    CollectJob::Result run(const CollectJob::Request &r)
    {
        const CollectJob::Result result = job.run(r);
        if (result.status != Status::Done)
            qInfo().noquote() << "reason:" << result.reason << "\nlines:" << lines.join(u'\n');
        return result;
    }
    int dials() const { return int(modem.commands().count("ATD" + Number)); }
    QByteArray config() const { return machine.memory(1).left(MachineFiles::ConfigImageSize); }

    VirtualTimeScope time;
    QTemporaryDir tmp;
    ModPublic state;
    LoopbackPort port;
    GsmModem modem;
    MachineController machine;
    CollectJob job{port, programFolder(), state};
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
        QCOMPARE(rig.run(kind, rig.file(name)).status, Status::Done);
        QCOMPARE(QFileInfo(rig.file(saved)).size(), size);
        if (kind == Kind::ReadConfig) {
            QCOMPARE(rig.read(rig.snapshot()), rig.state.ConfigImage);
            QCOMPARE(rig.state.ConfigImage.mid(4976, 7951), rig.config().mid(4976, 7951));
        } else {
            QByteArray image;
            QVERIFY(MachineFiles::loadTelemetryFile(rig.file(saved), image).ok());
            QCOMPARE(image.mid(76, 623), rig.machine.memory(1).mid(3824, 623));
        }
        // Hung up after the job: escape and ATH after the station's 10 s wait.
        QVERIFY(rig.port.written().endsWith("+++ATH\r"));
        QVERIFY(!rig.modem.callUp());
        QCOMPARE(rig.lines, (QStringList{"call connected", "transfer complete", "call ended"}));
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
        const QByteArray before = rig.config();
        QByteArray image = before;
        image[5000] = char(~image.at(5000));
        image[12920] = char(~image.at(12920));
        QVERIFY(rig.storeSnapshot(before));
        QByteArray bytes = image;
        if (name.endsWith(QLatin1String(".prm")))
            bytes = MachineFiles::header(MachineFiles::FileKind::Configuration, name, image) +
                    image.mid(16).prepend(QByteArray(16, '\0')); // plain layout, 13004 bytes
        QVERIFY(rig.write(rig.file(name), bytes));
        QCOMPARE(rig.run(kind, rig.file(name)).status, Status::Done);
        QCOMPARE(rig.machine.byteAt(1, 5000), quint8(image.at(5000)));
        QCOMPARE(rig.machine.byteAt(1, 12920), quint8(image.at(12920)));
        QCOMPARE(rig.machine.resetCount(), 1);
        QCOMPARE(rig.read(rig.snapshot()), rig.state.ConfigImage);
        int writes = 0;
        for (const auto &r : rig.machine.requests())
            writes += r.valid && r.write() && r.memoryType == 1;
        QCOMPARE(writes, kind == Kind::WriteChanged ? 2 : 665);
        QVERIFY(rig.lines.contains("Command RESET Sent "));
        QVERIFY(!rig.modem.callUp());
    }

    // The write went through but the machine never acknowledges the reset that activates it:
    // "Continue?" is answered Yes as often as allowed, then No.
    void writeWhoseResetIsNeverAcknowledged()
    {
        JobRig rig;
        LinkFaults f;
        f.silenceAfter = 665;
        rig.machine.setFaults(f);
        QVERIFY(rig.write(rig.file("new.cfx"), rig.config()));
        const CollectJob::Result r = rig.run(Kind::WriteConfig, rig.file("new.cfx"), 2);
        QCOMPARE(r.status, Status::Failed);
        const QString question = QStringLiteral("Impossible to receive response.Continue?");
        QCOMPARE(rig.lines.filter(question),
                 (QStringList{question + " -> Yes (1 of 2)", question + " -> Yes (2 of 2)",
                              question + " -> No"}));
        QCOMPARE(rig.machine.resetCount(), 0);
        QVERIFY(!rig.modem.callUp());
    }

    void telemetryWrite()
    {
        JobRig rig;
        QByteArray logical(700, '\0');
        for (int i = 76; i < 700; ++i)
            logical[i] = char(i % 251);
        QVERIFY(rig.write(rig.file("s.tlm"), MachineFiles::interleave(logical, [] { return 7; })));
        QCOMPARE(rig.run(Kind::WriteTelemetry, rig.file("s.tlm")).status, Status::Done);
        QCOMPARE(rig.machine.memory(1).mid(3824, 16), logical.mid(76, 16));
        QVERIFY(rig.lines.contains("Info Telemetry: Write Telemetry OK"));
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
        QTest::addColumn<int>("erases");
        QTest::newRow("converted, erase asked for") << Script << true << Status::Done << 1;
        QTest::newRow("converted, no erase") << Script << false << Status::Done << 0;
        QTest::newRow("a failed line: no erase even when asked") << Script + "CA8,0\r\n"
                                                                 << true << Status::Failed << 0;
        QTest::newRow("no conversion script") << QByteArray() << true << Status::FileError << 0;
    }
    void audit()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, erase);
        QFETCH(Status, status);
        QFETCH(int, erases);
        JobRig rig;
        if (!script.isEmpty())
            QVERIFY(rig.storeScripts(script));
        CollectJob::Request r;
        r.kind = Kind::Audit;
        r.number = QString::fromLatin1(Number);
        r.file = rig.file("audit.txt");
        r.image = rig.file("audit.img");
        r.erase = erase;
        QCOMPARE(rig.run(r).status, status);
        QCOMPARE(rig.machine.eraseCount(), erases);
        // The framed image lies beside it whatever the conversion made of it.
        const QByteArray image = rig.read(rig.file("audit.img"));
        QCOMPARE(image.size(), 6635);
        QCOMPARE(quint8(image.at(0)) + 256 * quint8(image.at(1)), 6635);
        QCOMPARE(QFile::exists(rig.file("audit.txt")), !script.isEmpty());
        QVERIFY(!rig.modem.callUp());
    }

    void failures_data()
    {
        QTest::addColumn<int>("answer"); // how the number answers the dial
        QTest::addColumn<QString>("faults");
        QTest::addColumn<int>("retries");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("questions"); // Retry/Cancel questions asked
        const int connect = int(DialAnswer::Connect);
        QTest::newRow("busy") << int(DialAnswer::Busy) << QString() << 3
                              << "the call did not connect: BUSY" << 0;
        QTest::newRow("no answer") << int(DialAnswer::NoAnswer) << QString() << 3
                                   << "the call did not connect: NO ANSWER" << 0;
        QTest::newRow("silence: Retry three times, then Cancel")
            << connect << "silence-after=20" << 3
            << "the job did not complete: ERROR:  TIME OUT RX ! REBROADCAST ?  -> Cancel" << 4;
        QTest::newRow("no retries allowed") << connect << "silence-after=20" << 0
                                            << "the job did not complete: ERROR:  TIME OUT RX "
                                               "! REBROADCAST ?  -> Cancel"
                                            << 1;
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
        if (answer != int(DialAnswer::Connect))
            rig.modem.setDialAnswer(Number, DialAnswer(answer));
        LinkFaults f;
        QString error;
        QVERIFY(LinkFaults::parse(faults, &f, &error));
        rig.machine.setFaults(f);
        const CollectJob::Result r = rig.run(Kind::ReadConfig, rig.file("m.prm"), retries);
        QCOMPARE(r.status, Status::Failed);
        QCOMPARE(r.reason, reason);
        QCOMPARE(int(rig.lines.filter(QStringLiteral("REBROADCAST")).size()), questions);
        QVERIFY(rig.port.written().endsWith("+++ATH\r"));
        QVERIFY(!rig.modem.callUp());
        QVERIFY(!QFile::exists(rig.file("m.prm")));
    }

    void retriesAreCountedPerJob()
    {
        JobRig rig;
        LinkFaults f;
        f.silenceAfter = 20;
        rig.machine.setFaults(f);
        QCOMPARE(rig.run(Kind::ReadTelemetry, rig.file("a.tlm"), 1).status, Status::Failed);
        QCOMPARE(rig.job.dialogs().retriesUsed(), 1);
        rig.machine.setFaults(LinkFaults());
        QCOMPARE(rig.run(Kind::ReadTelemetry, rig.file("a.tlm"), 1).status, Status::Done);
        QCOMPARE(rig.dials(), 2);
    }

    void refusedBeforeDialling_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("snapshot");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("line");
        QByteArray prm = MachineFiles::interleave(QByteArray(13004, 'y'), [] { return 2; });
        prm[100] = char(prm[100] + 1);
        QTest::newRow(".prm with a bad checksum")
            << Kind::WriteConfig << "c.prm" << prm << true << Status::Failed
            << " Attention : Error File!!  ";
        QTest::newRow(".cfx of 3 bytes")
            << Kind::WriteConfig << "d.cfx" << QByteArray("abc") << true << Status::Failed
            << "ERROR: Error File : Isn't a valid File";
        QTest::newRow(".tlm of the wrong length")
            << Kind::WriteTelemetry << "e.tlm" << QByteArray(1000, 'x') << true << Status::Failed
            << "ERROR: Error File : Isn't a valid File";
        QTest::newRow("no difference to the snapshot")
            << Kind::WriteChanged << "same.cfx" << QByteArray() << true << Status::Done
            << " No differents found! ";
        QTest::newRow("no snapshot yet")
            << Kind::WriteChanged << "same.cfx" << QByteArray() << false << Status::Failed
            << " File 3351234567 Not Found ";
    }
    void refusedBeforeDialling()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, snapshot);
        QFETCH(Status, status);
        QFETCH(QString, line);
        JobRig rig;
        if (snapshot)
            QVERIFY(rig.storeSnapshot(rig.config()));
        QVERIFY(rig.write(rig.file(name), bytes.isEmpty() ? rig.config() : bytes));
        const CollectJob::Result r = rig.run(kind, rig.file(name));
        QCOMPARE(r.status, status);
        QCOMPARE(rig.lines, QStringList{line});
        if (status == Status::Failed)
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

    void progressFollowsTheTransfer()
    {
        JobRig rig;
        QSignalSpy batches(&rig.job, &CollectJob::batch);
        QSignalSpy progress(&rig.job, &CollectJob::progress);
        QCOMPARE(rig.run(Kind::ReadConfig, rig.file("m.prm")).status, Status::Done);
        QCOMPARE(batches.size(), 3);
        QCOMPARE(batches.at(1).at(0).toInt(), 2);
        QCOMPARE(batches.at(1).at(1).toInt(), 256); // the first batch answered
        QCOMPARE(batches.at(1).at(2).toInt(), 671);
        int highest = 0;
        for (const auto &p : progress)
            highest = qMax(highest, p.at(0).toInt());
        QCOMPARE(highest, 671);
    }

    void abortHangsUp()
    {
        JobRig rig;
        rig.time.rt.post(30000, [&] { rig.job.abort(); });
        const CollectJob::Result r = rig.run(Kind::ReadConfig, rig.file("m.prm"));
        QCOMPARE(r.status, Status::Failed);
        QCOMPARE(r.reason, QStringLiteral("interrupted"));
        QVERIFY(rig.port.written().endsWith("+++ATH\r"));
        QVERIFY(!rig.modem.callUp());
        QVERIFY(!rig.job.link().engine.sending());
    }
};

QTEST_GUILESS_MAIN(CollectJobTest)
#include "tst_collectjob.moc"
