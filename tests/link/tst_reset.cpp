#include "LinkRig.h"

#include <QSignalSpy>

namespace {
const QByteArray ResetFrame = QByteArray("\x01"
                                         "00800009000B94"
                                         "\x04");
const QByteArray StatusFrame = QByteArray("\x01"
                                          "0000000C000C"
                                          "\x04");
const QByteArray EraseFrame = QByteArray("\x01"
                                         "00800009000790"
                                         "\x04");

// Splits what the station wrote into frames.
QList<QByteArray> frames(const QByteArray &written)
{
    QList<QByteArray> out;
    for (const QByteArray &part : written.split('\x04'))
        if (!part.isEmpty())
            out << part + '\x04';
    return out;
}
int count(const QList<QByteArray> &list, const QByteArray &frame)
{
    return int(std::count(list.begin(), list.end(), frame));
}
} // namespace

class ResetTest : public QObject
{
    Q_OBJECT
private slots:
    void resetPollsUntilDone()
    {
        MachineProfile p;
        p.resetBusyReads = 3;
        LinkRig rig(p);
        rig.dialogs.answerNext(MsgResult::Yes);
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        rig.console.resetAlarmClick();
        QCOMPARE(rig.console.caption, QStringLiteral("Abrogate"));
        QVERIFY(rig.runToIdle());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        const auto sent = frames(rig.port.written());
        QCOMPARE(sent.first(), ResetFrame);
        QCOMPARE(count(sent, ResetFrame), 1);
        QCOMPARE(count(sent, StatusFrame), 4); // three busy answers (08), then 00
        QCOMPARE(rig.dialogs.boxes(),
                 (QStringList{"|Command RESET Sent. Waiting Response?|None|YesNo",
                              "|  RESET DONE |Information|Ok"}));
        QCOMPARE(rig.console.caption, QStringLiteral("Reset Alarm"));
        QVERIFY(rig.console.commandsEnabled);
        QVERIFY(!rig.state.LinkActive);
        QCOMPARE(rig.machine.resetCount(), 1);
        QVERIFY(rig.console.statusHistory.contains("RESET DONE"));
    }

    void answeringNoEndsAfterTheAcknowledgement()
    {
        LinkRig rig;
        rig.dialogs.answerNext(MsgResult::No);
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        rig.console.resetAlarmClick();
        QVERIFY(rig.runToIdle());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(frames(rig.port.written()), QList<QByteArray>{ResetFrame});
        QCOMPARE(rig.console.caption, QStringLiteral("Reset Alarm"));
        QVERIFY(!rig.link.dialogue.Timer11.isEnabled());
    }

