#include "MachineController.h"

#include "Runtime.h"

#include <QPointer>

// Memory layout of the simulated controller (addresses in hexadecimal):
//
// type 1  0000-0003 serial number, 0004-0005 program number, 0006 revision, 0007 hardware,
//         0008 board, 0009-000B configuration date (day, month, year - 2000), 0010-002F name,
//         0030 model code, 0031 variant, 0032 option, 0033 build standard, 0034 payment system
//         (4: MDB), 0035-0036 location number, 0037-0038 asset number, 0040-0044 site code,
//         0046-0047 currency number, 0048-0049 the same in BCD behind a 1, 0050 decimal places
//         of money values, 0078-007D machine number (digits), 0080-009F description,
//         00D0-013F 56 price lines, 03F0 price flags (bit 0: one price for all), 03FA coin
//         mechanism type (2: coin values in cents), 0402 audit kind (1: counts per selection);
//         0530 eight coin values, 0540-055C coin mechanism identification (number, model,
//         revision in BCD); 0570 eight bill values in units of the factor at 0578, 0579 bill
//         validator type (4); 05B0 token values; 0806 price line of each selection (FF: none),
//         08B6/0966 dose tables; 0C00-0EEE operating settings; 0EF0-115F telemetry settings
//         (station number, call schedule, alarm numbers and mask); 12F2-136F counts the
//         firmware keeps (12F2: selections); 1370-327E more settings; 32B6-469F sales table
//         (below); 7980-7C7F event block (below).
// type 2  0009 command register, 000C status register, 0010-0012 pending alarms,
//         0013-0017 power-ups, door openings, coin jams, bill jams, vend failures;
//         0AA0-0AAB coins in, coins to the cash box, coins to the tubes, bills in (24-bit
//         values), 0ABA card sales (24-bit value), 0B28 time of the last erase, 0B2F erases,
//         0B60 time of the last reset, 0B67 resets, 0B90-0BAF pointer block: nine words, each
//         its counter's address + 400; the counters themselves from the profile's auditBase on:
//         change paid out (24 bit), door openings, power-ups, coins in by type (8 x 16 bit),
//         cash vends (16 bit), coins to the cash box by type, bills in by type, coin jams, vend
//         failures. Everything from 0AA0 to 0ABC and every pointer counter counts since the
//         last erase.
// type 0  0008-000D the clock, 0020-0022 firmware version.
// Time stamps are six bytes: second, minute, hour, day, month, year - 2000.
//
// Sales table: totals from 32B6, what an erase clears from 3CAB. Offsets within each half:
//   totals  0000 vends by selection (56 places of 24 bits), then 24-bit values: 00A8 paid
//           value, 00AB paid vends, 00AE cash value, 00B1 cash vends, 00B4 card value, 00B7
//           card vends, 00BA coins to the cash box, 00BD coins to the tubes, 00C0 bills, 00C3
//           change, 00C6 manual payout, 00C9 coins in by type (8), 00E1 coins to the cash box
//           by type (8), 00F9 bills by type (8);
//   erased  0000 vends by selection (56 places of 16 bits), 0070 paid value (24 bits), 0073
//           paid vends (24), 0076 cash value (16), 0078 card vends (16), 007A manual payout (24).
// Event block: 0000 the newest entry of a ring of 15 entries from 0001, each 7 bytes (minute,
// hour, day, month, year - 2000, event number, detail); 006A erases (16 bit); 006C a 16-bit
// counter for each of 147 event numbers; 0192 an 8-bit counter for each since the last erase.

