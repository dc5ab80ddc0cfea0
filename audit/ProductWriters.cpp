// Product and ingredient records, for the product-table layout and the two selection
// layouts ("V" and "W") whose tables lie at fixed distances chosen by a layout byte.
#include "Writers.h"

namespace audit::writers {

namespace {

constexpr int Flag = 2;
constexpr int SinglePrice = 0; // price-flag bit: one price for every product
constexpr int DatedSales = 1;  // flag bit: the date and time of the last sale are kept
constexpr int ProductType = 1;
constexpr int VType = 3;
constexpr int WType = 4;
constexpr int LayoutMarker = 4;
constexpr int FirstPriceTableSize = 30;

// Distances of the tables in the two arrangements a layout byte chooses between.
struct Distances
{
    qint64 whenMarked;
    qint64 otherwise;
};
constexpr Distances VPriceIndex{0, 64};
constexpr Distances WPriceIndex{64, 128};
constexpr Distances VSales{0, 672};
constexpr Distances WSales{672, 1344};
constexpr Distances VValues{0, 368};
constexpr Distances WValues{368, 736};
constexpr Distances VLevels{0, 56};
constexpr Distances WLevels{56, 112};

qint64 distance(const Record &r, qint64 layout, Distances d)
{
    return r.byte(layout) == LayoutMarker ? d.whenMarked : d.otherwise;
}

bool isV(const Record &r, qint64 types)
{
    return r.byte(types) == VType || r.byte(types + 1) == VType;
}

bool isW(const Record &r, qint64 types)
{
    return r.byte(types + 1) == WType || r.byte(types + 2) == WType;
}

QByteArray selection(const Record &r, qint64 k)
{
    return CodeText(r.tables.SelectionCodes, k);
}

// The price of product k through its price index, unless one price serves all.
QByteArray price(const Record &r, qint64 flags, qint64 indices, qint64 prices, qint64 k)
{
    if (r.bit(flags, SinglePrice))
        return r.W(prices);
    return r.W(prices + 2 * r.byte(indices + k));
}

void writePriced(Record &r, QByteArrayView head, bool priced, const QByteArray &amount)
{
    Line line("PA1");
    line << head;
    if (priced)
        line << amount;
    r.write(line);
}

void writeLayoutPrice(Record &r, const char *head, bool priced, Distances indexDistance)
{
    const qint64 k = r.p(5);
    const qint64 indices = r.p(3) + distance(r, r.p(2), indexDistance);
    writePriced(r, QByteArray(head) + selection(r, k), priced,
                price(r, r.p(1), indices, r.p(4), k));
}

void writeSales(Record &r, const char *recordId, bool present, qint64 counts, qint64 values)
{
    if (present)
        r.write(Line(recordId) << r.T(counts) << "" << r.W(values));
}

void writeProductSales(Record &r, const char *recordId)
{
    const qint64 k = r.p(3);
    writeSales(r, recordId, r.byte(r.p(0)) == ProductType, r.p(1) + 3 * k, r.p(2) + 2 * k);
}

void writeFlaggedSales(Record &r, const char *recordId)
{
    if (r.bit(r.p(0), Flag))
        r.write(Line(recordId) << ""
                               << "" << r.W(r.p(1) + 2 * r.p(2)));
}

void writeLayoutSales(Record &r, const char *recordId, bool present, Distances sales,
                      Distances values)
{
    const qint64 k = r.p(4);
    writeSales(r, recordId, present, r.p(2) + 3 * k + distance(r, r.p(1), sales),
               r.p(3) + 2 * k + distance(r, r.p(1), values));
}

// Date of the last sale from three bytes, time from two.
void writeLastSale(Record &r, bool present, qint64 dates, qint64 times)
{
    if (present)
        r.write(Line("PA5") << r.D(dates) + r.D(dates + 1) + r.D(dates + 2)
                            << r.D(times) + r.D(times + 1));
}

void writeLayoutLastSale(Record &r, bool present, Distances d)
{
    const qint64 k = r.p(5);
    const qint64 a = distance(r, r.p(2), d);
    writeLastSale(r, present && r.bit(r.p(1), DatedSales), r.p(3) + 3 * k + a, r.p(4) + 2 * k + a);
}

void writeContainer(Record &r, QByteArrayView name)
{
    r.write(Line("SA1") << name << (r.byte(r.p(0)) != 0 ? r.T(r.p(1)) : "0") << r.stamp(r.p(2)));
}

void writeLayoutLevel(Record &r, const char *head, bool present, Distances d)
{
    if (!present)
        return;
    const qint64 k = r.p(5);
    const QByteArray level =
        r.byte(r.p(1)) == 0 ? QByteArray("0") : r.B(r.p(3) + k + distance(r, r.p(2), d));
    r.write(Line("SA1") << QByteArray(head) + selection(r, k) << level << ""
                        << ""
                        << "" << r.stamp(r.p(4)));
}

} // namespace

void PA1(Record &r)
{
    const qint64 k = r.p(4);
    writePriced(r, CodeText(r.tables.ProductNumbers, k), r.byte(r.p(0)) == ProductType,
                price(r, r.p(1), r.p(2), r.p(3), k));
}

void PA1_(Record &r)
{
    const qint64 k = r.p(4);
    writePriced(r, CodeText(r.tables.ProductNumbers, k), r.bit(r.p(0), Flag),
                price(r, r.p(1), r.p(2), r.p(3), k));
}

void PA1V(Record &r)
{
    writeLayoutPrice(r, "V", isV(r, r.p(0)), VPriceIndex);
}

void PA1V_(Record &r)
{
    const qint64 k = r.p(4);
    writePriced(r, "S" + selection(r, k), r.bit(r.p(0), Flag), price(r, r.p(1), r.p(2), r.p(3), k));
}

// Price indices from 30 on continue in a second table.
void PA1V_50(Record &r)
{
    const qint64 k = r.p(5);
    const qint64 i = r.byte(r.p(2) + k);
    QByteArray amount;
    if (r.bit(r.p(1), SinglePrice))
        amount = r.W(r.p(3));
    else if (i < FirstPriceTableSize)
        amount = r.W(r.p(3) + 2 * i);
    else
        amount = r.W(r.p(4) + 2 * (i - FirstPriceTableSize));
    writePriced(r, "S" + selection(r, k), r.bit(r.p(0), Flag), amount);
}

void PA1W(Record &r)
{
    writeLayoutPrice(r, "W", isW(r, r.p(0)), WPriceIndex);
}

void PA2(Record &r)
{
    writeProductSales(r, "PA2");
}

void PA2_(Record &r)
{
    writeFlaggedSales(r, "PA2");
}

void PA3(Record &r)
{
    writeProductSales(r, "PA3");
}

void PA3_(Record &r)
{
    writeFlaggedSales(r, "PA3");
}

void PA4(Record &r)
{
    writeProductSales(r, "PA4");
}

void PA4_(Record &r)
{
    writeFlaggedSales(r, "PA4");
}

void PA2V(Record &r)
{
    writeLayoutSales(r, "PA2", isV(r, r.p(0)), VSales, VValues);
}

void PA3V(Record &r)
{
    writeLayoutSales(r, "PA3", isV(r, r.p(0)), VSales, VValues);
}

void PA4V(Record &r)
{
    writeLayoutSales(r, "PA4", isV(r, r.p(0)), VSales, VValues);
}

void PA2W(Record &r)
{
    writeLayoutSales(r, "PA2", isW(r, r.p(0)), WSales, WValues);
}

void PA3W(Record &r)
{
    writeLayoutSales(r, "PA3", isW(r, r.p(0)), WSales, WValues);
}

void PA4W(Record &r)
{
    writeLayoutSales(r, "PA4", isW(r, r.p(0)), WSales, WValues);
}

void PA5(Record &r)
{
    const qint64 k = r.p(4);
    writeLastSale(r, r.byte(r.p(0)) == ProductType && r.bit(r.p(1), DatedSales), r.p(2) + 3 * k,
                  r.p(3) + 2 * k);
}

void PA5V(Record &r)
{
    writeLayoutLastSale(r, isV(r, r.p(0)), VSales);
}

void PA5W(Record &r)
{
    writeLayoutLastSale(r, isW(r, r.p(0)), WSales);
}

void PA6(Record &r)
{
    if (r.byte(r.p(0)) == ProductType)
        r.write(Line("PA6") << ""
                            << ""
                            << ""
                            << ""
                            << "" << r.W(r.p(1) + 3 * r.p(2)));
}

void PA10_(Record &r)
{
    writeFlaggedSales(r, "PA10");
}

void PA11(Record &r)
{
    r.write(Line("PA11") << r.T(r.p(0)));
}

void PA11_(Record &r)
{
    r.write(Line("PA11") << (r.bit(r.p(0), Flag) ? r.T(r.p(1)) : QByteArray()));
}

// Boxes are numbered from 1; a box at or past the count is named without a level.
void SA1(Record &r)
{
    const qint64 k = r.p(4);
    Line line("SA1");
    line << "BOX " + NumberText(k + 1);
    if (k < r.byte(r.p(3)))
        line << (r.byte(r.p(0)) != 0 ? r.T(r.p(1) + 3 * k) : "0") << ""
             << ""
             << "" << r.stamp(r.p(2));
    else
        line << "";
    r.write(line);
}

void SA1G(Record &r)
{
    writeContainer(r, "GRAINS");
}

void SA1B(Record &r)
{
    writeContainer(r, "CUP");
}

void SA1V(Record &r)
{
    writeLayoutLevel(r, "V", isV(r, r.p(0)), VLevels);
}

void SA1W(Record &r)
{
    writeLayoutLevel(r, "W", isW(r, r.p(0)), WLevels);
}

} // namespace audit::writers
