#include "CallQueue.h"
#include "Clock.h"
#include "Runtime.h"
#include "ScheduleCheck.h"
#include "ScheduleTestSupport.h"
#include "Timer.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// "number|hour|minute|days|months|flags", with " U" when the entry is collected unattended.
QString fields(const ScheduleRecord &r)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6%7")
        .arg(r.numberText())
        .arg(r.hour())
        .arg(r.minute())
        .arg(r.days())
        .arg(r.months())
        .arg(r.flags())
        .arg(r.unattended() ? " U" : "");
}

QDateTime at(int y, int mo, int d, int h = 8, int mi = 30, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// A free record whose other fields would make it due at any moment of 08:30.
const ScheduleRecord FreeButDueLooking =
    ScheduleRecord::decode(QByteArray(15, '\0') + QByteArray::fromHex("081e7fff0f01"));

// The check on a 30 s `Timer5` on virtual time, with a clock that starts at start.
struct CheckRig
{
    explicit CheckRig(const QDateTime &start) : clock(start)
    {
        check.attach(timer5);
        QObject::connect(&check, &ScheduleCheck::due, [this](const QString &n, bool unattended) {
            dues << clock.now().toString("ddd hh:mm:ss ") + n + (unattended ? " U" : "");
        });
    }
    void runUntil(const QDateTime &t) { time.rt.runFor(clock.now().msecsTo(t)); }
    QStringList takeAll()
    {
        QStringList out;
        while (queue.size())
            out << queue.takeNext();
        return out;
    }

    VirtualTimeScope time;
    QTemporaryDir tmp;
    FakeClock clock;
    Schedule schedule{QDir(tmp.path()).filePath("PROGOR.DAT")};
    CallQueue queue;
    Timer timer5{"Timer5", 30000, true};
    ScheduleCheck check{schedule, queue, clock};
    QStringList dues; // "ddd hh:mm:ss number[ U]" at each due()
};
} // namespace

// PROGOR.DAT (128-byte records whose first 21 bytes hold the packed fields), and when an entry
// falls due and what the check does with it.
class ScheduleTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString path() const { return QDir(tmp.path()).filePath("PROGOR.DAT"); }

