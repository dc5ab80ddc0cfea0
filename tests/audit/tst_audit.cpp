// Record writers, script lines, random inputs and the conversion run end to end on temporary
// files (the station's run and the built evadts-convert program). Each writer row converts
// script lines over data bytes and expects every line written. A flag-clear or other-type
// variant mostly points p0 at the data's last byte, a zero.
#include "AddressTable.h"
#include "AuditImage.h"
#include "ConversionRun.h"
#include "Dispatcher.h"
#include "Files.h"
#include "Rows.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace audit::test {

// Data bytes of an audit image: zeros, with values placed little-endian at data offsets.
class Data
{
public:
    explicit Data(int size = 64) : m_bytes(size, '\0') {}

    template <typename... V> Data &b(int at, V... values) { return put(at, {values...}, 1); }
    template <typename... V> Data &w(int at, V... values) { return put(at, {values...}, 2); }
    template <typename... V> Data &t(int at, V... values) { return put(at, {values...}, 3); }
    Data &s(int at, const QByteArray &text)
    {
        m_bytes.replace(at, text.size(), text);
        return *this;
    }
    operator QByteArray() const { return m_bytes; }

private:
    // Consecutive values of a width, from at on.
    Data &put(int at, std::initializer_list<int> values, int width)
    {
        for (int value : values)
            for (int i = 0; i < width; ++i)
                m_bytes[at++] = char((value >> (8 * i)) & 0xFF);
        return *this;
    }
    QByteArray m_bytes;
};

// A string literal with its embedded zero bytes.
template <int N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// Conversion tables: data bytes, a script and an address table give exactly these record
// lines and these failed script lines.
using Conversion = Rows<QByteArray, QByteArray, QByteArrayList, QList<int>, QByteArray>;

inline void row(const char *name, const QByteArray &data, const QByteArray &script,
                const QByteArrayList &expected, const QList<int> &failed = {},
                const QByteArray &addresses = {})
{
    Conversion::add(name, data, script, expected, failed, addresses);
}

// Converts the row's script over its framed data, as the station does.
inline void checkConversionRow()
{
    const auto [data, script, expected, failed, addresses] = Conversion::fetch();
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const ConversionResult result =
        Convert({script, addresses}, AuditImage(*FrameAuditData(data)), out);
    QByteArray lines;
    for (const QByteArray &line : expected)
        lines += line + "\r\n";
    QCOMPARE(out.data().split('\n'), lines.split('\n')); // a difference names its line
    QCOMPARE(result.failedLines, failed);
}

} // namespace audit::test

using namespace audit;
using namespace audit::test;

