#include "CodeTables.h"
#include "ConversionRun.h"
#include "DemoAudit.h"
#include "DemoScripts.h"
#include "Files.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "Rows.h"
#include "Runtime.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Frames written out by hand in the tests, the way the station puts them on the wire: SOH, upper
// case hexadecimal digit pairs, EOT. Kept apart from any frame code of the product on purpose.
namespace FrameText {
constexpr char SOH = 0x01;
constexpr char EOT = 0x04;

inline QByteArray hex(int v)
{
    return QByteArray::number(v & 0xFF, 16).toUpper().rightJustified(2, '0');
}

// SOH, the digit texts as given, EOT.
inline QByteArray wire(const QList<QByteArray> &fields)
{
    QByteArray out(1, SOH);
    for (const QByteArray &f : fields)
        out += f;
    return out + EOT;
}

// A request with its checksum worked out: command + reserved + address bytes + data.
inline QByteArray request(int frameNo, int command, int address, const QByteArray &data = {})
{
    int sum = command + (address & 0xFF) + (address >> 8 & 0xFF);
    QByteArray body = hex(frameNo) + hex(command) + "00" + hex(address) + hex(address >> 8);
    for (char c : data) {
        body += hex(quint8(c));
        sum += quint8(c);
    }
    return SOH + body + hex(sum) + EOT;
}

// The frame with SOH and EOT named, for readable failure messages.
inline QByteArray shown(const QByteArray &raw)
{
    return QByteArray(raw).replace(SOH, "<SOH>").replace(EOT, "<EOT>");
}
} // namespace FrameText

using namespace FrameText;

namespace {
const QString Line = QStringLiteral("9600,N,8,1");
const QByteArray Number = "+393471110001";
const QByteArray StatusRead = wire({"00", "00", "00", "0C", "00", "0C"});
const QByteArray StatusAnswer = wire({"00", "00", "00"});
const QByteArray ResetWrite = wire({"00", "80", "00", "09", "00", "0B", "94"});
const QByteArray EraseWrite = wire({"00", "80", "00", "09", "00", "07", "90"});

// One line of a transcript: when the answer arrived and what it was.
QByteArray at(qint64 ms, const QByteArray &bytes)
{
    return '@' + QByteArray::number(ms) + ' ' + shown(bytes) + '\n';
}

LinkFaults faults(const QString &list)
{
    LinkFaults f;
    if (!LinkFaults::parse(list, &f, nullptr))
        qFatal("bad faults %s", qPrintable(list));
    return f;
}

// A controller on a line of its own, with everything it sends kept with its arrival time.
struct Rig
{
    explicit Rig(const MachineProfile &profile = MachineProfile()) : machine(profile)
    {
        machine.setOutput([this](const QByteArray &b) { heard << qMakePair(time.rt.nowMs(), b); });
        machine.lineOpened(Line);
    }
    explicit Rig(const QString &list) : Rig() { machine.setFaults(faults(list)); }
    void send(const QByteArray &bytes) { machine.fromStation(bytes, Line); }
    // Sends each frame `gapMs` after the previous one, then lets `tailMs` pass.
    void sendPaced(const QList<QByteArray> &frames, int gapMs, int tailMs = 5000)
    {
        for (const QByteArray &f : frames) {
            send(f);
            time.rt.runFor(gapMs);
        }
        time.rt.runFor(tailMs);
    }
    QByteArray transcript() const
    {
        QByteArray out;
        for (const auto &[ms, bytes] : heard)
            out += at(ms, bytes);
        return out;
    }
    QList<int> answeredFrames() const
    {
        QList<int> out;
        for (const auto &p : heard)
            out << p.second.mid(p.second.indexOf(SOH) + 1, 2).toInt(nullptr, 16);
        return out;
    }

