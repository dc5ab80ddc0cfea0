// What only the engine shows: two calls side by side in one process, and line noise.
#include "DemoAudit.h"
#include "LinkRig.h"

#include <QRandomGenerator>

class EngineTest : public QObject
{
    Q_OBJECT
private slots:
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

    // Seeded line noise into a running transfer: never a crash, never a byte outside an image.
    void randomBytesIntoTheReceiver()
    {
        QRandomGenerator rng(1907);
        for (int run = 0; run < 20; ++run) {
            VirtualTimeScope time;
            Line rig;
            rig.tamper = [&](const QByteArray &) {
                QByteArray noise(int(rng.bounded(1, 80)), '\0');
                for (char &c : noise)
                    c = rng.bounded(5) == 0 ? "\x01\x04"[rng.bounded(2)] : char(rng.bounded(256));
                return noise;
            };
            for (int i = 0; i < 3; ++i)
                rig.dialogs.answerNext(MsgResult::Retry);
            rig.link.engine.start(TransferMode(QList<int>{1, 2, 6, 7}.at(run % 4)));
            QVERIFY(
                time.rt.runUntil([&] { return rig.console.hangUps > 0 || !rig.state.LinkActive; },
                                 24 * 3600 * 1000));
            QCOMPARE(rig.state.ConfigImage.size(), 12928);
            QVERIFY(rig.state.TelemetryImage.size() <= 703);
        }
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
