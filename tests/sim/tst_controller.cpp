#include "FrameText.h"
#include "MachineController.h"
#include "Runtime.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace FrameText;

namespace {
const QString Line = QStringLiteral("9600,N,8,1");

// One line of a transcript: when the answer arrived and what it was.
QByteArray at(qint64 ms, const QByteArray &bytes)
{
    return '@' + QByteArray::number(ms) + ' ' + shown(bytes) + '\n';
}

// A controller on a line of its own, with everything it sends kept with its arrival time.
struct Rig
{
    explicit Rig(const MachineProfile &profile = MachineProfile()) : machine(profile)
    {
        machine.setOutput([this](const QByteArray &b) { heard << qMakePair(time.rt.nowMs(), b); });
        machine.lineOpened(Line);
    }
    explicit Rig(const QString &faults) : Rig()
    {
        LinkFaults f;
        if (!LinkFaults::parse(faults, &f, nullptr))
            qFatal("bad faults %s", qPrintable(faults));
        machine.setFaults(f);
    }
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
    void poke(int type, int address, const QByteArray &bytes)
    {
        machine.memory(type).replace(address, bytes.size(), bytes);
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

// Frame numbers of the answers that came back.
QList<int> answeredFrames(const Rig &r)
{
    QList<int> out;
    for (const auto &p : r.heard) {
        const int soh = int(p.second.indexOf(SOH));
        out << p.second.mid(soh + 1, 2).toInt(nullptr, 16);
    }
    return out;
}

QList<int> answeredWith(const QString &faults, int requests = 60)
{
    Rig r(faults);
    r.sendPaced(telemetryReads(requests), 200);
    return answeredFrames(r);
}
} // namespace

// The simulated controller, driven with frames written out by hand.
class ControllerTest : public QObject
{
    Q_OBJECT

private slots:
    void answersFollowTheFrameLayoutAndTheLineSpeed_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("poke");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("transcript");
        const QByteArray sixteen = QByteArray::fromHex("000102030405060708090A0B0C0D0E0F");
        const QByteArray read05 = wire({"05", "5F", "00", "F0", "0E", "5D"});
        const QByteArray answer05 = wire({"05", "000102030405060708090A0B0C0D0E0F", "78"});

        // 38 characters at 9600 bit/s take 40 ms, after 5 ms of processing.
        QTest::newRow("16-byte read of memory type 1, frame 05")
            << 1 << 0x0EF0 << sixteen << read05 << at(45, answer05);
        QTest::newRow("reset write: acknowledged with twice its checksum 94")
            << 2 << 0 << QByteArray() << wire({"00", "80", "00", "09", "00", "0B", "94"})
            << at(12, wire({"00", "28"}));
        QTest::newRow("erase write: twice 90 wraps to 20")
            << 2 << 0 << QByteArray() << wire({"00", "80", "00", "09", "00", "07", "90"})
            << at(12, wire({"00", "20"}));
        QTest::newRow("status read: the status is its own check value")
            << 2 << 12 << QByteArray::fromHex("40") << wire({"00", "00", "00", "0C", "00", "0C"})
            << at(14, wire({"00", "40", "40"}));
        QTest::newRow("pointer block read with command 0F is memory type 2")
            << 2 << 0x0B90 << QByteArray::fromHex("B40C0000000000000000000000000001")
            << wire({"00", "0F", "00", "90", "0B", "AA"})
            << at(45, wire({"00", "B40C0000000000000000000000000001", "C1"}));
        QTest::newRow("3-byte read of memory type 0 (selector 10)")
            << 0 << 0x20 << QByteArray::fromHex("010207")
            << wire({"07", "12", "00", "20", "00", "32"}) << at(18, wire({"07", "010207", "0A"}));
        QTest::newRow("the data sum wraps at 256")
            << 1 << 0x100 << QByteArray::fromHex("FF02")
            << wire({"FE", "51", "00", "00", "01", "52"}) << at(16, wire({"FE", "FF02", "01"}));
        QTest::newRow("two requests at once queue on the line")
            << 1 << 0x0EF0 << sixteen << read05 + wire({"06", "00", "00", "0C", "00", "0C"})
            << at(45, answer05) + at(54, wire({"06", "00", "00"}));
        QTest::newRow("noise before the SOH is ignored")
            << 1 << 0x0EF0 << sixteen << "\r\n?" + read05 << at(45, answer05);
        QTest::newRow("a new SOH abandons a half-received frame") << 1 << 0x0EF0 << sixteen
                                                                  << "\x01"
                                                                     "055F00" +
                                                                         read05
                                                                  << at(45, answer05);
    }
    void answersFollowTheFrameLayoutAndTheLineSpeed()
    {
        QFETCH(int, type);
        QFETCH(int, address);
        QFETCH(QByteArray, poke);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, transcript);
        Rig r;
        r.poke(type, address, poke);
        r.send(sent);
        r.time.rt.runFor(2000);
        QCOMPARE(r.transcript(), transcript);
    }