    VirtualTimeScope time; // before the machine: its clock reads the runtime
    MachineController machine;
    QList<QPair<qint64, QByteArray>> heard;
};

// Reads of 16 bytes at the telemetry start, frame numbers first..first+n-1.
QList<QByteArray> telemetryReads(int n, int first = 0)
{
    QList<QByteArray> out;
    for (int i = 0; i < n; ++i)
        out << request(first + i, 0x5F, 0x0EF0);
    return out;
}

QList<int> answeredWith(const QString &list)
{
    Rig r(list);
    r.sendPaced(telemetryReads(60), 200);
    return r.answeredFrames();
}

// The simulated modem on port 1 of an in-process line, echo off, with one machine on file.
struct CallRig
{
    CallRig()
    {
        port.plug(1, &modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
        modem.setEcho(false);
        modem.addMachine(Number, &machine);
    }
    // Runs until the text received holds `text`; the moment it arrived, or -1 after limitMs.
    qint64 waitFor(const QByteArray &text, qint64 limitMs = 120'000)
    {
        const bool ok = time.rt.runUntil(
            [&] {
                rx += port.readAll();
                return rx.contains(text);
            },
            limitMs);
        rx.clear();
        return ok ? time.rt.nowMs() : -1;
    }
    QByteArray collect(qint64 ms)
    {
        time.rt.runFor(ms);
        return std::exchange(rx, {}) + port.readAll();
    }
    bool connect()
    {
        port.write("ATD" + Number + "\r");
        return waitFor("CONNECT 9600\r\n") >= 0;
    }

    VirtualTimeScope time;
    LoopbackPort port;
    GsmModem modem;
    MachineController machine;
    QByteArray rx;
};

// The records the demo script makes of a machine's audit image, CR LF checked and taken off,
// and a last line that says so when a script line failed.
QList<QByteArray> auditOf(const MachineController &m)
{
    const audit::ConversionScripts scripts{DemoScripts::script(), DemoScripts::addresses()};
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const bool converted =
        audit::Convert(scripts, audit::AuditImage(DemoAudit::imageFor(m)), out).succeeded();
    QList<QByteArray> lines = out.data().split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &l : lines)
        l = l.endsWith('\r') ? l.chopped(1) : "(line without CR) " + l;
    return converted ? lines : lines << "(a script line failed)";
}

QList<QByteArray> kind(const QList<QByteArray> &lines, const QByteArray &id)
{
    QList<QByteArray> out;
    for (const QByteArray &l : lines)
        if (l.startsWith(id + '*'))
            out << l;
    return out;
}

// Element i (from 1) of the first record of a kind, as a number.
quint64 element(const QList<QByteArray> &lines, const QByteArray &id, int i)
{
    return kind(lines, id).value(0).split('*').value(i).toULongLong();
}

using Machine = Rows<QByteArray>; // its number

void addMachines()
{
    Machine::table();
    for (const char *n : {"+393471110001", "+393471110002", "+393471110003"})
        Machine::add(n, n);
}
} // namespace

// Bytes poked into a memory type at an address, what is sent, the transcript heard.
using Answer = Rows<int, int, QByteArray, QByteArray, QByteArray>;
using Doubtful = Rows<QByteArray, int>;         // sent; recorded -1 not at all, 0 invalid, 1 valid
using Write = Rows<int, int>;                   // command, memory type
using Busy = Rows<int, QByteArray>;             // busy reads, the statuses read
using Faulty = Rows<QString, QByteArray, bool>; // faults, transcript, carrier afterwards
// The answer (a DialAnswer, or -1: the machine on file, -2: nobody), its delay (-1: the
// usual one), the registration, the number dialled, the result and when it comes (-1: never).
using Dial = Rows<int, int, int, QByteArray, QByteArray, qint64>;
// Steps "wait ms:bytes" from the last frame on; OK that long after the last, -1 no escape.
using Escape = Rows<QStringList, qint64>;
// A command after the escape or what ends the call; then what is heard, call up, online.
using After = Rows<QString, QByteArray, bool, bool>;

// The simulated controller and modem, driven with frames and commands written out by hand, and
// the demonstration conversion files over the controllers' audit images.
class SimTest : public QObject
{
    Q_OBJECT

private slots:
    void answersFollowTheFrameLayoutAndTheLineSpeed_data()
    {
        const auto row = Answer::table();
        const QByteArray sixteen = QByteArray::fromHex("000102030405060708090A0B0C0D0E0F");
        const QByteArray read05 = wire({"05", "5F", "00", "F0", "0E", "5D"});
        const QByteArray answer05 = wire({"05", "000102030405060708090A0B0C0D0E0F", "78"});
        // 38 characters at 9600 bit/s take 40 ms, after 5 ms of processing.
        row("16-byte read of memory type 1, frame 05", 1, 0x0EF0, sixteen, read05,
            at(45, answer05));
        row("reset write: acknowledged with twice its checksum 94", 2, 0, {}, ResetWrite,
            at(12, wire({"00", "28"})));
        row("erase write: twice 90 wraps to 20", 2, 0, {}, EraseWrite, at(12, wire({"00", "20"})));
        row("status read: the status is its own check value", 2, 12, QByteArray::fromHex("40"),
            StatusRead, at(14, wire({"00", "40", "40"})));
        row("3-byte read of memory type 0 (selector 10)", 0, 0x20, QByteArray::fromHex("010207"),
            wire({"07", "12", "00", "20", "00", "32"}), at(18, wire({"07", "010207", "0A"})));
        row("the data sum wraps at 256", 1, 0x100, QByteArray::fromHex("FF02"),
            wire({"FE", "51", "00", "00", "01", "52"}), at(16, wire({"FE", "FF02", "01"})));
        row("two requests at once queue on the line", 1, 0x0EF0, sixteen,
            read05 + wire({"06", "00", "00", "0C", "00", "0C"}),
            at(45, answer05) + at(54, wire({"06", "00", "00"})));
        row("noise, then a new SOH abandons a half-received frame", 1, 0x0EF0, sixteen,
            QByteArray("\r\n?") + SOH + "055F00" + read05, at(45, answer05));
    }
    void answersFollowTheFrameLayoutAndTheLineSpeed()
    {
        const auto [type, address, poke, sent, transcript] = Answer::fetch();
        Rig r;
        r.machine.memory(type).replace(address, poke.size(), poke);
        r.send(sent);
        r.time.rt.runFor(2000);
        QCOMPARE(r.transcript(), transcript);
    }