namespace {
constexpr char SOH = 0x01;
constexpr char EOT = 0x04;
constexpr int MaxDigits = 2 * (6 + 16); // the longest request: a 16-byte write
constexpr int PriceLines = 56;
constexpr int PriceTable = 0xD0;
constexpr int SelectionLines = 0x806;
constexpr int CoinTable = 0x530;
constexpr int BillTable = 0x570;
constexpr int BillFactor = 100;
constexpr int SalesTable = 0x32B6;
constexpr int SalesHalf = 2549;
constexpr int EventBlock = 0x7980;
constexpr int EventBlockSize = 768;
constexpr int RingEntries = 15;
constexpr int RingEntry = 7;
constexpr int EraseWord = 1 + RingEntries * RingEntry;
constexpr int EventTotals = EraseWord + 2;
constexpr int EventsSinceErase = EventTotals + 2 * MachineController::EventNumbers;
// The event numbers the controller logs.
constexpr int LoggedEvents[] = {1, 2, 4, 7, 10, 11, 12, 33, 52, 55, 144};
constexpr int DetailedEvent = 144; // its detail byte tells which part, 0-39
constexpr int CashCounters = 0xAA0;
constexpr int CardSales = 0xABA;
constexpr int LastErase = 0xB28;
constexpr int Erases = 0xB2F;
// Where each resettable counter lies, from auditBase.
constexpr std::array<int, 9> CounterOffsets{0x00, 0x04, 0x05, 0x10, 0x20, 0x30, 0x40, 0x50, 0x51};
enum Fault { Lost, Lower, Duplicate, Late, Junk, Oversize };

QByteArray hex2(int v)
{
    static const char digits[] = "0123456789ABCDEF";
    const char pair[2] = {digits[(v >> 4) & 15], digits[v & 15]};
    return QByteArray(pair, 2);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is not what the station sends
}

void put(QByteArray &m, int address, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        m[(address + i) & 0xFFFF] = char((value >> (8 * i)) & 0xFF);
}

void putText(QByteArray &m, int address, const QByteArray &text, int width, char pad)
{
    for (int i = 0; i < width; ++i)
        m[(address + i) & 0xFFFF] = i < text.size() ? text[i] : pad;
}

void putStamp(QByteArray &m, int address, const QDateTime &at)
{
    const int t[] = {at.time().second(), at.time().minute(), at.time().hour(),
                     at.date().day(),    at.date().month(),  at.date().year() - 2000};
    for (int k = 0; k < 6; ++k)
        m[(address + k) & 0xFFFF] = char(t[k]);
}

// Settings a technician leaves: mostly small numbers, now and then a larger one or "unused".
void putSettings(QByteArray &m, int from, int to, std::mt19937 &rng)
{
    for (int a = from; a <= to; ++a) {
        const unsigned r = rng() % 100;
        m[a] = char(r < 70 ? rng() % 10 : r < 95 ? rng() % 100 : 0xFF);
    }
}

// The number in a site code ("TO017" is 17).
quint32 siteNumber(const QByteArray &site)
{
    quint32 n = 0;
    for (char c : site)
        if (c >= '0' && c <= '9')
            n = (n * 10 + quint32(c - '0')) % 65536;
    return n;
}

// Where each sales counter lives: f(value, memory type, address, bytes). One list serves the
// fill and the reading back, so the two cannot disagree.
template <typename Counters, typename F>
void eachSalesCounter(Counters &c, bool sinceErase, const std::array<int, 9> &pointer, F &&f)
{
    constexpr int n = MachineController::Selections;
    if (!sinceErase) {
        int a = SalesTable;
        for (int k = 0; k < n; ++k)
            f(c.selectionVends[size_t(k)], 1, a + 3 * k, 3);
        a += 3 * PriceLines;
        for (auto *v :
             {&c.paidValue, &c.paidVends, &c.cashValue, &c.cashVends, &c.cardValue, &c.cardVends,
              &c.coinsToBox, &c.coinsToTubes, &c.bills, &c.change, &c.manualPayout}) {
            f(*v, 1, a, 3);
            a += 3;
        }
        for (auto *table : {&c.coinsIn, &c.coinsToBoxByType, &c.billsIn}) {
            for (int i = 0; i < 8; ++i)
                f((*table)[size_t(i)], 1, a + 3 * i, 3);
            a += 24;
        }
        return;
    }
    const int a = SalesTable + SalesHalf;
    for (int k = 0; k < n; ++k)
        f(c.selectionVends[size_t(k)], 1, a + 2 * k, 2);
    f(c.paidValue, 1, a + 2 * PriceLines, 3);
    f(c.paidVends, 1, a + 2 * PriceLines + 3, 3);
    f(c.cashValue, 1, a + 2 * PriceLines + 6, 2);
    f(c.cardVends, 1, a + 2 * PriceLines + 8, 2);
    f(c.manualPayout, 1, a + 2 * PriceLines + 10, 3);
    f(c.coinsToBox, 2, CashCounters + 3, 3);
    f(c.coinsToTubes, 2, CashCounters + 6, 3);
    f(c.bills, 2, CashCounters + 9, 3);
    f(c.cardValue, 2, CardSales, 3);
    f(c.change, 2, pointer[0], 3);
    f(c.cashVends, 2, pointer[4], 2);
    for (int i = 0; i < 8; ++i) {
        f(c.coinsIn[size_t(i)], 2, pointer[3] + 2 * i, 2);
        f(c.coinsToBoxByType[size_t(i)], 2, pointer[5] + 2 * i, 2);
        f(c.billsIn[size_t(i)], 2, pointer[6] + 2 * i, 2);
    }
}

// One customer's purchase.
struct Sale
{
    int selection = 0;
    quint32 price = 0;
    bool card = false;
    std::array<int, 8> coins{}, bills{};
    quint32 change = 0;
};

void count(MachineController::SalesCounters &c, const Sale &s)
{
    c.selectionVends[size_t(s.selection)] += 1;
    c.paidValue += s.price;
    c.paidVends += 1;
    if (s.card) {
        c.cardValue += s.price;
        c.cardVends += 1;
        return;
    }
    c.cashValue += s.price;
    c.cashVends += 1;
    for (size_t i = 0; i < 8; ++i) {
        const quint32 value = quint32(s.coins[i] * MachineController::CoinValues[i]);
        c.coinsIn[i] += quint32(s.coins[i]);
        if (MachineController::CoinValues[i] >= 100) { // too large for a change tube
            c.coinsToBoxByType[i] += quint32(s.coins[i]);
            c.coinsToBox += value;
        } else {
            c.coinsToTubes += value;
        }
        c.billsIn[i] += quint32(s.bills[i]);
        c.bills += quint32(s.bills[i] * MachineController::BillValues[i]);
    }
    c.change += s.change;
}

const char *const Products[] = {"ESPRESSO",   "CAFFE LUNGO", "CAPPUCCINO", "MACCHIATO",
                                "CIOCCOLATA", "THE LIMONE",  "ORZO",       "DECAFFEINATO"};
} // namespace

