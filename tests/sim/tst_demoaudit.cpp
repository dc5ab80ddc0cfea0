#include "CodeTables.h"
#include "ConversionRun.h"
#include "DemoAudit.h"
#include "DemoScripts.h"
#include "FrameText.h"
#include "MachineController.h"
#include "Runtime.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace FrameText;

namespace {
using Counters = MachineController::SalesCounters;

// A demonstration machine on a line of its own, and its audit file.
struct Machine
{
    VirtualTimeScope time; // before the machine: its clock reads the runtime
    MachineController m;

    explicit Machine(const QByteArray &number) : m(MachineProfile::forNumber(number))
    {
        m.setOutput([](const QByteArray &) {});
        m.lineOpened(QStringLiteral("9600,N,8,1"));
    }
    // The records the demo script makes of the machine's audit image, and whether every script
    // line succeeded.
    QList<QByteArray> audit(bool *converted = nullptr) const
    {
        const audit::ConversionScripts scripts{DemoScripts::script(), DemoScripts::addresses()};
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const auto result = audit::Convert(scripts, audit::AuditImage(DemoAudit::imageFor(m)), out);
        if (converted)
            *converted = result.succeeded();
        QList<QByteArray> lines = out.data().split('\n');
        if (lines.last().isEmpty())
            lines.removeLast();
        for (QByteArray &l : lines)
            if (!l.endsWith('\r'))
                l = "(line without CR) " + l;
            else
                l.chop(1);
        return lines;
    }
    void erase()
    {
        m.fromStation(wire({"00", "80", "00", "09", "00", "07", "90"}), QString());
        time.rt.runFor(1000);
    }
    QByteArray lastErase() const
    {
        const auto b = [this](int i) { return int(m.byteAt(2, quint16(0x0B28 + i))); };
        return stamp(QDateTime(QDate(2000 + b(5), b(4), b(3)), QTime(b(2), b(1))));
    }
    static QByteArray stamp(const QDateTime &at) { return at.toString("yyMMdd*hhmm").toLatin1(); }
};

QList<QByteArray> kind(const QList<QByteArray> &lines, const QByteArray &id)
{
    QList<QByteArray> out;
    for (const QByteArray &l : lines)
        if (l.startsWith(id + '*'))
            out << l;
    return out;
}

QByteArray line(const QByteArray &id, const QList<quint64> &numbers)
{
    QByteArray out = id;
    for (quint64 n : numbers)
        out += '*' + QByteArray::number(n);
    return out;
}

// Element i (from 1) of a record, as a number.
quint64 element(const QByteArray &record, int i)
{
    return record.split('*').value(i).toULongLong();
}

void addMachines()
{
    QTest::addColumn<QByteArray>("number");
    for (const char *n : {"+393471110001", "+393471110002", "+393471110003"})
        QTest::newRow(n) << QByteArray(n);
}

const char *const Models[] = {"", "MQA", "MQB", "MQC", "MQD", "", "MQF"};
} // namespace

