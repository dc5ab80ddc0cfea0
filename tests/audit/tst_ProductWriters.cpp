// Product and ingredient records in the product-table layout and the two selection layouts.
#include "AuditTestSupport.h"

#include <QtTest>

using namespace audit::test;

class ProductWriters : public QObject
{
    Q_OBJECT

private slots:
    void writes_data();
    void writes() { checkWriterRow(); }
};

void ProductWriters::writes_data()
{
    addWriterColumns();
    const auto row = writerRow;

    // Type at 0, price flags at 1, price indices at 10, prices at 40.
    const Data pa1 = Data().b(0, 1).b(12, 3).w(40, 100).w(46, 250);
    row("PA1 price through the price index", pa1, "PA1,0,1,10,40,2", {"PA1*03*250"});
    row("PA1 other type has no price", Data(pa1).b(0, 2), "PA1,0,1,10,40,2", {"PA1*03"});
    row("PA1 single price for every product", Data(pa1).b(1, 1), "PA1,0,1,10,40,2", {"PA1*03*100"});
    row("PA1 product 0 is 01", pa1, "PA1,0,1,10,40,0", {"PA1*01*100"});
    row("PA1 product past the table has no number", pa1, "PA1,0,1,10,40,35", {"PA1**100"});
    row("PA1_ with the flag", Data(pa1).b(0, 4), "PA1_,0,1,10,40,2", {"PA1*03*250"});
    row("PA1_ without the flag", pa1, "PA1_,0,1,10,40,2", {"PA1*03"});

    // Types at 0-2, price flags at 5, layout at 6, indices at 10, prices at 200; selection 9.
    const Data prices = Data(256)
                            .b(19, 2)
                            .b(83, 5)
                            .b(147, 7)
                            .b(74, 1)
                            .w(200, 99)
                            .w(202, 130)
                            .w(204, 120)
                            .w(210, 150)
                            .w(214, 180);
    const QByteArray pa1v = "PA1V,0,5,6,10,200,9";
    const QByteArray pa1w = "PA1W,0,5,6,10,200,9";
    row("PA1V layout 4 takes the index at p3 + k", Data(prices).b(0, 3).b(6, 4), pa1v,
        {"PA1*V22*120"});
    row("PA1V other layout takes it at p3 + k + 64", Data(prices).b(0, 3), pa1v, {"PA1*V22*150"});
    row("PA1V type in the second byte", Data(prices).b(1, 3), pa1v, {"PA1*V22*150"});
    row("PA1V single price", Data(prices).b(0, 3).b(5, 1), pa1v, {"PA1*V22*99"});
    row("PA1V other type writes the selection alone", Data(prices).b(0, 4), pa1v, {"PA1*V22"});
    row("PA1W layout 4 takes the index at p3 + k + 64", Data(prices).b(1, 4).b(6, 4), pa1w,
        {"PA1*W22*150"});
    row("PA1W k = 0 with layout 4 reads p3 + 64", Data(prices).b(1, 4).b(6, 4),
        "PA1W,0,5,6,10,200,0", {"PA1*W11*130"});
    row("PA1W other layout takes it at p3 + k + 128", Data(prices).b(2, 4), pa1w, {"PA1*W22*180"});
    row("PA1W type 4 in the first byte does not count", Data(prices).b(0, 4), pa1w, {"PA1*W22"});

    const Data pa1v_ = Data(128).b(0, 4).b(57, 1).w(102, 75);
    row("PA1V_ selection 47 is 68", pa1v_, "PA1V_,0,1,10,100,47", {"PA1*S68*75"});
    row("PA1V_ without the flag", Data(pa1v_).b(0, 0), "PA1V_,0,1,10,100,47", {"PA1*S68"});
    row("PA1V_ selection past the table has no code", pa1v_, "PA1V_,0,1,10,100,48", {"PA1*S*0"});
    // Price indices 29, 30, 31 for selections 0, 1, 2; tables at 100 and 200.
    const Data pa1v50 =
        Data(256).b(0, 4).b(10, 29).b(11, 30).b(12, 31).w(100, 5).w(158, 290).w(200, 300).w(202,
                                                                                            310);
    row("PA1V_50 price index 29 reads the first table", pa1v50, "PA1V_50,0,1,10,100,200,0",
        {"PA1*S11*290"});
    row("PA1V_50 price index 30 reads the second table", pa1v50, "PA1V_50,0,1,10,100,200,1",
        {"PA1*S12*300"});
    row("PA1V_50 price index 31", pa1v50, "PA1V_50,0,1,10,100,200,2", {"PA1*S13*310"});
    row("PA1V_50 single price", Data(pa1v50).b(1, 1), "PA1V_50,0,1,10,100,200,1", {"PA1*S12*5"});
    row("PA1V_50 without the flag", Data(pa1v50).b(0, 0), "PA1V_50,0,1,10,100,200,1", {"PA1*S12"});

    const Data sales = Data().b(0, 1).t(16, 70000).w(54, 300);
    row("PA2", sales, "PA2,0,10,50,2", {"PA2*70000**300"});
    row("PA3", sales, "PA3,0,10,50,2", {"PA3*70000**300"});
    row("PA4", sales, "PA4,0,10,50,2", {"PA4*70000**300"});
    row("PA2 other type writes nothing", Data(sales).b(0, 3), "PA2,0,10,50,2", {});
    const Data flagged = Data().b(0, 4).w(14, 42);
    row("PA2_", flagged, "PA2_,0,10,2", {"PA2***42"});
    row("PA3_", flagged, "PA3_,0,10,2", {"PA3***42"});
    row("PA4_", flagged, "PA4_,0,10,2", {"PA4***42"});
    row("PA2V_ writes as PA2_", flagged, "PA2V_,0,10,2", {"PA2***42"});
    row("PA3V_ writes as PA3_", flagged, "PA3V_,0,10,2", {"PA3***42"});
    row("PA4V_ writes as PA4_", flagged, "PA4V_,0,10,2", {"PA4***42"});
    row("PA10_", flagged, "PA10_,0,10,2", {"PA10***42"});
    row("PA2_ without the flag writes nothing", Data(flagged).b(0, 0x0B), "PA2_,0,10,2", {});

    // Selection 1; layout byte at 5; tables at 10 (counts) and 20 (values).
    const Data layouts =
        Data(2048).t(13, 111).w(22, 222).t(685, 333).w(390, 444).t(1357, 555).w(758, 666);
    row("PA2V layout 4", Data(layouts).b(0, 3).b(5, 4), "PA2V,0,5,10,20,1", {"PA2*111**222"});
    row("PA2V other layout", Data(layouts).b(1, 3), "PA2V,0,5,10,20,1", {"PA2*333**444"});
    row("PA3V", Data(layouts).b(0, 3).b(5, 4), "PA3V,0,5,10,20,1", {"PA3*111**222"});
    row("PA4V", Data(layouts).b(0, 3).b(5, 4), "PA4V,0,5,10,20,1", {"PA4*111**222"});
    row("PA2V other type writes nothing", Data(layouts).b(0, 4), "PA2V,0,5,10,20,1", {});
    row("PA2W layout 4 reads past the V tables", Data(layouts).b(1, 4).b(5, 4), "PA2W,0,5,10,20,1",
        {"PA2*333**444"});
    row("PA2W other layout", Data(layouts).b(2, 4), "PA2W,0,5,10,20,1", {"PA2*555**666"});
    row("PA3W", Data(layouts).b(2, 4), "PA3W,0,5,10,20,1", {"PA3*555**666"});
    row("PA4W", Data(layouts).b(2, 4), "PA4W,0,5,10,20,1", {"PA4*555**666"});
    row("PA2W other type writes nothing", Data(layouts).b(0, 4), "PA2W,0,5,10,20,1", {});

    // Dates at 10 and times at 20 for product 1, then again 672 and 1344 further on.
    const Data lastSale = Data(2048)
                              .b(5, 0x02)
                              .b(13, {24, 7, 3})
                              .b(22, {14, 5})
                              .b(685, {99, 12, 31})
                              .b(694, {23, 59})
                              .b(1357, {1, 2, 3})
                              .b(1366, {4, 5});
    row("PA5", Data(lastSale).b(0, 1), "PA5,0,5,10,20,1", {"PA5*240703*1405"});
    row("PA5 with bit 1 clear writes nothing", Data(lastSale).b(0, 1).b(5, 0x01), "PA5,0,5,10,20,1",
        {});
    row("PA5 other type writes nothing", Data(lastSale).b(0, 3), "PA5,0,5,10,20,1", {});
    row("PA5V layout 4", Data(lastSale).b(0, 3).b(6, 4), "PA5V,0,5,6,10,20,1", {"PA5*240703*1405"});
    row("PA5V other layout", Data(lastSale).b(0, 3), "PA5V,0,5,6,10,20,1", {"PA5*991231*2359"});
    row("PA5V with bit 1 clear writes nothing", Data(lastSale).b(0, 3).b(5, 0),
        "PA5V,0,5,6,10,20,1", {});
    row("PA5W layout 4", Data(lastSale).b(1, 4).b(6, 4), "PA5W,0,5,6,10,20,1", {"PA5*991231*2359"});
    row("PA5W other layout", Data(lastSale).b(2, 4), "PA5W,0,5,6,10,20,1", {"PA5*010203*0405"});
    row("PA5W other type writes nothing", Data(lastSale).b(0, 3), "PA5W,0,5,6,10,20,1", {});

    row("PA6 steps three bytes a product", Data().b(0, 1).w(16, 77), "PA6,0,10,2", {"PA6******77"});
    row("PA6 other type writes nothing", Data().w(16, 77), "PA6,0,10,2", {});
    const Data pa11 = Data().b(0, 4).t(1, 70000);
    row("PA11", pa11, "PA11,1", {"PA11*70000"});
    row("PA11_ with the flag", pa11, "PA11_,0,1", {"PA11*70000"});
    row("PA11_ without the flag", Data(pa11).b(0, 0), "PA11_,0,1", {"PA11*"});

    // Levels at 10, stamp bytes 1 to 5 at 40, box count 2 at 50.
    const Data boxes = Data(128).b(0, 1).t(13, 4321).b(40, {1, 2, 3, 4, 5}).b(50, 2);
    const QByteArray stamp = "040500030201";
    row("SA1 box 2", boxes, "SA1,0,10,40,50,1", {"SA1*BOX 2*4321****" + stamp});
    row("SA1 with k at the box count names the box alone", boxes, "SA1,0,10,40,50,2",
        {"SA1*BOX 3*"});
    row("SA1 flag 0", Data(boxes).b(0, 0), "SA1,0,10,40,50,1", {"SA1*BOX 2*0****" + stamp});
    const Data grains = Data(128).b(0, 1).t(10, 500).b(40, {1, 2, 3, 4, 5});
    row("SA1G", grains, "SA1G,0,10,40", {"SA1*GRAINS*500*" + stamp});
    row("SA1G with flag 0", Data(grains).b(0, 0), "SA1G,0,10,40", {"SA1*GRAINS*0*" + stamp});
    row("SA1B", grains, "SA1B,0,10,40", {"SA1*CUP*500*" + stamp});
    // Levels of selection 3 at 13, 69 and 125; flag at 5, layout at 6.
    const Data levels = Data(128).b(5, 1).b(13, 9).b(69, 8).b(125, 7).b(40, {1, 2, 3, 4, 5});
    row("SA1V layout 4", Data(levels).b(0, 3).b(6, 4), "SA1V,0,5,6,10,40,3",
        {"SA1*V14*9****" + stamp});
    row("SA1V other layout", Data(levels).b(1, 3), "SA1V,0,5,6,10,40,3", {"SA1*V14*8****" + stamp});
    row("SA1V flag 0", Data(levels).b(0, 3).b(5, 0), "SA1V,0,5,6,10,40,3",
        {"SA1*V14*0****" + stamp});
    row("SA1V other type writes nothing", Data(levels).b(0, 4), "SA1V,0,5,6,10,40,3", {});
    row("SA1W layout 4", Data(levels).b(1, 4).b(6, 4), "SA1W,0,5,6,10,40,3",
        {"SA1*W14*8****" + stamp});
    row("SA1W other layout", Data(levels).b(2, 4), "SA1W,0,5,6,10,40,3", {"SA1*W14*7****" + stamp});
    row("SA1W other type writes nothing", Data(levels).b(0, 3), "SA1W,0,5,6,10,40,3", {});
}

QTEST_GUILESS_MAIN(ProductWriters)
#include "tst_ProductWriters.moc"