    void doubtfulRequestsGetNoAnswer_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("recorded"); // -1 not at all, 0 as invalid, 1 as valid
        QTest::newRow("checksum one too high") << wire({"05", "5F", "00", "F0", "0E", "5E"}) << 0;
        QTest::newRow("lower-case digits") << wire({"05", "5f", "00", "f0", "0e", "5d"}) << 0;
        QTest::newRow("odd number of digits") << wire({"05", "5F", "00", "F0", "0E", "5"}) << 0;
        QTest::newRow("2-byte write carrying one byte")
            << wire({"00", "81", "00", "09", "00", "0B", "95"}) << 0;
        QTest::newRow("read carrying a data byte")
            << wire({"00", "00", "00", "0C", "00", "01", "0D"}) << 0;
        QTest::newRow("memory selector 20 names no memory")
            << wire({"00", "2F", "00", "90", "0B", "CA"}) << 1;
        QTest::newRow("EOT without SOH") << QByteArray("055F00F00E5D\x04") << -1;
        QTest::newRow("longer than any request") << SOH + QByteArray(46, '0') + EOT << 0;
    }
    void doubtfulRequestsGetNoAnswer()
    {
        QFETCH(QByteArray, sent);
        QFETCH(int, recorded);
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
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("type");
        QTest::newRow("D2 writes memory type 1") << 0xD2 << 1;
        QTest::newRow("92 writes memory type 0") << 0x92 << 0;
        QTest::newRow("82 writes memory type 2") << 0x82 << 2;
    }
    void writesLandInTheSelectedMemory()
    {
        QFETCH(int, command);
        QFETCH(int, type);
        Rig r;
        const QByteArray data = QByteArray::fromHex("C0FFEE");
        QList<QByteArray> before;
        for (int t : {0, 1, 2})
            before << r.machine.memory(t).mid(0x2000, 3);
        r.send(request(9, command, 0x2000, data));
        r.time.rt.runFor(1000);
        QCOMPARE(answeredFrames(r), QList<int>({9}));
        for (int t : {0, 1, 2})
            QCOMPARE(r.machine.memory(t).mid(0x2000, 3), t == type ? data : before[t]);
        QCOMPARE(r.machine.requests().first().data, data);
    }

    void aResetStaysBusyForTheConfiguredStatusReads_data()
    {
        QTest::addColumn<int>("busyReads");
        QTest::addColumn<QByteArray>("statuses");
        QTest::newRow("done at once") << 0 << QByteArray("00 00 00 00");
        QTest::newRow("busy for one read") << 1 << QByteArray("08 00 00 00");
        QTest::newRow("busy for three reads") << 3 << QByteArray("08 08 08 00");
    }
    void aResetStaysBusyForTheConfiguredStatusReads()
    {
        QFETCH(int, busyReads);
        QFETCH(QByteArray, statuses);
        MachineProfile p;
        p.resetBusyReads = busyReads;
        Rig r(p);
        QVERIFY(r.machine.byteAt(2, 0x10) != 0); // alarms pending
        const QByteArray status = wire({"00", "00", "00", "0C", "00", "0C"});
        r.sendPaced(
            {wire({"00", "80", "00", "09", "00", "0B", "94"}), status, status, status, status}, 200,
            200);
        QCOMPARE(r.heard.size(), 5);
        QCOMPARE(r.heard[0].second, wire({"00", "28"}));
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

    void anEraseClearsTheResettableCountersOnly()
    {
        Rig r;
        const MachineController &m = r.machine;
        const auto counter = [&m](int i) {
            return m.memory(2).mid(m.counterAddress(i), m.CounterLengths[size_t(i)]);
        };
        for (int i = 0; i < 9; ++i)
            QVERIFY2(counter(i).count('\0') < counter(i).size(), "something counted to erase");
        const QByteArray before = m.memory(1);
        const quint8 erases = m.byteAt(2, 0x0B2F);
        const int reads = m.readsWithReset();
        QVERIFY(before.mid(0x7980 + 0x192, 147).count('\0') < 147);

        r.time.rt.runFor(5000);
        r.send(wire({"00", "80", "00", "09", "00", "07", "90"}));
        r.time.rt.runFor(1000);

        QCOMPARE(m.eraseCount(), 1);
        QCOMPARE(m.eraseTimes(), QList<qint64>({5000}));
        for (int i = 0; i < 9; ++i)
            QCOMPARE(counter(i), QByteArray(counter(i).size(), '\0'));
        QCOMPARE(m.memory(2).mid(0x0AA0, 12), QByteArray(12, '\0')); // cash counters
        QCOMPARE(m.memory(2).mid(0x0ABA, 3), QByteArray(3, '\0'));
        QCOMPARE(m.byteAt(2, 0x0B2F), quint8(erases + 1));
        QCOMPARE(m.readsWithReset(), reads + 1);
        QCOMPARE(m.resetCount(), 0);
        // Memory 1 loses the totals and event counts since the erase; the configuration, the
        // totals since set-up and the event log stay.
        QByteArray expected = before;
        expected.replace(0x32B6 + 2549, 2549, QByteArray(2549, '\0'));
        expected.replace(0x7980 + 0x192, 147, QByteArray(147, '\0'));
        expected.replace(0x7980 + 0x6A, 2, m.memory(1).mid(0x7980 + 0x6A, 2)); // reads counted
        QCOMPARE(m.memory(1), expected);
    }

    // What the station reads first: the header of the configuration and the pointer block.
    void eachMachineHasASensibleHeaderAndPointerBlock_data()
    {
        QTest::addColumn<QByteArray>("number");
        for (const char *n : {"+393471110001", "+393471110002", "+393471110003", "5551234"})
            QTest::newRow(n) << QByteArray(n);
    }
    void eachMachineHasASensibleHeaderAndPointerBlock()
    {
        QFETCH(QByteArray, number);
        Rig r(MachineProfile::forNumber(number));
        const MachineController &m = r.machine;
        QVERIFY(m.wordAt(1, 4) <= 9999); // four decimal digits in a file header
        QVERIFY(m.byteAt(1, 6) < 26);    // a revision letter
        QVERIFY(m.byteAt(1, 48) >= 1 && m.byteAt(1, 48) <= 6);
        QVERIFY(QDate(2000 + m.byteAt(1, 11), m.byteAt(1, 10), m.byteAt(1, 9)).isValid());
        for (char c : m.memory(1).mid(64, 5))
            QVERIFY(c >= ' ' && c < 127);

        // The pointer words, as the memory-map builder reads them: two 16-byte reads.
        r.sendPaced({request(0, 0x0F, 0x0B90), request(1, 0x0F, 0x0BA0)}, 150, 500);
        QCOMPARE(r.heard.size(), 2);
        const QByteArray words =
            QByteArray::fromHex(r.heard[0].second.mid(3, 32) + r.heard[1].second.mid(3, 4));
        QList<QPair<int, int>> areas;
        for (int i = 0; i < 9; ++i) {
            const int word = quint8(words[2 * i]) | quint8(words[2 * i + 1]) << 8;
            QCOMPARE((word - 400) & 0xFFFF, int(m.counterAddress(i)));
            areas << qMakePair(int(m.counterAddress(i)), int(m.CounterLengths[size_t(i)]));
        }
        std::sort(areas.begin(), areas.end());
        QVERIFY(areas.first().first > 0x0BAF); // clear of the registers and the pointer block
        for (int i = 1; i < areas.size(); ++i)
            QVERIFY(areas[i - 1].first + areas[i - 1].second <= areas[i].first);
    }

    void faultsShapeTheAnswers_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QByteArray>("transcript");
        QTest::addColumn<bool>("carrier");
        // Three 16-byte reads, 200 ms apart, of data whose sum is AB.
        auto a = [](int n, const QByteArray &check = "AB") {
            return wire({hex(n), "AB" + QByteArray(30, '0'), check});
        };
        const QByteArray oversized = wire({"01", "AB" + QByteArray(30, '0') + "01", "AC"});
        QTest::newRow("clean line") << "" << at(45, a(1)) + at(245, a(2)) + at(445, a(3)) << true;
        QTest::newRow("every answer lost") << "lost=1" << QByteArray() << true;
        QTest::newRow("lower-case check digits")
            << "lowercase" << at(45, a(1, "ab")) + at(245, a(2, "ab")) + at(445, a(3, "ab"))
            << true;
        QTest::newRow("every answer twice, back to back")
            << "duplicate=1"
            << at(45, a(1)) + at(85, a(1)) + at(245, a(2)) + at(285, a(2)) + at(445, a(3)) +
                   at(485, a(3))
            << true;
        QTest::newRow("answers 2.5 s late")
            << "late=1,late-ms=2500" << at(2545, a(1)) + at(2745, a(2)) + at(2945, a(3)) << true;
        QTest::newRow("17 bytes to a 16-byte read: 40 characters take 42 ms")
            << "oversize"
            << at(47, oversized) + at(247, QByteArray(oversized).replace(1, 2, "02")) +
                   at(447, QByteArray(oversized).replace(1, 2, "03"))
            << true;
        QTest::newRow("quiet after two requests")
            << "silence-after=2" << at(45, a(1)) + at(245, a(2)) << true;
        QTest::newRow("line dropped after one answer") << "drop-after=1" << at(45, a(1)) << false;
        QTest::newRow("line dropped at the first request")
            << "drop-after=0" << QByteArray() << false;
    }
    void faultsShapeTheAnswers()
    {
        QFETCH(QString, faults);
        QFETCH(QByteArray, transcript);
        QFETCH(bool, carrier);
        Rig r(faults);
        r.poke(1, 0x0EF0, QByteArray::fromHex("AB00000000000000000000000000000001"));
        QSignalSpy dropped(&r.machine, &MachineController::lineDropped);
        r.sendPaced(telemetryReads(3, 1), 200);
        QCOMPARE(r.transcript(), transcript);
        QCOMPARE(r.machine.carrier(), carrier);
        QCOMPARE(dropped.count(), carrier ? 0 : 1);
        QCOMPARE(r.machine.requests().size(), carrier ? 3 : 1); // a dropped line hears nothing

        // The next call starts afresh.
        r.machine.lineOpened(Line);
        QVERIFY(r.machine.carrier());
    }

    void junkPrecedesTheAnswerWithoutControlBytes()
    {
        Rig r("junk");
        r.sendPaced(telemetryReads(20), 200);
        QCOMPARE(r.heard.size(), 20);
        QSet<QByteArray> prefixes;
        for (int i = 0; i < 20; ++i) {
            const QByteArray got = r.heard[i].second;
            const QByteArray junk = got.left(got.indexOf(SOH));
            QVERIFY2(junk.size() >= 1 && junk.size() <= 3 && !junk.contains(EOT), shown(got));
            QCOMPARE(got.mid(junk.size()), readAnswer(i, r.machine.memory(1).mid(0x0EF0, 16)));
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

    // A failed parse leaves the faults as they were, good values before the bad one included.
    void faultListsParse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // the parsed fields in order, or the error
        QTest::newRow("every fault with a value")
            << "lost=0.05,lowercase=0.5,duplicate=0.1,late=0.2,late-ms=12000,junk=0.25,"
               "oversize=0.125,silence-after=40,drop-after=41,seed=9"
            << "0.05 0.5 0.1 0.2 12000 0.25 0.125 40 41 9";
        QTest::newRow("named without a value: always") << "lowercase,oversize"
                                                       << "0 1 0 0 3000 0 1 -1 -1 1";
        QTest::newRow("nothing") << ""
                                 << "0 0 0 0 3000 0 0 -1 -1 1";
        QTest::newRow("probability above 1") << "lost=1.5"
                                             << "bad value for lost: \"1.5\"";
        QTest::newRow("unknown fault after a good one") << "lost=0.1,noise=0.1"
                                                        << "unknown fault \"noise\"";
        QTest::newRow("count without a value") << "drop-after"
                                               << "bad value for drop-after: \"\"";
        QTest::newRow("negative count") << "silence-after=-1"
                                        << "bad value for silence-after: \"-1\"";
        QTest::newRow("seed that is no number") << "seed=x"
                                                << "bad value for seed: \"x\"";
    }
    void faultListsParse()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        const bool fails = !result.front().isDigit();
        LinkFaults f;
        f.lost = fails ? 0.5 : 0;
        QString why;
        QCOMPARE(LinkFaults::parse(text, &f, &why), !fails);
        const auto n = [](double v) { return QString::number(v); };
        const QString fields =
            QStringList{n(f.lost), n(f.lowercase), n(f.duplicate),    n(f.late),      n(f.lateMs),
                        n(f.junk), n(f.oversize),  n(f.silenceAfter), n(f.dropAfter), n(f.seed)}
                .join(' ');
        QCOMPARE(fails ? why : fields, result);
        QCOMPARE(fails ? fields : why, fails ? QStringLiteral("0.5 0 0 0 3000 0 0 -1 -1 1") : "");
    }
};

QTEST_GUILESS_MAIN(ControllerTest)
#include "tst_controller.moc"