// The demonstration conversion files over the audit images of simulated machines.
class DemoAuditTest : public QObject
{
    Q_OBJECT

private slots:
    // Every record against the controller it was read from.
    void recordsShowTheMachine_data() { addMachines(); }
    void recordsShowTheMachine()
    {
        QFETCH(QByteArray, number);
        const Machine machine(number);
        const MachineController &m = machine.m;
        const MachineProfile &p = m.profile();
        bool converted = false;
        const QList<QByteArray> lines = machine.audit(&converted);
        QVERIFY(converted);
        QCOMPARE(lines.size(), 106);
        // A model D carries neither variant nor option.
        QByteArray model = Models[p.model];
        if (p.model != 4)
            model += QByteArray(p.variant == 1 ? "E" : "I") + (p.option == 2 ? "F" : "");
        QCOMPARE(lines.mid(0, 3),
                 QList<QByteArray>({"ID1*" + QByteArray::number(p.serial) + '*' + model + "*3*" +
                                        QByteArray::number(p.serial % 1000) + "*MDB *" +
                                        QByteArray::number(p.asset),
                                    "ID4*2*978*978", "ID5*240506*0830"}));
        QCOMPARE(
            kind(lines, "CA1"),
            QList<QByteArray>({"CA1*" + ("CM" + QByteArray::number(p.serial)).leftJustified(15) +
                               "*CHANGER 6T  *0215"}));

        const Counters t = m.salesCounters(false), e = m.salesCounters(true);
        QCOMPARE(
            kind(lines, "VA1"),
            QList<QByteArray>({line("VA1", {t.paidValue, t.paidVends, e.paidValue, e.paidVends})}));
        QCOMPARE(
            kind(lines, "CA2"),
            QList<QByteArray>({line("CA2", {t.cashValue, t.cashVends, e.cashValue, e.cashVends})}));
        QCOMPARE(kind(lines, "CA3"),
                 QList<QByteArray>({"CA3*" +
                                    QByteArray::number(e.coinsToBox + e.coinsToTubes + e.bills) +
                                    line("", {e.coinsToBox, e.coinsToTubes, e.bills}) + '*' +
                                    line("", {t.coinsToBox, t.coinsToTubes, t.bills})}));
        QCOMPARE(
            kind(lines, "CA4"),
            QList<QByteArray>({line("CA4", {e.change, e.manualPayout, t.change, t.manualPayout})}));
        QCOMPARE(kind(lines, "DA2"),
                 QList<QByteArray>({"DA2*" + QByteArray::number(t.cardValue) + '*' +
                                    line("", {e.cardValue, e.cardVends})}));
        QList<QByteArray> coins, bills;
        for (size_t k = 0; k < 6; ++k)
            coins << line("CA11", {quint64(MachineController::CoinValues[k]), e.coinsIn[k],
                                   e.coinsToBoxByType[k], e.coinsIn[k] - e.coinsToBoxByType[k],
                                   t.coinsIn[k], t.coinsToBoxByType[k],
                                   t.coinsIn[k] - t.coinsToBoxByType[k]});
        for (size_t k = 0; k < 4; ++k)
            bills << line("CA14",
                          {quint64(MachineController::BillValues[k]), e.billsIn[k], t.billsIn[k]});
        QCOMPARE(kind(lines, "CA11"), coins);
        QCOMPARE(kind(lines, "CA14"), bills);
        QVERIFY(e.paidVends > 0 && e.cashVends > 0 && e.cardVends > 0 && e.billsIn[0] > 0);

        QList<QByteArray> expected;
        for (int k = 0; k < MachineController::Selections; ++k) {
            const quint16 price = m.wordAt(1, quint16(0xD0 + 2 * m.byteAt(1, quint16(0x806 + k))));
            expected << "PA1*" + QByteArray::number(k + 1).rightJustified(2, '0') + '*' +
                            QByteArray::number(price)
                     << line("PA2", {t.selectionVends[size_t(k)]}) + "**" +
                            QByteArray::number(e.selectionVends[size_t(k)]);
        }
        const qsizetype first = lines.indexOf(expected.first());
        QVERIFY(first > 0);
        QCOMPARE(lines.mid(first, expected.size()), expected);

        // What the records say must add up, whichever memory the numbers came from: paid is cash
        // and card, cash in less change is the cash sales, coins and bills by type make the cash
        // in, and every vend is one of a selection at its price.
        const QByteArray va1 = kind(lines, "VA1").value(0), ca2 = kind(lines, "CA2").value(0),
                         ca3 = kind(lines, "CA3").value(0), ca4 = kind(lines, "CA4").value(0),
                         da2 = kind(lines, "DA2").value(0);
        for (int i : {1, 3, 4})
            QCOMPARE(element(va1, i), element(ca2, i) + element(da2, i));
        QCOMPARE(element(ca3, 1) - element(ca4, 1), element(ca2, 3));
        QCOMPARE(element(ca3, 6) + element(ca3, 7) + element(ca3, 8) - element(ca4, 3),
                 element(ca2, 1));
        quint64 box = 0, tubes = 0, notes = 0;
        for (const QByteArray &c : kind(lines, "CA11")) {
            box += element(c, 1) * element(c, 3);
            tubes += element(c, 1) * element(c, 4);
        }
        for (const QByteArray &b : kind(lines, "CA14"))
            notes += element(b, 1) * element(b, 2);
        QCOMPARE(QList<quint64>({box, tubes, notes}),
                 QList<quint64>({element(ca3, 2), element(ca3, 3), element(ca3, 4)}));
        quint64 value = 0, count = 0, valueSinceErase = 0, countSinceErase = 0;
        for (int k = 0; k < MachineController::Selections; ++k) {
            const quint64 price = element(expected[2 * k], 2);
            value += price * element(expected[2 * k + 1], 1);
            count += element(expected[2 * k + 1], 1);
            valueSinceErase += price * element(expected[2 * k + 1], 3);
            countSinceErase += element(expected[2 * k + 1], 3);
        }
        QCOMPARE(line("VA1", {value, count, valueSinceErase, countSinceErase}), va1);

        audit::CodeTables tables;
        audit::FillCodeTables(tables);
        QList<QByteArray> log;
        for (const MachineController::LoggedEvent &ev : m.eventLog())
            log << "EA1*" + tables.EventIds[ev.number] +
                       (ev.number == 144 ? tables.EventDetails[ev.detail] : QByteArray()) + '*' +
                       Machine::stamp(ev.at) + "00";
        QCOMPARE(log.size(), 15);
        QCOMPARE(kind(lines, "EA1"), log);

        // One counter line for every event the machine has counted.
        int counted = 0, reported = 0;
        for (int n = 0; n < MachineController::EventNumbers; ++n)
            counted += m.eventCount(n, false);
        for (const QByteArray &l : kind(lines, "EA2")) {
            const int n = int(tables.EventIds.indexOf(l.split('*').value(1)));
            QCOMPARE(
                l, "EA2*" + tables.EventIds.value(n) +
                       line("", {quint64(m.eventCount(n, true)), quint64(m.eventCount(n, false))}));
            reported += m.eventCount(n, false);
        }
        QCOMPARE(reported, counted);
        QCOMPARE(kind(lines, "EA3"),
                 QList<QByteArray>({"EA3*" + QByteArray::number(m.readsWithReset()) +
                                    "*240506*0830**" + machine.lastErase()}));
    }

