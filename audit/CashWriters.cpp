// Coin mechanism, cash, cashless device, token and vend value records.
#include "Writers.h"

#include <algorithm>

namespace audit::writers {

namespace {

constexpr int Flag = 2;    // the bit most "_" layouts test in their flag byte
constexpr int AltFlag = 4; // the bit a few of them test instead
constexpr qint32 MaxTriple = 0xFFFFFF;
constexpr int CoinTableSize = 8; // 16-bit coin values in the word layout

// Device number (15 characters), model (12), and a four-digit software revision.
QByteArray identification(const Record &r, qint64 a)
{
    return r.chars(a, 15) + '*' + r.chars(a + 15, 12) + '*' + BcdDigits(r.byte(a + 27)) +
           BcdDigits(r.byte(a + 28));
}

void writeIdentification(Record &r, const char *recordId, bool present, qint64 block)
{
    Line line(recordId);
    if (present)
        line << identification(r, block);
    else
        line << "0";
    r.write(line);
}

// The value of coin type k: a per-coin byte times a common factor in the byte layout,
// otherwise one of eight 16-bit values.
qint64 coinValue(const Record &r, bool byteLayout, qint64 words, qint64 bytes, qint64 factor,
                 qint64 k)
{
    if (byteLayout)
        return qint64(r.byte(bytes + k)) * r.byte(factor);
    return k < CoinTableSize ? r.word(words + 2 * k) : 0;
}

// Money inserted over the sixteen coin types: per-coin counts times values, times a factor.
qint64 coinTotal(const Record &r, qint64 counts, qint64 values, qint64 factor)
{
    qint64 sum = 0;
    for (int i = 0; i < 16; ++i)
        sum += qint64(r.byte(values + i)) * r.byte(counts + i);
    return r.byte(factor) * sum;
}

// Two counters with the line's prefix; the second only when the flag bit is set.
void writeFlaggedPair(Record &r, const char *recordId)
{
    Line line(recordId);
    line << r.T(r.p(1));
    if (r.bit(r.p(0), Flag))
        line << r.T(r.p(2));
    r.write(line);
}

void writeTriples(Record &r, const char *recordId, int count)
{
    Line line(recordId);
    for (int i = 0; i < count; ++i)
        line << r.T(r.p(i));
    r.write(line);
}

qint64 remainder(const Record &r, qint64 a, qint64 b, qint64 c)
{
    return Max0(qint64(r.triple(a)) - r.triple(b) - r.triple(c));
}

} // namespace

void CA1(Record &r)
{
    writeIdentification(r, "CA1", r.byte(r.p(0)) > 0, r.p(0));
}

void CA1_(Record &r)
{
    writeIdentification(r, "CA1", r.bit(r.p(0), Flag) && r.bit(r.p(1), AltFlag), r.p(2));
}

void CA2(Record &r)
{
    r.write(Line("CA2") << r.T(r.p(0)) << r.T(r.p(1)) << r.W(r.p(2)) << r.W(r.p(3)));
}

void CA2_(Record &r)
{
    if (r.bit(r.p(0), Flag))
        r.write(Line("CA2") << r.T(r.p(1)) << "" << r.W(r.p(2)) << r.W(r.p(3)));
}

void CA3(Record &r)
{
    const qint64 sum = std::min<qint64>(qint64(r.triple(r.p(0))) + r.triple(r.p(1)), MaxTriple);
    r.write(Line("CA3") << NumberText(sum) << r.T(r.p(2)) << r.T(r.p(3)) << r.T(r.p(4)) << ""
                        << r.T(r.p(5)) << r.T(r.p(6)) << r.T(r.p(7)));
}

void CA3_(Record &r)
{
    const bool flag = r.bit(r.p(0), Flag);
    Line line("CA3");
    line << "" << (flag ? r.T(r.p(1)) : QByteArray()) << r.T(r.p(2));
    if (flag)
        line << r.T(r.p(3)) << "" << r.T(r.p(4)) << r.T(r.p(5));
    r.write(line);
}

void CA4(Record &r)
{
    writeTriples(r, "CA4", 4);
}

void CA4_(Record &r)
{
    Line line("CA4");
    line << r.T(r.p(1)) << r.T(r.p(2));
    if (r.bit(r.p(0), Flag))
        line << r.T(r.p(3)) << r.T(r.p(4));
    r.write(line);
}

void CA7(Record &r)
{
    r.write(Line("CA7") << NumberText(remainder(r, r.p(0), r.p(1), r.p(2)))
                        << NumberText(remainder(r, r.p(3), r.p(4), r.p(5))));
}

// p3 = -1 marks a counter the layout does not have.
void CA7_(Record &r)
{
    qint64 b = 0;
    qint64 c = 0;
    if (r.bit(r.p(0), Flag)) {
        b = r.triple(r.p(2));
        c = r.p(3) == -1 ? 0 : r.triple(r.p(3));
    }
    r.write(Line("CA7") << NumberText(Max0(r.triple(r.p(1)) - b - c)));
}

void CA8(Record &r)
{
    writeTriples(r, "CA8", 2);
}

void CA8_(Record &r)
{
    writeFlaggedPair(r, "CA8");
}

void CA9(Record &r)
{
    writeTriples(r, "CA9", 2);
}

void CA9_(Record &r)
{
    if (r.bit(r.p(0), Flag))
        r.write(Line("CA9") << r.T(r.p(1)));
}

void CA10(Record &r)
{
    writeTriples(r, "CA10", 2);
}

void CA10_(Record &r)
{
    writeFlaggedPair(r, "CA10");
}

void CA11(Record &r)
{
    const qint64 k = r.p(8);
    const qint64 v = coinValue(r, r.byte(r.p(0)) == 4, r.p(1), r.p(2), r.p(3), k);
    const qint64 a = r.word(r.p(4) + 2 * k);
    const qint64 b = r.word(r.p(5) + 2 * k);
    const qint64 c = r.triple(r.p(6) + 3 * k);
    const qint64 d = r.triple(r.p(7) + 3 * k);
    r.write(Line("CA11") << NumberText(v) << NumberText(a) << NumberText(b)
                         << NumberText(Max0(a - b)) << NumberText(c) << NumberText(d)
                         << NumberText(Max0(c - d)));
}

void CA11_(Record &r)
{
    const qint64 k = r.p(5);
    const qint64 v = coinValue(r, r.byte(r.p(0)) == 3, r.p(1), r.p(2), r.p(3), k);
    r.write(Line("CA11") << NumberText(v) << r.W(r.p(4) + 2 * k));
}

void CA13(Record &r)
{
    const qint64 k = r.p(6);
    const bool byteLayout = r.byte(r.p(0)) == 4;
    Line line("CA13");
    line << NumberText(coinValue(r, byteLayout, r.p(1), r.p(2), r.p(3), k));
    if (byteLayout)
        line << r.W(r.p(4) + 2 * k) << r.T(r.p(5) + 3 * k);
    r.write(line);
}

void CA14(Record &r)
{
    const qint64 k = r.p(5);
    Line line("CA14");
    if (r.byte(r.p(0)) == 4)
        line << NumberText(coinValue(r, true, 0, r.p(1), r.p(2), k)) << r.W(r.p(3) + 2 * k)
             << r.T(r.p(4) + 3 * k);
    else
        line << "0";
    r.write(line);
}

void CA14_(Record &r)
{
    const qint64 k = r.p(5);
    Line line("CA14");
    if (r.byte(r.p(1)) == 3)
        line << NumberText(coinValue(r, true, 0, r.p(2), r.p(3), k)) << r.W(r.p(4) + 2 * k);
    else
        line << "0";
    r.write(line);
}

void CA15(Record &r)
{
    Line line("CA15");
    if (r.byte(r.p(0)) == 0) {
        r.write(line << "");
        return;
    }
    const bool tubes = r.p(4) == 0;
    const qint64 counts = r.p(1) + (tubes ? 0 : 8);
    line << (tubes ? NumberText(coinTotal(r, r.p(1), r.p(2), r.p(3))) : QByteArray())
         << (tubes ? "1" : "2");
    for (int i = 0; i < 8; ++i)
        line << r.B(counts + i);
    r.write(line);
}

void CA15_(Record &r)
{
    if (r.bit(r.p(0), AltFlag))
        r.write(Line("CA15") << NumberText(coinTotal(r, r.p(1), r.p(2), r.p(3))));
}

void DA1(Record &r)
{
    writeIdentification(r, "DA1", r.byte(r.p(0)) > 0, r.p(0));
}

void DA2(Record &r)
{
    r.write(Line("DA2") << r.T(r.p(0)) << "" << r.T(r.p(1)) << r.W(r.p(2)));
}

void DA2_(Record &r)
{
    const bool flag = r.bit(r.p(0), Flag);
    Line line("DA2");
    line << (flag ? r.T(r.p(1)) : QByteArray()) << "" << Right6(r.T(r.p(2)));
    if (flag)
        line << r.W(r.p(3));
    r.write(line);
}

void DA4(Record &r)
{
    writeTriples(r, "DA4", 2);
}

void DA4_(Record &r)
{
    const bool flag = r.bit(r.p(0), Flag);
    r.write(Line("DA4") << (flag ? r.T(r.p(1)) : QByteArray()) << r.T(r.p(2)));
}

void DA5(Record &r)
{
    r.write(Line("DA5") << r.T(r.p(0)) << "" << r.T(r.p(1)));
}

void DA5_(Record &r)
{
    if (r.bit(r.p(0), Flag))
        r.write(Line("DA5") << r.T(r.p(1)) << "" << r.T(r.p(2)));
}

void TA1(Record &r)
{
    writeIdentification(r, "TA1", r.byte(r.p(0)) != 0, r.p(1));
}

void TA1_(Record &r)
{
    const bool present = r.bit(r.p(0), Flag) && r.bit(r.p(1), AltFlag) && r.byte(r.p(2)) != 0;
    writeIdentification(r, "TA1", present, r.p(3));
}

void TA2(Record &r)
{
    r.write(Line("TA2") << r.T(r.p(0)) << r.T(r.p(1)) << ""
                        << ""
                        << ""
                        << "" << r.W(r.p(2)) << r.W(r.p(3)));
}

void TA2_(Record &r)
{
    if (r.bit(r.p(0), Flag))
        r.write(Line("TA2") << r.T(r.p(1)) << r.T(r.p(2)) << ""
                            << ""
                            << ""
                            << "" << r.W(r.p(3)) << r.W(r.p(4)));
}

void TA3(Record &r)
{
    r.write(Line("TA3") << r.W(r.p(0)) << r.T(r.p(1)));
}

void TA3_(Record &r)
{
    Line line("TA3");
    if (r.bit(r.p(0), Flag))
        line << r.T(r.p(1)) << r.T(r.p(2));
    else
        line << "0";
    r.write(line);
}

void TA5(Record &r)
{
    r.write(Line("TA5") << r.W(r.p(0)) << r.T(r.p(1)));
}

void TA5_(Record &r)
{
    if (r.bit(r.p(0), Flag))
        r.write(Line("TA5") << r.W(r.p(1)) << r.T(r.p(2)));
}

void TA7(Record &r)
{
    const qint64 k = r.p(3);
    r.write(Line("TA7") << r.W(r.p(0) + 2 * k) << r.W(r.p(1) + 2 * k) << ""
                        << "" << r.T(r.p(2) + 3 * k));
}

void TA7_(Record &r)
{
    const qint64 k = r.p(4);
    Line line("TA7");
    if (r.bit(r.p(0), Flag))
        line << r.W(r.p(1) + 2 * k) << r.W(r.p(2) + 2 * k) << ""
             << "" << r.T(r.p(3) + 3 * k);
    else
        line << "0";
    r.write(line);
}

void TA10(Record &r)
{
    const qint64 k = r.p(1);
    r.write(Line("TA10") << NumberText(k + 1) << r.W(r.p(0) + 2 * k));
}

void VA1(Record &r)
{
    r.write(Line("VA1") << r.T(r.p(0)) << r.T(r.p(1)) << r.T(r.p(2)) << Right6(r.T(r.p(3))));
}

void VA1_(Record &r)
{
    writeTriples(r, "VA1", 4);
}

void VA2(Record &r)
{
    r.write(Line("VA2") << "" << r.T(r.p(0)) << "" << r.T(r.p(1)));
}

void VA2_(Record &r)
{
    r.write(Line("VA2") << ""
                        << ""
                        << "" << r.W(r.p(0)));
}

void VA3(Record &r)
{
    r.write(Line("VA3") << "" << r.T(r.p(0)) << r.T(r.p(1)) << Right6(r.T(r.p(2))));
}

void VA3_(Record &r)
{
    r.write(Line("VA3") << ""
                        << ""
                        << "" << r.T(r.p(0)));
}

} // namespace audit::writers
