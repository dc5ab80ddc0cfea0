#include "BlockMaps.h"
#include "DemoAudit.h"
#include "LinkRig.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>

namespace {
constexpr int Areas[3][2] = {{0, 1935}, {3072, 751}, {4976, 7951}};
const QString RxTimeout = "ERROR| TIME OUT RX ! REBROADCAST ? |Critical|RetryCancel";
const QString RxClose = "ERROR| ERROR RX ! The CONNECTION are going to Close |Critical|Ok";

// Requests sent before the first gap of at least the sweep pause.
int firstSweep(const QList<MachineController::Request> &requests)
{
    for (int i = 1; i < requests.size(); ++i)
        if (requests[i].atMs - requests[i - 1].atMs >= 2500)
            return i;
    return int(requests.size());
}
QByteArray areas(const QByteArray &image)
{
    QByteArray out;
    for (const auto &area : Areas)
        out += image.mid(area[0], area[1]);
    return out;
}
} // namespace

class EngineTest : public QObject
{
    Q_OBJECT
private slots:
    // The save dialog is offered at the end; a pattern kept as the name is a cancel.
    void configurationRead_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("save cancelled") << QString();
        QTest::newRow("saved to .prm and snapshot") << "machine";
        QTest::newRow("*.prm as a name is a cancel") << "*.prm";
    }
    void configurationRead()
    {
        QFETCH(QString, chosen);
        LinkRig rig;
        rig.dialogs.chooseFileNext(chosen.isEmpty() ? chosen : rig.programFolder() + '/' + chosen);
        QSignalSpy ended(&rig.link.engine, &TransferEngine::ended);
        rig.link.engine.start(TransferMode(1));
        QVERIFY(rig.runToIdle());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first().first().toInt(), 1);
        QList<int> frames, expected;
        for (const auto &r : rig.validRequests())
            frames << r.frameNo;
        for (int n : {256, 256, 153})
            for (int i = 0; i < n; ++i)
                expected << i;
        QCOMPARE(frames, expected);
        QCOMPARE(areas(rig.state.ConfigImage), areas(rig.machine.memory(1)));
        QCOMPARE(rig.link.engine.passCount(), 3);
        QVERIFY(!rig.state.LinkActive);
        QVERIFY(rig.timer5.isEnabled());
        QVERIFY(rig.console.commandsEnabled);
        QCOMPARE(rig.dialogs.shown().size(), 1);
        QCOMPARE(rig.dialogs.shown().first().title, QStringLiteral("Configurazione(*.prm)"));
        QFile ntm(rig.programFolder() + "/Cartella/3351234567.ntm");
        if (chosen != "machine") {
            QCOMPARE(QDir(rig.programFolder()).entryList(QDir::Files), QStringList());
            QVERIFY(!ntm.exists());
            return;
        }
        QCOMPARE(QFileInfo(rig.programFolder() + "/machine.prm").size(), 26011);
        QVERIFY(ntm.open(QIODevice::ReadOnly));
        QCOMPARE(ntm.readAll(), rig.state.ConfigImage);
    }

    void writeChanged_data()
    {
        QTest::addColumn<QList<int>>("differences");
        QTest::addColumn<QList<int>>("written"); // addresses of the 16-byte write requests
        QTest::newRow("no difference: nothing sent") << QList<int>{} << QList<int>{};
        QTest::newRow("12920 writes (12911, 16)") << QList<int>{12920} << QList<int>{12911};
        QTest::newRow("two blocks") << QList<int>{5, 4980} << QList<int>{5, 4980};
    }
    void writeChanged()
    {
        QFETCH(QList<int>, differences);
        QFETCH(QList<int>, written);
        LinkRig rig;
        rig.state.ConfigImage = rig.machine.memory(1).left(12928);
        rig.state.SnapshotImage = rig.state.ConfigImage;
        for (int a : differences)
            rig.state.ConfigImage[a] = char(~rig.state.ConfigImage.at(a));
        rig.link.engine.start(TransferMode(3));
        QVERIFY(rig.runToIdle());
        QList<int> got;
        for (const auto &r : rig.validRequests())
            if (r.memoryType == 1 && r.count() == 16)
                got << r.address;
        QCOMPARE(got, written);
        QCOMPARE(rig.link.engine.passCount(), written.isEmpty() ? 0 : 1);
        QCOMPARE(rig.machine.memory(1).left(12927), rig.state.ConfigImage.left(12927));
        QCOMPARE(rig.console.progressMax, written.size());
    }

    void telemetryWrite()
    {
        LinkRig rig;
        rig.state.TelemetryImage = QByteArray(703, '\0');
        for (int i = 76; i < 700; ++i)
            rig.state.TelemetryImage[i] = char(i & 0x7F);
        QStringList boxesAtEnd;
        connect(&rig.link.engine, &TransferEngine::ended, this,
                [&] { boxesAtEnd = rig.dialogs.messages(); });
        rig.link.engine.start(TransferMode(7));
        QVERIFY(rig.runToIdle());
        const auto requests = rig.validRequests();
        QCOMPARE(requests.size(), 39);
        QCOMPARE(firstSweep(requests), 23);
        QCOMPARE(int(requests.at(1).address), 3840);
        QCOMPARE(requests.at(1).data.size(), 8);
        QCOMPARE(int(requests.at(1).data.at(1)), 1);
        QCOMPARE(rig.machine.memory(1).mid(3824, 16), rig.state.TelemetryImage.mid(76, 16));
        QCOMPARE(rig.machine.memory(1).mid(3856, 591), rig.state.TelemetryImage.mid(108, 591));
        // The end is announced after the operator has been told.
        QCOMPARE(boxesAtEnd, QStringList{"Info Telemetry|Write Telemetry OK"});
    }

    // Mode 5: a record longer than what is left of a batch goes on in the next batch.
    void memoryMap_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("requests");
        QTest::newRow("4000-byte record across batches")
            << QStringList{"0,0008,6", "1,0000,4000", "2,0B90,32", "1,12F4,5"} << 254;
        QTest::newRow("430 bytes give length 434") << QStringList{"1,0100,430"} << 27;
    }
    void memoryMap()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, requests);
        LinkRig rig;
        for (int i = 0; i < 45; ++i)
            rig.state.MapLines[i] = lines.value(i);
        for (auto &r : rig.state.MapRecords)
            r = MapRecord{255, 255, 255};
        rig.link.engine.start(TransferMode(5));
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.console.audits, 1);
        QCOMPARE(rig.validRequests().size(), requests);
        QByteArray data;
        for (const QString &l : lines) {
            const MapRecord r = BlockMaps::parseMapLine(l);
            data += rig.machine.memory(r.type).mid(r.address, r.length);
        }
        const int length = int(data.size()) + 4;
        QCOMPARE(rig.state.AuditImageLength, length);
        quint16 sum = 0;
        for (char c : data)
            sum += quint8(c);
        QCOMPARE(rig.state.AuditImage, QByteArray(1, char(length & 0xFF)) + char(length >> 8) +
                                            data + char(sum & 0xFF) + char(sum >> 8));
    }

    // Two calls in one process, each on its own line with its own link: an audit read and a
    // configuration write, their timers interleaved, each sends and stores what it does alone.
    void twoCallsSideBySide()
    {
        struct Line
        {
            Line() : machine(MachineProfile::forNumber("+393471110002"))
            {
                port.plug(1, &machine);
                port.setCommPort(1);
                port.open();
                link.setConsole(&console);
            }
            void start(TransferMode mode)
            {
                if (mode == TransferMode::ReadAudit) {
                    const QStringList lines = DemoAudit::mapLines(machine);
                    for (int i = 0; i < 45; ++i)
                        link.state.MapLines[i] = lines.value(i);
                } else {
                    for (int a = 0; a < MachineFiles::ConfigImageSize; ++a)
                        link.state.ConfigImage[a] = char((a * 7 + 3) & 0xFF);
                }
                link.engine.start(mode);
            }
            bool idle() const
            {
                return !link.engine.Timer.isEnabled() && !link.engine.Timer8.isEnabled() &&
                       !link.engine.Timer9.isEnabled() && !link.dialogue.Timer12.isEnabled();
            }
            QByteArrayList sent() const
            {
                QByteArrayList out;
                for (const auto &r : machine.requests())
                    out << r.raw + QByteArray::number(r.atMs);
                return out;
            }
            LoopbackPort port;
            ScriptedDialogs dialogs;
            ::Timer timer2{QStringLiteral("Timer2"), 6000, false};
            ::Timer timer5{QStringLiteral("Timer5"), 30000, true};
            MachineController machine;
            MachineLink link{port, dialogs, timer2, timer5};
            RecordingConsole console{link, link.state, timer5};
        };
        auto runAlone = [](TransferMode mode, QByteArrayList *sent, QByteArray *image) {
            VirtualTimeScope time;
            Line line;
            line.start(mode);
            QVERIFY(time.rt.runUntil([&] { return line.idle(); }, 3600 * 1000));
            *sent = line.sent();
            *image = mode == TransferMode::ReadAudit ? line.link.state.AuditImage
                                                     : line.machine.memory(1);
        };
        QByteArrayList auditSent, writeSent;
        QByteArray auditImage, written;
        runAlone(TransferMode::ReadAudit, &auditSent, &auditImage);
        runAlone(TransferMode::WriteConfig, &writeSent, &written);

        VirtualTimeScope time;
        Line audit, write;
        audit.start(TransferMode::ReadAudit);
        write.start(TransferMode::WriteConfig);
        QVERIFY(time.rt.runUntil([&] { return audit.idle() && write.idle(); }, 3600 * 1000));
        QCOMPARE(audit.console.audits, 1);
        QCOMPARE(audit.sent(), auditSent);
        QCOMPARE(audit.link.state.AuditImage, auditImage);
        QCOMPARE(write.sent(), writeSent);
        QCOMPARE(write.machine.memory(1), written);
        QCOMPARE(write.machine.resetCount(), 1);
        // Interleaved: the write's first request went out before the audit's last.
        QVERIFY(write.machine.requests().first().atMs < audit.machine.requests().last().atMs);
    }

    // Lost, lower-case, repeated, late, oversize and junk-led answers are dropped and asked
    // again; the image, its sum word included, is the one a clean line gives.
    void noisyLineGivesTheSameImage_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("dropped"); // some answers were dropped and asked again
        QTest::newRow("5% lost answers") << 1 << "seed=7,lost=0.05" << false;
        QTest::newRow("configuration read, repeats") << 1 << "seed=3,duplicate=0.3" << true;
        QTest::newRow("lower-case check digits and repeats")
            << 6 << "seed=3,lowercase=0.3,duplicate=0.3" << true;
        QTest::newRow("telemetry read, answers 4 s late")
            << 6 << "seed=5,late=0.3,late-ms=4000" << true;
        QTest::newRow("junk before SOH") << 6 << "seed=11,junk=0.5" << false;
        QTest::newRow("audit map, repeats") << 5 << "seed=3,duplicate=0.3" << true;
        QTest::newRow("audit map, answers 12 s late") << 5 << "seed=4,late=0.2,late-ms=12000"
                                                      << true;
        QTest::newRow("audit map, 17-byte answers") << 5 << "seed=6,oversize=0.05" << true;
    }
    void noisyLineGivesTheSameImage()
    {
        QFETCH(int, mode);
        QFETCH(QString, faults);
        QFETCH(bool, dropped);
        // Two batches of memory types 1 and 2, none of type 0 (whose clock moves on).
        const QStringList map = {"1,0000,4000", "2,0B90,32", "1,12F4,5", "1,32B6,1200"};
        auto run = [&](LinkRig &rig) {
            for (int i = 0; i < 45; ++i)
                rig.state.MapLines[i] = map.value(i);
            for (auto &r : rig.state.MapRecords)
                r = MapRecord{255, 255, 255};
            for (int i = 0; i < 5; ++i)
                rig.dialogs.answerNext(MsgResult::Retry);
            rig.link.engine.start(TransferMode(mode));
            QVERIFY(rig.runToIdle());
            QCOMPARE(rig.console.hangUps, 0);
            QCOMPARE(int(rig.state.BadFrameCount), 0);
        };
        LinkRig clean;
        run(clean);
        LinkRig rig;
        rig.faults(faults);
        run(rig);
        QCOMPARE(rig.state.ConfigImage, clean.state.ConfigImage);
        QCOMPARE(rig.state.TelemetryImage, clean.state.TelemetryImage);
        QCOMPARE(rig.state.AuditImage, clean.state.AuditImage);
        QCOMPARE(rig.state.AuditImageSum, clean.state.AuditImageSum);
        QCOMPARE(rig.link.droppedAnswers() > 0, dropped);
    }

    // Frame 7 is never answered: it goes out in every sweep; the receive time-out on the way is
    // answered Retry, and the first sender tick after the seventh pause gives the TX error.
    void unansweredRequestGivesTxError_data()
    {
        QTest::addColumn<MsgResult>("answer");
        QTest::newRow("Cancel hangs up") << MsgResult::Cancel;
        QTest::newRow("Retry starts again from the first block") << MsgResult::Retry;
    }
    void unansweredRequestGivesTxError()
    {
        QFETCH(MsgResult, answer);
        LinkRig rig;
        bool drop = true;
        rig.tamper = [&](const QByteArray &b) {
            return drop && b.startsWith("\x01"
                                        "07")
                       ? QByteArray()
                       : b;
        };
        const QString tx = "ERROR|ERROR TX ! REBROADCAST ? |Critical|RetryCancel";
        rig.dialogs.answerNext(MsgResult::Retry);
        rig.dialogs.answerNext(answer);
        QSignalSpy ended(&rig.link.engine, &TransferEngine::ended);
        rig.link.engine.start(TransferMode(1));
        QVERIFY(rig.time.rt.runUntil([&] { return rig.dialogs.boxes().contains(tx); }, 600000));
        QCOMPARE(rig.dialogs.boxes(), (QStringList{RxTimeout, tx}));
        QCOMPARE(rig.link.engine.passCount(), 7);
        int sevens = 0;
        for (const auto &r : rig.validRequests())
            sevens += r.frameNo == 7;
        QCOMPARE(sevens, 7); // one per sweep; the tick after the seventh pause sends nothing
        drop = false;
        rig.machine.clearRequests();
        QVERIFY(rig.runToIdle());
        const bool retry = answer == MsgResult::Retry;
        QCOMPARE(ended.count(), retry ? 1 : 0);
        QCOMPARE(rig.console.hangUps, retry ? 0 : 1);
        QCOMPARE(rig.validRequests().size(), retry ? 665 : 0);
        if (retry)
            QCOMPARE(int(rig.validRequests().first().address), 0);
    }

    void callEndings_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("extraDigit"); // one digit too many before each EOT
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("three 17-byte answers close the connection")
            << 1 << "oversize=1" << false << QStringList{RxClose};
        QTest::newRow("15th character in a write mode is a bad frame")
            << 7 << "" << true << QStringList{RxClose};
    }
    void callEndings()
    {
        QFETCH(int, mode);
        QFETCH(QString, faults);
        QFETCH(bool, extraDigit);
        QFETCH(QStringList, boxes);
        LinkRig rig;
        rig.faults(faults);
        if (extraDigit)
            rig.tamper = [](QByteArray b) { return b.insert(b.size() - 1, '0'); };
        rig.link.engine.Timer13.start(); // the console watches the carrier while a call is up
        rig.link.engine.start(TransferMode(mode));
        QVERIFY(rig.runUntilHangUp());
        QCOMPARE(rig.dialogs.boxes(), boxes);
        QCOMPARE(rig.console.hangUps, 1);
        QCOMPARE(rig.console.progress, 0);
        QCOMPARE(int(rig.state.BadFrameCount), 0);
        if (boxes.contains(RxClose))
            QCOMPARE(rig.port.rThreshold(), 0);
        QVERIFY(!rig.link.engine.Timer13.isEnabled());
        if (extraDigit)
            QCOMPARE(rig.validRequests().size(), 3); // each answer a bad frame, the third closes
    }

    // Seeded line noise into a running transfer: never a crash, never a byte outside an image.
    void randomBytesIntoTheReceiver()
    {
        QRandomGenerator rng(1907);
        for (int run = 0; run < 20; ++run) {
            LinkRig rig;
            rig.tamper = [&](const QByteArray &) {
                QByteArray noise(int(rng.bounded(1, 80)), '\0');
                for (char &c : noise)
                    c = rng.bounded(5) == 0 ? "\x01\x04"[rng.bounded(2)] : char(rng.bounded(256));
                return noise;
            };
            for (int i = 0; i < 3; ++i)
                rig.dialogs.answerNext(MsgResult::Retry);
            rig.link.engine.start(TransferMode(QList<int>{1, 2, 6, 7}.at(run % 4)));
            QVERIFY(rig.time.rt.runUntil(
                [&] { return rig.console.hangUps > 0 || !rig.state.LinkActive; },
                24 * 3600 * 1000));
            QCOMPARE(rig.state.ConfigImage.size(), 12928);
            QVERIFY(rig.state.TelemetryImage.size() <= 703);
        }
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