static void cashRows()
{
    // Device number and model with trailing blanks; revision bytes 0x1C and 0xA5 in BCD.
    const QByteArray block = raw("CHANGER-42     TYPE-7 CC   \x1C\xA5");
    const QByteArray id = "CHANGER-42     *TYPE-7 CC   *112105";

    row("CA1 keeps zero bytes in its 15 and 12 characters; a block starting with 0 is 0",
        Data().s(0, "COINMECH 123").s(15, "MODEL-A").b(27, 0x0C, 0x07).s(41, "X"), "CA1,0\nCA1,40",
        {raw("CA1*COINMECH 123\0\0\0*MODEL-A\0\0\0\0\0*1207"), "CA1*0"});
    row("CA1_ needs bit 2 of p0 and bit 4 of p1", Data().b(0, 0x04, 0x10, 0x03, 0x08).s(32, block),
        "CA1_,0,1,32\nCA1_,0,3,32\nCA1_,2,1,32", {"CA1*" + id, "CA1*0", "CA1*0"});
    row("CA2 at the widths' limits", Data().t(0, 16777215).t(3, 1).w(6, 65535), "CA2,0,3,6,8",
        {"CA2*16777215*1*65535*0"});
    row("CA2_ with the flag, nothing without", Data().b(0, 0x04).t(1, 70000).w(4, 300).w(6, 2),
        "CA2_,0,1,4,6\nCA2_,63,1,4,6", {"CA2*70000**300*2"});
    row("CA3 sum reaching 16777216 saturates, one below does not",
        Data().t(0, 16777200, 16, 1, 2, 3, 4, 5, 6, 14),
        "CA3,0,3,6,9,12,15,18,21\nCA3,0,24,6,9,12,15,18,21",
        {"CA3*16777215*1*2*3**4*5*6", "CA3*16777214*1*2*3**4*5*6"});

    const Data counters = Data().b(0, 0x04).t(1, 11, 22, 33, 44, 55);
    row("CA3_ with and without the flag", counters, "CA3_,0,1,4,7,10,13\nCA3_,63,1,4,7,10,13",
        {"CA3**11*22*33**44*55", "CA3***22"});
    row("CA4, CA4_ with and without the flag", counters,
        "CA4,1,4,7,10\nCA4_,0,1,4,7,10\nCA4_,63,1,4,7,10",
        {"CA4*11*22*33*44", "CA4*11*22*33*44", "CA4*11*22"});
    row("CA8, CA8_ with and without the flag", counters, "CA8,1,4\nCA8_,0,1,4\nCA8_,63,1,4",
        {"CA8*11*22", "CA8*11*22", "CA8*11"});
    row("CA9, CA9_ with the flag, nothing without", counters, "CA9,1,4\nCA9_,0,1\nCA9_,63,1",
        {"CA9*11*22", "CA9*11"});
    row("CA10, CA10_ with and without the flag", counters, "CA10,1,4\nCA10_,0,1,4\nCA10_,63,1,4",
        {"CA10*11*22", "CA10*11*22", "CA10*11"});
    row("DA4, DA4_ with and without the flag", counters, "DA4,1,4\nDA4_,0,1,4\nDA4_,63,1,4",
        {"DA4*11*22", "DA4*11*22", "DA4**22"});
    row("DA5, DA5_ with the flag, nothing without", counters, "DA5,1,4\nDA5_,0,1,4\nDA5_,63,1,4",
        {"DA5*11**22", "DA5*11**22"});

    row("CA7 never goes below 0", Data().t(0, 100, 30, 20, 5, 10, 1), "CA7,0,3,6,9,12,15",
        {"CA7*50*0"});
    row("CA7_ subtracts both counters, one with p3 = -1, none without the flag",
        Data().b(0, 0x04).t(1, 100, 30, 20), "CA7_,0,1,4,7\nCA7_,0,1,4,-1\nCA7_,63,1,4,7",
        {"CA7*50", "CA7*70", "CA7*100"});

    // Type 4 at 5; coin bytes at 20, factor at 24; coin words at 10; counters at 30 to 60.
    row("CA11 coin value from the word table, and coin byte times factor for type 4",
        Data(128).b(5, 4).w(14, 50).b(22, 6).b(24, 10).w(34, 12).w(44, 20).t(56, 1000).t(66, 400),
        "CA11,0,10,20,24,30,40,50,60,2\nCA11,5,10,20,24,30,40,50,60,2",
        {"CA11*50*12*20*0*1000*400*600", "CA11*60*12*20*0*1000*400*600"});
    row("CA11 coin type 9 has value 0 but reads its counters",
        Data(128).w(28, 77).w(58, 9).w(62, 3).t(97, 500).t(107, 600), "CA11,0,10,0,0,40,44,70,80,9",
        {"CA11*0*9*3*6*500*600*0"});
    row("CA11_ type 3 uses the coin bytes, another type the word table",
        Data().b(0, 3).b(11, 4).b(20, 25).w(32, 8).w(42, 7),
        "CA11_,0,40,10,20,30,1\nCA11_,63,40,10,20,30,1", {"CA11*100*8", "CA11*7*8"});
    row("CA13 type 4; another type reads the word table, 0 for coin 8",
        Data(80).b(0, 4).b(10, 6).b(20, 5).w(30, 3).t(40, 70000).w(52, 200).w(66, 9),
        "CA13,0,50,10,20,30,40,0\nCA13,79,50,10,20,30,40,1\nCA13,79,50,10,20,30,40,8",
        {"CA13*30*3*70000", "CA13*200", "CA13*0"});
    row("CA14 needs type 4 at p0, CA14_ type 3 at p1",
        Data().b(0, 4, 3).b(11, 3).b(20, 7).w(32, 5).t(43, 9),
        "CA14,0,10,20,30,40,1\nCA14,63,10,20,30,40,1\nCA14_,0,1,10,20,30,1\nCA14_,0,0,10,20,30,1",
        {"CA14*21*5*9", "CA14*0", "CA14*21*5", "CA14*0"});

    // Counts 1, 2, 3 (coin 7), 4 (coin 8), 5 (coin 15); values 5, 10, 20, 50, 100; factor 2.
    Data tubes;
    tubes.b(0, 1).b(50, 2).b(60, 0x10, 0x04);
    tubes.b(10, 1, 2, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0, 5);
    tubes.b(30, 5, 10, 0, 0, 0, 0, 0, 20, 50, 0, 0, 0, 0, 0, 0, 100);
    row("CA15 mode 0 totals sixteen coins, another mode lists coins 8 to 15, flag 0", tubes,
        "CA15,0,10,30,50,0\nCA15,0,10,30,50,1\nCA15,63,10,30,50,0",
        {"CA15*1570*1*1*2*0*0*0*0*0*3", "CA15**2*4*0*0*0*0*0*0*5", "CA15*"});
    row("CA15_ with bit 4, nothing with bit 2", tubes, "CA15_,60,10,30,50\nCA15_,61,10,30,50",
        {"CA15*1570"});

    row("DA1 present and absent", Data().s(0, block), "DA1,0\nDA1,63", {"DA1*" + id, "DA1*0"});
    row("DA2 keeps every digit, DA2_ six, and without the flag only them",
        Data().b(0, 0x04).t(1, 5).t(4, 1234567).w(7, 9), "DA2,1,4,7\nDA2_,0,1,4,7\nDA2_,63,1,4,7",
        {"DA2*5**1234567*9", "DA2*5**234567*9", "DA2***234567"});
    row("TA1 and TA1_ write the block only when all their flags hold",
        Data().b(0, 0x04, 0x10, 1).s(3, block),
        "TA1,2,3\nTA1,63,3\nTA1_,0,1,2,3\nTA1_,63,1,2,3\nTA1_,0,1,63,3",
        {"TA1*" + id, "TA1*0", "TA1*" + id, "TA1*0", "TA1*0"});
    row("TA2, TA2_ with the flag, nothing without", Data().b(0, 0x04).t(1, 1, 2).w(7, 3, 4),
        "TA2,1,4,7,9\nTA2_,0,1,4,7,9\nTA2_,63,1,4,7,9", {"TA2*1*2*****3*4", "TA2*1*2*****3*4"});
    const Data tokens = Data().b(0, 0x04).t(1, 70000, 5);
    row("TA3 reads its first counter as 16-bit, TA3_ as 24-bit, 0 without the flag", tokens,
        "TA3,1,1\nTA3_,0,1,4\nTA3_,63,1,4", {"TA3*4464*70000", "TA3*70000*5", "TA3*0"});
    row("TA5, TA5_ with the flag, nothing without", tokens, "TA5,1,4\nTA5_,0,1,4\nTA5_,63,1,4",
        {"TA5*4464*5", "TA5*4464*5"});
    row("TA7 and TA7_ entry 2, 0 without the flag", Data().b(0, 0x04).w(14, 1).w(24, 2).t(36, 3),
        "TA7,10,20,30,2\nTA7_,0,10,20,30,2\nTA7_,63,10,20,30,2",
        {"TA7*1*2***3", "TA7*1*2***3", "TA7*0"});
    row("TA10 k = 0 is token 1, k = 3 token 4", Data().w(10, 55).w(16, 66), "TA10,10,0\nTA10,10,3",
        {"TA10*1*55", "TA10*4*66"});

    const Data vend = Data().t(0, 1, 2, 3, 1234567);
    row("VA1 and VA3 keep six digits of the last counter, their twins all", vend,
        "VA1,0,3,6,9\nVA1_,0,3,6,9\nVA3,0,3,9\nVA3_,9",
        {"VA1*1*2*3*234567", "VA1*1*2*3*1234567", "VA3**1*2*234567", "VA3****1234567"});
    row("VA2 and VA2_, which reads a word", vend, "VA2,0,3\nVA2_,9", {"VA2**1**2", "VA2****54919"});
}