MachineProfile MachineProfile::forNumber(const QByteArray &number)
{
    quint32 fold = 0;
    for (char c : number)
        if (c >= '0' && c <= '9')
            fold = (fold * 10 + quint32(c - '0')) % 900000;
    MachineProfile p;
    p.serial = 100000 + fold;
    p.program = quint16(1400 + p.serial % 7);
    p.revision = quint8(p.serial % 4);
    p.model = quint8(1 + p.serial % 6);
    p.site = "TO" + QByteArray::number(p.serial % 1000).rightJustified(3, '0');
    p.auditBase = quint16(0x0C00 + (p.serial % 4) * 0x80);
    p.variant = quint8(1 + p.serial % 2);
    p.option = p.serial % 3 == 1 ? 2 : 0;
    p.asset = quint16(1000 + p.serial % 9000);
    return p;
}

MachineController::MachineController(const MachineProfile &profile, QObject *parent)
    : LineDevice(parent), m_profile(profile)
{
    setFaults(LinkFaults());
    fill();
}

void MachineController::setFaults(const LinkFaults &faults)
{
    m_faults = faults;
    for (size_t i = 0; i < m_dice.size(); ++i)
        m_dice[i].seed(faults.seed * 7919u + quint32(i) * 104729u + 1u);
}

qint64 MachineController::lineTimeMs(int chars) const
{
    const qint64 bits = qint64(chars) * 10 * 1000;
    return (bits + m_baud - 1) / m_baud;
}

QByteArray &MachineController::memory(int type)
{
    return m_mem[type == 0 || type == 1 ? type : 2];
}

const QByteArray &MachineController::memory(int type) const
{
    return m_mem[type == 0 || type == 1 ? type : 2];
}

quint8 MachineController::byteAt(int type, quint16 address) const
{
    return quint8(memory(type)[address]);
}

quint16 MachineController::wordAt(int type, quint16 address) const
{
    return quint16(byteAt(type, address) | byteAt(type, quint16(address + 1)) << 8);
}

quint16 MachineController::counterAddress(int i) const
{
    return quint16(m_profile.auditBase + CounterOffsets.at(size_t(i)));
}

// ---- content ----

void MachineController::fill()
{
    for (QByteArray &m : m_mem)
        m = QByteArray(MemorySize, '\0');
    fillConfiguration(m_mem[1]);
    fillTelemetry(m_mem[1]);
    fillRegisters(m_mem[2]);
    std::mt19937 rng(m_profile.serial + 2);
    const QDateTime lastErase =
        m_profile.clockStart.addSecs(-qint64(2 * 86400 + rng() % (7 * 86400)));
    putStamp(m_mem[2], LastErase, lastErase);
    fillSales(rng);
    fillEvents(rng, lastErase);
    put(m_mem[0], 0x20, quint32(1 | m_profile.revision << 8 | 7 << 16), 3);
    refreshClock();
}