    void doubtfulRequestsGetNoAnswer_data()
    {
        const auto row = Doubtful::table();
        row("checksum one too high", wire({"05", "5F", "00", "F0", "0E", "5E"}), 0);
        row("lower-case digits", wire({"05", "5f", "00", "f0", "0e", "5d"}), 0);
        row("odd number of digits", wire({"05", "5F", "00", "F0", "0E", "5"}), 0);
        row("2-byte write carrying one byte", wire({"00", "81", "00", "09", "00", "0B", "95"}), 0);
        row("read carrying a data byte", wire({"00", "00", "00", "0C", "00", "01", "0D"}), 0);
        row("memory selector 20 names no memory", wire({"00", "2F", "00", "90", "0B", "CA"}), 1);
        row("EOT without SOH", "055F00F00E5D\x04", -1);
        row("longer than any request", SOH + QByteArray(46, '0') + EOT, 0);
    }
    void doubtfulRequestsGetNoAnswer()
    {
        const auto [sent, recorded] = Doubtful::fetch();
        Rig r;
        r.send(sent);
        r.time.rt.runFor(5000);
        QCOMPARE(r.transcript(), QByteArray());
        QCOMPARE(r.machine.requests().size(), recorded < 0 ? 0 : 1);
        if (recorded >= 0)
            QCOMPARE(r.machine.requests().first().valid, recorded == 1);
    }

    void writesLandInTheSelectedMemory_data()
    {
        const auto row = Write::table();
        row("D2 writes memory type 1", 0xD2, 1);
        row("92 writes memory type 0", 0x92, 0);
        row("82 writes memory type 2", 0x82, 2);
    }
    void writesLandInTheSelectedMemory()
    {
        const auto [command, type] = Write::fetch();
        Rig r;
        const QByteArray data = QByteArray::fromHex("C0FFEE");
        QList<QByteArray> expected;
        for (int t : {0, 1, 2})
            expected << (t == type ? data : r.machine.memory(t).mid(0x2000, 3));
        r.send(request(9, command, 0x2000, data));
        r.time.rt.runFor(1000);
        QCOMPARE(r.answeredFrames(), QList<int>({9}));
        for (int t : {0, 1, 2})
            QCOMPARE(r.machine.memory(t).mid(0x2000, 3), expected[t]);
    }

