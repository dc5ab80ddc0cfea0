#include "BlockMaps.h"
#include "DemoAudit.h"
#include "LinkRig.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>

namespace {
constexpr int Areas[3][2] = {{0, 1935}, {3072, 751}, {4976, 7951}};
const QString RxTimeout = "ERROR| TIME OUT RX ! REBROADCAST ? |Critical|RetryCancel";

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
    // Batches of 256 frames numbered from 0; the save dialog is offered at the end, and a
    // pattern kept as the name is a cancel. Saving is the job runner's test.
    void configurationRead_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("save cancelled") << QString();
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
        QCOMPARE(QDir(rig.programFolder()).entryList(QDir::Files), QStringList());
        QVERIFY(!QFile::exists(rig.programFolder() + "/Cartella/3351234567.ntm"));
    }

    // The first sweep stops at the pause; the end is announced after the operator was told.
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
        const MachineProfile profile = MachineProfile::forNumber("+393471110002");
        auto start = [](Line &line, TransferMode mode) {
            if (mode == TransferMode::ReadAudit) {
                const QStringList lines = DemoAudit::mapLines(line.machine);
                for (int i = 0; i < 45; ++i)
                    line.state.MapLines[i] = lines.value(i);
            } else {
                for (int a = 0; a < MachineFiles::ConfigImageSize; ++a)
                    line.state.ConfigImage[a] = char((a * 7 + 3) & 0xFF);
            }
            line.link.engine.start(mode);
        };
        auto sent = [](const Line &line) {
            QByteArrayList out;
            for (const auto &r : line.machine.requests())
                out << r.raw + QByteArray::number(r.atMs);
            return out;
        };
        auto runAlone = [&](TransferMode mode, QByteArrayList *out, QByteArray *image) {
            VirtualTimeScope time;
            Line line(profile);
            start(line, mode);
            QVERIFY(time.rt.runUntil([&] { return line.idle(); }, 3600 * 1000));
            *out = sent(line);
            *image = mode == TransferMode::ReadAudit ? line.link.state.AuditImage
                                                     : line.machine.memory(1);
        };
        QByteArrayList auditSent, writeSent;
        QByteArray auditImage, written;
        runAlone(TransferMode::ReadAudit, &auditSent, &auditImage);
        runAlone(TransferMode::WriteConfig, &writeSent, &written);

        VirtualTimeScope time;
        Line audit(profile), write(profile);
        start(audit, TransferMode::ReadAudit);
        start(write, TransferMode::WriteConfig);
        QVERIFY(time.rt.runUntil([&] { return audit.idle() && write.idle(); }, 3600 * 1000));
        QCOMPARE(audit.console.audits, 1);
        QCOMPARE(sent(audit), auditSent);
        QCOMPARE(audit.link.state.AuditImage, auditImage);
        QCOMPARE(sent(write), writeSent);
        QCOMPARE(write.machine.memory(1), written);
        QCOMPARE(write.machine.resetCount(), 1);
        // Interleaved: the write's first request went out before the audit's last.
        QVERIFY(write.machine.requests().first().atMs < audit.machine.requests().last().atMs);
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
        QVERIFY(rig.rt.runUntil([&] { return rig.dialogs.boxes().contains(tx); }, 600000));
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
            QVERIFY(rig.rt.runUntil(
                [&] { return rig.console.hangUps > 0 || !rig.state.LinkActive; },
                24 * 3600 * 1000));
            QCOMPARE(rig.state.ConfigImage.size(), 12928);
            QVERIFY(rig.state.TelemetryImage.size() <= 703);
        }
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