    // After an erase the counts since the last erase read zero, totals stay, and the read is
    // counted with the erase's time.
    void anEraseZeroesTheCountsSinceTheLastErase_data() { addMachines(); }
    void anEraseZeroesTheCountsSinceTheLastErase()
    {
        QFETCH(QByteArray, number);
        Machine machine(number);
        const QList<QByteArray> before = machine.audit();
        machine.time.rt.runFor(3 * 3600 * 1000);
        machine.erase();
        bool converted = false;
        const QList<QByteArray> after = machine.audit(&converted);
        QVERIFY(converted);

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

    void installWritesOnlyTheMissingFiles_data()
    {
        QTest::addColumn<QStringList>("present"); // files the operator has put there
        QTest::addColumn<QStringList>("written");
        QTest::newRow("empty folder: both")
            << QStringList() << QStringList{"decod.asm", "address.asm"};
        QTest::newRow("the operator's script stays")
            << QStringList{"decod.asm"} << QStringList{"address.asm"};
        QTest::newRow("the operator's address table stays")
            << QStringList{"address.asm"} << QStringList{"decod.asm"};
        QTest::newRow("both there: nothing")
            << QStringList{"decod.asm", "address.asm"} << QStringList();
        QTest::newRow("no folder: an error") << QStringList{"missing/"} << QStringList();
    }
    void installWritesOnlyTheMissingFiles()
    {
        QFETCH(QStringList, present);
        QFETCH(QStringList, written);
        QTemporaryDir tmp;
        const bool missing = present.contains("missing/");
        const QDir dir(tmp.filePath(missing ? "missing" : ""));
        for (const QString &name : present) {
            QFile f(dir.filePath(name));
            if (!missing && f.open(QIODevice::WriteOnly))
                f.write("OPERATOR\r\n");
        }
        QStringList wrote;
        QString error;
        QCOMPARE(DemoScripts::install(dir.path(), &wrote, &error), !missing);
        QVERIFY2(error.isEmpty() != missing, qPrintable(error));
        QVERIFY2(!missing || error.startsWith("cannot write " + dir.filePath("decod.asm") + ": "),
                 qPrintable(error));
        QStringList expectedPaths;
        for (const QString &name : written)
            expectedPaths << dir.filePath(name);
        QCOMPARE(wrote, expectedPaths);
        for (const QString &name : {QStringLiteral("decod.asm"), QStringLiteral("address.asm")}) {
            QFile f(dir.filePath(name));
            const QByteArray demo = name == QLatin1String("decod.asm") ? DemoScripts::script()
                                                                       : DemoScripts::addresses();
            QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : "(none)", missing ? "(none)"
                                                                           : present.contains(name)
                                                                               ? "OPERATOR\r\n"
                                                                               : demo);
        }
    }

    // The files are text of the station's kind: lines ended CR LF, none of them empty (an empty
    // script line fails, an empty address line hides the names after it).
    void theFilesHaveNoEmptyLines()
    {
        for (const QByteArray &text : {DemoScripts::script(), DemoScripts::addresses()}) {
            QVERIFY(text.endsWith("\r\n") && !text.startsWith("\r\n"));
            QVERIFY(!text.contains("\r\n\r\n"));
            QCOMPARE(text.count('\n'), text.count("\r\n"));
        }
    }

    void theImageIsFramedAsTheStationFramesIt()
    {
        const Machine machine("+393471110001");
        const QByteArray image = DemoAudit::imageFor(machine.m);
        QCOMPARE(image.size(), 6635);
        QCOMPARE(quint8(image[0]) | quint8(image[1]) << 8, 6635);
        quint16 sum = 0;
        for (char c : image.mid(2, 6631))
            sum += quint8(c);
        QCOMPARE(quint8(image[6633]) | quint8(image[6634]) << 8, int(sum));
        // Blocks land where the map puts them: the serial at 9, the pointer counters from 6507.
        QCOMPARE(image.mid(9, 4), machine.m.memory(1).left(4));
        QCOMPARE(image.mid(6507, 3), machine.m.memory(2).mid(machine.m.counterAddress(0), 3));
        QCOMPARE(image.mid(6627, 6), machine.m.memory(2).mid(0x0B60, 6));
    }
};

QTEST_GUILESS_MAIN(DemoAuditTest)
#include "tst_demoaudit.moc"
