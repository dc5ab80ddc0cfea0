// Machine identification, currency, date and event records.
#include "Writers.h"

namespace audit::writers {

namespace {

constexpr int Flag = 2;
constexpr int LogEntries = 15;
constexpr int LogEntrySize = 7;
constexpr int LastEventCode = 146;
constexpr int DetailedEvent = 144;   // its detail byte selects an EventDetails suffix
constexpr int SelectionEventA = 145; // these two name a selection with their detail byte
constexpr int SelectionEventB = 146;
constexpr int MaskBits = 31; // 2^31 and above no longer fit a signed 32-bit mask
constexpr int PeripheralType = 4;
constexpr int CurrencyCodeMarker = 0x10;

QByteArray eventIdentifier(const Record &r, int code, int detail)
{
    QByteArray id = CodeText(r.tables.EventIds, code);
    if (code == DetailedEvent)
        id += CodeText(r.tables.EventDetails, detail);
    else if (code == SelectionEventA || code == SelectionEventB)
        id += CodeText(r.tables.SelectionCodes, detail);
    return id;
}

// The counters of event k: 8-bit at p1 + k, 16-bit at p0 + 2k.
Line eventCounters(const Record &r, qint64 k)
{
    return Line("EA2") << CodeText(r.tables.EventIds, k) << r.B(r.p(1) + k) << r.W(r.p(0) + 2 * k);
}

QByteArray model(int code)
{
    switch (code) {
    case 1:
        return "MQA";
    case 2:
        return "MQB";
    case 3:
        return "MQC";
    case 4:
        return "MQD";
    case 6:
        return "MQF";
    default:
        return {};
    }
}

bool hasVariant(int modelCode)
{
    return modelCode == 1 || modelCode == 2 || modelCode == 3 || modelCode == 6;
}

QByteArray variant(int code)
{
    if (code == 1)
        return "E";
    return code == 2 || code == 3 ? "I" : "";
}

void writeCurrency(Record &r, bool wholeCode)
{
    const QByteArray currency = r.W(r.p(1));
    Line line("ID4");
    line << NumberText(r.byte(r.p(0)) & 3) << (wholeCode ? currency : Right3(currency));
    const int code = r.byte(r.p(2));
    if ((code & 0xF0) == CurrencyCodeMarker)
        line << NumberText(code & 0x0F) + BcdDigits(r.byte(r.p(2) + 1));
    r.write(line);
}

} // namespace

// The log is a ring of fifteen entries written newest first.
void EA1(Record &r)
{
    qint64 j = r.byte(r.p(0));
    for (int n = 0; n < LogEntries; ++n) {
        const qint64 e = r.p(1) + LogEntrySize * j;
        const int code = r.byte(e + 5);
        const int detail = r.byte(e + 6);
        Line line("EA1");
        if (code <= LastEventCode && (code > 0 || detail > 0))
            line << eventIdentifier(r, code, detail) << r.D(e + 4) + r.D(e + 3) + r.D(e + 2)
                 << r.D(e + 1) + r.D(e) + "00";
        else
            line << "";
        r.write(line);
        j = j == 0 ? LogEntries - 1 : j - 1;
    }
}

void EA2(Record &r)
{
    r.write(eventCounters(r, r.p(2)));
}

void EA2_BIT(Record &r)
{
    const qint64 bit = r.p(4);
    if (bit >= MaskBits) {
        r.fail();
        return;
    }
    // A negative bit number makes a fractional mask, which keeps no bit.
    const bool set = bit >= 0 && (r.triple(r.p(2)) >> bit) & 1;
    r.write(eventCounters(r, r.p(3)) << (set ? "1" : "0"));
}

void EA2_BYTE(Record &r)
{
    bool any = false;
    for (qint64 i = 0; i < r.p(4) && !any; ++i)
        any = r.byte(r.p(2) + i) > 0;
    r.write(eventCounters(r, r.p(3)) << (any ? "1" : "0"));
}

void EA2_fallback(Record &r)
{
    r.write(eventCounters(r, r.p(3)));
}

void EA3(Record &r)
{
    const qint64 stamp = r.p(6);
    r.write(Line("EA3") << r.W(r.p(0)) << r.D(r.p(1)) + r.D(r.p(2)) + r.D(r.p(3))
                        << r.D(r.p(4)) + r.D(r.p(5)) << ""
                        << r.D(stamp + 4) + r.D(stamp + 3) + r.D(stamp + 2)
                        << r.D(stamp + 1) + r.D(stamp));
}

void EA6(Record &r)
{
    const qint64 a = r.p(0);
    r.write(Line("EA6") << r.D(a) + r.D(a + 1) + r.D(a + 2) << r.D(a + 3) + r.D(a + 4));
}

void EA7(Record &r)
{
    r.write(Line("EA7") << r.W(r.p(0)) << r.W(r.p(1)));
}

void EA7_(Record &r)
{
    r.write(Line("EA7") << (r.bit(r.p(0), Flag) ? r.W(r.p(1)) : QByteArray()) << r.W(r.p(2)));
}

void ID1(Record &r)
{
    const int modelCode = r.byte(r.p(1));
    QByteArray machine = model(modelCode);
    if (hasVariant(modelCode))
        machine += variant(r.byte(r.p(2))) + (r.byte(r.p(3)) == 2 ? "F" : "");
    Line line("ID1");
    line << r.T(r.p(0)) << machine << r.B(r.p(4)) << r.W(r.p(5));
    // An unknown payment leaves its element out altogether, "*" included.
    switch (r.byte(r.p(6))) {
    case 0:
        line << "Coin";
        break;
    case 1:
    case 2:
    case 3:
        line << "Exe ";
        break;
    case 4:
        line << "MDB ";
        break;
    default:
        break;
    }
    r.write(line << r.W(r.p(7)));
}

void ID1_(Record &r)
{
    static const QByteArray Payments[] = {"Tokn", "Coin", "Exe ", "MDB "};
    const int payment = r.byte(r.p(3));
    r.write(Line("ID1") << r.T(r.p(0)) << "" << r.B(r.p(1)) << r.W(r.p(2))
                        << (payment < 4 ? Payments[payment] : QByteArray()) << r.T(r.p(4)));
}

void ID4(Record &r)
{
    writeCurrency(r, false);
}

void ID4_(Record &r)
{
    writeCurrency(r, true);
}

void ID5(Record &r)
{
    r.write(Line("ID5") << r.D(r.p(0)) + r.D(r.p(1)) + r.D(r.p(2)) << r.D(r.p(3)) + r.D(r.p(4)));
}

// Up to three peripherals, numbered over the blocks actually present.
void ID7(Record &r)
{
    if (r.byte(r.p(0)) != PeripheralType) {
        r.write(Line("ID7") << "0");
        return;
    }
    int n = 0;
    for (int slot = 1; slot <= 3; ++slot) {
        const qint64 b = r.p(slot);
        if (r.byte(b) == 0)
            continue;
        r.write(Line("ID7") << NumberText(++n) << "" << r.chars(b, 3) << r.chars(b + 3, 12)
                            << r.chars(b + 15, 12)
                            << BcdDigits(r.byte(b + 27)) + BcdDigits(r.byte(b + 28)));
    }
}

} // namespace audit::writers
