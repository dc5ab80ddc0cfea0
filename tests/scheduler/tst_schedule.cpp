#include "CallQueue.h"
#include "Clock.h"
#include "Files.h"
#include "FrmProgor.h"
#include "Rows.h"
#include "Runtime.h"
#include "Schedule.h"
#include "ScheduleCheck.h"
#include "SpinButtons.h"
#include "StationFixture.h"
#include "Timer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

inline ScheduleRecord entry(const QString &number, int hour, int minute, quint8 days,
                            quint16 months, quint8 flags)
{
    ScheduleRecord r;
    r.setNumber(number);
    r.setHour(quint8(hour));
    r.setMinute(quint8(minute));
    r.setDays(days);
    r.setMonths(months);
    r.setFlags(flags);
    return r;
}

constexpr quint8 Mon = 0x01, Tue = 0x02, Wed = 0x04, Thu = 0x08;
constexpr quint16 Jan = 0x001, Feb = 0x002, Apr = 0x008, Sep = 0x100, Dec = 0x800;
constexpr quint8 Weekly = ScheduleRecord::Weekly, First = ScheduleRecord::First,
                 Last = ScheduleRecord::Last, Unattended = ScheduleRecord::Unattended;

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

// PROGOR.DAT in the program folder holds "111", weekly on Monday and Wednesday at 08:05, January
// and December, unattended; and "222", monthly on the last Thursday of February and April, 17:45.
struct WindowRig : StationFixture
{
    WindowRig()
    {
        Schedule seed(path());
        seed[0] = entry("111", 8, 5, Mon | Wed, Jan | Dec, Weekly | Unattended);
        seed[1] = entry("222", 17, 45, Thu, Feb | Apr, Last);
        seed.save();
        original = readFile(path());
    }
    QString path() const { return QDir(programFolder()).filePath("PROGOR.DAT"); }

    Schedule schedule{path()};
    FrmProgor w{services, schedule};
    QByteArray original;
};

// What the window shows, in one line.
QString shown(const FrmProgor &w)
{
    QStringList out{w.Option1[0]->isChecked() ? "Weekly" : "Monthly"};
    for (const auto &boxes : {QList<QCheckBox *>(w.Check1.begin(), w.Check1.end()),
                              QList<QCheckBox *>(w.Check2.begin(), w.Check2.end())}) {
        QStringList on;
        for (const QCheckBox *b : boxes)
            if (b->isChecked())
                on << b->text();
        out << on.join(' ');
    }
    out << w.Combo1->currentText() << w.Combo2->currentText()
        << w.Text1[0]->text() + ':' + w.Text1[1]->text()
        << (w.Check3->isChecked() ? "unattended" : "-");
    return out.join('|');
}

// One operator action: "Option1 1", "Check1 3", "Check2 11", "Check3", "Combo1 2", "Combo2 7",
// "up 0", "down 1" (the spin buttons of the hour 0 or the minute 1), "type 0 17".
void act(FrmProgor &w, const QString &action)
{
    const QStringList p = action.split(' ');
    const int i = p.value(1).toInt();
    if (p[0] == "Option1")
        w.Option1[i]->click();
    else if (p[0] == "Check1")
        w.Check1[i]->click();
    else if (p[0] == "Check2")
        w.Check2[i]->click();
    else if (p[0] == "Check3")
        w.Check3->click();
    else if (p[0] == "Combo1")
        w.Combo1->setCurrentIndex(i);
    else if (p[0] == "Combo2")
        w.Combo2->setCurrentIndex(i);
    else if (p[0] == "up")
        w.VScroll1[i]->up->click();
    else if (p[0] == "down")
        w.VScroll1[i]->down->click();
    else if (p[0] == "type") {
        w.Text1[i]->selectAll();
        QTest::keyClicks(w.Text1[i], p[2]);
        QFocusEvent leave(QEvent::FocusOut);
        QCoreApplication::sendEvent(w.Text1[i], &leave);
    } else
        QFAIL(qPrintable("unknown action " + action));
}
} // namespace

using Bytes = Rows<QByteArray, QString>; // a record in hexadecimal, its fields
using Sizes = Rows<int, int>;            // bytes, records read
using Due = Rows<ScheduleRecord, QDateTime, bool>;
// The first tick on Monday, Timer5 off after the first minute for so long, the dues until
// Wednesday 09:00.
using Ticks = Rows<QTime, int, QStringList>;
using Collected = Rows<bool, QStringList>;  // by the station, the numbers queued
using Opened = Rows<QString, int, QString>; // number, record, controls
// The number, the actions, and afterwards the fields hour minute days months(2) flags.
using Control = Rows<QString, QStringList, QByteArray>;
using Closed = Rows<bool>;                        // by the title bar
using Refused = Rows<QString, bool, QStringList>; // number, schedule full, boxes

