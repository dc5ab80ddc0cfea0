#include "MachineController.h"

#include "Runtime.h"

#include <QPointer>

// Memory layout of the simulated controller (addresses in hexadecimal):
//
// type 1  0000-0003 serial number, 0004-0005 program number, 0006 revision, 0007 hardware,
//         0008 board, 0009-000B configuration date (day, month, year - 2000), 0010-002F name,
//         0030 model code, 0040-0044 site code, 0050 decimal places of money values,
//         0078-007D machine number (digits), 0080-009F description, 00D0-013F 56 prices,
//         0530-05EF coin, bill and token values, 0806/08B6/0966 dose tables;
//         0C00-0EEE operating settings; 0EF0-115F telemetry settings (station number, call
//         schedule, alarm numbers and mask); 12F2-136F counts the firmware keeps; 1370-327E more
//         settings; 32B6-4697 sales per selection (totals, then the resettable half);
//         7980-7C7F event log of 8-byte records (code, flags, time stamp).
// type 2  0009 command register, 000C status register, 0010-0012 pending alarms,
//         0013-0017 power-ups, door openings, coin jams, bill jams, vend failures;
//         0AA0-0AAB cash counters (four 24-bit values), 0ABA cashless sales (24-bit),
//         0B28 time of the last erase, 0B2F erases, 0B60 time of the last reset, 0B67 resets,
//         0B90-0BAF pointer block: nine words, each its counter's address + 400;
//         the counters themselves from the profile's auditBase on.
// type 0  0008-000D the clock, 0020-0022 firmware version.
// Time stamps are six bytes: second, minute, hour, day, month, year - 2000.

namespace {
constexpr char SOH = 0x01;
constexpr char EOT = 0x04;
constexpr int MaxDigits = 2 * (6 + 16); // the longest request: a 16-byte write
constexpr int SalesTable = 0x32B6;
constexpr int SalesHalf = 2549;
constexpr int EventLog = 0x7980;
constexpr int Selections = 56;
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
    fillRecords(m_mem[1]);
    fillRegisters(m_mem[2]);
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
    putText(m, 0x40, p.site, 5, ' ');
    m[0x50] = 2; // money in hundredths
    putText(m, 0x78, QByteArray::number(p.serial).rightJustified(6, '0').right(6), 6, '0');
    putText(m, 0x80, "HOT DRINKS " + p.site + " SN " + QByteArray::number(p.serial), 32, ' ');
    for (int i = 0; i < Selections; ++i)
        put(m, 0xD0 + 2 * i, 30 + 5 * (rng() % 30), 2); // 0.30 to 1.75
    static const int coins[] = {5, 10, 20, 50, 100, 200, 0, 0};
    for (int i = 0; i < 32; ++i) {
        put(m, 0x530 + 2 * i, quint32(coins[i % 8]), 2);             // coin mechanism
        put(m, 0x570 + 2 * i, quint32(i < 4 ? 500 << i : 0), 2);     // bills 5-40
        put(m, 0x5B0 + 2 * i, quint32(i < 2 ? 50 * (i + 1) : 0), 2); // tokens
    }
    for (int t : {0x806, 0x8B6, 0x966})
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

void MachineController::fillRecords(QByteArray &m)
{
    std::mt19937 rng(m_profile.serial + 2);
    // Sales per selection: vends (16 bit) and value (24 bit); totals first, then the half an
    // erase clears.
    for (int half = 0; half < 2; ++half) {
        const int base = SalesTable + half * SalesHalf;
        for (int s = 0; s < Selections; ++s) {
            const quint32 price = quint32(m[0xD0 + 2 * s] & 0xFF) | (m[0xD1 + 2 * s] & 0xFF) << 8;
            const quint32 vends = half == 0 ? 200 + rng() % 4000 : rng() % 150;
            put(m, base + 5 * s, vends, 2);
            put(m, base + 5 * s + 2, vends * price, 3);
        }
    }
    for (int i = 0; i < 96; ++i) {
        const int a = EventLog + 8 * i;
        if (i >= 24) {
            putText(m, a, "", 8, char(0xFF));
            continue;
        }
        m[a] = char(1 + rng() % 40);
        m[a + 1] = char(rng() % 2);
        putStamp(m, a + 2,
                 m_profile.clockStart.addSecs(-qint64(24 - i) * 3 * 3600 - qint64(rng() % 3600)));
    }
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
        m[a] = char(rng() % 40);
    for (int i = 0; i < 4; ++i)
        put(m, 0xAA0 + 3 * i, 1000 + rng() % 90000, 3);
    put(m, 0xABA, rng() % 20000, 3);
    stamp(m, 0xB28);
    m[0xB2F] = char(rng() % 50);
    stamp(m, 0xB60);
    m[0xB67] = char(rng() % 50);
    for (int i = 0; i < 16; ++i)
        put(m, PointerBlock + 2 * i, i < 9 ? counterAddress(i) + PointerBias : 0, 2);
    clearCounters();
    for (size_t i = 0; i < CounterLengths.size(); ++i)
        for (int k = 0; k < CounterLengths[i]; ++k)
            m[(counterAddress(int(i)) + k) & 0xFFFF] = char(1 + rng() % 200);
}

// What an erase clears: the counters of the pointer block, the cash counters and the
// resettable half of the sales table. Totals, settings and logs stay.
void MachineController::clearCounters()
{
    QByteArray &m = m_mem[2];
    for (size_t i = 0; i < CounterLengths.size(); ++i)
        putText(m, counterAddress(int(i)), "", CounterLengths[i], '\0');
    putText(m, 0xAA0, "", 12, '\0');
    putText(m, 0xABA, "", 3, '\0');
    putText(m_mem[1], SalesTable + SalesHalf, "", SalesHalf, '\0');
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
        stamp(m, 0xB28);
        m[0xB2F] = char(quint8(m[0xB2F]) + 1);
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
