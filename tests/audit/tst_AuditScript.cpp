// Script lines: parameter forms, the address table's search rules, range checks and the
// handling of unknown, broken and failing lines.
#include "AddressTable.h"
#include "AuditTestSupport.h"

#include <QtTest>

using namespace audit;
using namespace audit::test;

class AuditScript : public QObject
{
    Q_OBJECT

private slots:
    void resolvesParameters_data();
    void resolvesParameters();
    void decodesLines_data();
    void decodesLines() { checkConversionRow(); }
};

namespace {
constexpr int Fails = 99999; // no parameter can hold it
}

void AuditScript::resolvesParameters_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("addresses");
    QTest::addColumn<int>("expected");

    auto row = [](const char *name, QByteArray field, QByteArray addresses, int expected) {
        QTest::newRow(name) << field << addresses << expected;
    };
    row("&H10 is 16", "&H10", "", 16);
    row("&HFFFF is the 16-bit pattern -1", "&HFFFF", "", -1);
    row("&h1f in small letters is 31", "&h1f", "", 31);
    row("&H10000 is 65536 and fails", "&H10000", "", Fails);
    row("&HFFFFFFFF is the 32-bit pattern -1", "&HFFFFFFFF", "", -1);
    row("&H100000000 is too long and fails", "&H100000000", "", Fails);
    row("12.5 rounds to the even 12", "12.5", "", 12);
    row("13.5 rounds to the even 14", "13.5", "", 14);
    row("1.5E1 is 15", "1.5E1", "", 15);
    row(".5 rounds to 0", ".5", "", 0);
    row("blanks around and after the sign", "  - 7  ", "", -7);
    row("40000 fails", "40000", "", Fails);
    row("32767 passes", "32767", "", 32767);
    row("-32768.5 rounds to the even -32768", "-32768.5", "", -32768);
    row("1e400 fails", "1e400", "", Fails);
    row("an exponent past 64 bits fails", "1e99999999999999999999", "", Fails);
    row("-1e-400 is 0", "-1e-400", "", 0);
    row("1e is a name", "1e", "1e,4", 4);
    row("name found", "CASH", "COIN,4\nCASH,5", 5);
    row("unknown name is 0", "NOPE", "CASH,5", 0);
    row("names are case-sensitive", "cash", "CASH,5", 0);
    row("blanks in a name count", " CASH", "CASH,5\n CASH,7", 7);
    row("first match wins", "A", "A,1\nA,2", 1);
    row("empty name matches a line starting with a comma", "", "X,1\n,9", 9);
    row("empty name without such a line is 0", "", "X,1", 0);
    row("empty line before the match fails", "B", "A,1\r\n\r\nB,2", Fails);
    row("empty line after the match is harmless", "A", "A,1\n\nB,2", 1);
    row("final line ending adds no empty line", "C", "A,1\r\nB,2\r\n", 0);
    row("matching line without a value fails, CR LF is no value", "A", "A\r\nA,3", Fails);
    row("line without a value that does not match is passed", "B", "A\nB,3", 3);
    row("value is the leading number, blanks skipped", "A", "A, 1 2abc", 12);
    row("value in &H form", "A", "A,&HFFFF", -1);
    row("value without a number is 0", "A", "A,x9", 0);
    row("value out of range fails", "A", "A,70000", Fails);
}

void AuditScript::resolvesParameters()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, addresses);
    QFETCH(int, expected);
    const std::optional<qint16> value = ResolveAddress(field, AddressTable::fromText(addresses));
    QCOMPARE(value ? int(*value) : Fails, expected);
}

void AuditScript::decodesLines_data()
{
    addConversionColumns();
    const QByteArray example = QByteArray::fromHex("34120010000005000200");
    const Data small = Data(10).b(0, 2).b(1, 3);
    // 196 data bytes: length 200; the sum word 8 lies at offsets 196 and 197.
    const Data data196 = Data(196).b(100, 7).b(195, 1);
    row("worked example", example, "CA2,CASH,3,6,8", {"CA2*4660*16*5*2"}, {}, "CASH,0");
    row("CA8,100,200 with length 200 is skipped", data196, "CA8,100,200", {});
    row("last data byte reads into the sum word", data196, "CA8,100,195", {"CA8*7*2049"});
    row("offset -2 reads the length word", Data(10).b(0, 1), "CA8,-2,0", {"CA8*65550*1"});
    row("&HFFFF passes the range check", small, "CA8,&HFFFF,0", {"CA8*197120*770"});
    row("a name resolves before the range check", small, "CA8,FAR,0", {}, {}, "FAR,14");
    row("index parameter after V is not checked", small, "CA11,0,0,0,0,0,0,0,0,30000",
        {"CA11*0*0*0*0*0*0*0"});
    row("fields after the parameters are ignored", small, "CA9,0,0,junk,more", {"CA9*770*770"});
    row("line ending is not part of the last field", small, "CA9,0,LAST\r\n", {"CA9*770*3"}, {},
        "LAST,1");
    row("unknown keyword, small letters, a comment, a blank before the comma: ignored", small,
        "ZZ\nca8,0,0\nREM totals follow\nCA8 ,0,0", {});
    row("empty line, missing parameter and 40000 fail; later lines go on", small,
        "CA9,0,0\r\n\r\nCA8,100\r\nCA8,40000,0\r\nCA9,1,1\r\n", {"CA9*770*770", "CA9*3*3"},
        {2, 3, 4});
}

QTEST_GUILESS_MAIN(AuditScript)
#include "tst_AuditScript.moc"
