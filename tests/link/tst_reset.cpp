#include "LinkRig.h"

#include <QSignalSpy>

namespace {
const QByteArray ResetFrame = "\x01"
                              "00800009000B94\x04";
const QByteArray StatusFrame = "\x01"
                               "0000000C000C\x04";
const QString Question = "|Command RESET Sent. Waiting Response?|None|YesNo";
const QString Done = "|  RESET DONE |Information|Ok";

int count(const QByteArray &written, const QByteArray &frame)
{
    return int(written.count(frame));
}
} // namespace

class ResetTest : public QObject
{
    Q_OBJECT
private slots:
    // The acknowledgement's check digits: 28 is right, anything else sends the frame again; the
    // status register is polled while it reads 08 and the reset is done at 00.
    void dialogue_data()
    {
        QTest::addColumn<int>("busyReads");
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<int>("badAcks");
        QTest::addColumn<bool>("badStatus");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("resets");
        QTest::addColumn<int>("polls");
        const QStringList done{Question, Done};
        const MsgResult yes = MsgResult::Yes;
        QTest::newRow("08 three times, then 00") << 3 << yes << 0 << false << done << 1 << 4;
        QTest::newRow("No ends after the acknowledgement")
            << 0 << MsgResult::No << 0 << false << QStringList{Question} << 1 << 0;
        QTest::newRow("ack 29 resent, then 28") << 0 << yes << 1 << false << done << 2 << 1;
        QTest::newRow("four failures, then a good one") << 0 << yes << 4 << false << done << 5 << 1;
        QTest::newRow("the fifth failure ends it")
            << 0 << yes << 5 << false
            << QStringList{"|Impossible to send Cmd Reset.Try later!|None|Ok"} << 5 << 0;
        QTest::newRow("five wrong status checks end it")
            << 0 << yes << 0 << true
            << QStringList{Question, "|Impossible to receive response on state of Reset|None|Ok"}
            << 1 << 5;
    }
    void dialogue()
    {
        QFETCH(int, busyReads);
        QFETCH(MsgResult, answer);
        QFETCH(int, badAcks);
        QFETCH(bool, badStatus);
        QFETCH(QStringList, boxes);
        QFETCH(int, resets);
        QFETCH(int, polls);
        MachineProfile p;
        p.resetBusyReads = busyReads;
        LinkRig rig(p);
        rig.dialogs.answerNext(answer);
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        int acks = 0;
        rig.tamper = [&](QByteArray b) {
            if (b.size() == 6 && acks++ < badAcks) // SOH 00 28 EOT
                b[4] = '9';
            if (b.size() == 8 && badStatus) // SOH 00 ss cc EOT
                b[6] = b[6] == '0' ? '1' : '0';
            return b;
        };
        rig.console.resetAlarmClick();
        QCOMPARE(rig.console.caption, QStringLiteral("Abrogate"));
        QVERIFY(rig.runToIdle());
        const bool done = boxes.contains(Done);
        QCOMPARE(rig.dialogs.boxes(), boxes);
        QVERIFY(rig.port.written().startsWith(ResetFrame));
        QCOMPARE(count(rig.port.written(), ResetFrame), resets);
        QCOMPARE(count(rig.port.written(), StatusFrame), polls);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), done);
        if (done)
            QCOMPARE(rig.machine.resetCount(), resets);
        QCOMPARE(rig.console.statusHistory.contains("RESET DONE"), done);
        QCOMPARE(rig.console.caption, QStringLiteral("Reset Alarm"));
        QVERIFY(rig.console.commandsEnabled);
        QVERIFY(!rig.state.LinkActive);
        QVERIFY(!rig.link.dialogue.Timer11.isEnabled());
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
        rig.faults("silence-after=0");
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
        QCOMPARE(count(rig.port.written(), ResetFrame), resets);
        // Yes goes on waiting; No ends the dialogue unconfirmed.
        QCOMPARE(rig.link.dialogue.running(), answer == MsgResult::Yes);
        QCOMPARE(finished.count(), answer == MsgResult::Yes ? 0 : 1);
        if (answer == MsgResult::No)
            QCOMPARE(finished.first().first().toBool(), false);
        rig.link.dialogue.stop();
    }

    void eraseIsSentOnceWithoutWaiting()
    {
        LinkRig rig;
        QSignalSpy finished(&rig.link.dialogue, &ResetDialogue::finished);
        rig.link.dialogue.startErase();
        rig.time.rt.runFor(5000);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(rig.port.written(), QByteArray("\x01"
                                                "00800009000790\x04"));
        QCOMPARE(rig.machine.eraseCount(), 1);
        QVERIFY(!rig.link.dialogue.running());
        QVERIFY(!rig.link.dialogue.Timer11.isEnabled());
        QCOMPARE(rig.console.statusHistory, QStringList{"Command Sent"});
        QCOMPARE(rig.console.status, QString());
    }
};

QTEST_GUILESS_MAIN(ResetTest)
#include "tst_reset.moc"