void MachineController::fillConfiguration(QByteArray &m)
{
    const MachineProfile &p = m_profile;
    std::mt19937 rng(p.serial);
    putSettings(m, 0, 1934, rng);
    putSettings(m, 3072, 3822, rng);
    putSettings(m, 0x1370, 12926, rng);

    put(m, 0, p.serial, 4);
    put(m, 4, p.program, 2);
    m[6] = char(p.revision);
    m[7] = char(p.hardware);
    m[8] = char(p.board);
    const QDate configured = p.clockStart.date().addDays(-40);
    m[9] = char(configured.day());
    m[10] = char(configured.month());
    m[11] = char(configured.year() - 2000);
    put(m, 12, 0, 4);
    putText(m, 0x10, "VENDING " + QByteArray::number(p.program), 32, ' ');
    m[0x30] = char(p.model);
    m[0x31] = char(p.variant);
    m[0x32] = char(p.option);
    m[0x33] = char(p.hardware); // the build standard
    m[0x34] = 4;                // payment system: MDB
    put(m, 0x35, siteNumber(p.site), 2);
    put(m, 0x37, p.asset, 2);
    putText(m, 0x40, p.site, 5, ' ');
    put(m, 0x46, 978, 2); // euro
    m[0x48] = 0x19;
    m[0x49] = 0x78;
    m[0x50] = 2; // money in hundredths
    putText(m, 0x78, QByteArray::number(p.serial).rightJustified(6, '0').right(6), 6, '0');
    putText(m, 0x80, "HOT DRINKS " + p.site + " SN " + QByteArray::number(p.serial), 32, ' ');
    for (int i = 0; i < PriceLines; ++i)
        put(m, PriceTable + 2 * i, 30 + 5 * (rng() % 30), 2); // 0.30 to 1.75
    m[0x3F0] = 0;                                             // a price for each price line
    m[0x3FA] = 2;                                             // coin values in cents
    m[0x402] = 1;                                             // vends counted by selection
    putText(m, CoinTable, "", 192, '\0');
    for (int i = 0; i < 8; ++i) {
        put(m, CoinTable + 2 * i, quint32(CoinValues[size_t(i)]), 2);
        m[BillTable + i] = char(BillValues[size_t(i)] / BillFactor);
        put(m, 0x5B0 + 2 * i, quint32(i < 2 ? 50 * (i + 1) : 0), 2); // tokens
    }
    putText(m, CoinTable + 0x10, "CM" + QByteArray::number(p.serial), 15, ' ');
    putText(m, CoinTable + 0x1F, "CHANGER 6T", 12, ' ');
    m[CoinTable + 0x2B] = 0x02; // software 0215
    m[CoinTable + 0x2C] = 0x15;
    m[BillTable + 8] = char(BillFactor);
    m[BillTable + 9] = 4; // bill values as units of the factor
    for (int k = 0; k < PriceLines; ++k)
        m[SelectionLines + k] = char(k < Selections ? rng() % PriceLines : 0xFF);
    for (int t : {0x8B6, 0x966})
        for (int i = 0; i < 56; ++i)
            m[t + i] = char(5 + rng() % 60); // doses in grams or seconds
    put(m, 0x12F2, Selections, 2);
    put(m, 0x12F4, 0x0A0A0A0A, 4);
    m[0x12F8] = 1;
    put(m, 0x12F9, p.serial ^ 0x5A5A, 4);
    m[0x12FD] = 1;
    for (int i = 0; i < 8; ++i)
        putText(m, 0x1306 + 13 * i, Products[i], 13, ' ');
    m[0x136E] = 0; // end of the product names
    m[0x136F] = 0;
}

void MachineController::fillTelemetry(QByteArray &m)
{
    std::mt19937 rng(m_profile.serial + 1);
    putSettings(m, 3824, 4447, rng);
    putText(m, 0x0EF0, "+393401234567", 16, '\0'); // the station's number
    const char flags[] = {1, 0, 0x7F, 2, 30, 3, 10, 0};
    for (int i = 0; i < 8; ++i)
        m[0x0F00 + i] = flags[i];
    putText(m, 0x0F08, "+393489990001", 16, '\0');
    putText(m, 0x0F18, "+393489990002", 16, '\0');
    putText(m, 0x0F28, "", 32, '\0');
    for (int i = 0; i < 64; ++i)
        m[0x0F48 + i] = char(i % 5 != 4);
}

