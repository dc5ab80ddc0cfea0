// Coin mechanism, cash, cashless device, token and vend value records.
#include "AuditTestSupport.h"

#include <QtTest>

using namespace audit::test;

class CashWriters : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes() { checkWriterRow(); }
};

void CashWriters::writes_data()
{
    addWriterColumns();
    const auto row = writerRow;
    // Device number and model with trailing blanks, software revision 0x12 0x34.
    const QByteArray block = raw("CHANGER-42     TYPE-7 CC   \x12\x34");
    const QByteArray id = "CHANGER-42     *TYPE-7 CC   *1234";

    row("CA1 block keeps zero bytes in its 15 and 12 characters",
        Data().s(0, "COINMECH 123").s(15, "MODEL-A").b(27, 0x01).b(28, 0x23), "CA1,0",
        {raw("CA1*COINMECH 123\0\0\0*MODEL-A\0\0\0\0\0*0123")});
    row("CA1 block starting with a zero byte", Data().s(1, "X"), "CA1,0", {"CA1*0"});
    row("CA1_ with bit 2 and bit 4", Data().b(0, 0x04).b(1, 0x10).s(32, block), "CA1_,0,1,32",
        {"CA1*" + id});
    row("CA1_ without bit 4", Data().b(0, 0x04).b(1, 0x08).s(32, block), "CA1_,0,1,32", {"CA1*0"});
    row("CA1_ without bit 2", Data().b(0, 0x03).b(1, 0x10).s(32, block), "CA1_,0,1,32", {"CA1*0"});
    row("CA2 at the widths' limits", Data().t(0, 16777215).t(3, 1).w(6, 65535), "CA2,0,3,6,8",
        {"CA2*16777215*1*65535*0"});
    const Data ca2 = Data().b(0, 0x04).t(1, 70000).w(4, 300).w(6, 2);
    row("CA2_ with the flag", ca2, "CA2_,0,1,4,6", {"CA2*70000**300*2"});
    row("CA2_ without the flag writes nothing", Data(ca2).b(0, 0xFB), "CA2_,0,1,4,6", {});

    auto ca3 = [](int first, int second) {
        return Data().t(0, first).t(3, second).t(6, 1).t(9, 2).t(12, 3).t(15, 4).t(18, 5).t(21, 6);
    };
    row("CA3 sum reaching 16777216 saturates", ca3(16777200, 16), "CA3,0,3,6,9,12,15,18,21",
        {"CA3*16777215*1*2*3**4*5*6"});
    row("CA3 sum below the limit", ca3(16777200, 14), "CA3,0,3,6,9,12,15,18,21",
        {"CA3*16777214*1*2*3**4*5*6"});
    const Data counters = Data().b(0, 0x04).t(1, 11).t(4, 22).t(7, 33).t(10, 44).t(13, 55);
    const Data noFlag = Data(counters).b(0, 0);
    row("CA3_ with the flag", counters, "CA3_,0,1,4,7,10,13", {"CA3**11*22*33**44*55"});
    row("CA3_ without the flag", noFlag, "CA3_,0,1,4,7,10,13", {"CA3***22"});
    row("CA4", counters, "CA4,1,4,7,10", {"CA4*11*22*33*44"});
    row("CA4_ with the flag", counters, "CA4_,0,1,4,7,10", {"CA4*11*22*33*44"});
    row("CA4_ without the flag", noFlag, "CA4_,0,1,4,7,10", {"CA4*11*22"});

    row("CA7 never goes below 0", Data().t(0, 100).t(3, 30).t(6, 20).t(9, 5).t(12, 10).t(15, 1),
        "CA7,0,3,6,9,12,15", {"CA7*50*0"});
    const Data ca7 = Data().b(0, 0x04).t(1, 100).t(4, 30).t(7, 20);
    row("CA7_ subtracts both counters", ca7, "CA7_,0,1,4,7", {"CA7*50"});
    row("CA7_ with p3 = -1 has no third counter", ca7, "CA7_,0,1,4,-1", {"CA7*70"});
    row("CA7_ without the flag", Data(ca7).b(0, 0), "CA7_,0,1,4,7", {"CA7*100"});
    row("CA8", counters, "CA8,1,4", {"CA8*11*22"});
    row("CA8_ with the flag", counters, "CA8_,0,1,4", {"CA8*11*22"});
    row("CA8_ without the flag", noFlag, "CA8_,0,1,4", {"CA8*11"});
    row("CA9", counters, "CA9,1,4", {"CA9*11*22"});
    row("CA9_ with the flag", counters, "CA9_,0,1", {"CA9*11"});
    row("CA9_ without the flag writes nothing", noFlag, "CA9_,0,1", {});
    row("CA10", counters, "CA10,1,4", {"CA10*11*22"});
    row("CA10_ with the flag", counters, "CA10_,0,1,4", {"CA10*11*22"});
    row("CA10_ without the flag", noFlag, "CA10_,0,1,4", {"CA10*11"});

    const Data coins = Data(128).w(14, 50).w(34, 12).w(44, 20).t(56, 1000).t(66, 400);
    row("CA11 coin value from the word table", coins, "CA11,0,10,20,24,30,40,50,60,2",
        {"CA11*50*12*20*0*1000*400*600"});
    row("CA11 type 4 multiplies the coin byte by the factor",
        Data(coins).b(0, 4).b(22, 6).b(24, 10).w(14, 999), "CA11,0,10,20,24,30,40,50,60,2",
        {"CA11*60*12*20*0*1000*400*600"});
    row("CA11 coin type 9 has value 0 but reads its counters",
        Data(128).w(28, 77).w(58, 9).w(62, 3).t(97, 500).t(107, 600), "CA11,0,10,0,0,40,44,70,80,9",
        {"CA11*0*9*3*6*500*600*0"});
    const Data ca11 = Data().b(11, 4).b(20, 25).w(32, 8).w(42, 7);
    row("CA11_ type 3 uses the coin bytes", Data(ca11).b(0, 3), "CA11_,0,40,10,20,30,1",
        {"CA11*100*8"});
    row("CA11_ type 4 uses the word table", Data(ca11).b(0, 4), "CA11_,0,40,10,20,30,1",
        {"CA11*7*8"});
    const Data ca13 = Data(80).b(10, 6).b(20, 5).w(30, 3).t(40, 70000).w(52, 200).w(66, 9);
    row("CA13 type 4", Data(ca13).b(0, 4), "CA13,0,50,10,20,30,40,0", {"CA13*30*3*70000"});
    row("CA13 other type reads the word table", ca13, "CA13,0,50,10,20,30,40,1", {"CA13*200"});
    row("CA13 other type with coin 8 writes 0", ca13, "CA13,0,50,10,20,30,40,8", {"CA13*0"});
    const Data ca14 = Data().b(11, 3).b(20, 7).w(32, 5).t(43, 9);
    row("CA14 type 4", Data(ca14).b(0, 4), "CA14,0,10,20,30,40,1", {"CA14*21*5*9"});
    row("CA14 other type", ca14, "CA14,0,10,20,30,40,1", {"CA14*0"});
    row("CA14_ type 3 at p1", Data(ca14).b(1, 3), "CA14_,0,1,10,20,30,1", {"CA14*21*5"});
    row("CA14_ other type", Data(ca14).b(1, 4), "CA14_,0,1,10,20,30,1", {"CA14*0"});

    // Counts 1, 2, 3 (coin 7), 4 (coin 8), 5 (coin 15); values 5, 10, 20, 50, 100; factor 2.
    const Data tubes = Data()
                           .b(10, {1, 2, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0, 5})
                           .b(30, {5, 10, 0, 0, 0, 0, 0, 20, 50, 0, 0, 0, 0, 0, 0, 100})
                           .b(50, 2);
    row("CA15 mode 0 totals sixteen coins", Data(tubes).b(0, 1), "CA15,0,10,30,50,0",
        {"CA15*1570*1*1*2*0*0*0*0*0*3"});
    row("CA15 other mode lists coins 8 to 15", Data(tubes).b(0, 1), "CA15,0,10,30,50,1",
        {"CA15**2*4*0*0*0*0*0*0*5"});
    row("CA15 flag 0", tubes, "CA15,0,10,30,50,0", {"CA15*"});
    row("CA15_ with bit 4", Data(tubes).b(0, 0x10), "CA15_,0,10,30,50", {"CA15*1570"});
    row("CA15_ without bit 4 writes nothing", Data(tubes).b(0, 0x04), "CA15_,0,10,30,50", {});

    row("DA1", Data().s(0, block), "DA1,0", {"DA1*" + id});
    row("DA1 absent", Data(), "DA1,0", {"DA1*0"});
    row("DA2", Data().t(0, 123).t(3, 456).w(6, 789), "DA2,0,3,6", {"DA2*123**456*789"});
    const Data da2 = Data().b(0, 0x04).t(1, 5).t(4, 1234567).w(7, 9);
    row("DA2_ keeps six digits", da2, "DA2_,0,1,4,7", {"DA2*5**234567*9"});
    row("DA2_ without the flag", Data(da2).b(0, 0), "DA2_,0,1,4,7", {"DA2***234567"});
    row("DA4", counters, "DA4,1,4", {"DA4*11*22"});
    row("DA4_ with the flag", counters, "DA4_,0,1,4", {"DA4*11*22"});
    row("DA4_ without the flag", noFlag, "DA4_,0,1,4", {"DA4**22"});
    row("DA5", counters, "DA5,1,4", {"DA5*11**22"});
    row("DA5_ with the flag", counters, "DA5_,0,1,4", {"DA5*11**22"});
    row("DA5_ without the flag writes nothing", noFlag, "DA5_,0,1,4", {});

    row("TA1 present", Data().b(0, 1).s(1, block), "TA1,0,1", {"TA1*" + id});
    row("TA1 absent", Data().s(1, block), "TA1,0,1", {"TA1*0"});
    const Data ta1 = Data().b(0, 0x04).b(1, 0x10).b(2, 1).s(3, block);
    row("TA1_ present", ta1, "TA1_,0,1,2,3", {"TA1*" + id});
    row("TA1_ with a zero third flag", Data(ta1).b(2, 0), "TA1_,0,1,2,3", {"TA1*0"});
    row("TA2", Data().t(0, 1).t(3, 2).w(6, 3).w(8, 4), "TA2,0,3,6,8", {"TA2*1*2*****3*4"});
    const Data ta2 = Data().b(0, 0x04).t(1, 1).t(4, 2).w(7, 3).w(9, 4);
    row("TA2_ with the flag", ta2, "TA2_,0,1,4,7,9", {"TA2*1*2*****3*4"});
    row("TA2_ without the flag writes nothing", Data(ta2).b(0, 0), "TA2_,0,1,4,7,9", {});
    const Data tokens = Data().b(0, 0x04).t(1, 70000).t(4, 5);
    row("TA3 reads its first counter as 16-bit", tokens, "TA3,1,1", {"TA3*4464*70000"});
    row("TA3_ reads it as 24-bit", tokens, "TA3_,0,1,4", {"TA3*70000*5"});
    row("TA3_ without the flag", Data(tokens).b(0, 0), "TA3_,0,1,4", {"TA3*0"});
    row("TA5", tokens, "TA5,1,4", {"TA5*4464*5"});
    row("TA5_ with the flag", tokens, "TA5_,0,1,4", {"TA5*4464*5"});
    row("TA5_ without the flag writes nothing", Data(tokens).b(0, 0), "TA5_,0,1,4", {});
    const Data ta7 = Data().b(0, 0x04).w(14, 1).w(24, 2).t(36, 3);
    row("TA7 entry 2", ta7, "TA7,10,20,30,2", {"TA7*1*2***3"});
    row("TA7_ with the flag", ta7, "TA7_,0,10,20,30,2", {"TA7*1*2***3"});
    row("TA7_ without the flag", Data(ta7).b(0, 0), "TA7_,0,10,20,30,2", {"TA7*0"});
    row("TA10 k = 0 is token 1", Data().w(10, 55), "TA10,10,0", {"TA10*1*55"});
    row("TA10 k = 3 is token 4", Data().w(16, 66), "TA10,10,3", {"TA10*4*66"});

    const Data vend = Data().t(0, 1).t(3, 2).t(6, 3).t(9, 1234567);
    row("VA1 keeps six digits of the fourth", vend, "VA1,0,3,6,9", {"VA1*1*2*3*234567"});
    row("VA1_ keeps all of them", vend, "VA1_,0,3,6,9", {"VA1*1*2*3*1234567"});
    row("VA2", vend, "VA2,0,3", {"VA2**1**2"});
    row("VA2_ reads a word", vend, "VA2_,9", {"VA2****54919"});
    row("VA3", vend, "VA3,0,3,9", {"VA3**1*2*234567"});
    row("VA3_", vend, "VA3_,9", {"VA3****1234567"});
}

QTEST_GUILESS_MAIN(CashWriters)
#include "tst_CashWriters.moc"
