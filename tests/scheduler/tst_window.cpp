#include "FrmProgor.h"
#include "ScheduleTestSupport.h"
#include "SpinButtons.h"
#include "StationFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {
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
        original = readAll(path());
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

// The schedule window: which entry it opens on, what each control does to it, and the file.
class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void opensOnTheNumbersEntry_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("record");
        QTest::addColumn<QString>("controls");
        QTest::newRow("existing weekly entry") << "111" << 0
                                               << "Weekly|Monday Wednesday|January December|"
                                                  "No one|No one|08:05|unattended";
        QTest::newRow("existing monthly entry")
            << "222" << 1 << "Monthly|Thursday|February April|Last|Thursday|17:45|-";
        QTest::newRow("trailing blanks: the same number")
            << "222    " << 1 << "Monthly|Thursday|February April|Last|Thursday|17:45|-";
        QTest::newRow("a new number takes the first free entry")
            << "3351234567" << 2 << "Monthly|||No one|No one|00:00|-";
    }
    void opensOnTheNumbersEntry()
    {
        QFETCH(QString, number);
        QFETCH(int, record);
        QFETCH(QString, controls);
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
        QCOMPARE(readAll(r.path()), r.original);
    }

    void controls_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QByteArray>("fields"); // hour minute days months(2) flags, afterwards
        // Before: "111" is 08 05 05 01 08 09, "222" is 11 2d 08 0a 00 04.
        const auto row = [](const char *tag, const char *number, QStringList actions,
                            const char *fields) {
            QTest::newRow(tag) << number << actions << QByteArray(fields);
        };
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
    }
    void controls()
    {
        QFETCH(QString, number);
        QFETCH(QStringList, actions);
        QFETCH(QByteArray, fields);
        WindowRig r;
        QVERIFY(r.w.showFor(number));
        for (const QString &a : actions)
            act(r.w, a);
        const ScheduleRecord &e = r.schedule[r.w.editedRecord()];
        QCOMPARE(e.encode().mid(15).toHex(' '), fields);
        QCOMPARE(r.w.Frame1->isEnabled(), e.weekly());
        QCOMPARE(r.w.Frame2->isEnabled(), !e.weekly());
        QCOMPARE(r.w.Text1[0]->text() + ':' + r.w.Text1[1]->text(),
                 QTime(e.hour(), e.minute()).toString("hh:mm"));
    }

    void exitKeepsTheEditsInMemoryOnly_data()
    {
        QTest::addColumn<bool>("titleBar");
        QTest::newRow("Exit") << false;
        QTest::newRow("title bar") << true;
    }
    void exitKeepsTheEditsInMemoryOnly()
    {
        QFETCH(bool, titleBar);
        WindowRig r;
        QVERIFY(r.w.showFor("4444")); // a new entry, left unsaved
        act(r.w, "Option1 0");
        QVERIFY(r.w.showFor("111")); // reloads the file; the entry past its end stays
        act(r.w, "up 0");
        titleBar ? void(r.w.close()) : r.w.Command1[1]->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(int(r.schedule[0].hour()), 9);
        QCOMPARE(readAll(r.path()), r.original);
        QVERIFY(r.w.showFor("4444"));
        QCOMPARE(r.w.editedRecord(), 2);
        QVERIFY(r.w.Option1[0]->isChecked());
        QCOMPARE(int(r.schedule[0].hour()), 8); // the file's again
    }

    void saveAndExitWritesTheFile()
    {
        WindowRig r;
        QVERIFY(r.w.showFor("3351234567"));
        for (const char *a : {"Option1 0", "Check1 1", "type 0 10", "type 1 15", "Check3"})
            act(r.w, a);
        r.w.Command1[0]->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(readAll(r.path()).toHex(),
                 (r.original + "3351234567     " + QByteArray::fromHex("0a0f02000009") +
                  QByteArray(107, '\0'))
                     .toHex());
        QVERIFY(r.dialogs.boxes().isEmpty());
    }

    // A folder where the file should be: neither read nor written, and the window says so.
    void fileFailuresAreReported()
    {
        StationFixture f;
        const QString path = QDir(f.programFolder()).filePath("PROGOR.DAT");
        QVERIFY(QDir().mkpath(path));
        Schedule schedule(path);
        schedule[0] = entry("111", 8, 5, Mon, 0, Weekly);
        FrmProgor w(f.services, schedule);
        QVERIFY(w.showFor("111"));
        QVERIFY(w.Check1[0]->isChecked()); // the entries in memory
        w.Command1[0]->click();
        QVERIFY(w.isVisible());
        const QStringList boxes = f.dialogs.boxes();
        QCOMPARE(boxes.size(), 2);
        const QString name = QDir::toNativeSeparators(path);
        QVERIFY(boxes[0].startsWith("Error|The schedule " + name + " cannot be read ("));
        QVERIFY(boxes[0].endsWith(
            ").\r\nThe entries in memory are shown and saved in its place.|Exclamation|Ok"));
        QVERIFY(boxes[1].startsWith("Error|The schedule cannot be written to " + name + " ("));
        QVERIFY(boxes[1].endsWith(
            ").\r\nThe entries stay in memory until the station ends.|Exclamation|Ok"));
        w.Command1[1]->click();
        QVERIFY(!w.isVisible());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("full");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("blank number") << "   " << false << QStringList();
        QTest::newRow("every entry taken by other numbers")
            << "999" << true
            << QStringList{"Scheduler|The schedule is full: all 5001 entries belong to other "
                           "numbers, so 999 cannot be scheduled.|Exclamation|Ok"};
    }
    void refusals()
    {
        QFETCH(QString, number);
        QFETCH(bool, full);
        QFETCH(QStringList, boxes);
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

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