// The machine's sales since it was set up, the last few hundred of them after the last erase:
// each customer picks a selection and pays by card, with exact coins, or with one coin or bill
// that covers the price and takes the change from the tubes.
void MachineController::fillSales(std::mt19937 &rng)
{
    const QByteArray &m = m_mem[1];
    std::array<int, Selections> weight{};
    int weights = 0;
    for (int &w : weight)
        weights += (w = 1 + int(rng() % 10));
    SalesCounters total, sinceErase;
    const int sales = 3000 + int(rng() % 6000);
    const int erasedAt = sales - 120 - int(rng() % 200);
    for (int n = 0; n < sales; ++n) {
        Sale s;
        int pick = int(rng() % quint32(weights));
        while (pick >= weight[size_t(s.selection)])
            pick -= weight[size_t(s.selection++)];
        const quint16 line = quint8(m[SelectionLines + s.selection]);
        s.price = wordAt(1, quint16(PriceTable + 2 * line));
        if (rng() % 100 < 30) {
            s.card = true;
        } else if (rng() % 2 == 0) {
            quint32 rest = s.price;
            for (int i = 5; i >= 0; --i)
                for (; rest >= quint32(CoinValues[size_t(i)]); rest -= CoinValues[size_t(i)])
                    ++s.coins[size_t(i)];
        } else {
            // 1 euro, 2 euro or a 5 euro bill, whichever of them covers the price
            const int first = s.price <= 100 ? 0 : s.price <= 200 ? 1 : 2;
            const int choice = first + int(rng() % quint32(3 - first));
            if (choice < 2)
                ++s.coins[size_t(4 + choice)];
            else
                ++s.bills[0];
            s.change = quint32(choice == 0 ? 100 : choice == 1 ? 200 : BillValues[0]) - s.price;
        }
        count(total, s);
        if (n >= erasedAt)
            count(sinceErase, s);
        if (rng() % 400 == 0) { // the route man empties a tube now and then
            const quint32 payout = 50 * (1 + rng() % 20);
            total.manualPayout += payout;
            if (n >= erasedAt)
                sinceErase.manualPayout += payout;
        }
    }
    std::array<int, 9> pointer{};
    for (int i = 0; i < 9; ++i)
        pointer[size_t(i)] = counterAddress(i);
    for (const bool erased : {false, true})
        eachSalesCounter(erased ? sinceErase : total, erased, pointer,
                         [this](quint32 value, int type, int address, int bytes) {
                             put(memory(type), address, value, bytes);
                         });
    put(m_mem[2], CashCounters, sinceErase.coinsToBox + sinceErase.coinsToTubes, 3);
}

// A log of events over the forty days before the clock starts, the newest fifteen of them in
// the ring, and the counters of each event number.
void MachineController::fillEvents(std::mt19937 &rng, const QDateTime &lastErase)
{
    QByteArray &m = m_mem[1];
    putText(m, EventBlock, "", EventBlockSize, '\0');
    std::array<int, EventNumbers> total{}, sinceErase{};
    for (int e : LoggedEvents)
        total[size_t(e)] = int(rng() % 25); // before the log's time
    const int logged = 30 + int(rng() % 30);
    const qint64 step = 40 * 86400 / logged;
    for (int i = 0; i < logged; ++i) {
        const QDateTime at =
            m_profile.clockStart.addSecs(-(logged - i) * step + qint64(rng() % quint32(step)));
        const int e = LoggedEvents[rng() % std::size(LoggedEvents)];
        const int a = EventBlock + 1 + RingEntry * (i % RingEntries);
        const int fields[RingEntry] = {at.time().minute(),
                                       at.time().hour(),
                                       at.date().day(),
                                       at.date().month(),
                                       at.date().year() - 2000,
                                       e,
                                       e == DetailedEvent ? int(rng() % 40) : 0};
        for (int f = 0; f < RingEntry; ++f)
            m[a + f] = char(fields[f]);
        ++total[size_t(e)];
        if (at > lastErase)
            ++sinceErase[size_t(e)];
    }
    m[EventBlock] = char((logged - 1) % RingEntries);
    for (int e = 0; e < EventNumbers; ++e) {
        put(m, EventBlock + EventTotals + 2 * e, quint32(total[size_t(e)]), 2);
        m[EventBlock + EventsSinceErase + e] = char(sinceErase[size_t(e)]);
    }
    const quint32 erases = 5 + rng() % 200;
    put(m, EventBlock + EraseWord, erases, 2);
    m_mem[2][Erases] = char(erases & 0xFF);
}