namespace {

// Event log entry j of a ring at offset 10: minute, hour, day, month, year, code, detail.
template <typename... V> Data &entry(Data &log, int j, V... bytes)
{
    return log.b(10 + 7 * j, bytes...);
}

QByteArrayList bare(int count)
{
    return QByteArrayList(count, "EA1*");
}

} // namespace

static void idAndEventRows()
{
    row("EA1 over an all-zero ring", Data(128), "EA1,0,10", bare(15));
    Data newestFirst(128);
    entry(newestFirst, 0, 5, 14, 3, 7, 24, 1, 0);
    entry(newestFirst, 14, 0, 0, 31, 12, 99, 144, 7);
    entry(newestFirst, 1, 4, 3, 2, 1, 25, 145, 10);
    row("EA1 newest index 0 runs 0, 14, 13 ... 1", newestFirst, "EA1,0,10",
        QByteArrayList{"EA1*EAR*240703*140500", "EA1*ECQ_O05P02*991231*000000"} + bare(12) +
            QByteArrayList{"EA1*EJB_A23*250102*030400"});
    Data codes = Data(128).b(0, 2);
    entry(codes, 2, 1, 2, 3, 4, 5, 0, 3);
    entry(codes, 1, 1, 2, 3, 4, 5, 150, 1);
    entry(codes, 0, 0, 0, 0, 0, 0, 146, 47);
    entry(codes, 14, 0, 0, 0, 0, 0, 13, 0);
    entry(codes, 13, 0, 0, 0, 0, 0, 144, 50);
    row("EA1 codes: 0 with a detail, above 146, 146, empty name, detail past the table", codes,
        "EA1,0,10",
        QByteArrayList{"EA1*ECM*050403*020100", "EA1*", "EA1*EJB_B68*000000*000000",
                       "EA1**000000*000000", "EA1*ECQ*000000*000000"} +
            bare(10));

    // Counter tables at 10 (16-bit) and 60 (8-bit); state bytes at 100.
    const Data counters = Data(128).w(12, 300).b(61, 7).t(100, 0x400001).b(103, 0xFF).b(112, 1);
    row("EA2 event 1, empty event 13, event past the table and the image", counters,
        "EA2,10,60,1\nEA2,10,60,13\nEA2,10,60,2000", {"EA2*EAR*7*300", "EA2**0*0", "EA2**0*0"});
    row("EA2_BIT bits 0 and 22 set; 1, 24, 30 and -1 give 0", counters,
        "EA2_BIT,10,60,100,1,0\nEA2_BIT,10,60,100,1,22\nEA2_BIT,10,60,100,1,1\n"
        "EA2_BIT,10,60,100,1,24\nEA2_BIT,10,60,100,1,30\nEA2_BIT,10,60,100,1,-1",
        {"EA2*EAR*7*300*1", "EA2*EAR*7*300*1", "EA2*EAR*7*300*0", "EA2*EAR*7*300*0",
         "EA2*EAR*7*300*0", "EA2*EAR*7*300*0"});
    row("EA2_BIT state outside the image writes the fallback; bit 31 fails the line", counters,
        "EA2_BIT,10,60,5000,1,31\nEA2_BIT,10,60,100,1,31\nEA2,10,60,1",
        {"EA2*EAR*7*300", "EA2*EAR*7*300"}, {2});
    row("EA2_BYTE over zero bytes, a set byte, count 0 and -5; table outside: fallback", counters,
        "EA2_BYTE,10,60,110,1,2\nEA2_BYTE,10,60,110,1,3\nEA2_BYTE,10,60,112,1,0\n"
        "EA2_BYTE,10,60,112,1,-5\nEA2_BYTE,10,6000,112,1,3",
        {"EA2*EAR*7*300*0", "EA2*EAR*7*300*1", "EA2*EAR*7*300*0", "EA2*EAR*7*300*0",
         "EA2*EAR*0*300"});

    row("EA3 and EA3_ stamp bytes falling, EA6 rising",
        Data().w(0, 1234).b(2, 24, 7, 3, 14, 5).b(10, 1, 2, 3, 4, 25),
        "EA3,0,2,3,4,5,6,10\nEA3_,0,2,3,4,5,6,10\nEA6,10",
        {"EA3*1234*240703*1405**250403*0201", "EA3*1234*240703*1405**250403*0201",
         "EA6*010203*0425"});
    row("EA7, EA7_ with and without the flag", Data().b(0, 0x04).w(1, 5, 6),
        "EA7,1,3\nEA7_,0,1,3\nEA7_,63,1,3", {"EA7*5*6", "EA7*5*6", "EA7**6"});

    // Number, a byte, a word, a last number; models at 20, variants at 24, options at 26,
    // payments at 28.
    const Data id1 = Data().t(0, 123456).b(3, 9).w(4, 4321).t(7, 77).b(20, 1, 4, 6, 5, 1, 3, 2, 1,
                                                                       0, 2, 4, 5, 3);
    row("ID1 MQA with variant E and option F, MQD, MQF variant I, unknown model", id1,
        "ID1,0,20,24,26,3,4,28,7\nID1,0,21,24,26,3,4,28,7\nID1,0,22,25,27,3,4,28,7\n"
        "ID1,0,23,24,26,3,4,28,7",
        {"ID1*123456*MQAEF*9*4321*Coin*77", "ID1*123456*MQD*9*4321*Coin*77",
         "ID1*123456*MQFI*9*4321*Coin*77", "ID1*123456**9*4321*Coin*77"});
    row("ID1 payments 2 and 4; 5 leaves the element out", id1,
        "ID1,0,20,24,26,3,4,29,7\nID1,0,20,24,26,3,4,30,7\nID1,0,20,24,26,3,4,31,7",
        {"ID1*123456*MQAEF*9*4321*Exe *77", "ID1*123456*MQAEF*9*4321*MDB *77",
         "ID1*123456*MQAEF*9*4321*77"});
    row("ID1_ payments 0 and 3; 4 is empty", id1,
        "ID1_,0,3,4,28,7\nID1_,0,3,4,32,7\nID1_,0,3,4,30,7",
        {"ID1*123456**9*4321*Tokn*77", "ID1*123456**9*4321*MDB *77", "ID1*123456**9*4321**77"});
    row("ID4 978 from the word and the code bytes, none for code byte 0x29; ID4_ whole word",
        Data().b(0, 0x06).w(1, 1978).b(3, 0x19, 0x78, 0x29), "ID4,0,1,3\nID4,0,1,5\nID4_,0,1,3",
        {"ID4*2*978*978", "ID4*2*978", "ID4*2*1978*978"});
    row("ID5 and ID5_ with year 124 as 00", Data().b(0, 24, 7, 3, 14, 5, 124),
        "ID5,0,1,2,3,4\nID5_,5,1,2,3,4", {"ID5*240703*1405", "ID5*000703*1405"});

    const QByteArray peripheral = "ID7*1**ABC*SERIAL-00001*MODEL-XYZ-01*0102";
    const Data blocks = Data(128).b(0, 4).s(10, raw("ABCSERIAL-00001MODEL-XYZ-01\x01\x02"));
    row("ID7 with only the second block is number 1", blocks, "ID7,0,100,10,100", {peripheral});
    row("ID7 three blocks, another type, no block", blocks,
        "ID7,0,10,10,10\nID7,127,10,10,10\nID7,0,100,100,100",
        {peripheral, "ID7*2" + peripheral.mid(5), "ID7*3" + peripheral.mid(5), "ID7*0"});
}

