#pragma once

#include "LoopbackPort.h"

#include <QDateTime>
#include <QList>
#include <array>
#include <random>

// What makes one simulated machine different from the next: identity, firmware, and where its
// firmware keeps the resettable audit counters (the pointer block names them).
struct MachineProfile
{
    quint32 serial = 100234;    // configuration bytes 0-3
    quint16 program = 1402;     // bytes 4-5: firmware program number, 0-9999
    quint8 revision = 2;        // byte 6: firmware revision, 0 = "A"
    quint8 hardware = 3;        // byte 7
    quint8 board = 1;           // byte 8
    quint8 model = 2;           // byte 48: model code 1-6
    quint8 variant = 1;         // 1 espresso, 2 instant
    quint8 option = 0;          // 2: fresh-brew unit fitted
    quint16 asset = 4711;       // the operator's asset number
    QByteArray site = "TO001";  // bytes 64-68
    quint16 auditBase = 0x0C00; // memory type 2: first resettable counter
    int resetBusyReads = 3;     // status reads that still show a reset as busy
    QDateTime clockStart = QDateTime(QDate(2024, 5, 6), QTime(8, 30));

    // A profile of its own for each number, so that two machines of a demonstration differ.
    static MachineProfile forNumber(const QByteArray &number);
};

// Ways the line or the controller misbehave. Every random choice draws from generators seeded by
// `seed`, one per fault, so a run repeats exactly and switching one fault on does not change
// where another strikes.
struct LinkFaults
{
    quint32 seed = 1;
    double lost = 0;      // answer never sent
    double lowercase = 0; // check digits in lower case
    double duplicate = 0; // answer sent twice
    double late = 0;      // answer held back by lateMs
    int lateMs = 3000;
    double junk = 0;       // 1-3 bytes of line noise before the SOH
    double oversize = 0;   // a 16-byte read answered with 17 bytes
    int silenceAfter = -1; // requests of a call answered before the controller goes quiet
    int dropAfter = -1;    // requests of a call answered before the controller drops the line

    // "lost=0.05,lowercase,duplicate=0.1,late=0.2,late-ms=12000,junk=0.1,oversize=0.1,
    // silence-after=40,drop-after=40,seed=7"; a fault named without a value always strikes.
    // Unknown names and bad values fail with a one-line reason.
    static bool parse(const QString &list, LinkFaults *out, QString *error);
};

// A vending machine's controller on the far end of a data call, written from the frame protocol
// as the machine sees it: it assembles SOH ... EOT frames of upper-case hex digit pairs, checks
// each request and answers it once, after its processing time and the time the answer takes at
// the line's speed. Three memories of 64 KiB each: type 1 holds configuration, telemetry
// settings and the sales and event records; type 2 the command and status registers, the
// pointer block and the resettable counters; type 0 the clock and the firmware version.
class MachineController : public LineDevice
{
    Q_OBJECT
public:
    static constexpr int MemorySize = 0x10000;
    static constexpr quint16 CommandRegister = 9;
    static constexpr quint16 StatusRegister = 12;
    static constexpr quint8 StatusBusy = 0x08;
    static constexpr quint8 CommandReset = 0x0B;
    static constexpr quint8 CommandErase = 0x07;
    static constexpr quint16 PointerBlock = 0x0B90;
    static constexpr int PointerBias = 400; // pointer words lie this much above their target

    // A request as it came off the line.
    struct Request
    {
        QByteArray raw;     // SOH ... EOT as received
        qint64 atMs = 0;    // when its EOT arrived
        bool valid = false; // digits, length and checksum in order
        int frameNo = -1;
        quint8 command = 0;
        int memoryType = -1; // 0, 1, 2; -1 for an unknown selector
        quint16 address = 0;
        QByteArray data; // written bytes
        quint8 checksum = 0;
        bool write() const { return command & 0x80; }
        int count() const { return (command & 0x0F) + 1; }
    };

    explicit MachineController(const MachineProfile &profile = MachineProfile(),
                               QObject *parent = nullptr);

    const MachineProfile &profile() const { return m_profile; }
    void setFaults(const LinkFaults &faults);
    const LinkFaults &faults() const { return m_faults; }
    // Time to work out an answer, and the line speed that paces it (10 bits a character).
    void setTiming(int latencyMs, int baud = 9600)
    {
        m_latency = qMax(0, latencyMs);
        m_baud = qMax(1, baud);
    }
    // Milliseconds n characters take on the line.
    qint64 lineTimeMs(int chars) const;

