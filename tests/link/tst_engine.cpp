#include "BlockMaps.h"
#include "DemoAudit.h"
#include "LinkRig.h"

#include <QSignalSpy>

#include <QFile>
#include <QRandomGenerator>

namespace {
constexpr int Areas[3][2] = {{0, 1935}, {3072, 751}, {4976, 7951}};

QList<int> frameNumbers(const QList<MachineController::Request> &requests)
{
    QList<int> out;
    for (const auto &r : requests)
        out << r.frameNo;
    return out;
}
QList<int> expectedFrameNumbers(const QList<int> &batchSizes)
{
    QList<int> out;
    for (int n : batchSizes)
        for (int i = 0; i < n; ++i)
            out << i;
    return out;
}
// Requests sent before the first gap of at least the sweep pause.
int firstSweep(const QList<MachineController::Request> &requests)
{
    for (int i = 1; i < requests.size(); ++i)
        if (requests[i].atMs - requests[i - 1].atMs >= 2500)
            return i;
    return int(requests.size());
}
} // namespace

class EngineTest : public QObject
{
    Q_OBJECT
private slots:
    void fullConfigurationRead()
    {
        LinkRig rig;
        QSignalSpy ended(&rig.link.engine, &TransferEngine::ended);
        rig.link.engine.start(1);
        QVERIFY(rig.runToIdle());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first().first().toInt(), 1);
        const auto requests = rig.validRequests();
        QCOMPARE(requests.size(), 665);
        QCOMPARE(frameNumbers(requests), expectedFrameNumbers({256, 256, 153}));
        for (const auto &area : Areas)
            QCOMPARE(rig.state.ConfigImage.mid(area[0], area[1]),
                     rig.machine.memory(1).mid(area[0], area[1]));
        QCOMPARE(rig.link.engine.passCount(), 3);
        QVERIFY(!rig.state.LinkActive);
        QVERIFY(rig.timer5.isEnabled());
        // The save dialog was offered and cancelled: nothing written, buttons back.
        QCOMPARE(rig.dialogs.shown().size(), 1);
        QCOMPARE(rig.dialogs.shown().first().path, QString());
        QVERIFY(rig.console.commandsEnabled);
        QVERIFY(!QFile::exists(rig.programFolder() + "/Cartella/3351234567.ntm"));
    }

    void configurationReadSavedToFileAndSnapshot()
    {
        LinkRig rig;
        const QString file = rig.programFolder() + "/machine";
        rig.dialogs.chooseFileNext(file);
        rig.link.engine.start(1);
        QVERIFY(rig.runToIdle());
        const auto &save = rig.dialogs.shown().first();
        QCOMPARE(save.kind, ScriptedDialogs::Shown::Save);
        QCOMPARE(save.title, QStringLiteral("Configurazione(*.prm)"));
        QFile prm(file + ".prm");
        QVERIFY(prm.open(QIODevice::ReadOnly));
        QCOMPARE(prm.size(), 26011);
        QFile ntm(rig.programFolder() + "/Cartella/3351234567.ntm");
        QVERIFY(ntm.open(QIODevice::ReadOnly));
        QCOMPARE(ntm.readAll(), rig.state.ConfigImage);
    }

    void patternKeptAsNameIsCancel()
    {
        LinkRig rig;
        rig.dialogs.chooseFileNext(rig.programFolder() + "/*.prm");
        rig.link.engine.start(1);
        QVERIFY(rig.runToIdle());
        QCOMPARE(QDir(rig.programFolder()).entryList(QDir::Files), QStringList());
        QVERIFY(!QDir(rig.programFolder() + "/Cartella").exists());
    }

    void writeWholeConfiguration()
    {
        LinkRig rig;
        for (int a = 0; a < 12928; ++a)
            rig.state.ConfigImage[a] = char((a * 7 + 3) & 0xFF);
        QSignalSpy ended(&rig.link.engine, &TransferEngine::ended);
        QSignalSpy reset(&rig.link.dialogue, &ResetDialogue::finished);
        rig.link.engine.start(2);
        QVERIFY(rig.runToIdle());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first().first().toInt(), 2);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(reset.first().first().toBool(), true);
        const auto requests = rig.validRequests();
        // 665 writes, then the reset that every configuration write ends with.
        QCOMPARE(requests.size(), 666);
        QVERIFY(requests.first().write());
        for (const auto &area : Areas)
            QCOMPARE(rig.machine.memory(1).mid(area[0], area[1]),
                     rig.state.ConfigImage.mid(area[0], area[1]));
        QCOMPARE(rig.console.resetClicks, 1);
        QVERIFY(rig.state.ResetAfterWrite);
        QCOMPARE(rig.dialogs.boxes(), QStringList{"|Command RESET Sent |Information|Ok"});
        QCOMPARE(rig.machine.resetCount(), 1);
        QCOMPARE(rig.console.caption, QStringLiteral("Reset Alarm"));
        QVERIFY(rig.console.commandsEnabled);
        QFile ntm(rig.programFolder() + "/Cartella/3351234567.ntm");
        QVERIFY(ntm.open(QIODevice::ReadOnly));
        QCOMPARE(ntm.readAll(), rig.state.ConfigImage);
    }

    void writeChanged_data()
    {
        QTest::addColumn<QList<int>>("differences");
        QTest::addColumn<QList<int>>("written"); // addresses of the write requests
        QTest::newRow("no difference: three empty batches, nothing sent")
            << QList<int>{} << QList<int>{};
        QTest::newRow("difference at 12920 writes (12911, 16)")
            << QList<int>{12920} << QList<int>{12911};
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
        rig.link.engine.start(3);
        QVERIFY(rig.runToIdle());
        QList<int> got;
        for (const auto &r : rig.validRequests())
            if (r.memoryType == 1) {
                QCOMPARE(r.count(), 16);
                got << r.address;
            }
        QCOMPARE(got, written);
        QCOMPARE(rig.link.engine.passCount(), written.isEmpty() ? 0 : 1);
        QCOMPARE(rig.machine.memory(1).left(12927), rig.state.ConfigImage.left(12927));
        QCOMPARE(rig.console.progressMax, written.size());
    }

    void telemetryRead()
    {
        LinkRig rig;
        const QString file = rig.programFolder() + "/settings.tlm";
        rig.dialogs.chooseFileNext(file);
        rig.link.engine.start(6);
        QVERIFY(rig.runToIdle());
        const auto requests = rig.validRequests();
        QCOMPARE(requests.size(), 39);
        QCOMPARE(firstSweep(requests), 23);
        QCOMPARE(rig.state.TelemetryImage.mid(76, 623), rig.machine.memory(1).mid(3824, 623));
        QCOMPARE(rig.dialogs.shown().first().title, QStringLiteral("Configurazione(*.tlm)"));
        QCOMPARE(QFileInfo(file).size(), 1403);
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
        rig.link.engine.start(7);
        QVERIFY(rig.runToIdle());
        const auto requests = rig.validRequests();
        QCOMPARE(requests.size(), 39);
        QCOMPARE(firstSweep(requests), 23);
        const auto &slot1 = requests.at(1);
        QCOMPARE(int(slot1.address), 3840);
        QCOMPARE(slot1.data.size(), 8);
        QCOMPARE(int(slot1.data.at(1)), 1);
        QCOMPARE(rig.machine.memory(1).mid(3824, 16), rig.state.TelemetryImage.mid(76, 16));
        QCOMPARE(rig.machine.memory(1).mid(3856, 4447 - 3856),
                 rig.state.TelemetryImage.mid(3856 - 3748, 4447 - 3856));
        QCOMPARE(rig.dialogs.boxes(),
                 QStringList{"Info Telemetry|Write Telemetry OK|Information|Ok"});
        // The end is announced after the operator has been told.
        QCOMPARE(boxesAtEnd, QStringList{"Info Telemetry|Write Telemetry OK"});
    }

    // A record longer than what is left of a batch goes on in the next batch.
    void memoryMapAcrossBatches()
    {
        LinkRig rig;
        QStringList lines = {"0,0008,6", "1,0000,4000", "2,0B90,32", "1,12F4,5"};
        for (int i = 0; i < 45; ++i)
            rig.state.MapLines[i] = lines.value(i);
        for (auto &r : rig.state.MapRecords)
            r = MapRecord{255, 255, 255};
        rig.link.engine.start(5);
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.console.audits, 1);
        const QByteArray data =
            rig.machine.memory(0).mid(8, 6) + rig.machine.memory(1).mid(0, 4000) +
            rig.machine.memory(2).mid(0x0B90, 32) + rig.machine.memory(1).mid(0x12F4, 5);
        const QByteArray &img = rig.state.AuditImage;
        const int length = 6 + 4000 + 32 + 5 + 4;
        QCOMPARE(rig.state.AuditImageLength, length);
        QCOMPARE(img.size(), length);
        QCOMPARE(int(quint8(img[0]) | quint8(img[1]) << 8), length);
        QCOMPARE(img.mid(2, length - 4), data);
        quint16 sum = 0;
        for (char c : data)
            sum += quint8(c);
        QCOMPARE(int(quint8(img[length - 2]) | quint8(img[length - 1]) << 8), int(sum));
        // 1 + 250 + 2 + 1 requests: the first batch ends inside the 4000-byte record.
        QCOMPARE(rig.validRequests().size(), 254);
    }

    // The whole audit map of a demonstration machine: the engine collects what DemoAudit says
    // the station reads, which the demonstration script is written against.
    void auditMapOfADemoMachine()
    {
        LinkRig rig(MachineProfile::forNumber("+393471110002"));
        const QStringList lines = DemoAudit::mapLines(rig.machine);
        QCOMPARE(lines.size(), 45);
        for (int i = 0; i < 45; ++i)
            rig.state.MapLines[i] = lines[i];
        for (auto &r : rig.state.MapRecords)
            r = MapRecord{255, 255, 255};
        rig.link.engine.start(5);
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.console.audits, 1);
        QCOMPARE(rig.validRequests().size(), 442);
        // Every read of memory type 0 sets the clock, so it moves on during the transfer: its
        // six bytes and the sum word are left out.
        const QByteArray expected = DemoAudit::imageFor(rig.machine);
        const QByteArray &img = rig.state.AuditImage;
        QCOMPARE(img.size(), expected.size());
        QCOMPARE(img.left(2), expected.left(2));
        QCOMPARE(img.mid(8, img.size() - 10), expected.mid(8, expected.size() - 10));
    }

    void lossyLineEndsWithTheSameImage()
    {
        LinkRig clean;
        clean.link.engine.start(1);
        QVERIFY(clean.runToIdle());

        LinkRig rig;
        LinkFaults f;
        f.seed = 7;
        f.lost = 0.05;
        rig.machine.setFaults(f);
        for (int i = 0; i < 5; ++i)
            rig.dialogs.answerNext(MsgResult::Retry);
        rig.link.engine.start(1);
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.state.ConfigImage, clean.state.ConfigImage);
        QCOMPARE(rig.console.hangUps, 0);
    }

    // Frame 7 is never answered: it goes out in every sweep; the receive time-outs on the way
    // are answered Retry, and the first sender tick after the seventh pause gives the TX error.
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
        const QString tx = QStringLiteral("ERROR|ERROR TX ! REBROADCAST ? |Critical|RetryCancel");
        const QString rx =
            QStringLiteral("ERROR| TIME OUT RX ! REBROADCAST ? |Critical|RetryCancel");
        rig.dialogs.answerNext(MsgResult::Retry); // the receive time-out 10 s into the pauses
        rig.dialogs.answerNext(answer);
        QSignalSpy ended(&rig.link.engine, &TransferEngine::ended);
        rig.link.engine.start(1);
        QVERIFY(rig.time.rt.runUntil([&] { return rig.dialogs.boxes().contains(tx); }, 600000));
        QCOMPARE(rig.dialogs.boxes(), (QStringList{rx, tx}));
        QCOMPARE(rig.link.engine.passCount(), 7);
        int sevens = 0;
        for (const auto &r : rig.validRequests())
            sevens += r.frameNo == 7;
        QCOMPARE(sevens, 7); // one per sweep; the tick after the seventh pause sends nothing
        drop = false;
        rig.machine.clearRequests();
        QVERIFY(rig.runToIdle());
        QCOMPARE(ended.count(), answer == MsgResult::Cancel ? 0 : 1);
        if (answer == MsgResult::Cancel) {
            QCOMPARE(rig.console.hangUps, 1);
            QVERIFY(rig.validRequests().isEmpty());
            return;
        }
        const auto again = rig.validRequests();
        QCOMPARE(again.size(), 665);
        QCOMPARE(int(again.first().address), 0);
        QCOMPARE(rig.console.hangUps, 0);
    }

    void silenceGivesRxTimeout()
    {
        LinkRig rig;
        LinkFaults f;
        f.silenceAfter = 10;
        rig.machine.setFaults(f);
        rig.link.engine.start(1);
        QVERIFY(rig.time.rt.runUntil([&] { return !rig.dialogs.shown().isEmpty(); }, 600000));
        QCOMPARE(rig.dialogs.boxes(),
                 QStringList{"ERROR| TIME OUT RX ! REBROADCAST ? |Critical|RetryCancel"});
        QCOMPARE(rig.console.hangUps, 1);
    }

    void fifthRetryEndsTheCall()
    {
        LinkRig rig;
        LinkFaults f;
        f.silenceAfter = 10;
        rig.machine.setFaults(f);
        for (int i = 0; i < 5; ++i)
            rig.dialogs.answerNext(MsgResult::Retry);
        rig.link.engine.start(1);
        QVERIFY(rig.time.rt.runUntil([&] { return rig.console.hangUps > 0; }, 3600000));
        QStringList expected(5, "ERROR| TIME OUT RX ! REBROADCAST ? |Critical|RetryCancel");
        expected << "ERROR|COMUNICATION ERROR|Critical|Ok";
        QCOMPARE(rig.dialogs.boxes(), expected);
        QCOMPARE(int(rig.state.RxTimeoutCount), 0);
    }

    void carrierLoss()
    {
        LinkRig rig;
        LinkFaults f;
        f.dropAfter = 20;
        rig.machine.setFaults(f);
        rig.link.engine.Timer13.start(); // the console watches the carrier while a call is up
        rig.link.engine.start(1);
        QVERIFY(rig.time.rt.runUntil([&] { return rig.console.hangUps > 0; }, 600000));
        QCOMPARE(rig.dialogs.boxes(), QStringList{"|Lost Connection|Critical|Ok"});
        QVERIFY(!rig.link.engine.Timer13.isEnabled());
    }

    // --- Receiver ------------------------------------------------------------------------------

    void lowerCaseAndDuplicatedAnswersAreRetried()
    {
        LinkRig clean;
        clean.link.engine.start(6);
        QVERIFY(clean.runToIdle());

        LinkRig rig;
        LinkFaults f;
        f.seed = 3;
        f.lowercase = 0.3;
        f.duplicate = 0.3;
        rig.machine.setFaults(f);
        rig.link.engine.start(6);
        QVERIFY(rig.runToIdle());
        QVERIFY(rig.validRequests().size() > 39); // lower-case answers were asked again
        QCOMPARE(rig.state.TelemetryImage, clean.state.TelemetryImage);
        QCOMPARE(int(rig.state.BadFrameCount), 0);
    }

    void threeBadFramesCloseTheConnection()
    {
        LinkRig rig;
        LinkFaults f;
        f.oversize = 1;
        rig.machine.setFaults(f);
        rig.link.engine.start(1);
        QVERIFY(rig.time.rt.runUntil([&] { return rig.console.hangUps > 0; }, 600000));
        QCOMPARE(rig.dialogs.boxes(),
                 QStringList{"ERROR| ERROR RX ! The CONNECTION are going to Close |Critical|Ok"});
        QCOMPARE(int(rig.state.BadFrameCount), 0);
        QCOMPARE(rig.port.rThreshold(), 0);
        QCOMPARE(rig.console.progress, 0);
    }

    void fifteenthCharacterInWriteModeIsBad()
    {
        LinkRig rig;
        rig.tamper = [](const QByteArray &b) {
            QByteArray out = b;
            return out.insert(out.size() - 1, '0'); // one digit too many before EOT
        };
        rig.link.engine.start(7);
        QVERIFY(rig.time.rt.runUntil([&] { return rig.console.hangUps > 0; }, 600000));
        QCOMPARE(rig.validRequests().size(), 3); // each answer a bad frame, the third closes
        QCOMPARE(rig.dialogs.boxes(),
                 QStringList{"ERROR| ERROR RX ! The CONNECTION are going to Close |Critical|Ok"});
        QCOMPARE(rig.console.progress, 0);
    }

    void junkBeforeSohIsHarmless()
    {
        LinkRig rig;
        LinkFaults f;
        f.seed = 11;
        f.junk = 0.5;
        rig.machine.setFaults(f);
        rig.link.engine.start(6);
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.state.TelemetryImage.mid(76, 623), rig.machine.memory(1).mid(3824, 623));
        QCOMPARE(rig.validRequests().size(), 39);
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
            const int modes[] = {1, 2, 6, 7};
            rig.link.engine.start(modes[run % 4]);
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
