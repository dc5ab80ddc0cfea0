// The call console: its session on the simulated modem, its window, and the memory-map reads.
#include "ConsoleRig.h"
#include "FrmCall.h"
#include "MachineDb.h"
#include "MachineListModel.h"
#include "MemoryMap.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTreeView>

namespace {
struct Machine
{
    const char *description;
    const char *gsm;
};

// The console window over a database holding the given machines, on virtual time.
using Rows = QList<Machine>;
struct WindowRig : ConsoleRig
{
    explicit WindowRig(const QList<Machine> &rows)
    {
        SqlMachineDb seed(dbPath());
        if (seed.open())
            for (const Machine &m : rows)
                seed.append(MachineTables::Distributori,
                            {{"Description", m.description},
                             {"GSM", m.gsm},
                             {"Sale point", QStringLiteral("Station hall")}});
        session.select(QString(), QString()); // the rig's own selection is not the window's
        session.enabled.fill(false);
        window.setCallQueue([this] { return queue.isEmpty() ? QString() : queue.takeFirst(); });
        window.setFillList([this] {
            if (db.isOpen() || db.open())
                machines.fill(db);
        });
    }
    QString dbPath() const { return file(QStringLiteral("Dati.mdb")); }
    QList<bool> commandStates() const
    {
        QList<bool> out;
        for (QPushButton *b : {window.Command2, window.Command7, window.Command8, window.Command6,
                               window.Command9, window.Command10, window.Command12})
            out << b->isEnabled();
        return out;
    }

    SqlMachineDb db{dbPath()};
    MachineListModel machines;
    FrmCall window{session, machines};
    QStringList queue;
};
const QList<bool> AllOff(7, false);
const QList<bool> AllOn(7, true);

QByteArray reply(int frameNo, const QByteArray &dataHex, const QByteArray &check = {})
{
    unsigned sum = 0;
    for (int i = 0; i + 1 < dataHex.size(); i += 2)
        sum += dataHex.mid(i, 2).toUInt(nullptr, 16);
    const QByteArray c = check.isEmpty()
                             ? QByteArray::number(sum & 0xFF, 16).toUpper().rightJustified(2, '0')
                             : check;
    return '\x01' + QByteArray::number(frameNo).rightJustified(2, '0') + dataHex + c + '\x04';
}
} // namespace