    void aResetStaysBusyForTheConfiguredStatusReads_data()
    {
        const auto row = Busy::table();
        row("done at once", 0, "00 00 00 00");
        row("busy for three reads", 3, "08 08 08 00");
    }
    void aResetStaysBusyForTheConfiguredStatusReads()
    {
        const auto [busyReads, statuses] = Busy::fetch();
        MachineProfile p;
        p.resetBusyReads = busyReads;
        Rig r(p);
        QVERIFY(r.machine.byteAt(2, 0x10) != 0); // alarms pending
        r.sendPaced({ResetWrite, StatusRead, StatusRead, StatusRead, StatusRead}, 200, 200);
        QCOMPARE(r.heard.size(), 5);
        QByteArrayList seen;
        for (int i = 1; i < 5; ++i) {
            const QByteArray a = r.heard[i].second;
            QCOMPARE(a.mid(3, 2), a.mid(5, 2)); // status and check agree
            seen << a.mid(3, 2);
        }
        QCOMPARE(seen.join(' '), statuses);
        QCOMPARE(r.machine.resetCount(), 1);
        QCOMPARE(r.machine.byteAt(2, 0x10), quint8(0)); // alarms cleared
        QCOMPARE(r.machine.byteAt(2, MachineController::CommandRegister), quint8(0));
    }

    void faultsShapeTheAnswers_data()
    {
        const auto row = Faulty::table();
        // Three 16-byte reads, 200 ms apart, of data whose sum is AB.
        auto a = [](int n, const QByteArray &check = "AB") {
            return wire({hex(n), "AB" + QByteArray(30, '0'), check});
        };
        const QByteArray oversized = wire({"01", "AB" + QByteArray(30, '0') + "01", "AC"});
        row("clean line", "", at(45, a(1)) + at(245, a(2)) + at(445, a(3)), true);
        row("every answer lost", "lost=1", {}, true);
        row("lower-case check digits", "lowercase",
            at(45, a(1, "ab")) + at(245, a(2, "ab")) + at(445, a(3, "ab")), true);
        row("every answer twice, back to back", "duplicate=1",
            at(45, a(1)) + at(85, a(1)) + at(245, a(2)) + at(285, a(2)) + at(445, a(3)) +
                at(485, a(3)),
            true);
        row("answers 2.5 s late", "late=1,late-ms=2500",
            at(2545, a(1)) + at(2745, a(2)) + at(2945, a(3)), true);
        row("17 bytes to a 16-byte read: 40 characters take 42 ms", "oversize",
            at(47, oversized) + at(247, QByteArray(oversized).replace(1, 2, "02")) +
                at(447, QByteArray(oversized).replace(1, 2, "03")),
            true);
        row("quiet after two requests", "silence-after=2", at(45, a(1)) + at(245, a(2)), true);
        row("line dropped after one answer", "drop-after=1", at(45, a(1)), false);
    }
    void faultsShapeTheAnswers()
    {
        const auto [faults, transcript, carrier] = Faulty::fetch();
        Rig r(faults);
        const QByteArray data = QByteArray::fromHex("AB00000000000000000000000000000001");
        r.machine.memory(1).replace(0x0EF0, data.size(), data);
        QSignalSpy dropped(&r.machine, &MachineController::lineDropped);
        r.sendPaced(telemetryReads(3, 1), 200);
        QCOMPARE(r.transcript(), transcript);
        QCOMPARE(r.machine.carrier(), carrier);
        QCOMPARE(dropped.count(), carrier ? 0 : 1);
        QCOMPARE(r.machine.requests().size(), carrier ? 3 : 1); // a dropped line hears nothing
        r.machine.lineOpened(Line);                             // the next call starts afresh
        QVERIFY(r.machine.carrier());
    }