// The schedule: PROGOR.DAT, when an entry falls due and what the check does with it, and the
// window that edits it.
class ScheduleTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString path() const { return QDir(tmp.path()).filePath("PROGOR.DAT"); }

private slots:
    void recordBytes_data()
    {
        const auto row = Bytes::table();
        row("monthly last Sunday of January and December: months little-endian",
            "2b3339333335313233343536373839"
            "172d40"
            "0108"
            "04",
            "+39335123456789|23|45|64|2049|4");
        row("Latin-1 number; unattended is bit 3, beside first",
            "e9"
            "2020202020202020202020202020"
            "063b02"
            "1000"
            "0a",
            QString::fromLatin1("\xe9|6|59|2|16|10 U"));
        row("free: fifteen bytes of code 0", QByteArray(42, '0'), "|0|0|0|0|0");
    }
    void recordBytes()
    {
        const auto [hex, decoded] = Bytes::fetch();
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
        QVERIFY(writeFile(path(), file));
        Schedule s(path());
        QVERIFY(s.load());
        QCOMPARE(fields(s[0]), QString("3351234567|8|30|5|0|1"));
        QCOMPARE(fields(s[1]), QString("0039011|17|45|4|2049|12 U"));
        QCOMPARE(s[1].occurrence(), ScheduleRecord::Occurrence::Last);
        QVERIFY(s[2].isFree());
        QVERIFY(s.save()); // the same fields back, the unused bytes zero
        QCOMPARE(readFile(path()).toHex(),
                 QByteArray(file).replace(junk, QByteArray(107, 0)).toHex());
    }

    void savingStopsAtTheFirstFreeRecord()
    {
        QVERIFY(writeFile(path(), QByteArray(6 * 128, 'x')));
        Schedule s(path());
        s[0] = entry("111", 8, 30, Mon | Wed, 0, Weekly);
        s[1] = entry("+3933512345678901", 9, 0, 0, Jan, Last); // cut to 15 characters
        s[3] = entry("444", 10, 0, Tue, 0, Weekly);            // after the gap: lost
        QVERIFY(s.save());
        const QByteArray bytes = readFile(path());
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
        const auto row = Sizes::table();
        row("empty", 0, 0);
        row("a trailing piece with the 21 field bytes", 128 + 21, 2);
        row("a trailing piece too short for them", 128 + 20, 1);
        row("more records than the table holds", 5003 * 128, 5001);
    }
    void readsRecordsUntilTheDataEnds()
    {
        const auto [bytes, records] = Sizes::fetch();
        QCOMPARE(Schedule(path()).readBytes(QByteArray(bytes, '7')), records);
    }

    void dueRule_data()
    {
        Due::table();
        const auto row = [](const char *tag, quint8 days, quint16 months, quint8 flags,
                            const QDateTime &t, bool due) {
            Due::add(tag, entry("1", 8, 30, days, months, flags), t, due);
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
        Due::add("a free record never", FreeButDueLooking, at(2026, 12, 7), false);
    }
    void dueRule()
    {
        const auto [record, moment, due] = Due::fetch();
        QCOMPARE(isDue(record, moment.addSecs(59)), due);
    }

    // "1" on Monday and Wednesday at 08:30, "2" and "3" on Monday at 09:00 and 09:30: each due
    // once, on the first tick within its minute, whatever the ticks' phase, and a minute missed
    // while Timer5 was off is not made up.
    void ticksFindEachDueMinuteOnce_data()
    {
        const auto row = Ticks::table();
        const auto week = [](const char *s) {
            return QStringList{QString("Mon 08:30:%1 1").arg(s), QString("Mon 09:00:%1 2").arg(s),
                               QString("Mon 09:30:%1 3").arg(s), QString("Wed 08:30:%1 1").arg(s)};
        };
        row("ticks at :15 and :45", QTime(8, 29, 45), 0, week("15"));
        row("ticks at :00 and :30", QTime(8, 29, 30), 0, week("00"));
        row("ticks at :29 and :59", QTime(8, 29, 59), 0, week("29"));
        row("09:30 after an hour without checks", QTime(8, 29, 45), 59,
            {"Mon 08:30:15 1", "Mon 09:30:20 3", "Wed 08:30:20 1"});
        row("minute 0 of the first hour", QTime(8, 59, 45), 0, week("15").mid(1));
    }
    void ticksFindEachDueMinuteOnce()
    {
        const auto [start, pauseMinutes, dues] = Ticks::fetch();
        CheckRig r(QDateTime(QDate(2026, 12, 7), start));
        r.schedule[0] = entry("1", 8, 30, Mon | Wed, 0, Weekly);
        r.schedule[1] = entry("2", 9, 0, Mon, 0, Weekly);
        r.schedule[2] = entry("3", 9, 30, Mon, 0, Weekly);
        r.time.rt.runFor(65'000);
        if (pauseMinutes) {
            r.timer5.stop();
            r.time.rt.runFor(pauseMinutes * 60'000);
            r.timer5.start();
        }
        r.runUntil(at(2026, 12, 9, 9, 0));
        QCOMPARE(r.dues, dues);
    }

    // Several entries of one minute: each queues its number once, in table order. An unattended
    // one goes to the console only when the station does not collect it itself.
    void everyDueEntryQueuesItsNumber_data()
    {
        const auto row = Collected::table();
        const QString n111 = "111            ", n222 = "222            ";
        row("no collector: the console gets the unattended entry", false, {n111, n222, n111});
        row("collector: only announced", true, {n111, n111});
    }
    void everyDueEntryQueuesItsNumber()
    {
        const auto [collected, queued] = Collected::fetch();
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

    // The schedule window: which entry it opens on, what each control does to it, and the file.
    void opensOnTheNumbersEntry_data()
    {
        const auto row = Opened::table();
        const QString monthly = "Monthly|Thursday|February April|Last|Thursday|17:45|-";
        row("existing weekly entry", "111", 0,
            "Weekly|Monday Wednesday|January December|No one|No one|08:05|unattended");
        row("existing monthly entry", "222", 1, monthly);
        row("trailing blanks: the same number", "222    ", 1, monthly);
        row("a new number takes the first free entry", "3351234567", 2,
            "Monthly|||No one|No one|00:00|-");
    }
    void opensOnTheNumbersEntry()
    {
        const auto [number, record, controls] = Opened::fetch();
        WindowRig r;
        QVERIFY(r.w.showFor(record == 1 ? "111" : "222")); // another entry shown before
        QVERIFY(r.w.showFor(number));
        QVERIFY(r.w.isVisible());
        QCOMPARE(r.w.editedRecord(), record);
        QCOMPARE(shown(r.w), controls);
        QCOMPARE(r.w.numerotelefono->text(), number.trimmed().leftJustified(15));
        QCOMPARE(r.schedule[record].numberText(), number.trimmed());
        // Showing an entry changes no entry and writes nothing.
        QCOMPARE(r.schedule.toBytes().left(256), r.original);
        QCOMPARE(readFile(r.path()), r.original);
    }

    void controls_data()
    {
        // Before: "111" is 08 05 05 01 08 09, "222" is 11 2d 08 0a 00 04.
        const auto row = Control::table();
        row("Monthly clears bit 0, days from the weekday list", "111", {"Option1 1"},
            "08 05 00 01 08 08");
        row("Weekly sets bit 0, days from the weekday boxes", "222", {"Combo2 1", "Option1 0"},
            "11 2d 08 0a 00 05");
        row("Thursday box sets day bit 3", "111", {"Check1 3"}, "08 05 0d 01 08 09");
        row("weekday boxes do nothing while monthly", "222", {"Check1 0"}, "11 2d 08 0a 00 04");
        row("March box sets month bit 2", "222", {"Check2 2"}, "11 2d 08 0e 00 04");
        row("First sets bit 1 and clears Last", "222", {"Combo1 1"}, "11 2d 08 0a 00 02");
        row("No one clears bits 1 and 2", "222", {"Combo1 0"}, "11 2d 08 0a 00 00");
        row("Last keeps weekly and unattended", "111", {"Combo1 2"}, "08 05 05 01 08 0d");
        row("Sunday is day bit 6", "222", {"Combo2 7"}, "11 2d 40 0a 00 04");
        row("No one clears the days", "222", {"Combo2 0"}, "11 2d 00 0a 00 04");
        row("hour up", "111", {"up 0"}, "09 05 05 01 08 09");
        row("minute down stops at 0", "111", {"type 1 0", "down 1"}, "08 00 05 01 08 09");
        row("typed minute 59", "222", {"type 1 59"}, "11 3b 08 0a 00 04");
        row("typed hour 24 stops at 2", "111", {"type 0 24"}, "02 05 05 01 08 09");
        row("unattended box sets bit 3", "222", {"Check3"}, "11 2d 08 0a 00 0c");
        row("a new number's entry", "3351234567",
            {"Option1 0", "Check1 1", "type 0 10", "type 1 15", "Check3"}, "0a 0f 02 00 00 09");
    }
    void controls()
    {
        const auto [number, actions, fields] = Control::fetch();
        WindowRig r;
        QVERIFY(r.w.showFor(number));
        for (const QString &a : actions)
            act(r.w, a);
        const ScheduleRecord &e = r.schedule[r.w.editedRecord()];
        QCOMPARE(r.w.Frame1->isEnabled(), e.weekly());
        QCOMPARE(r.w.Frame2->isEnabled(), !e.weekly());
        QCOMPARE(r.w.Text1[0]->text() + ':' + r.w.Text1[1]->text(),
                 QTime(e.hour(), e.minute()).toString("hh:mm"));
        // "Save and Exit" writes the entry in its place and leaves the others as they were.
        const int at = 128 * r.w.editedRecord();
        const QByteArray file =
            r.original.leftJustified(qMax(256, at + 128), '\0')
                .replace(at, 21, number.toLatin1().leftJustified(15) + QByteArray::fromHex(fields));
        r.w.Command1[0]->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(readFile(r.path()).toHex(' '), file.toHex(' '));
        QVERIFY(r.dialogs.boxes().isEmpty());
    }

    void exitKeepsTheEditsInMemoryOnly_data()
    {
        const auto row = Closed::table();
        row("Exit", false);
        row("title bar", true);
    }
    void exitKeepsTheEditsInMemoryOnly()
    {
        const auto [titleBar] = Closed::fetch();
        WindowRig r;
        QVERIFY(r.w.showFor("4444")); // a new entry, left unsaved
        act(r.w, "Option1 0");
        QVERIFY(r.w.showFor("111")); // reloads the file; the entry past its end stays
        act(r.w, "up 0");
        titleBar ? void(r.w.close()) : r.w.Command1[1]->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(int(r.schedule[0].hour()), 9);
        QCOMPARE(readFile(r.path()), r.original);
        QVERIFY(r.w.showFor("4444"));
        QCOMPARE(r.w.editedRecord(), 2);
        QVERIFY(r.w.Option1[0]->isChecked());
        QCOMPARE(int(r.schedule[0].hour()), 8); // the file's again
    }

    // A folder where the file should be: neither read nor written, and the window says so.
    void fileFailuresAreReported()
    {
        WindowRig r;
        QVERIFY(QFile::remove(r.path()) && QDir().mkpath(r.path()));
        r.schedule[0] = entry("111", 8, 5, Mon, 0, Weekly);
        QVERIFY(r.w.showFor("111"));
        QVERIFY(r.w.Check1[0]->isChecked()); // the entries in memory
        r.w.Command1[0]->click();
        QVERIFY(r.w.isVisible());
        const QString name = QDir::toNativeSeparators(r.path());
        QCOMPARE(r.dialogs.boxes().replaceInStrings(QRegularExpression(" \\(.+\\)"), " (why)"),
                 QStringList({"Error|The schedule " + name +
                                  " cannot be read (why).\r\nThe entries in memory are shown and "
                                  "saved in its place.|Exclamation|Ok",
                              "Error|The schedule cannot be written to " + name +
                                  " (why).\r\nThe entries stay in memory until the station ends."
                                  "|Exclamation|Ok"}));
        r.w.Command1[1]->click();
        QVERIFY(!r.w.isVisible());
    }

    void refusals_data()
    {
        const auto row = Refused::table();
        row("blank number", "   ", false, {});
        row("every entry taken by other numbers", "999", true,
            {"Scheduler|The schedule is full: all 5001 entries belong to other numbers, "
             "so 999 cannot be scheduled.|Exclamation|Ok"});
    }
    void refusals()
    {
        const auto [number, full, boxes] = Refused::fetch();
        WindowRig r;
        if (full) {
            for (int i = 0; i < r.schedule.size(); ++i)
                r.schedule[i] = entry("x" + QString::number(i), 0, 0, 0, 0, 0);
            QVERIFY(r.schedule.save());
            QVERIFY(r.w.showFor("x7")); // a full table still opens on a number it holds
            r.w.close();
        }
        QVERIFY(!r.w.showFor(number));
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dialogs.boxes(), boxes);
    }
};

QTEST_MAIN(ScheduleTest)
#include "tst_schedule.moc"