namespace {

// Type bytes at 200 (V first), 203 (V second), 206 (4 first), 209 (W second), 212 (W third),
// product type 1 at 215; layout bytes 4 at 220 and 0 at 221; flag bytes 0x02, 0x01, 0 at 230.
QByteArray typed(Data data)
{
    return data.b(200, 3, 0, 0, 0, 3, 0, 4, 0, 0, 0, 4, 0, 0, 0, 4, 1).b(220, 4).b(230, 2, 1);
}

} // namespace

static void productRows()
{
    const Data pa1 = Data().b(0, 1).b(12, 3).w(50, 100).w(56, 250).b(60, 2, 1, 0x04);
    row("PA1 price through the price index, another type without, single price", pa1,
        "PA1,0,1,10,50,2\nPA1,60,1,10,50,2\nPA1,0,61,10,50,2",
        {"PA1*03*250", "PA1*03", "PA1*03*100"});
    row("PA1 products 0 and 29 are 01 and 30; 30 is past the table", pa1,
        "PA1,0,1,10,50,0\nPA1,0,1,10,50,29\nPA1,0,1,10,50,30",
        {"PA1*01*100", "PA1*30*100", "PA1**100"});
    row("PA1_ with and without the flag", pa1, "PA1_,62,1,10,50,2\nPA1_,0,1,10,50,2",
        {"PA1*03*250", "PA1*03"});

    // Price indices at 10, prices at 100; selection 9 (code 22) and 0 (code 11).
    Data prices(256);
    prices.b(19, 2).b(74, 1).b(83, 5).b(147, 7).w(100, 99, 130, 120, 0, 0, 150, 0, 180);
    row("PA1V index at p3 + k with layout 4, else + 64; V in either byte; single price; other",
        typed(prices),
        "PA1V,200,230,220,10,100,9\nPA1V,200,230,221,10,100,9\nPA1V,203,230,221,10,100,9\n"
        "PA1V,200,231,221,10,100,9\nPA1V,206,230,221,10,100,9",
        {"PA1*V22*120", "PA1*V22*150", "PA1*V22*150", "PA1*V22*99", "PA1*V22"});
    row("PA1W index at p3 + k + 64 with layout 4 (k = 0 too), else + 128; 4 first is no W",
        typed(prices),
        "PA1W,209,230,220,10,100,9\nPA1W,209,230,220,10,100,0\nPA1W,212,230,221,10,100,9\n"
        "PA1W,206,230,221,10,100,9",
        {"PA1*W22*150", "PA1*W11*130", "PA1*W22*180", "PA1*W22"});
    row("PA1V_ selection 47 is 68, without the flag, past the table",
        Data(128).b(0, 4).b(57, 1).w(102, 75),
        "PA1V_,0,1,10,100,47\nPA1V_,127,1,10,100,47\nPA1V_,0,1,10,100,48",
        {"PA1*S68*75", "PA1*S68", "PA1*S*0"});
    // Price indices 29, 30, 31 for selections 0, 1, 2; tables at 100 and 200.
    const Data pa1v50 =
        Data(256).b(0, 4).b(10, 29, 30, 31).b(20, 1).w(100, 5).w(158, 290).w(200, 300, 310);
    row("PA1V_50 price index 29 reads the first table, 30 and 31 the second", pa1v50,
        "PA1V_50,0,1,10,100,200,0\nPA1V_50,0,1,10,100,200,1\nPA1V_50,0,1,10,100,200,2",
        {"PA1*S11*290", "PA1*S12*300", "PA1*S13*310"});
    row("PA1V_50 single price, and without the flag", pa1v50,
        "PA1V_50,0,20,10,100,200,1\nPA1V_50,255,1,10,100,200,1", {"PA1*S12*5", "PA1*S12"});

    row("PA2, PA3, PA4 for type 1, nothing for another type",
        Data().b(0, 1).t(16, 70000).w(54, 300),
        "PA2,0,10,50,2\nPA3,0,10,50,2\nPA4,0,10,50,2\nPA2,63,10,50,2",
        {"PA2*70000**300", "PA3*70000**300", "PA4*70000**300"});
    row("PA2_, PA3_, PA4_, their V twins and PA10_ with the flag, nothing without",
        Data().b(0, 4).w(14, 42).b(60, 0x0B),
        "PA2_,0,10,2\nPA3_,0,10,2\nPA4_,0,10,2\nPA2V_,0,10,2\nPA3V_,0,10,2\nPA4V_,0,10,2\n"
        "PA10_,0,10,2\nPA2_,60,10,2",
        {"PA2***42", "PA3***42", "PA4***42", "PA2***42", "PA3***42", "PA4***42", "PA10***42"});

    // Selection 1; counts at 10 and values at 20, then 672 and 368 further on, then again.
    const QByteArray layouts =
        typed(Data(2048).t(13, 111).w(22, 222).t(685, 333).w(390, 444).t(1357, 555).w(758, 666));
    row("PA2V, PA3V, PA4V with layout 4, PA2V with another; other type", layouts,
        "PA2V,200,220,10,20,1\nPA3V,200,220,10,20,1\nPA4V,200,220,10,20,1\n"
        "PA2V,203,221,10,20,1\nPA2V,206,220,10,20,1",
        {"PA2*111**222", "PA3*111**222", "PA4*111**222", "PA2*333**444"});
    row("PA2W with layout 4 reads past the V tables; PA2W, PA3W, PA4W with another; other type",
        layouts,
        "PA2W,209,220,10,20,1\nPA2W,212,221,10,20,1\nPA3W,212,221,10,20,1\n"
        "PA4W,212,221,10,20,1\nPA2W,206,221,10,20,1",
        {"PA2*333**444", "PA2*555**666", "PA3*555**666", "PA4*555**666"});

    // Dates at 10 and times at 20 for product 1, then again 672 and 1344 further on.
    Data lastSale(2048);
    lastSale.b(13, 24, 7, 3).b(22, 14, 5).b(685, 99, 12, 31).b(694, 23, 59);
    lastSale.b(1357, 1, 2, 3).b(1366, 4, 5);
    row("PA5 for type 1; nothing with bit 1 clear or another type", typed(lastSale),
        "PA5,215,230,10,20,1\nPA5,215,231,10,20,1\nPA5,200,230,10,20,1", {"PA5*240703*1405"});
    row("PA5V with layout 4 and another; nothing with bit 1 clear", typed(lastSale),
        "PA5V,200,230,220,10,20,1\nPA5V,200,230,221,10,20,1\nPA5V,200,231,221,10,20,1",
        {"PA5*240703*1405", "PA5*991231*2359"});
    row("PA5W with layout 4 and another; nothing for another type", typed(lastSale),
        "PA5W,209,230,220,10,20,1\nPA5W,212,230,221,10,20,1\nPA5W,200,230,221,10,20,1",
        {"PA5*991231*2359", "PA5*010203*0405"});

    row("PA6 steps three bytes a product, nothing for another type", Data().b(0, 1).w(16, 77),
        "PA6,0,10,2\nPA6,63,10,2", {"PA6******77"});
    row("PA11, PA11_ with and without the flag", Data().b(0, 4).t(1, 70000),
        "PA11,1\nPA11_,0,1\nPA11_,63,1", {"PA11*70000", "PA11*70000", "PA11*"});

    // Flag at 0, grains at 10, box levels at 10, stamp bytes 1 to 5 at 40, box count 2 at 50.
    const Data boxes = Data(128).b(0, 1).t(10, 500).t(13, 4321).b(40, 1, 2, 3, 4, 5).b(50, 2);
    const QByteArray stamp = "040500030201";
    row("SA1 box 2; k at the box count names the box alone; flag 0", boxes,
        "SA1,0,10,40,50,1\nSA1,0,10,40,50,2\nSA1,127,10,40,50,1",
        {"SA1*BOX 2*4321****" + stamp, "SA1*BOX 3*", "SA1*BOX 2*0****" + stamp});
    row("SA1G with its flag and with flag 0, SA1B", boxes,
        "SA1G,0,10,40\nSA1G,127,10,40\nSA1B,0,10,40",
        {"SA1*GRAINS*500*" + stamp, "SA1*GRAINS*0*" + stamp, "SA1*CUP*500*" + stamp});
    // Levels of selection 3 at 13, 69 and 125.
    const QByteArray levels = typed(Data(256).b(13, 9).b(69, 8).b(125, 7).b(40, 1, 2, 3, 4, 5));
    row("SA1V with layout 4 and another, flag 0, another type", levels,
        "SA1V,200,230,220,10,40,3\nSA1V,203,230,221,10,40,3\nSA1V,200,232,220,10,40,3\n"
        "SA1V,206,230,220,10,40,3",
        {"SA1*V14*9****" + stamp, "SA1*V14*8****" + stamp, "SA1*V14*0****" + stamp});
    row("SA1W with layout 4 and another, another type", levels,
        "SA1W,209,230,220,10,40,3\nSA1W,212,230,221,10,40,3\nSA1W,200,230,221,10,40,3",
        {"SA1*W14*8****" + stamp, "SA1*W14*7****" + stamp});
}