    // Memory by type: 0, 1, and 2 for any other number.
    QByteArray &memory(int type);
    const QByteArray &memory(int type) const;
    quint8 byteAt(int type, quint16 address) const;
    quint16 wordAt(int type, quint16 address) const;

    // Every frame received, well-formed or not, in order.
    const QList<Request> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    int answersSent() const { return m_answersSent; }
    int resetCount() const { return m_resets; }
    int eraseCount() const { return int(m_erases.size()); }
    // Virtual-time moments of the erase commands.
    const QList<qint64> &eraseTimes() const { return m_erases; }
    bool resetBusy() const { return m_busyReads > 0; }
    // The controller hung up (carrier-loss fault) and has not been called again.
    bool droppedLine() const { return m_dropped; }

    // Where the resettable counters of the pointer words lie (type 2), with their lengths.
    static constexpr std::array<int, 9> CounterLengths{3, 1, 1, 16, 2, 16, 16, 1, 1};
    quint16 counterAddress(int i) const;

    static constexpr int Selections = 30; // on the keypad; prices come from 56 price lines
    static constexpr int EventNumbers = 147;
    // The coin values (cents) the coin mechanism takes, and the bills (cents) the validator takes.
    static constexpr std::array<int, 8> CoinValues{5, 10, 20, 50, 100, 200, 0, 0};
    static constexpr std::array<int, 8> BillValues{500, 1000, 2000, 5000, 0, 0, 0, 0};

    // Sales and cash counters as the memory holds them, money in cents: since the machine was
    // set up, or since the last erase.
    struct SalesCounters
    {
        quint32 paidValue = 0, paidVends = 0;                // every paid vend
        quint32 cashValue = 0, cashVends = 0;                // paid in coins and bills
        quint32 cardValue = 0, cardVends = 0;                // paid by card
        quint32 coinsToBox = 0, coinsToTubes = 0, bills = 0; // value taken in
        quint32 change = 0, manualPayout = 0;                // value paid out
        std::array<quint32, Selections> selectionVends{};
        std::array<quint32, 8> coinsIn{}, coinsToBoxByType{}, billsIn{}; // counts per type
    };
    SalesCounters salesCounters(bool sinceErase) const;
    // How often an event number was logged, since set-up or since the last erase.
    int eventCount(int number, bool sinceErase) const;
    struct LoggedEvent
    {
        QDateTime at; // to the minute
        int number = 0;
        int detail = 0;
    };
    // The entries of the event log, newest first.
    QList<LoggedEvent> eventLog() const;
    // Erases so far (the last read that was followed by an erase counts).
    int readsWithReset() const;

    // LineDevice: an opened line is a fresh call (per-call fault counters start again).
    void lineOpened(const QString &settings) override;
    void lineClosed() override;
    void fromStation(const QByteArray &bytes, const QString &settings) override;
    bool carrier() const override { return !m_dropped; }

signals:
    // The controller dropped the line (carrier-loss fault).
    void lineDropped();
    void requestReceived(const MachineController::Request &request);

private:
    void fill();
    void fillConfiguration(QByteArray &m);
    void fillTelemetry(QByteArray &m);
    void fillRegisters(QByteArray &m);
    void fillSales(std::mt19937 &rng);
    void fillEvents(std::mt19937 &rng, const QDateTime &lastErase);
    void clearCounters();
    void stamp(QByteArray &m, int address) const;
    void refreshClock();

    void endOfFrame();
    Request parse(const QByteArray &raw) const;
    QByteArray answer(const Request &r);
    void applyWrite(const Request &r);
    void noteReads(const Request &r);
    void finishReset();
    void queue(const QByteArray &bytes, qint64 extraMs, bool dropAfter);
    void dropLine();
    bool strikes(double p, int fault);

    MachineProfile m_profile;
    LinkFaults m_faults;
    std::array<std::mt19937, 6> m_dice;
    std::array<QByteArray, 3> m_mem;
    int m_latency = 5;
    int m_baud = 9600;

    QByteArray m_frame;
    bool m_inFrame = false;
    QList<Request> m_requests;
    int m_callRequests = 0;
    int m_answersSent = 0;
    qint64 m_lineFreeAt = 0;
    quint64 m_call = 0;
    bool m_dropped = false;
    int m_busyReads = 0;
    int m_resets = 0;
    QList<qint64> m_erases;
};