private slots:
    void recordBytes_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("weekly Monday and Wednesday 08:30") << QByteArray("33333531323334353637"
                                                                         "2020202020"
                                                                         "081e05"
                                                                         "0000"
                                                                         "01")
                                                           << "3351234567|8|30|5|0|1";
        QTest::newRow("monthly last Sunday of January and December: months little-endian")
            << QByteArray("2b3339333335313233343536373839"
                          "172d40"
                          "0108"
                          "04")
            << "+39335123456789|23|45|64|2049|4";
        QTest::newRow("Latin-1 number; unattended is bit 3, beside first")
            << QByteArray("e9"
                          "2020202020202020202020202020"
                          "063b02"
                          "1000"
                          "0a")
            << QString::fromLatin1("\xe9|6|59|2|16|10 U");
        QTest::newRow("free: fifteen bytes of code 0") << QByteArray(42, '0') << "|0|0|0|0|0";
    }
    void recordBytes()
    {
        QFETCH(QByteArray, hex);
        QFETCH(QString, decoded);
        const ScheduleRecord r = ScheduleRecord::decode(QByteArray::fromHex(hex));
        QCOMPARE(fields(r), decoded);
        QCOMPARE(r.isFree(), decoded.startsWith('|'));
        QCOMPARE(r.encode().toHex(), hex);
    }

    // Written byte by byte, with junk in the unused part of each record.
    void aHandWrittenFileReadsIntoTheFields()
    {
        const QByteArray junk(107, '\xff');
        const QByteArray file = "3351234567     " + QByteArray::fromHex("081e05000001") + junk +
                                QByteArray("0039011       \0", 15) +
                                QByteArray::fromHex("112d0401080c") + junk;
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        f.close();
        Schedule s(path());
        QVERIFY(s.load());
        QCOMPARE(fields(s[0]), QString("3351234567|8|30|5|0|1"));
        QCOMPARE(fields(s[1]), QString("0039011|17|45|4|2049|12 U"));
        QCOMPARE(s[1].occurrence(), ScheduleRecord::Occurrence::Last);
        QVERIFY(s[2].isFree());
        QVERIFY(s.save()); // the same fields back, the unused bytes zero
        QCOMPARE(readAll(path()).toHex(),
                 QByteArray(file).replace(junk, QByteArray(107, 0)).toHex());
    }

    void savingStopsAtTheFirstFreeRecord()
    {
        QFile old(path());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(6 * 128, 'x')));
        old.close();
        Schedule s(path());
        s[0] = entry("111", 8, 30, Mon | Wed, 0, Weekly);
        s[1] = entry("+3933512345678901", 9, 0, 0, Jan, Last); // cut to 15 characters
        s[3] = entry("444", 10, 0, Tue, 0, Weekly);            // after the gap: lost
        QVERIFY(s.save());
        const QByteArray bytes = readAll(path());
        QCOMPARE(bytes.toHex(), (s[0].encode() + QByteArray(107, 0) + "+39335123456789" +
                                 QByteArray::fromHex("090000010004") + QByteArray(107, 0))
                                    .toHex());
        Schedule back(path());
        QVERIFY(back.load());
        QCOMPARE(back[1], s[1]);
        QVERIFY(back[3].isFree());
    }

    void readsRecordsUntilTheDataEnds_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("records");
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("a trailing piece with the 21 field bytes") << 128 + 21 << 2;
        QTest::newRow("a trailing piece too short for them") << 128 + 20 << 1;
        QTest::newRow("more records than the table holds") << 5003 * 128 << 5001;
    }
    void readsRecordsUntilTheDataEnds()
    {
        QFETCH(int, bytes);
        QFETCH(int, records);
        QCOMPARE(Schedule(path()).readBytes(QByteArray(bytes, '7')), records);
    }

    void dueRule_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<bool>("due");
        const auto row = [](const char *tag, quint8 days, quint16 months, quint8 flags,
                            const QDateTime &t, bool due) {
            QTest::newRow(tag) << entry("1", 8, 30, days, months, flags).encode() << t << due;
        };
        // December 2026: Tuesday 1st, Monday 7th. September 2026: Tuesday 1st, Monday 7th,
        // Wednesday 23rd and 30th (the last day), Thursday 24th.
        row("weekly: Monday", Mon | Wed, 0, Weekly, at(2026, 12, 7), true);
        row("weekly: Wednesday", Mon | Wed, 0, Weekly, at(2026, 12, 9), true);
        row("weekly: not Tuesday", Mon | Wed, 0, Weekly, at(2026, 12, 8), false);
        row("weekly: not 08:31", Mon | Wed, 0, Weekly, at(2026, 12, 7, 8, 31), false);
        row("last day: 31 January", 0, Jan | Feb | Apr, Last, at(2026, 1, 31), true);
        row("last day: not 30 January", 0, Jan | Feb | Apr, Last, at(2026, 1, 30), false);
        row("last day: not 28 February 2024", 0, Jan | Feb | Apr, Last, at(2024, 2, 28), false);
        row("last day: 29 February 2024", 0, Jan | Feb | Apr, Last, at(2024, 2, 29), true);
        row("last day: 30 April", 0, Jan | Feb | Apr, Last, at(2026, 4, 30), true);
        row("last day: not in a month not chosen", 0, Jan | Feb | Apr, Last, at(2026, 5, 31),
            false);
        row("first day: 1 December", 0, Dec, First, at(2026, 12, 1), true);
        row("first day: not 2 December", 0, Dec, First, at(2026, 12, 2), false);
        row("no one, no weekday: not day 1", 0, 0xfff, 0, at(2026, 12, 1), false);
        row("no one, no weekday: not the last day", 0, 0xfff, 0, at(2026, 12, 31), false);
        row("every Tuesday: 29 December", Tue, Dec, 0, at(2026, 12, 29), true);
        row("every Tuesday: not a Monday", Tue, Dec, 0, at(2026, 12, 7), false);
        row("first Monday on day 7", Mon, Sep, First, at(2026, 9, 7), true);
        row("first Tuesday: not day 8", Tue, Sep, First, at(2026, 9, 8), false);
        row("last Wednesday on day 30", Wed, Sep, Last, at(2026, 9, 30), true);
        row("last Wednesday: not day 23", Wed, Sep, Last, at(2026, 9, 23), false);
        row("last Thursday on day 24", Thu, Sep, Last, at(2026, 9, 24), true);
        row("two weekdays in a monthly entry: never", Mon | Tue, Sep, First, at(2026, 9, 1), false);
        row("first and last: first wins", 0, Sep, First | Last, at(2026, 9, 1), true);
        row("first and last: not the last day", 0, Sep, First | Last, at(2026, 9, 30), false);
        QTest::newRow("a free record never")
            << FreeButDueLooking.encode() << at(2026, 12, 7) << false;
    }
    void dueRule()
    {
        QFETCH(QByteArray, record);
        QFETCH(QDateTime, moment);
        QFETCH(bool, due);
        const ScheduleRecord r = ScheduleRecord::decode(record);
        QCOMPARE(isDue(r, moment.addSecs(59)), due);
    }

    // Monday and Wednesday at 08:30, once a day, on the first tick within 08:30.
    void aWeeklyEntryIsQueuedOncePerDay_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QString>("tick");
        QTest::newRow("ticks at :15 and :45") << QTime(8, 29, 45) << "08:30:15";
        QTest::newRow("ticks at :00 and :30") << QTime(8, 29, 30) << "08:30:00";
        QTest::newRow("ticks at :29 and :59") << QTime(8, 29, 59) << "08:30:29";
    }
    void aWeeklyEntryIsQueuedOncePerDay()
    {
        QFETCH(QTime, start);
        QFETCH(QString, tick);
        CheckRig r(QDateTime(QDate(2026, 12, 7), start));
        r.schedule[0] = entry("3351234567", 8, 30, Mon | Wed, 0, Weekly);
        r.runUntil(at(2026, 12, 10, 9, 0)); // Monday to Thursday
        QCOMPARE(r.dues,
                 QStringList({"Mon " + tick + " 3351234567", "Wed " + tick + " 3351234567"}));
        QCOMPARE(r.takeAll(), QStringList(2, "3351234567     ")); // all 15 characters
    }

    void everyMinuteIsScannedOnce_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<int>("pauseMinutes"); // Timer5 off after the first minute for so long
        QTest::addColumn<QStringList>("dues");
        QTest::newRow("08:30 then 09:30")
            << QTime(8, 29, 45) << 0
            << QStringList{"Mon 08:30:15 1", "Mon 09:00:15 1", "Mon 09:30:15 1"};
        QTest::newRow("09:30 after an hour without checks")
            << QTime(8, 29, 45) << 59 << QStringList{"Mon 08:30:15 1", "Mon 09:30:20 1"};
        QTest::newRow("minute 0 of the first hour")
            << QTime(8, 59, 45) << 0 << QStringList{"Mon 09:00:15 1", "Mon 09:30:15 1"};
    }
    void everyMinuteIsScannedOnce()
    {
        QFETCH(QTime, start);
        QFETCH(int, pauseMinutes);
        QFETCH(QStringList, dues);
        CheckRig r(QDateTime(QDate(2026, 12, 7), start));
        for (int hour : {8, 9})
            r.schedule[hour - 8] = entry("1", hour, 30, 0x7f, 0, Weekly);
        r.schedule[2] = entry("1", 9, 0, 0x7f, 0, Weekly);
        r.time.rt.runFor(65'000);
        if (pauseMinutes) {
            r.timer5.stop();
            r.time.rt.runFor(pauseMinutes * 60'000);
            r.timer5.start();
        }
        r.runUntil(at(2026, 12, 7, 9, 31));
        QCOMPARE(r.dues, dues);
    }

    // Several entries of one minute: each queues its number once, in table order. An unattended
    // one goes to the console only when the station does not collect it itself.
    void everyDueEntryQueuesItsNumber_data()
    {
        QTest::addColumn<bool>("collected");
        QTest::addColumn<QStringList>("queued");
        const QString n111 = "111            ", n222 = "222            ";
        QTest::newRow("no collector: the console gets the unattended entry")
            << false << QStringList{n111, n222, n111};
        QTest::newRow("collector: only announced") << true << QStringList{n111, n111};
    }
    void everyDueEntryQueuesItsNumber()
    {
        QFETCH(bool, collected);
        QFETCH(QStringList, queued);
        CheckRig r(at(2026, 12, 7, 8, 29, 45));
        r.check.setUnattendedCollected(collected);
        QSignalSpy due(&r.check, &ScheduleCheck::due);
        r.schedule[0] = entry("111", 8, 30, Mon, 0, Weekly);
        r.schedule[1] = FreeButDueLooking;
        r.schedule[2] = entry("222", 8, 30, Mon, Dec, Unattended);
        r.schedule[3] = entry("333", 8, 30, Tue, 0, Weekly);
        r.schedule[4] = entry("111", 8, 30, Mon | Tue, 0, Weekly);
        r.runUntil(at(2026, 12, 7, 8, 31, 30));
        QCOMPARE(due.size(), 3);
        QCOMPARE(due.at(1), QVariantList({"222", true}));
        QCOMPARE(r.takeAll(), queued);
    }

    // A due number that finds the queue full waits and takes the first place that frees.
    void aFullQueueKeepsDueNumbersWaiting()
    {
        CheckRig r(at(2026, 12, 7, 8, 29, 45));
        for (int i = 0; i < CallQueue::Capacity; ++i)
            QVERIFY(r.queue.queue(QString::number(i)));
        r.schedule[0] = entry("111", 8, 30, Mon | Tue, 0, Weekly);
        r.schedule[1] = entry("222", 8, 30, Mon | Tue, 0, Weekly | Unattended);
        r.runUntil(at(2026, 12, 7, 8, 31));
        QCOMPARE(r.dues, QStringList({"Mon 08:30:15 111", "Mon 08:30:15 222 U"}));
        QCOMPARE(r.check.waiting(), QStringList({"111            ", "222            "}));
        r.queue.takeNext();
        r.runUntil(at(2026, 12, 7, 8, 31, 20)); // one tick
        QCOMPARE(r.check.waiting(), QStringList({"222            "}));
        // The next day both fall due again: 222 does not wait twice, 111 waits behind it.
        r.runUntil(at(2026, 12, 8, 8, 31));
        QCOMPARE(r.check.waiting(), QStringList({"222            ", "111            "}));
        r.queue.takeNext();
        r.queue.takeNext();
        r.runUntil(at(2026, 12, 8, 8, 31, 20));
        QVERIFY(r.check.waiting().isEmpty());
        QCOMPARE(r.takeAll().mid(4998),
                 QStringList({"111            ", "222            ", "111            "}));
    }
};

QTEST_MAIN(ScheduleTest)
#include "tst_file.moc"
