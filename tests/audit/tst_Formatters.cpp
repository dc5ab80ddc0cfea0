// Field formatters and the code tables.
#include "CodeTables.h"
#include "Formatters.h"

#include <QtTest>

using namespace audit;

class Formatters : public QObject
{
    Q_OBJECT

private slots:
    void formatsBytes_data();
    void formatsBytes();
    void codeTables_data();
    void codeTables();
};

void Formatters::formatsBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QByteArray>("twoDigits");
    QTest::addColumn<QByteArray>("bcdDigits");

    QTest::newRow("0") << 0x00 << QByteArray("00") << QByteArray("00");
    QTest::newRow("7") << 0x07 << QByteArray("07") << QByteArray("07");
    QTest::newRow("0x0C: bcd low nibble 12") << 0x0C << QByteArray("12") << QByteArray("12");
    QTest::newRow("0x1C: bcd 1 and 12") << 0x1C << QByteArray("28") << QByteArray("112");
    QTest::newRow("0x59: bcd 59") << 0x59 << QByteArray("89") << QByteArray("59");
    QTest::newRow("99") << 99 << QByteArray("99") << QByteArray("63");
    QTest::newRow("100 gives 00") << 100 << QByteArray("00") << QByteArray("64");
    QTest::newRow("0xA5: bcd 10 and 5") << 0xA5 << QByteArray("00") << QByteArray("105");
    QTest::newRow("0xFF: bcd 15 and 15") << 0xFF << QByteArray("00") << QByteArray("1515");
}

void Formatters::formatsBytes()
{
    QFETCH(int, byte);
    QFETCH(QByteArray, twoDigits);
    QFETCH(QByteArray, bcdDigits);
    QCOMPARE(TwoDigits(byte), twoDigits);
    QCOMPARE(BcdDigits(byte), bcdDigits);
}

void Formatters::codeTables_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("text");

    enum { Events, Details, Selections, Products };
    QTest::newRow("event 0") << int(Events) << 0 << QByteArray("ECM");
    QTest::newRow("event 13 is empty") << int(Events) << 13 << QByteArray();
    QTest::newRow("event 55") << int(Events) << 55 << QByteArray("OAR");
    QTest::newRow("event 65 is empty") << int(Events) << 65 << QByteArray();
    QTest::newRow("event 133") << int(Events) << 133 << QByteArray("ECE_B");
    QTest::newRow("event 146") << int(Events) << 146 << QByteArray("EJB_B");
    QTest::newRow("event 147 is past the table") << int(Events) << 147 << QByteArray();
    QTest::newRow("detail 7") << int(Details) << 7 << QByteArray("_O05P02");
    QTest::newRow("detail 38 repeats 30") << int(Details) << 38 << QByteArray("_O00P00");
    QTest::newRow("detail 39") << int(Details) << 39 << QByteArray("_O18P00");
    QTest::newRow("detail 40 is past the table") << int(Details) << 40 << QByteArray();
    QTest::newRow("selection 0") << int(Selections) << 0 << QByteArray("11");
    QTest::newRow("selection 8") << int(Selections) << 8 << QByteArray("21");
    QTest::newRow("selection 47") << int(Selections) << 47 << QByteArray("68");
    QTest::newRow("selection -1") << int(Selections) << -1 << QByteArray();
    QTest::newRow("product 0") << int(Products) << 0 << QByteArray("01");
    QTest::newRow("product 29") << int(Products) << 29 << QByteArray("30");
    QTest::newRow("product 30 is past the table") << int(Products) << 30 << QByteArray();
}

void Formatters::codeTables()
{
    QFETCH(int, table);
    QFETCH(int, index);
    QFETCH(QByteArray, text);
    CodeTables tables;
    FillCodeTables(tables);
    FillCodeTables(tables); // a second fill gives the same contents
    const QList<QByteArray> *all[] = {&tables.EventIds, &tables.EventDetails,
                                      &tables.SelectionCodes, &tables.ProductNumbers};
    QCOMPARE(CodeText(*all[table], index), text);
}

QTEST_GUILESS_MAIN(Formatters)
#include "tst_Formatters.moc"
