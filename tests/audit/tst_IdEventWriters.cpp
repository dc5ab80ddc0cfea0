// Identification, currency, date and event records.
#include "AuditTestSupport.h"

#include <QtTest>

using namespace audit::test;

class IdEventWriters : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes() { checkWriterRow(); }
    void bitNumberBeyond30FailsTheLine();
};

namespace {

// Event log entry j of a ring at offset 10: minute, hour, day, month, year, code, detail.
Data &entry(Data &log, int j, std::initializer_list<int> bytes)
{
    return log.b(10 + 7 * j, bytes);
}

QByteArrayList bare(int count)
{
    return QByteArrayList(count, "EA1*");
}

// Counter tables at 10 (16-bit) and 60 (8-bit); state bytes at 100.
const Data counters = Data(128).w(12, 300).b(61, 7).t(100, 0x400001).b(103, 0xFF).b(112, 1);

} // namespace

void IdEventWriters::writes_data()
{
    addWriterColumns();
    const auto row = writerRow;

    row("EA1 over an all-zero ring", Data(128), "EA1,0,10", bare(15));
    Data newestFirst(128);
    entry(newestFirst, 0, {5, 14, 3, 7, 24, 1, 0});
    entry(newestFirst, 14, {0, 0, 31, 12, 99, 144, 7});
    entry(newestFirst, 1, {4, 3, 2, 1, 25, 145, 10});
    row("EA1 newest index 0 runs 0, 14, 13 ... 1", newestFirst, "EA1,0,10",
        QByteArrayList{"EA1*EAR*240703*140500", "EA1*ECQ_O05P02*991231*000000"} + bare(12) +
            QByteArrayList{"EA1*EJB_A23*250102*030400"});
    Data codes = Data(128).b(0, 2);
    entry(codes, 2, {1, 2, 3, 4, 5, 0, 3});
    entry(codes, 1, {1, 2, 3, 4, 5, 150, 1});
    entry(codes, 0, {0, 0, 0, 0, 0, 146, 47});
    entry(codes, 14, {0, 0, 0, 0, 0, 13, 0});
    entry(codes, 13, {0, 0, 0, 0, 0, 144, 50});
    row("EA1 codes: 0 with a detail, above 146, 146, empty name, detail past the table", codes,
        "EA1,0,10",
        QByteArrayList{"EA1*ECM*050403*020100", "EA1*", "EA1*EJB_B68*000000*000000",
                       "EA1**000000*000000", "EA1*ECQ*000000*000000"} +
            bare(10));

    row("EA2", counters, "EA2,10,60,1", {"EA2*EAR*7*300"});
    row("EA2 empty event name", counters, "EA2,10,60,13", {"EA2**0*0"});
    row("EA2 event number past the table and the image", counters, "EA2,10,60,2000", {"EA2**0*0"});
    row("EA2_BIT bit 0", counters, "EA2_BIT,10,60,100,1,0", {"EA2*EAR*7*300*1"});
    row("EA2_BIT bit 1 clear", counters, "EA2_BIT,10,60,100,1,1", {"EA2*EAR*7*300*0"});
    row("EA2_BIT bit 22", counters, "EA2_BIT,10,60,100,1,22", {"EA2*EAR*7*300*1"});
    row("EA2_BIT bit 24 is past the 24-bit value", counters, "EA2_BIT,10,60,100,1,24",
        {"EA2*EAR*7*300*0"});
    row("EA2_BIT bit 30", counters, "EA2_BIT,10,60,100,1,30", {"EA2*EAR*7*300*0"});
    row("EA2_BIT negative bit number keeps no bit", counters, "EA2_BIT,10,60,100,1,-1",
        {"EA2*EAR*7*300*0"});
    row("EA2_BIT state outside the image writes the fallback", counters, "EA2_BIT,10,60,5000,1,31",
        {"EA2*EAR*7*300"});
    row("EA2_BYTE two zero bytes", counters, "EA2_BYTE,10,60,110,1,2", {"EA2*EAR*7*300*0"});
    row("EA2_BYTE third byte set", counters, "EA2_BYTE,10,60,110,1,3", {"EA2*EAR*7*300*1"});
    row("EA2_BYTE count 0", counters, "EA2_BYTE,10,60,112,1,0", {"EA2*EAR*7*300*0"});
    row("EA2_BYTE negative count", counters, "EA2_BYTE,10,60,112,1,-5", {"EA2*EAR*7*300*0"});
    row("EA2_BYTE counter table outside writes the fallback", counters, "EA2_BYTE,10,6000,112,1,3",
        {"EA2*EAR*0*300"});

    const Data stamps = Data().w(0, 1234).b(2, {24, 7, 3, 14, 5}).b(10, {1, 2, 3, 4, 25});
    row("EA3 stamp bytes falling", stamps, "EA3,0,2,3,4,5,6,10",
        {"EA3*1234*240703*1405**250403*0201"});
    row("EA3_ writes the same", stamps, "EA3_,0,2,3,4,5,6,10",
        {"EA3*1234*240703*1405**250403*0201"});
    row("EA6 stamp bytes rising", stamps, "EA6,10", {"EA6*010203*0425"});
    row("EA7", Data().w(0, 5).w(2, 6), "EA7,0,2", {"EA7*5*6"});
    const Data ea7 = Data().b(0, 0x04).w(1, 5).w(3, 6);
    row("EA7_ with the flag", ea7, "EA7_,0,1,3", {"EA7*5*6"});
    row("EA7_ without the flag", Data(ea7).b(0, 0), "EA7_,0,1,3", {"EA7**6"});

    // Number, model, variant, option, a byte, a word, payment, a word.
    const Data id1 = Data().t(0, 123456).b(3, 1).b(4, 1).b(5, 2).b(6, 9).w(7, 4321).w(10, 77);
    const QByteArray id1Line = "ID1,0,3,4,5,6,7,9,10";
    row("ID1 MQA with variant E and option F", id1, id1Line, {"ID1*123456*MQAEF*9*4321*Coin*77"});
    row("ID1 MQD has no variant", Data(id1).b(3, 4), id1Line, {"ID1*123456*MQD*9*4321*Coin*77"});
    row("ID1 MQF variant I without option", Data(id1).b(3, 6).b(4, 3).b(5, 1), id1Line,
        {"ID1*123456*MQFI*9*4321*Coin*77"});
    row("ID1 unknown model", Data(id1).b(3, 5), id1Line, {"ID1*123456**9*4321*Coin*77"});
    row("ID1 payment 2", Data(id1).b(9, 2), id1Line, {"ID1*123456*MQAEF*9*4321*Exe *77"});
    row("ID1 payment 4", Data(id1).b(9, 4), id1Line, {"ID1*123456*MQAEF*9*4321*MDB *77"});
    row("ID1 payment 5 leaves the element out", Data(id1).b(9, 5), id1Line,
        {"ID1*123456*MQAEF*9*4321*77"});
    const Data id1_ = Data().t(0, 123456).b(3, 9).w(4, 4321).t(7, 99);
    row("ID1_ payment 0", id1_, "ID1_,0,3,4,6,7", {"ID1*123456**9*4321*Tokn*99"});
    row("ID1_ payment 3", Data(id1_).b(6, 3), "ID1_,0,3,4,6,7", {"ID1*123456**9*4321*MDB *99"});
    row("ID1_ payment 4 is empty", Data(id1_).b(6, 4), "ID1_,0,3,4,6,7",
        {"ID1*123456**9*4321**99"});
    const Data id4 = Data().b(0, 0x06).w(1, 1978).b(3, 0x19).b(4, 0x78);
    row("ID4 978 from the word and from the code bytes", id4, "ID4,0,1,3", {"ID4*2*978*978"});
    row("ID4 code byte 0x29 has no third element", Data(id4).b(3, 0x29), "ID4,0,1,3",
        {"ID4*2*978"});
    row("ID4_ keeps the whole word", id4, "ID4_,0,1,3", {"ID4*2*1978*978"});
    const Data id5 = Data().b(0, 24).b(1, 7).b(2, 3).b(3, 14).b(4, 5);
    row("ID5", id5, "ID5,0,1,2,3,4", {"ID5*240703*1405"});
    row("ID5_ year 124 is 00", Data(id5).b(0, 124), "ID5_,0,1,2,3,4", {"ID5*000703*1405"});

    const QByteArray peripheral = raw("ABCSERIAL-00001MODEL-XYZ-01\x01\x02");
    const QByteArray peripheralText = "ABC*SERIAL-00001*MODEL-XYZ-01*0102";
    row("ID7 with only the second block is number 1", Data(128).b(0, 4).s(40, peripheral),
        "ID7,0,10,40,70", {"ID7*1**" + peripheralText});
    row("ID7 with three blocks",
        Data(128).b(0, 4).s(10, peripheral).s(40, peripheral).s(70, peripheral), "ID7,0,10,40,70",
        {"ID7*1**" + peripheralText, "ID7*2**" + peripheralText, "ID7*3**" + peripheralText});
    row("ID7 other type", Data(128).s(40, peripheral), "ID7,0,10,40,70", {"ID7*0"});
    row("ID7 no block", Data(128).b(0, 4), "ID7,0,10,40,70", {});
}

void IdEventWriters::bitNumberBeyond30FailsTheLine()
{
    const Converted out = convert(counters, "EA2_BIT,10,60,100,1,31\nEA2,10,60,1\n");
    QCOMPARE(out.records, crlf({"EA2*EAR*7*300"}));
    QCOMPARE(out.failedLines, QList<int>{1});
}

QTEST_GUILESS_MAIN(IdEventWriters)
#include "tst_IdEventWriters.moc"
