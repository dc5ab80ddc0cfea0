#include "DueRule.h"
#include "ScheduleTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// PROGOR.DAT: 128-byte records whose first 21 bytes hold the packed fields, and the calendar the
// schedule is checked against.
class FileTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString path() const { return QDir(tmp.path()).filePath("PROGOR.DAT"); }

private slots:
    void recordBytes_data()
    {
        QTest::addColumn<QByteArray>("fields"); // the 21 bytes, hexadecimal
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("months");
        QTest::addColumn<int>("flags");
        QTest::newRow("weekly Monday and Wednesday 08:30")
            << QByteArray("33333531323334353637"
                          "2020202020"
                          "081e05"
                          "0000"
                          "01")
            << "3351234567" << 8 << 30 << 5 << 0 << 1;
        QTest::newRow("monthly last Sunday, January and December, months little-endian")
            << QByteArray("2b3339333335313233343536373839"
                          "172d40"
                          "0108"
                          "04")
            << "+39335123456789" << 23 << 45 << 0x40 << 0x801 << 4;
        QTest::newRow("unattended in bit 3 beside first")
            << QByteArray("e9"
                          "2020202020202020202020202020"
                          "063b02"
                          "1000"
                          "0a")
            << QString::fromLatin1("\xe9") << 6 << 59 << 2 << 0x10 << 0x0a;
        QTest::newRow("free: fifteen bytes of code 0")
            << QByteArray(42, '0') << QString() << 0 << 0 << 0 << 0 << 0;
    }
    void recordBytes()
    {
        QFETCH(QByteArray, fields);
        QFETCH(QString, number);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, days);
        QFETCH(int, months);
        QFETCH(int, flags);
        const ScheduleRecord r = ScheduleRecord::decode(QByteArray::fromHex(fields));
        QCOMPARE(r.numberText(), number);
        QCOMPARE(int(r.hour()), hour);
        QCOMPARE(int(r.minute()), minute);
        QCOMPARE(int(r.days()), days);
        QCOMPARE(int(r.months()), months);
        QCOMPARE(int(r.flags()), flags);
        QCOMPARE(r.unattended(), bool(flags & 8));
        QCOMPARE(r.encode().toHex(), fields);
    }

    void aNumberIsStoredInFifteenCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("short: padded with blanks") << "335" << QByteArray("335            ");
        QTest::newRow("long: cut") << "+3933512345678901" << QByteArray("+39335123456789");
        QTest::newRow("empty: blanks, not free") << "" << QByteArray(15, ' ');
    }
    void aNumberIsStoredInFifteenCharacters()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        ScheduleRecord r;
        r.setNumber(typed);
        QCOMPARE(r.number(), stored);
        QVERIFY(!r.isFree());
        QVERIFY(r.holds(typed));
    }

    // A file written byte by byte, with junk in the unused part of the records.
    void aHandWrittenFileReadsIntoTheFields()
    {
        const QByteArray junk(107, '\xff');
        QByteArray file = QByteArray("3351234567     ") +
                          QByteArray::fromHex("081e050000"
                                              "01") +
                          junk;
        file += QByteArray("0039011       ") + '\0' +
                QByteArray::fromHex("112d040108"
                                    "0c") +
                junk;
        QVERIFY(writeAll(path(), file));
        Schedule s(path());
        QVERIFY(s.load());
        QCOMPARE(s[0].numberText(), QString("3351234567"));
        QVERIFY(s[0].weekly());
        QVERIFY(s[0].onWeekday(1) && s[0].onWeekday(3) && !s[0].onWeekday(2));
        QCOMPARE(s[1].number(), QByteArray("0039011       ") + '\0');
        QCOMPARE(int(s[1].hour()), 17);
        QCOMPARE(int(s[1].minute()), 45);
        QCOMPARE(int(s[1].days()), int(Wed));
        QVERIFY(s[1].inMonth(1) && s[1].inMonth(12) && !s[1].inMonth(2));
        QCOMPARE(s[1].occurrence(), ScheduleRecord::Occurrence::Last);
        QVERIFY(!s[1].weekly());
        QVERIFY(s[1].unattended());
        QVERIFY(s[2].isFree());
        // Written back, the unused bytes are zero and the fields the same.
        QVERIFY(s.save());
        QByteArray expected = file;
        expected.replace(junk, QByteArray(107, '\0'));
        QCOMPARE(readAll(path()).toHex(), expected.toHex());
    }

    void savingStopsAtTheFirstFreeRecord()
    {
        Schedule s(path());
        s[0] = entry("111", 8, 30, Mon | Wed, 0, Weekly);
        s[1] = entry("222", 9, 0, 0, Jan, Last);
        s[3] = entry("444", 10, 0, Tue, 0, Weekly);          // after the gap: not saved
        QVERIFY(writeAll(path(), QByteArray(6 * 128, 'x'))); // a longer file is replaced
        QVERIFY(s.save());
        const QByteArray bytes = readAll(path());
        QCOMPARE(bytes.size(), 256);
        QCOMPARE(bytes.left(128), s[0].encode() + QByteArray(107, '\0'));
        QCOMPARE(bytes.mid(128), s[1].encode() + QByteArray(107, '\0'));
        Schedule back(path());
        QVERIFY(back.load());
        QCOMPARE(back[0], s[0]);
        QCOMPARE(back[1], s[1]);
        QVERIFY(back[3].isFree());
    }

    void aFullTableIsSavedWhole()
    {
        Schedule s(path());
        for (int i = 0; i < s.size(); ++i)
            s[i] = entry(QString::number(i), i % 24, i % 60, Mon, 0, Weekly);
        QVERIFY(s.save());
        QCOMPARE(readAll(path()).size(), 5001 * 128);
        Schedule back(path());
        QVERIFY(back.load());
        QCOMPARE(back[5000], s[5000]);
    }

    void readsRecordsUntilTheDataEnds_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("records");
        QTest::newRow("empty file") << 0 << 0;
        QTest::newRow("one whole record") << 128 << 1;
        QTest::newRow("a trailing piece with the 21 field bytes") << 128 + 21 << 2;
        QTest::newRow("a trailing piece too short for the fields") << 128 + 20 << 1;
        QTest::newRow("more records than the table holds") << 5003 * 128 << 5001;
    }
    void readsRecordsUntilTheDataEnds()
    {
        QFETCH(int, bytes);
        QFETCH(int, records);
        Schedule s(path());
        QCOMPARE(s.readBytes(QByteArray(bytes, '7')), records);
    }

    // Entries past the file's end keep what they hold: one added and left unsaved survives.
    void loadingOverwritesOnlyWhatTheFileHolds()
    {
        Schedule s(path());
        s[0] = entry("111", 8, 30, Mon, 0, Weekly);
        QVERIFY(s.save());
        s[0].setHour(9);
        s[1] = entry("222", 9, 0, 0, Jan, Last);
        QVERIFY(s.load());
        QCOMPARE(int(s[0].hour()), 8);
        QCOMPARE(s[1].numberText(), QString("222"));
    }

    void aMissingFileIsAnEmptySchedule()
    {
        Schedule s(QDir(tmp.path()).filePath("none/PROGOR.DAT"));
        QVERIFY(s.load());
        QVERIFY(s[0].isFree());
        QString why;
        QVERIFY(!s.save(&why)); // its folder is missing too
        QVERIFY(!why.isEmpty());
    }

    void placeIsTheNumbersEntryOrTheFirstFree()
    {
        Schedule s(path());
        s[0] = entry("111", 0, 0, 0, 0, 0);
        s[2] = entry("333", 0, 0, 0, 0, 0);
        s[3] = entry("333", 1, 0, 0, 0, 0);
        QCOMPARE(s.place("111"), 0);
        QCOMPARE(s.place("333"), 1); // the free entry comes first
        s[1] = entry("222", 0, 0, 0, 0, 0);
        QCOMPARE(s.place("333"), 2);
        QCOMPARE(s.place("444"), 4);
        for (int i = 4; i < s.size(); ++i)
            s[i] = entry("x", 0, 0, 0, 0, 0);
        QCOMPARE(s.place("444"), -1);
        QCOMPARE(s.place("x"), 4);
    }

    void leapYears_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("february");
        QTest::newRow("1900: a century") << 1900 << 28;
        QTest::newRow("2000: a fourth century") << 2000 << 29;
        QTest::newRow("2023: odd") << 2023 << 28;
        QTest::newRow("2024: by four") << 2024 << 29;
    }
    void leapYears()
    {
        QFETCH(int, year);
        QFETCH(int, february);
        const DaysInMonth days = daysInMonth(year);
        QCOMPARE(int(days[1]), february);
        const DaysInMonth rest = {31, days[1], 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        QCOMPARE(days, rest);
        Schedule s(path());
        s.fillDaysInMonth(year);
        QCOMPARE(s.daysInMonth(), days);
    }
};

QTEST_APPLESS_MAIN(FileTest)
#include "tst_file.moc"
