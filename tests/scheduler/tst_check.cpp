#include "CallQueue.h"
#include "Clock.h"
#include "DueRule.h"
#include "Runtime.h"
#include "ScheduleCheck.h"
#include "ScheduleTestSupport.h"
#include "Timer.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
QDateTime at(int y, int mo, int d, int h = 8, int mi = 30, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// A free record whose other fields would make it due at any moment of 08:30.
ScheduleRecord freeButDueLooking()
{
    return ScheduleRecord::decode(QByteArray(15, '\0') + QByteArray::fromHex("081e7fff0f01"));
}

// The check driven by a 30 s `Timer5` on virtual time, with a clock that starts at start.
struct CheckRig
{
    explicit CheckRig(const QDateTime &start) : clock(start)
    {
        schedule.fillDaysInMonth(start.date().year());
        check.attach(timer5);
        QObject::connect(&check, &ScheduleCheck::due, [this](const QString &n, bool unattended) {
            dues << clock.now().toString("ddd hh:mm:ss") + ' ' + n + (unattended ? " U" : "");
        });
    }
    void runUntil(const QDateTime &t) { time.rt.runFor(clock.now().msecsTo(t)); }

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

// When an entry falls due, and what the check does with it.
class CheckTest : public QObject
{
    Q_OBJECT

private slots:
    void dueRule_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<bool>("due");
        const auto row = [](const char *tag, const ScheduleRecord &r, const QDateTime &t, bool d) {
            QTest::newRow(tag) << r.encode() << t << d;
        };
        const ScheduleRecord monWed = entry("1", 8, 30, Mon | Wed, 0, Weekly);
        row("weekly: Monday", monWed, at(2026, 12, 7), true);
        row("weekly: Wednesday", monWed, at(2026, 12, 9), true);
        row("weekly: not Tuesday", monWed, at(2026, 12, 8), false);
        row("weekly: not a minute later", monWed, at(2026, 12, 7, 8, 31), false);
        row("weekly: not an hour later", monWed, at(2026, 12, 7, 9, 30), false);
        row("weekly: months do not matter", entry("1", 8, 30, Mon, 0, Weekly), at(2026, 12, 7),
            true);
        row("weekly: Sunday is bit 6", entry("1", 8, 30, Sun, 0, Weekly), at(2026, 12, 6), true);

        const ScheduleRecord lastDay = entry("1", 8, 30, 0, Jan | Feb | Apr, Last);
        row("last day: 31 January", lastDay, at(2026, 1, 31), true);
        row("last day: not 30 January", lastDay, at(2026, 1, 30), false);
        row("last day: 28 February 2023", lastDay, at(2023, 2, 28), true);
        row("last day: not 28 February 2024", lastDay, at(2024, 2, 28), false);
        row("last day: 29 February 2024", lastDay, at(2024, 2, 29), true);
        row("last day: 30 April", lastDay, at(2026, 4, 30), true);
        row("last day: not in May, not chosen", lastDay, at(2026, 5, 31), false);

        const ScheduleRecord firstDay = entry("1", 8, 30, 0, Dec, First);
        row("first day: 1 December", firstDay, at(2026, 12, 1), true);
        row("first day: not 2 December", firstDay, at(2026, 12, 2), false);
        const ScheduleRecord never = entry("1", 8, 30, 0, 0xfff, 0);
        row("no one, no weekday: not on day 1", never, at(2026, 12, 1), false);
        row("no one, no weekday: not on the last day", never, at(2026, 12, 31), false);
        row("no one, no weekday: not on a Monday", never, at(2026, 12, 7), false);
        const ScheduleRecord tuesdays = entry("1", 8, 30, Tue, Dec, 0);
        row("every Tuesday of December: 1st", tuesdays, at(2026, 12, 1), true);
        row("every Tuesday of December: 29th", tuesdays, at(2026, 12, 29), true);
        row("every Tuesday of December: not a Monday", tuesdays, at(2026, 12, 7), false);
        row("every Tuesday: not in November", tuesdays, at(2026, 11, 3), false);

        // September 2026: Tuesday 1st, Monday 7th, Wednesday 23rd and 30th, Thursday 24th.
        const quint16 Sep = 0x100;
        row("first Monday on day 7", entry("1", 8, 30, Mon, Sep, First), at(2026, 9, 7), true);
        row("first Monday: not day 14", entry("1", 8, 30, Mon, Sep, First), at(2026, 9, 14), false);
        row("first Tuesday on day 1", entry("1", 8, 30, Tue, Sep, First), at(2026, 9, 1), true);
        row("first Tuesday: not day 8", entry("1", 8, 30, Tue, Sep, First), at(2026, 9, 8), false);
        row("last Wednesday on day 30", entry("1", 8, 30, Wed, Sep, Last), at(2026, 9, 30), true);
        row("last Wednesday: not day 23, seven before the end", entry("1", 8, 30, Wed, Sep, Last),
            at(2026, 9, 23), false);
        row("last Thursday on day 24, six before the end", entry("1", 8, 30, Thu, Sep, Last),
            at(2026, 9, 24), true);
        row("first with two weekdays: never", entry("1", 8, 30, Mon | Tue, Sep, First),
            at(2026, 9, 1), false);
        row("first and last both set: first wins", entry("1", 8, 30, 0, Sep, First | Last),
            at(2026, 9, 1), true);
        row("first and last both set: not the last day", entry("1", 8, 30, 0, Sep, First | Last),
            at(2026, 9, 30), false);
        row("the unattended bit changes nothing", entry("1", 8, 30, Mon, 0, Weekly | Unattended),
            at(2026, 12, 7), true);
        row("a free record never", freeButDueLooking(), at(2026, 12, 7), false);
    }
    void dueRule()
    {
        QFETCH(QByteArray, record);
        QFETCH(QDateTime, moment);
        QFETCH(bool, due);
        const ScheduleRecord r = ScheduleRecord::decode(record);
        QCOMPARE(isDue(r, moment, daysInMonth(moment.date().year())), due);
        QCOMPARE(isDue(r, moment.addSecs(59), daysInMonth(moment.date().year())), due);
    }

    // Monday and Wednesday at 08:30, once each, on the first tick within 08:30.
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
        QCOMPARE(r.queue.size(), 2);
        QCOMPARE(r.queue.takeNext(), QString("3351234567     ")); // all 15 characters
    }

    void everyMinuteIsScannedOnce_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QList<int>>("minutes"); // entries, as minutes of the day, every day
        QTest::addColumn<int>("pauseMinutes");   // Timer5 off after the first minute for so long
        QTest::addColumn<QStringList>("dues");
        QTest::newRow("08:30 then 09:30") << QTime(8, 29, 45) << QList<int>{510, 570} << 0
                                          << QStringList{"Mon 08:30:15 1", "Mon 09:30:15 1"};
        QTest::newRow("09:30 after an hour without checks")
            << QTime(8, 29, 45) << QList<int>{510, 570} << 59
            << QStringList{"Mon 08:30:15 1", "Mon 09:30:20 1"};
        QTest::newRow("minute 0 of the first hour")
            << QTime(8, 59, 45) << QList<int>{540} << 0 << QStringList{"Mon 09:00:15 1"};
    }
    void everyMinuteIsScannedOnce()
    {
        QFETCH(QTime, start);
        QFETCH(QList<int>, minutes);
        QFETCH(int, pauseMinutes);
        QFETCH(QStringList, dues);
        CheckRig r(QDateTime(QDate(2026, 12, 7), start));
        for (int i = 0; i < minutes.size(); ++i)
            r.schedule[i] = entry("1", minutes[i] / 60, minutes[i] % 60, 0x7f, 0, Weekly);
        r.time.rt.runFor(65'000);
        if (pauseMinutes) {
            r.timer5.stop();
            r.time.rt.runFor(pauseMinutes * 60'000);
            r.timer5.start();
        }
        r.runUntil(QDateTime(QDate(2026, 12, 7), start).addSecs(62 * 60));
        QCOMPARE(r.dues, dues);
    }

    // Several entries of one minute: each queues its number once, in table order.
    void everyDueEntryQueuesItsNumber()
    {
        CheckRig r(at(2026, 12, 7, 8, 29, 45));
        QSignalSpy due(&r.check, &ScheduleCheck::due);
        r.schedule[0] = entry("111", 8, 30, Mon, 0, Weekly);
        r.schedule[1] = freeButDueLooking();
        r.schedule[2] = entry("222", 8, 30, Mon, Dec, Unattended);
        r.schedule[3] = entry("333", 8, 30, Tue, 0, Weekly);
        r.schedule[4] = entry("111", 8, 30, Mon | Tue, 0, Weekly);
        r.runUntil(at(2026, 12, 7, 8, 31, 30));
        QCOMPARE(r.dues,
                 QStringList({"Mon 08:30:15 111", "Mon 08:30:15 222 U", "Mon 08:30:15 111"}));
        QCOMPARE(due.size(), 3);
        QCOMPARE(due.at(1), QVariantList({"222", true}));
        QStringList queued;
        while (r.queue.size())
            queued << r.queue.takeNext();
        QCOMPARE(queued, QStringList({"111            ", "222            ", "111            "}));
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
        QCOMPARE(r.queue.size(), CallQueue::Capacity);
        QCOMPARE(r.check.waiting(), QStringList({"222            "}));

        // The next day both fall due again: 222 is not waiting twice, 111 waits behind it.
        r.runUntil(at(2026, 12, 8, 8, 31));
        QCOMPARE(r.check.waiting(), QStringList({"222            ", "111            "}));
        r.queue.takeNext();
        r.queue.takeNext();
        r.runUntil(at(2026, 12, 8, 8, 31, 20));
        QVERIFY(r.check.waiting().isEmpty());
        QStringList tail;
        while (r.queue.size())
            tail = QStringList{tail.value(1), r.queue.takeNext()};
        QCOMPARE(tail, QStringList({"222            ", "111            "}));
    }

    // Loaded in 2023, still running on 29 February 2024.
    void theLastDayFollowsTheYearTheStationRunsInto()
    {
        CheckRig r(at(2024, 2, 28, 9, 59, 45));
        r.schedule.fillDaysInMonth(2023);
        r.schedule[0] = entry("1", 10, 0, 0, Feb, Last);
        r.runUntil(at(2024, 2, 29, 10, 1));
        QCOMPARE(r.dues, QStringList{"Thu 10:00:15 1"});
    }
};

QTEST_MAIN(CheckTest)
#include "tst_check.moc"