    // The acknowledgement's check digits: 28 is right, anything else sends the frame again.
    void acknowledgementFailures_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("done");
        const QStringList confirmed{"|Command RESET Sent. Waiting Response?|None|YesNo",
                                    "|  RESET DONE |Information|Ok"};
        QTest::newRow("29 once, then 28") << 1 << confirmed << true;
        QTest::newRow("four failures, then a good one") << 4 << confirmed << true;
        QTest::newRow("the fifth failure ends it")
            << 5 << QStringList{"|Impossible to send Cmd Reset.Try later!|None|Ok"} << false;
    }
    void acknowledgementFailures()
    {
        QFETCH(int, failures);
        QFETCH(QStringList, boxes);
        QFETCH(bool, done);
        LinkRig rig;
        rig.dialogs.answerNext(MsgResult::Yes);
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        int acks = 0;
        rig.tamper = [&](const QByteArray &b) {
            if (b.size() == 6 && acks++ < failures) { // SOH 00 28 EOT
                QByteArray out = b;
                out[4] = '9';
                return out;
            }
            return b;
        };
        rig.console.resetAlarmClick();
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.dialogs.boxes(), boxes);
        QCOMPARE(count(frames(rig.port.written()), ResetFrame), qMin(failures + 1, 5));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), done);
        QCOMPARE(rig.console.caption, QStringLiteral("Reset Alarm"));
        QVERIFY(!rig.state.LinkActive);
    }

    void statusCheckFailuresEndIt()
    {
        LinkRig rig;
        rig.tamper = [](const QByteArray &b) {
            if (b.size() == 8) { // a status answer: SOH 00 ss cc EOT
                QByteArray out = b;
                out[6] = out[6] == '0' ? '1' : '0';
                return out;
            }
            return b;
        };
        rig.dialogs.answerNext(MsgResult::Yes);
        rig.console.resetAlarmClick();
        QVERIFY(rig.runToIdle());
        QCOMPARE(rig.dialogs.boxes().last(),
                 QStringLiteral("|Impossible to receive response on state of Reset|None|Ok"));
        QCOMPARE(count(frames(rig.port.written()), StatusFrame), 5);
    }

    void sixtySecondsWithoutAnAnswerAsks_data()
    {
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<int>("resets"); // reset frames sent by the time the question is answered
        QTest::newRow("Yes sends again") << MsgResult::Yes << 2;
        QTest::newRow("No cancels") << MsgResult::No << 1;
    }
    void sixtySecondsWithoutAnAnswerAsks()
    {
        QFETCH(MsgResult, answer);
        QFETCH(int, resets);
        LinkRig rig;
        LinkFaults f;
        f.silenceAfter = 0;
        rig.machine.setFaults(f);
        rig.console.resetAlarmClick();
        rig.state.ResetAfterWrite = true; // the dialogue after a write asks for the reset again
        rig.dialogs.answerNext(answer);
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        const qint64 start = rig.now();
        QVERIFY(rig.time.rt.runUntil([&] { return !rig.dialogs.shown().isEmpty(); }, 120000));
        QCOMPARE(rig.dialogs.boxes(),
                 QStringList{"|Impossible to receive response.Continue?|None|YesNo"});
        QVERIFY(rig.now() - start >= 60000 && rig.now() - start < 61000);
        rig.time.rt.runFor(1000);
        QCOMPARE(count(frames(rig.port.written()), ResetFrame), resets);
        QCOMPARE(rig.link.dialogue.running(), answer == MsgResult::Yes);
        // Yes goes on waiting; No ends the dialogue unconfirmed.
        QCOMPARE(finished.count(), answer == MsgResult::Yes ? 0 : 1);
        if (answer == MsgResult::No)
            QCOMPARE(finished.first().first().toBool(), false);
        rig.link.dialogue.stop();
    }

    void abrogateCancels()
    {
        LinkRig rig;
        LinkFaults f;
        f.silenceAfter = 0;
        rig.machine.setFaults(f);
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        rig.console.resetAlarmClick();
        rig.time.rt.runFor(1000);
        rig.console.resetAlarmClick();
        QVERIFY(finished.isEmpty()); // the console's own cancel is no news to it
        QCOMPARE(rig.console.caption, QStringLiteral("Reset Alarm"));
        QVERIFY(rig.console.commandsEnabled);
        const QByteArray before = rig.port.written();
        rig.time.rt.runFor(120000);
        QCOMPARE(rig.port.written(), before);
        QVERIFY(rig.dialogs.shown().isEmpty());
    }

    void eraseIsSentOnceWithoutWaiting()
    {
        LinkRig rig;
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        rig.link.dialogue.startErase();
        rig.time.rt.runFor(5000);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(frames(rig.port.written()), QList<QByteArray>{EraseFrame});
        QCOMPARE(rig.machine.eraseCount(), 1);
        QVERIFY(!rig.link.dialogue.running());
        QVERIFY(!rig.link.dialogue.Timer11.isEnabled());
        QCOMPARE(rig.console.statusHistory, QStringList{"Command Sent"});
        QCOMPARE(rig.console.status, QString());
    }
};

QTEST_GUILESS_MAIN(ResetTest)
#include "tst_reset.moc"