class ConsoleTest : public QObject
{
    Q_OBJECT
private slots:
    // What the modem answers to the dial: a failure shows its text or "Time OUT" and hangs up
    // at once; CONNECT counts only once its line is complete.
    void dialAnswers_data()
    {
        QTest::addColumn<int>("answer");               // -1: 10 KB of noise; -2: the chunks
        QTest::addColumn<QList<QByteArray>>("chunks"); // 100 ms apart
        QTest::addColumn<QString>("box");              // "": the call is up
        QTest::addColumn<int>("waitMs");               // from the dial to the box or the call
        const QList<QByteArray> none;
        QTest::newRow("busy shows the modem's text")
            << int(DialAnswer::Busy) << none << "|\r\nBUSY\r\n|Critical|Ok" << 5000;
        QTest::newRow("no carrier")
            << int(DialAnswer::NoCarrier) << none << "|\r\nNO CARRIER\r\n|Critical|Ok" << 6000;
        QTest::newRow("no answer at all: Time OUT after 60 s")
            << int(DialAnswer::Silent) << none << "|Time OUT|Critical|Ok" << 60000;
        QTest::newRow("10 KB of noise: Time OUT") << -1 << none << "|Time OUT|Critical|Ok" << 60000;
        QTest::newRow("CONNECT split before its CR LF")
            << -2 << QList<QByteArray>{"CONNECT 9600", "\r\n"} << "" << 200;
        QTest::newRow("CONNECT together with NO CARRIER fails")
            << -2 << QList<QByteArray>{"\r\nCONNECT 9600\r\n\r\nNO CARRIER\r\n"}
            << "|\r\nCONNECT 9600\r\n\r\nNO CARRIER\r\n|Critical|Ok" << 100;
        QTest::newRow("CR LF before CONNECT counts")
            << -2 << QList<QByteArray>{"\r\n", "CONNECT 9600"} << "" << 200;
    }
    void dialAnswers()
    {
        QFETCH(int, answer);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, box);
        QFETCH(int, waitMs);
        ConsoleRig rig;
        if (answer >= 0)
            rig.modem.setDialAnswer(ConsoleRig::Number, DialAnswer(answer));
        else
            rig.modem.setOverride("ATD" + ConsoleRig::Number, QByteArray()); // answer by hand
        QRandomGenerator rng(10240);
        for (int i = 0; answer == -1 && i < 40; ++i) {
            QByteArray noise(256, '\0');
            for (char &c : noise)
                c = char(rng.bounded(256));
            chunks << noise;
        }
        const int apart = answer == -1 ? 500 : 100;
        for (int i = 0; i < chunks.size(); ++i)
            rig.rt.post(apart * (i + 1), [&, i] { rig.port.deliver(&rig.modem, chunks.at(i)); });
        qint64 upAt = -1;
        QObject::connect(&rig.session, &CallSession::callStateChanged, [&](bool on) {
            if (on)
                upAt = rig.rt.nowMs();
        });
        rig.session.Command2_Click();
        const bool up = box.isEmpty();
        QCOMPARE(rig.session.callUp(), up);
        QCOMPARE(rig.session.link().engine.Timer13.isEnabled(), up);
        QCOMPARE(rig.dialogs.boxes(), up ? QStringList() : QStringList{box});
        if (up) {
            QCOMPARE(upAt, qint64(waitMs));
            return;
        }
        QVERIFY(qAbs(rig.dialogs.shown().first().at - waitMs) < 200);
        // The short hang-up: no 10 s wait.
        const QByteArray written = rig.port.written();
        QVERIFY(written.startsWith("ATD3351234567\r") && written.endsWith("+++ATH\r"));
        QVERIFY(rig.rt.nowMs() < waitMs + 4000);
        QVERIFY(!rig.session.LoggedOn && !rig.session.callUp() && !rig.session.call().LinkActive);
        QVERIFY(rig.session.enabled[CallSession::Data] &&
                !rig.session.enabled[CallSession::Disconnect]);
        QVERIFY(rig.session.listVisible);
        QCOMPARE(rig.tray.icon(), 1);
    }

    // A cancelled file choice dials nothing, a pattern kept as the name included.
    void noDial_data()
    {
        QTest::addColumn<bool>("all"); // else "Telemetry" write
        QTest::addColumn<QString>("name");
        QTest::newRow("All: *.prm typed as a name") << true << "*.prm";
        QTest::newRow("All: cancelled") << true << "";
        QTest::newRow("Telemetry write: *.tlm") << false << "*.tlm";
    }
    void noDial()
    {
        QFETCH(bool, all);
        QFETCH(QString, name);
        ConsoleRig rig;
        rig.dialogs.chooseFileNext(name.isEmpty() ? QString() : rig.file(name));
        all ? rig.session.Command7_Click() : rig.session.Command12_Click();
        QVERIFY(rig.dialogs.boxes().isEmpty() && rig.session.call().FileCancelled);
        QVERIFY(rig.modem.commands().isEmpty());
    }

    // A second click ("Abrogate") cancels the reset; No to "Waiting Response?" ends it after its
    // acknowledgement; a machine silent for 60 s is asked about, and Yes asks for its status.
    void resetAlarm_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<MsgResult>("answer"); // Cancel: the second click instead
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("polls"); // status reads after the answer
        const QString silent = "|Impossible to receive response.Continue?|None|YesNo";
        QTest::newRow("Abrogate after 300 ms") << "" << MsgResult::Cancel << "" << 0;
        QTest::newRow("No after the acknowledgement")
            << "" << MsgResult::No << "|Command RESET Sent. Waiting Response?|None|YesNo" << 0;
        QTest::newRow("silent for 60 s, Yes") << "silence-after=0" << MsgResult::Yes << silent << 1;
        QTest::newRow("silent for 60 s, No") << "silence-after=0" << MsgResult::No << silent << 0;
    }
    void resetAlarm()
    {
        QFETCH(QString, faults);
        QFETCH(MsgResult, answer);
        QFETCH(QString, box);
        QFETCH(int, polls);
        ConsoleRig rig;
        LinkFaults f;
        QVERIFY(LinkFaults::parse(faults, &f, nullptr));
        rig.machine.setFaults(f);
        rig.dialogs.answerNext(answer);
        rig.session.Command6_Click();
        QCOMPARE(rig.session.Command6Caption, QStringLiteral("Abrogate"));
        if (answer == MsgResult::Cancel) {
            rig.rt.runFor(300);
            rig.session.Command6_Click();
        }
        QVERIFY(rig.rt.runUntil([&] { return !rig.dialogs.shown().isEmpty() || box.isEmpty(); },
                                300000));
        if (!faults.isEmpty()) {
            const qint64 asked =
                rig.dialogs.shown().first().at - rig.machine.requests().first().atMs;
            QVERIFY(asked >= 60000 && asked < 61000);
        }
        rig.rt.runFor(1500);
        QCOMPARE(rig.dialogs.boxes(), box.isEmpty() ? QStringList() : QStringList{box});
        int statusReads = 0;
        for (const auto &r : rig.machine.requests())
            statusReads += r.address == MachineController::StatusRegister;
        QCOMPARE(statusReads, polls);
        QCOMPARE(rig.machine.requests().size(), 1 + polls);
        const bool running = answer == MsgResult::Yes;
        QCOMPARE(rig.session.link().dialogue.running(), running);
        QCOMPARE(rig.session.Command6Caption, running ? "Abrogate" : "Reset Alarm");
        for (int b = CallSession::Data; b <= CallSession::TelemetryWrite; ++b)
            QCOMPARE(rig.session.enabled[b], !running || b == CallSession::ResetAlarm);
        rig.session.link().dialogue.stop();
    }

    // Queued calls preselect their machines and enable nothing; a machine without a number
    // enables nothing and is never dialled, one with a number every command and its schedule. A
    // command while the call is up does not dial again; "Disconnect" waits 10 s before the escape;
    // closing the window during the next call hangs up and gives the port back, and the list is
    // filled again when it opens.
    void window()
    {
        WindowRig rig(
            Rows{{"Corridor A", "3351234567"}, {"Store room", ""}, {"Hall", "3351234569"}});
        rig.queue = {"3351234569  ", "3351234567"};
        rig.window.show();
        for (int row : {2, 0}) {
            rig.window.activated();
            QCOMPARE(rig.window.ListView1->currentIndex().row(), row);
            QCOMPARE(rig.window.Label1->text(), rig.machines.text(row, MachineListModel::Gsm));
            QCOMPARE(rig.commandStates(), AllOff);
        }
        QCOMPARE(rig.window.Label4->text(), QStringLiteral("Corridor A"));
        QVERIFY(rig.queue.isEmpty() && rig.port.written().isEmpty());
        QStringList opened;
        rig.window.setOpenSchedule([&](const QString &n) { opened << n; });
        for (int row : {1, 0}) {
            rig.window.rowClicked(row);
            QCOMPARE(rig.commandStates(), row ? AllOff : AllOn);
            QCOMPARE(rig.window.CommandSchedule->isEnabled(), !row);
            rig.window.CommandSchedule->click();
            for (auto command : {&CallSession::Command2_Click, &CallSession::Command9_Click,
                                 &CallSession::Command6_Click})
                if (row) // a machine without a number is never dialled
                    (rig.session.*command)();
        }
        QVERIFY(rig.dialogs.shown().isEmpty());
        QCOMPARE(opened, QStringList{"3351234567"});
        for (int i = 0; i < 2; ++i) { // the second command does not dial again
            rig.session.Command10_Click();
            QVERIFY(rig.rt.runUntil([&] { return !rig.session.busy(); }, 3600 * 1000));
        }
        QCOMPARE(rig.machine.requests().size(), 78);
        const qint64 start = rig.rt.nowMs();
        rig.session.Command4_Click();
        QVERIFY(rig.rt.nowMs() - start >= 10000);
        QVERIFY(rig.session.windowEnabled && rig.session.enabled[CallSession::Disconnect]);
        bool on = false;
        rig.session.Login(on);
        QVERIFY(on);
        rig.stationState.StationActive = false;
        rig.window.close();
        QCOMPARE(rig.modem.commands().join(' '), "ATD3351234567 ATH ATD3351234567 ATH");
        QVERIFY(rig.port.written().endsWith("+++ATH\r"));
        QVERIFY(!rig.modem.callUp() && !rig.window.isLoaded());
        QVERIFY(rig.stationState.StationActive && rig.timer2.isEnabled());
        QCOMPARE(rig.timer2.interval(), 100);
        rig.db.append(MachineTables::Distributori, {{"Description", "New"}, {"GSM", "1"}});
        rig.window.show();
        rig.window.activated();
        QCOMPARE(rig.machines.rowCount(), 4);
    }

    // Where the answer to pointer block 1 starts in what arrived (a late repeat of block 0's is
    // skipped whole, anything else ends the wait), and what its check makes of it.
    void pointerReplies_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("start"); // -1: wait on
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("addresses");
        // Words 0x0CB4, 0x0190, 0x0000, then five of 0x1000.
        const QByteArray words = "B40C9001" + QByteArray("0000") + QByteArray("0010").repeated(5);
        const QStringList pointers =
            QStringList{"0B24", "0000", "FE70"} + QStringList(5, QStringLiteral("0E70"));
        const QByteArray b0 = reply(0, words), b1 = reply(1, words);
        const int ok = MemoryMap::PointerReply::Ok, bad = MemoryMap::PointerReply::BadCheck;
        auto row = [](const char *name, const QByteArray &r, int start, int status,
                      const QStringList &a = {}) {
            QTest::newRow(name) << r << start << status << a;
        };
        row("clean reply gives eight pointers", b1, 0, ok, pointers);
        row("block 0's repeat before it is skipped", b0 + b1, int(b0.size()), ok, pointers);
        row("block 0's repeat alone is no reply", b0, -1, bad);
        row("nothing complete yet", b1.left(20), -1, bad);
        row("wrong check digits", reply(1, words, "00"), 0, bad);
        row("lower-case check digits", reply(1, QByteArray("AB").repeated(16), "b0"), 0, bad);
        row("15 data bytes with a right sum", reply(1, words.left(30)), 0, bad);
        row("17 data bytes with a right sum", reply(1, words + "00"), 0, bad);
        row("a frame without SOH ends the wait", "01FF\x04", 0, MemoryMap::PointerReply::NoSoh);
        row("junk before the answer stays in it", "zz" + b1, 0, bad);
    }
    void pointerReplies()
    {
        QFETCH(QByteArray, received);
        QFETCH(int, start);
        QFETCH(int, status);
        QFETCH(QStringList, addresses);
        QCOMPARE(int(MemoryMap::replyStart(received, 1)), start);
        const MemoryMap::PointerReply r =
            MemoryMap::checkPointerReply(received.mid(qMax(start, 0)), 1);
        QCOMPARE(int(r.status), status);
        QCOMPARE(r.addresses, addresses);
    }
};

QTEST_MAIN(ConsoleTest)
#include "tst_console.moc"