static void decodingRows()
{
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

class AuditTest : public QObject
{
    Q_OBJECT

private slots:
    void converts_data()
    {
        Conversion::table();
        cashRows();
        idAndEventRows();
        productRows();
        decodingRows();
    }
    void converts() { checkConversionRow(); }
    void resolvesParameters_data();
    void resolvesParameters();
    // Random scripts, address tables and images: nothing may crash or read outside the image
    // (run under the sanitizers to see the latter), and every run must be reproducible.
    void randomInputs();
    void initTestCase();
    void runs_data();
    void runs();
    void convertsOnTheCommandLine_data();
    void convertsOnTheCommandLine();

private:
    QTemporaryDir m_dir; // the command line's files
};

namespace {
constexpr int Fails = 99999; // no parameter can hold it
}

using Parameter = Rows<QByteArray, QByteArray, int>; // field, address table, value

void AuditTest::resolvesParameters_data()
{
    const auto row = Parameter::table();
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

void AuditTest::resolvesParameters()
{
    const auto [field, addresses, expected] = Parameter::fetch();
    const std::optional<qint16> value = ResolveAddress(field, AddressTable::fromText(addresses));
    QCOMPARE(value ? int(*value) : Fails, expected);
}

namespace {

const QByteArrayList Names = {"CASH", "COIN", " BLANK ", "", "LOG", "PRICE", "x"};
// Huge and odd parameters: index parameters are not range-checked, so these reach the reads.
const QByteArrayList Extremes = {"32767", "-32768",     "&HFFFF", "&H7FFF", "-1",
                                 "40000", "1e400",      "12.5",   "&H",     " - 3 ",
                                 ".",     "&HFFFFFFFF", "1e",     "-"};
QRandomGenerator random(20240611);

int below(int n)
{
    return int(random.bounded(n));
}

QByteArray bytes(int maxSize)
{
    QByteArray data(below(maxSize + 1), '\0');
    for (char &c : data)
        c = char(below(256));
    return data;
}

QByteArray parameter()
{
    const int kind = below(5);
    return kind == 0   ? Extremes[below(Extremes.size())]
           : kind == 1 ? Names[below(Names.size())]
           : kind == 2 ? bytes(6).replace(',', ';').replace('\n', ' ')
                       : QByteArray::number(below(700) - 50);
}

// Scripts: a keyword (now and then random bytes) and 0 to 11 random fields a line. Address
// tables: a name, mostly with a value. One line in fifteen is empty.
QByteArray text(int maxLines, bool script)
{
    const auto keywords = DispatchTable();
    QByteArray text;
    for (int lines = below(maxLines + 1); lines > 0; --lines) {
        QByteArray line;
        if (below(15) > 0) {
            line = !script          ? Names[below(Names.size())]
                   : below(10) == 0 ? bytes(12).replace('\n', ' ')
                                    : keywords[below(int(keywords.size()))].name.toByteArray();
            for (int fields = script ? below(12) : int(below(8) > 0); fields > 0; --fields)
                line += ',' + parameter();
        }
        text += line + (below(2) ? "\r\n" : "\n");
    }
    return text;
}

// Keeps every write apart, so that each record line can be checked whole even when the
// image's characters hold line breaks.
class LineRecorder : public QIODevice
{
public:
    LineRecorder() { open(QIODevice::WriteOnly); }
    QByteArrayList lines;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        lines.append(QByteArray(data, size));
        return size;
    }
};

} // namespace

void AuditTest::randomInputs()
{
    const QByteArrayList recordIds = {"CA", "DA", "EA", "ID", "PA", "SA", "TA", "VA"};
    for (int run = 0; run < 1500; ++run) {
        const ConversionScripts scripts{text(30, true), text(8, false)};
        const QByteArray image = bytes(700);
        // The length is normally the image's size; now and then it claims more or less.
        const AuditImage audit(image, below(4) == 0 ? below(1000) : qint32(image.size()));

        LineRecorder first;
        LineRecorder second;
        const QList<int> failed = Convert(scripts, audit, first).failedLines;
        QCOMPARE(Convert(scripts, audit, second).failedLines, failed);
        QCOMPARE(second.lines, first.lines);
        for (int line : failed)
            QVERIFY(line >= 1 && line <= scripts.script.count('\n'));
        for (const QByteArray &record : first.lines) {
            QVERIFY2(recordIds.contains(record.left(2)), record.constData());
            QVERIFY(record.endsWith("\r\n"));
        }
    }
}

namespace {

constexpr auto Converted = ConversionResult::Outcome::Converted;
constexpr auto FileError = ConversionResult::Outcome::FileError;

// The example data with a device block whose characters use the upper half of the code page.
// The block runs on into the sum word 707 (C3 02) and past the end of the image.
const QByteArray ImageData = QByteArray::fromHex("34120010000005000200") + raw("\xE9t\xE9\0 ");
const QByteArray Records = raw("CA2*4660*16*5*2\r\nDA1*\xE9t\xE9\0 \xC3\x02\0\0\0\0\0\0\0\0*"
                               "\0\0\0\0\0\0\0\0\0\0\0\0*0000\r\n");

int openFileCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

void AuditTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QByteArray badLength = *FrameAuditData(ImageData);
    badLength[0] = char(badLength[0] + 1);
    for (const auto &[name, bytes] :
         {std::pair<QString, QByteArray>{"decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n"},
          {"failing-lf.asm", "CA2,CASH,3,6,8\n\nCA8,1\nDA1,BLOCK"},
          {"address.asm", "CASH,0\r\nBLOCK,10\r\n"},
          {"image.bin", *FrameAuditData(ImageData)},
          {"raw.bin", ImageData},
          {"bad-length.bin", badLength},
          {"short.bin", "\x03"}})
        QVERIFY(writeFile(m_dir.filePath(name), bytes));
}

// The script (empty: no "decod.asm" in the folder), the address table (empty: no
// "address.asm"), the length passed in, the output file; the outcome, failed lines, records.
using Run = Rows<QByteArray, QByteArray, qint32, QString, ConversionResult::Outcome, QList<int>,
                 QByteArray>;

void AuditTest::runs_data()
{
    const auto row = Run::table();

    const QByteArray script = "CA2,CASH,3,6,8\r\nCA8,0,3\r\n";
    const QByteArray cash = "CASH,0\r\n";
    const QByteArray records = "CA2*4660*16*5*2\r\nCA8*4660*16\r\n";
    const qint32 whole = 14; // the framed example's size
    const QString out = QStringLiteral("out.txt");
    row("every line converted", script, cash, whole, out, Converted, {}, records);
    row("failed lines are listed, the others written", "CA2,CASH,3,6,8\r\n\r\nCA8,0\r\nCA8,0,3\r\n",
        cash, whole, out, ConversionResult::Outcome::LinesFailed, {2, 3}, records);
    row("length 0 passed in skips addressed lines, a negative address passes",
        "CA8,0,0\r\nVA2_,-1\r\n", cash, 0, out, Converted, {}, "VA2****13312\r\n");
    row("no decod.asm", {}, cash, whole, out, FileError, {}, {});
    row("output folder missing", script, cash, whole, "missing/out.txt", FileError, {}, {});
}

void AuditTest::runs()
{
    const auto [script, addresses, length, output, outcome, failed, records] = Run::fetch();
    QTemporaryDir folder;
    for (const auto &[name, bytes] : {std::pair{"decod.asm", script}, {"address.asm", addresses}})
        QVERIFY(bytes.isEmpty() || writeFile(folder.filePath(name), bytes));
    const QString outPath = folder.filePath(output);

    const int filesBefore = openFileCount();
    const ConversionResult result = RunAuditConversion(
        folder.path(), *FrameAuditData(QByteArray::fromHex("34120010000005000200")), length,
        outPath);
    QCOMPARE(openFileCount(), filesBefore); // every path closes what it opened

    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.failedLines, failed);
    QCOMPARE(result.fileError.isEmpty(), outcome != FileError);
    QFile written(outPath);
    QCOMPARE(written.exists(), outcome != FileError);
    if (written.open(QIODevice::ReadOnly))
        QCOMPARE(written.readAll(), records);
}