void MachineController::fillRegisters(QByteArray &m)
{
    std::mt19937 rng(m_profile.serial + 3);
    for (int a = 0; a < 0x40; ++a)
        m[a] = 0;
    m[0x10] = 2;  // two alarms pending
    m[0x11] = 11; // door open
    m[0x12] = 21; // cups empty
    for (int a = 0x13; a <= 0x17; ++a)
        m[a] = char(20 + rng() % 40);
    m[0xB67] = char(rng() % 50);
    putStamp(m, 0xB60, m_profile.clockStart.addSecs(-qint64(rng() % (20 * 86400))));
    for (int i = 0; i < 16; ++i)
        put(m, PointerBlock + 2 * i, i < 9 ? counterAddress(i) + PointerBias : 0, 2);
    clearCounters();
    // door openings, power-ups, coin jams and vend failures since the last erase
    for (int i : {1, 2, 7, 8})
        m[counterAddress(i)] = char(1 + rng() % 9);
}

MachineController::SalesCounters MachineController::salesCounters(bool sinceErase) const
{
    SalesCounters c;
    std::array<int, 9> pointer{};
    for (int i = 0; i < 9; ++i)
        pointer[size_t(i)] = counterAddress(i);
    eachSalesCounter(c, sinceErase, pointer,
                     [this](quint32 &value, int type, int address, int bytes) {
                         value = 0;
                         for (int i = bytes - 1; i >= 0; --i)
                             value = value << 8 | byteAt(type, quint16(address + i));
                     });
    return c;
}

int MachineController::eventCount(int number, bool sinceErase) const
{
    if (number < 0 || number >= EventNumbers)
        return 0;
    return sinceErase ? byteAt(1, quint16(EventBlock + EventsSinceErase + number))
                      : wordAt(1, quint16(EventBlock + EventTotals + 2 * number));
}

QList<MachineController::LoggedEvent> MachineController::eventLog() const
{
    QList<LoggedEvent> out;
    int j = byteAt(1, EventBlock) % RingEntries;
    for (int n = 0; n < RingEntries; ++n, j = j == 0 ? RingEntries - 1 : j - 1) {
        const int a = EventBlock + 1 + RingEntry * j;
        auto b = [&](int f) { return int(byteAt(1, quint16(a + f))); };
        if (b(5) == 0 && b(6) == 0)
            continue;
        out << LoggedEvent{QDateTime(QDate(2000 + b(4), b(3), b(2)), QTime(b(1), b(0))), b(5),
                           b(6)};
    }
    return out;
}

int MachineController::readsWithReset() const
{
    return wordAt(1, EventBlock + EraseWord);
}

// What an erase clears: the counters of the pointer block, the cash counters, the half of the
// sales table and the event counters that count since the last erase. Totals, settings and
// logs stay.
void MachineController::clearCounters()
{
    QByteArray &m = m_mem[2];
    for (size_t i = 0; i < CounterLengths.size(); ++i)
        putText(m, counterAddress(int(i)), "", CounterLengths[i], '\0');
    putText(m, CashCounters, "", 12, '\0');
    putText(m, CardSales, "", 3, '\0');
    putText(m_mem[1], SalesTable + SalesHalf, "", SalesHalf, '\0');
    putText(m_mem[1], EventBlock + EventsSinceErase, "", EventNumbers, '\0');
}

void MachineController::stamp(QByteArray &m, int address) const
{
    putStamp(m, address, m_profile.clockStart.addMSecs(Runtime::current().nowMs()));
}

void MachineController::refreshClock()
{
    stamp(m_mem[0], 0x08);
}

// ---- the line ----

void MachineController::lineOpened(const QString &)
{
    ++m_call; // answers still on their way belonged to the call before
    m_dropped = false;
    m_inFrame = false;
    m_callRequests = 0;
    m_lineFreeAt = 0;
}

void MachineController::lineClosed()
{
    ++m_call;
    m_inFrame = false;
}