    void junkPrecedesTheAnswerWithoutControlBytes()
    {
        QList<QByteArray> clean;
        {
            Rig c;
            c.sendPaced(telemetryReads(20), 200);
            for (const auto &p : c.heard)
                clean << p.second;
        }
        Rig r("junk");
        r.sendPaced(telemetryReads(20), 200);
        QCOMPARE(r.heard.size(), 20);
        QSet<QByteArray> prefixes;
        for (int i = 0; i < 20; ++i) {
            const QByteArray got = r.heard[i].second;
            const QByteArray junk = got.left(got.indexOf(SOH));
            QVERIFY2(junk.size() >= 1 && junk.size() <= 3 && !junk.contains(EOT), shown(got));
            QCOMPARE(shown(got.mid(junk.size())), shown(clean.value(i)));
            prefixes << junk;
        }
        QVERIFY(prefixes.size() > 2);
    }

    void randomFaultsRepeatWithTheirSeed()
    {
        const QList<int> a = answeredWith("lost=0.3,seed=7");
        QCOMPARE(answeredWith("lost=0.3,seed=7"), a);
        QVERIFY(answeredWith("lost=0.3,seed=8") != a);
        QVERIFY2(a.size() >= 32 && a.size() <= 52, qPrintable(QString::number(a.size())));
        // Other faults leave the losses where they were.
        const QList<int> b = answeredWith("lost=0.3,duplicate=0.5,junk=0.5,seed=7");
        QCOMPARE(QSet<int>(b.begin(), b.end()), QSet<int>(a.begin(), a.end()));
        QVERIFY(b.size() > a.size());
    }