// The arguments (file names resolve in the test folder), the exit code, the records on
// standard output or in "out.txt" when given, and text standard error must hold.
using Command = Rows<QStringList, int, QByteArray, QString>;

void AuditTest::convertsOnTheCommandLine_data()
{
    const auto row = Command::table();

    const QStringList scripts = {"--script", "decod.asm", "--address", "address.asm"};
    const QStringList image = {"--image", "image.bin"};
    row("records on standard output", scripts + image, 0, Records, "");
    row("records into --output", scripts + image + QStringList{"--output", "out.txt"}, 0, Records,
        "");
    row("--data frames bare bytes", scripts + QStringList{"--data", "raw.bin"}, 0, Records, "");
    row("LF script without a final ending: failed lines exit 1 and are listed",
        QStringList{"--script", "failing-lf.asm", "--address", "address.asm"} + image, 1, Records,
        "failed script lines: 2 3\n");
    row("length word disagreeing with the size", scripts + QStringList{"--image", "bad-length.bin"},
        2, {}, "the length word says 20 bytes but the image has 19");
    row("image shorter than its frame", scripts + QStringList{"--image", "short.bin"}, 2, {},
        "shorter than the length and sum words");
    row("missing script file",
        QStringList{"--script", "none.asm", "--address", "address.asm"} + image, 2, {},
        "cannot read");
    row("no --address", QStringList{"--script", "decod.asm"} + image, 2, {},
        "--script and --address are required");
}

void AuditTest::convertsOnTheCommandLine()
{
    const auto [arguments, exitCode, records, error] = Command::fetch();
    QFile::remove(m_dir.filePath(QStringLiteral("out.txt")));

    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(EVADTS_CONVERT), arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString standardError = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(standardError.contains(error), qPrintable(standardError));
    QCOMPARE(standardError.isEmpty(), error.isEmpty());

    QByteArray written = process.readAllStandardOutput();
    if (arguments.contains(QStringLiteral("--output"))) {
        QCOMPARE(written, QByteArray());
        QFile out(m_dir.filePath(QStringLiteral("out.txt")));
        QVERIFY(out.open(QIODevice::ReadOnly));
        written = out.readAll();
    }
    QCOMPARE(written, records);
}

QTEST_GUILESS_MAIN(AuditTest)
#include "tst_audit.moc"