void MachineController::fromStation(const QByteArray &bytes, const QString &)
{
    for (char c : bytes) {
        if (m_dropped)
            return;
        if (c == SOH) { // a new start abandons whatever was half received
            m_frame = QByteArray(1, SOH);
            m_inFrame = true;
            continue;
        }
        if (!m_inFrame)
            continue; // noise between frames
        m_frame += c;
        if (c == EOT) {
            m_inFrame = false;
            endOfFrame();
        } else if (m_frame.size() > 1 + MaxDigits) {
            m_inFrame = false; // too long to be a request: wait for the next SOH
            Request r;
            r.raw = m_frame;
            r.atMs = Runtime::current().nowMs();
            m_requests << r;
            emit requestReceived(r);
        }
    }
}

MachineController::Request MachineController::parse(const QByteArray &raw) const
{
    Request r;
    r.raw = raw;
    const QByteArray digits = raw.mid(1, raw.size() - 2);
    if (digits.size() % 2 != 0 || digits.size() < 12)
        return r;
    QByteArray b;
    for (int i = 0; i < digits.size(); i += 2) {
        const int hi = hexValue(digits[i]), lo = hexValue(digits[i + 1]);
        if (hi < 0 || lo < 0)
            return r;
        b += char(hi << 4 | lo);
    }
    r.frameNo = quint8(b[0]);
    r.command = quint8(b[1]);
    r.address = quint16(quint8(b[3]) | quint8(b[4]) << 8);
    switch (r.command & 0x70) {
    case 0x50:
        r.memoryType = 1;
        break;
    case 0x10:
        r.memoryType = 0;
        break;
    case 0x00:
        r.memoryType = 2;
        break;
    default:
        r.memoryType = -1;
    }
    if (b.size() != 6 + (r.write() ? r.count() : 0))
        return r;
    int sum = 0;
    for (int i = 1; i < b.size() - 1; ++i)
        sum += quint8(b[i]);
    r.checksum = quint8(b[b.size() - 1]);
    if ((sum & 0xFF) != r.checksum)
        return r;
    if (r.write())
        r.data = b.mid(5, r.count());
    r.valid = true;
    return r;
}

bool MachineController::strikes(double p, int fault)
{
    // Every request draws from every die, so the pattern of one fault stays put whatever the
    // others do.
    const double x = std::uniform_real_distribution<double>(0.0, 1.0)(m_dice[size_t(fault)]);
    return x < p;
}

void MachineController::endOfFrame()
{
    for (QByteArray &m : m_mem)
        if (m.size() != MemorySize) // a test may have replaced a memory wholesale
            m.resize(MemorySize, '\0');
    Request r = parse(m_frame);
    r.atMs = Runtime::current().nowMs();
    m_requests << r;
    emit requestReceived(r);
    if (!r.valid || r.memoryType < 0)
        return; // a real controller keeps quiet about what it cannot trust
    ++m_callRequests;
    if (m_faults.dropAfter >= 0 && m_callRequests > m_faults.dropAfter) {
        dropLine();
        return;
    }
    if (m_faults.silenceAfter >= 0 && m_callRequests > m_faults.silenceAfter)
        return;

    const bool lost = strikes(m_faults.lost, Lost);
    const bool lower = strikes(m_faults.lowercase, Lower);
    const bool twice = strikes(m_faults.duplicate, Duplicate);
    const bool late = strikes(m_faults.late, Late);
    const bool junk = strikes(m_faults.junk, Junk);
    const bool oversize = strikes(m_faults.oversize, Oversize);

    QByteArray body = hex2(r.frameNo);
    if (r.write()) {
        applyWrite(r);
        body += hex2(2 * r.checksum);
    } else {
        if (r.memoryType == 0)
            refreshClock();
        const int n = r.count() + (oversize && r.count() == 16 ? 1 : 0);
        int sum = 0;
        for (int i = 0; i < n; ++i) {
            const quint8 v = byteAt(r.memoryType, quint16(r.address + i));
            body += hex2(v);
            sum += v;
        }
        body += hex2(sum & 0xFF);
        noteReads(r);
    }
    if (lost)
        return;
    if (lower)
        body = body.left(body.size() - 2) + body.right(2).toLower();
    QByteArray out;
    if (junk) {
        static const char noise[] = {'\0', '\r', '\n', '?', '~', char(0x7F), char(0xFF)};
        std::mt19937 &d = m_dice[Junk];
        for (int i = 0, n = 1 + int(d() % 3); i < n; ++i)
            out += noise[d() % sizeof noise];
    }
    out += SOH + body + EOT;
    const bool lastBeforeDrop = m_faults.dropAfter >= 0 && m_callRequests == m_faults.dropAfter;
    queue(out, late ? m_faults.lateMs : 0, lastBeforeDrop && !twice);
    if (twice)
        queue(out, 0, lastBeforeDrop);
}

