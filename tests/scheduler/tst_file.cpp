#include "ScheduleTestSupport.h"

#include <QDir>
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
} // namespace

// PROGOR.DAT: 128-byte records whose first 21 bytes hold the packed fields.
class FileTest : public QObject
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
};

QTEST_APPLESS_MAIN(FileTest)
#include "tst_file.moc"