    void dialResultsComeAfterTheirDelay_data()
    {
        const auto row = Dial::table();
        // Results leave the modem 20 ms after the network gave them.
        row("machine on file: CONNECT 9600 after 9 s", -1, -1, 1, Number, "\r\nCONNECT 9600\r\n",
            9020);
        row("number nobody has: NO CARRIER after 6 s", -2, -1, 1, "+393470000000",
            "\r\nNO CARRIER\r\n", 6020);
        row("busy after a delay of its own", int(DialAnswer::Busy), 1500, 1, Number, "\r\nBUSY\r\n",
            1520);
        row("nobody picks up: NO ANSWER before the station's 60 s", int(DialAnswer::NoAnswer), -1,
            1, Number, "\r\nNO ANSWER\r\n", 40020);
        row("silent number: no result at all", int(DialAnswer::Silent), -1, 1, Number, "\r\n", -1);
        row("not registered: NO CARRIER even for a machine", -1, -1, 0, Number,
            "\r\nNO CARRIER\r\n", 6020);
        row("tone prefix, blanks and dashes in the number", -1, 2000, 5, "T+39 347-111 0001",
            "\r\nCONNECT 9600\r\n", 2020);
    }
    void dialResultsComeAfterTheirDelay()
    {
        const auto [answer, delayMs, registration, dialled, result, atMs] = Dial::fetch();
        CallRig r;
        r.modem.config().registration = registration;
        if (answer == -1)
            r.modem.addMachine(Number, &r.machine, delayMs);
        else if (answer >= 0)
            r.modem.setDialAnswer(Number, DialAnswer(answer), delayMs);
        QSignalSpy changed(&r.modem, &GsmModem::callChanged);
        r.port.write("ATD" + dialled + "\r");
        QCOMPARE(r.waitFor(result), atMs);
        const bool up = result.contains("CONNECT");
        QCOMPARE(r.modem.callUp(), up);
        QCOMPARE(r.port.carrierDetect(), up);
        QCOMPARE(r.modem.dialling(), atMs < 0);
        QCOMPARE(changed.count(), up ? 1 : 0);
        QCOMPARE(r.collect(60'000), QByteArray()); // one result, nothing after it
        if (atMs < 0) {                            // the station's short hang-up abandons the dial
            r.port.write("+++");
            QCOMPARE(r.collect(3000), QByteArray());
            r.port.write("ATH\r");
            QCOMPARE(r.collect(1000), QByteArray("\r\nOK\r\n"));
            QVERIFY(!r.modem.dialling());
        }
    }

    // A frame passes without delay of the modem's own; an escape needs its guard times, and
    // anything else is data for the machine.
    void theEscapeNeedsItsGuardTime_data()
    {
        const auto row = Escape::table();
        row("1 s of silence, +++, 1 s of silence", {"1000:+++"}, 1020);
        row("+++ half a second after a frame", {"500:+++"}, -1);
        row("a byte within the guard after +++", {"1000:+++", "500:X"}, -1);
        row("the three pluses in three writes", {"1200:+", "100:+", "100:+"}, 1020);
        row("four pluses", {"1000:++++"}, -1);
        row("a command while the call is up", {"1000:AT\r"}, -1);
    }
    void theEscapeNeedsItsGuardTime()
    {
        const auto [steps, okAfterMs] = Escape::fetch();
        CallRig r;
        QVERIFY(r.connect());
        const QList<QByteArray> commands = r.modem.commands();
        const qint64 sent = r.time.rt.nowMs();
        r.port.write(StatusRead);
        // 8 characters at 9600 bit/s take 9 ms after the machine's 5 ms: the modem adds nothing.
        QCOMPARE(r.waitFor(StatusAnswer), sent + 14);
        for (const QString &step : steps) {
            r.rx += r.collect(step.section(':', 0, 0).toInt());
            r.port.write(step.section(':', 1).toLatin1());
        }
        const qint64 last = r.time.rt.nowMs();
        QCOMPARE(std::exchange(r.rx, {}), QByteArray());
        if (okAfterMs < 0) {
            QCOMPARE(r.collect(5000), QByteArray());
            QVERIFY(r.modem.dataMode());
            r.port.write(StatusRead); // still reaches the machine
            QCOMPARE(r.collect(1000), StatusAnswer);
        } else {
            QCOMPARE(r.waitFor("\r\nOK\r\n"), last + okAfterMs);
            QVERIFY(!r.modem.dataMode() && r.modem.callUp() && r.port.carrierDetect());
            QCOMPARE(r.machine.requests().size(), 1); // no plus reached the machine
        }
        QCOMPARE(r.modem.commands(), commands);
    }

    // How a call goes on after the escape, or ends without one.
    void theCallAfterwards_data()
    {
        const auto row = After::table();
        row("ATH hangs up", "ATH", "\r\nOK\r\n", false, false);
        row("ATO goes back online", "ATO", "\r\nCONNECT 9600\r\n", true, true);
        row("a second call is refused", "ATD" + Number, "\r\nERROR\r\n", true, false);
        row("machine drops the line after answering", "drop-after=1",
            StatusAnswer + "\r\nNO CARRIER\r\n", false, false);
        row("network loses the call", "network", "\r\nNO CARRIER\r\n", false, false);
        row("the station closes the port", "close", {}, false, false);
    }
    void theCallAfterwards()
    {
        const auto [how, heard, up, online] = After::fetch();
        CallRig r;
        const bool dropping = how.startsWith("drop");
        if (dropping)
            r.machine.setFaults(faults(how));
        QVERIFY(r.connect());
        QSignalSpy changed(&r.modem, &GsmModem::callChanged);
        if (how == "network") {
            r.modem.dropCall();
        } else if (how == "close") {
            r.port.close();
            QVERIFY(r.port.open());
        } else if (dropping) {
            r.port.write(StatusRead);
        } else {
            r.time.rt.runFor(1000);
            r.port.write("+++");
            QVERIFY(r.waitFor("\r\nOK\r\n") > 0);
            r.port.write(how.toLatin1() + "\r");
        }
        QCOMPARE(r.collect(1000), heard);
        QCOMPARE(r.modem.callUp(), up);
        QCOMPARE(r.port.carrierDetect(), up);
        QCOMPARE(r.modem.dataMode(), online);
        QCOMPARE(changed.count(), up ? 0 : 1);
        r.port.write(StatusRead); // a frame reaches the machine only online
        QCOMPARE(r.collect(1000), online ? StatusAnswer : QByteArray());
        QCOMPARE(r.machine.requests().size(), int(online || dropping));
        if (!up) { // there is no call to resume
            r.port.write("ATO\r");
            QCOMPARE(r.collect(1000), QByteArray("\r\nNO CARRIER\r\n"));
        }
    }

    // What the records say must add up, whichever memory the numbers came from: paid is cash
    // and card, cash in less change is the cash sales, coins and bills by type make the cash
    // in, every vend is one of a selection at its price, every logged event is there.
    void demoRecordsAddUp_data() { addMachines(); }
    void demoRecordsAddUp()
    {
        const auto [number] = Machine::fetch();
        VirtualTimeScope time;
        MachineController m(MachineProfile::forNumber(number));
        const QList<QByteArray> lines = auditOf(m);
        QCOMPARE(lines.size(), 106);
        // The identity from the configuration; a model D carries neither variant nor option.
        const MachineProfile &p = m.profile();
        QByteArray model = QByteArrayList{"", "MQA", "MQB", "MQC", "MQD", "", "MQF"}.value(p.model);
        if (p.model != 4)
            model += QByteArray(p.variant == 1 ? "E" : "I") + (p.option == 2 ? "F" : "");
        QCOMPARE(lines.mid(0, 3),
                 QList<QByteArray>({"ID1*" + QByteArray::number(p.serial) + '*' + model + "*3*" +
                                        QByteArray::number(p.serial % 1000) + "*MDB *" +
                                        QByteArray::number(p.asset),
                                    "ID4*2*978*978", "ID5*240506*0830"}));
        const auto e = [&lines](const char *id, int i) { return element(lines, id, i); };
        for (int i : {1, 3, 4})
            QCOMPARE(e("VA1", i), e("CA2", i) + e("DA2", i));
        QCOMPARE(e("CA3", 1) - e("CA4", 1), e("CA2", 3));
        QCOMPARE(e("CA3", 6) + e("CA3", 7) + e("CA3", 8) - e("CA4", 3), e("CA2", 1));
        quint64 box = 0, tubes = 0, notes = 0;
        for (const QByteArray &c : kind(lines, "CA11")) {
            const QList<QByteArray> f = c.split('*');
            box += f[1].toULongLong() * f[3].toULongLong();
            tubes += f[1].toULongLong() * f[4].toULongLong();
        }
        for (const QByteArray &b : kind(lines, "CA14"))
            notes += b.split('*')[1].toULongLong() * b.split('*')[2].toULongLong();
        QCOMPARE(QList<quint64>({box, tubes, notes}),
                 QList<quint64>({e("CA3", 2), e("CA3", 3), e("CA3", 4)}));
        const QList<QByteArray> prices = kind(lines, "PA1"), vends = kind(lines, "PA2");
        QCOMPARE(int(prices.size()), int(MachineController::Selections));
        QCOMPARE(vends.size(), prices.size());
        quint64 sums[4] = {};
        for (int k = 0; k < prices.size(); ++k) {
            const quint64 price = prices[k].split('*')[2].toULongLong();
            const QList<QByteArray> v = vends[k].split('*');
            sums[0] += price * v[1].toULongLong(), sums[1] += v[1].toULongLong();
            sums[2] += price * v[3].toULongLong(), sums[3] += v[3].toULongLong();
        }
        for (int i = 0; i < 4; ++i)
            QCOMPARE(sums[i], e("VA1", i + 1));
        QVERIFY(e("VA1", 4) > 0 && e("CA2", 4) > 0 && e("DA2", 4) > 0);
        QCOMPARE(kind(lines, "EA1").size(), m.eventLog().size());
        int counted = 0, reported = 0;
        for (int n = 0; n < MachineController::EventNumbers; ++n)
            counted += m.eventCount(n, false);
        for (const QByteArray &l : kind(lines, "EA2"))
            reported += l.split('*').value(3).toInt();
        QCOMPARE(reported, counted);
    }

    // After an erase the counts since the last erase read zero, totals stay, and the read is
    // counted with the erase's time.
    void anEraseZeroesTheCountsSinceTheLastErase_data() { addMachines(); }
    void anEraseZeroesTheCountsSinceTheLastErase()
    {
        const auto [number] = Machine::fetch();
        VirtualTimeScope time;
        MachineController m(MachineProfile::forNumber(number));
        m.setOutput([](const QByteArray &) {});
        m.lineOpened(Line);
        const QList<QByteArray> before = auditOf(m);
        time.rt.runFor(3 * 3600 * 1000);
        m.fromStation(EraseWrite, Line);
        time.rt.runFor(1000);
        const QList<QByteArray> after = auditOf(m);
        QCOMPARE(m.eraseTimes(), QList<qint64>({3 * 3600 * 1000}));
        QCOMPARE(m.resetCount(), 0);

        // The elements that count since the last erase, by record.
        const QHash<QByteArray, QList<int>> sinceErase = {
            {"VA1", {3, 4}}, {"CA2", {3, 4}}, {"CA3", {1, 2, 3, 4}},
            {"CA4", {1, 2}}, {"DA2", {3, 4}}, {"CA11", {2, 3, 4}},
            {"CA14", {2}},   {"PA2", {3}},    {"EA2", {2}}};
        QList<QByteArray> expected;
        int nonZero = 0;
        for (const QByteArray &l : before) {
            QList<QByteArray> e = l.split('*');
            for (int i : sinceErase.value(e[0])) {
                nonZero += e[i] != "0";
                e[i] = "0";
            }
            if (e[0] == "EA3") {
                e[1] = QByteArray::number(e[1].toInt() + 1);
                e[5] = "240506";
                e[6] = "1130";
            }
            expected << e.join('*');
        }
        QVERIFY(nonZero > 40);
        QCOMPARE(after, expected);
    }

    // The operator's own files stay; a folder that is not there is an error.
    void installWritesOnlyTheMissingFiles()
    {
        QTemporaryDir tmp;
        const QDir dir(tmp.path());
        QVERIFY(writeFile(dir.filePath("decod.asm"), "OPERATOR\r\n"));
        QStringList wrote;
        QString error;
        QVERIFY(DemoScripts::install(dir.path(), &wrote, &error));
        QCOMPARE(wrote, QStringList{dir.filePath("address.asm")});
        QCOMPARE(readFile(dir.filePath("decod.asm")) + readFile(dir.filePath("address.asm")),
                 "OPERATOR\r\n" + DemoScripts::addresses());
        QVERIFY(QFile::remove(dir.filePath("decod.asm")));
        wrote.clear();
        QVERIFY(DemoScripts::install(dir.path(), &wrote, &error));
        QCOMPARE(wrote, QStringList{dir.filePath("decod.asm")});
        QCOMPARE(readFile(dir.filePath("decod.asm")), DemoScripts::script());
        QVERIFY(!DemoScripts::install(dir.filePath("missing"), &wrote, &error));
        QVERIFY2(error.startsWith("cannot write " + dir.filePath("missing/decod.asm") + ": "),
                 qPrintable(error));
    }

    // Lines ended CR LF, none of them empty (an empty script line fails, an empty address line
    // hides the names after it); the image framed as the station frames it.
    void theFilesAndTheImageHaveTheStationsForm()
    {
        for (const QByteArray &text : {DemoScripts::script(), DemoScripts::addresses()})
            QVERIFY(!text.contains("\r\n\r\n") && text.count('\n') == text.count("\r\n"));
        VirtualTimeScope time;
        const MachineController m(MachineProfile::forNumber(Number));
        const QByteArray image = DemoAudit::imageFor(m);
        QCOMPARE(image.size(), 6635);
        QCOMPARE(quint8(image[0]) | quint8(image[1]) << 8, 6635);
        quint16 sum = 0;
        for (char c : image.mid(2, 6631))
            sum += quint8(c);
        QCOMPARE(quint8(image[6633]) | quint8(image[6634]) << 8, int(sum));
        QCOMPARE(image.mid(6627, 6), m.memory(2).mid(0x0B60, 6)); // no record reads these
    }
};

QTEST_GUILESS_MAIN(SimTest)
#include "tst_sim.moc"