void MachineController::applyWrite(const Request &r)
{
    QByteArray &m = memory(r.memoryType);
    for (int i = 0; i < r.data.size(); ++i)
        m[(r.address + i) & 0xFFFF] = r.data[i];
    if (r.memoryType != 2 || quint16(CommandRegister - r.address) >= r.data.size())
        return;
    const quint8 command = quint8(m[CommandRegister]);
    if (command == CommandReset) {
        ++m_resets;
        m_busyReads = m_profile.resetBusyReads;
        m[StatusRegister] = char(quint8(m[StatusRegister]) | StatusBusy);
        m[CommandRegister] = 0;
        if (m_busyReads <= 0)
            finishReset();
    } else if (command == CommandErase) {
        m_erases << Runtime::current().nowMs();
        clearCounters();
        stamp(m, LastErase);
        m[Erases] = char(quint8(m[Erases]) + 1);
        put(m_mem[1], EventBlock + EraseWord, quint32(readsWithReset() + 1), 2);
        m[CommandRegister] = 0;
    }
}

// A status read counts down a reset in progress; the last one finds it done.
void MachineController::noteReads(const Request &r)
{
    if (r.memoryType != 2 || quint16(StatusRegister - r.address) >= r.count() || m_busyReads <= 0)
        return;
    if (--m_busyReads == 0)
        finishReset();
}

void MachineController::finishReset()
{
    m_busyReads = 0;
    QByteArray &m = m_mem[2];
    m[StatusRegister] = char(quint8(m[StatusRegister]) & ~StatusBusy);
    putText(m, 0x10, "", 3, '\0'); // alarms cleared
    stamp(m, 0xB60);
    m[0xB67] = char(quint8(m[0xB67]) + 1);
}

void MachineController::queue(const QByteArray &bytes, qint64 extraMs, bool dropAfter)
{
    Runtime &rt = Runtime::current();
    const qint64 now = rt.nowMs();
    const qint64 start = qMax(now + m_latency + extraMs, m_lineFreeAt);
    const qint64 done = start + lineTimeMs(int(bytes.size()));
    m_lineFreeAt = done;
    rt.post(done - now, [this, self = QPointer(this), call = m_call, bytes, dropAfter] {
        if (!self || call != m_call)
            return;
        ++m_answersSent;
        toStation(bytes);
        if (dropAfter)
            dropLine();
    });
}

void MachineController::dropLine()
{
    if (m_dropped)
        return;
    m_dropped = true;
    m_inFrame = false;
    ++m_call;
    emit lineDropped();
}

// ---- faults ----

bool LinkFaults::parse(const QString &list, LinkFaults *out, QString *error)
{
    LinkFaults f = *out;
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.section(QLatin1Char('='), 0, 0).trimmed();
        const bool hasValue = item.contains(QLatin1Char('='));
        const QString value = item.section(QLatin1Char('='), 1).trimmed();
        bool ok = true;
        auto probability = [&](double *p) {
            *p = hasValue ? value.toDouble(&ok) : 1.0;
            ok = ok && *p >= 0 && *p <= 1;
        };
        auto count = [&](int *n) {
            *n = value.toInt(&ok);
            ok = ok && hasValue && *n >= 0;
        };
        if (name == QLatin1String("lost"))
            probability(&f.lost);
        else if (name == QLatin1String("lowercase"))
            probability(&f.lowercase);
        else if (name == QLatin1String("duplicate"))
            probability(&f.duplicate);
        else if (name == QLatin1String("late"))
            probability(&f.late);
        else if (name == QLatin1String("junk"))
            probability(&f.junk);
        else if (name == QLatin1String("oversize"))
            probability(&f.oversize);
        else if (name == QLatin1String("late-ms"))
            count(&f.lateMs);
        else if (name == QLatin1String("silence-after"))
            count(&f.silenceAfter);
        else if (name == QLatin1String("drop-after"))
            count(&f.dropAfter);
        else if (name == QLatin1String("seed"))
            f.seed = value.toUInt(&ok), ok = ok && hasValue;
        else
            return fail(QStringLiteral("unknown fault \"%1\"").arg(name));
        if (!ok)
            return fail(QStringLiteral("bad value for %1: \"%2\"").arg(name, value));
    }
    *out = f;
    return true;
}
