#pragma once

#include "BlockMaps.h"
#include "LinkState.h"
#include "Timer.h"

#include <QObject>
#include <array>
#include <functional>

class Dialogs;
struct ReceiveBox;
class LinkConsole;
class SerialPort;

// Moves blocks of a machine's memory over a connected call: builds batches of up to 256 request
// frames (`Timer`), sends one per tick (`Timer8`), resends what stays unanswered after 2.5 s
// pauses (`Timer9`), and watches the receive time-out (`Timer10`) and the carrier (`Timer13`).
// Answers come back through the frame receiver, which empties the slots they answer.
class TransferEngine : public QObject
{
    Q_OBJECT
public:
    TransferEngine(LinkState &state, SerialPort &port, Dialogs &dialogs, ReceiveBox &box,
                   ::Timer &scheduleTimer, QObject *parent = nullptr);

    void setConsole(LinkConsole *c) { m_console = c; }
    // Runs once at the end of every successful transfer ("Save machine data"); the transfer
    // ends when it calls the function it is given, once its files are on the disk.
    using TransferEnd = std::function<void(std::function<void()> ended)>;
    void setTransferEnd(TransferEnd f) { m_onEnd = std::move(f); }

    // What a console command does to hand a job over: shared transfer state set, receive state
    // cleared, `Timer` switched on, the schedule check's timer restarted.
    void start(TransferMode mode);

    ::Timer Timer{QStringLiteral("Timer"), 500, false};
    ::Timer Timer8{QStringLiteral("Timer8"), 150, false};
    ::Timer Timer9{QStringLiteral("Timer9"), 2500, false};
    ::Timer Timer10{QStringLiteral("Timer10"), 10000, false};
    ::Timer Timer13{QStringLiteral("Timer13"), 5000, false};

    // Switches the batch builder, sender, pause and receive time-out off.
    void stopTimers();
    bool sending() const { return Timer8.isEnabled(); }

    // Mode 5: where the answer to a frame of a batch lands in `AuditImage`.
    quint32 resultOffset(int batch, int frameNo) const;

    // State visible to tests and the progress display.
    int passCount() const { return PassCount; }
    int batchCount() const { return BatchCount; }

    // The plan made when the transfer started: requests per batch, and how long the transfer
    // lasts when every request is answered at its first sending.
    const QVector<int> &plannedBatches() const { return m_planned; }
    int plannedRequests() const;
    qint64 designedMs() const { return m_designedMs; }
    // Requests answered so far in this transfer.
    int answeredRequests() const;
    // The sender's pace, and the designed duration of batches of that many requests.
    static int requestMs(TransferMode mode);
    static qint64 designedMs(const QVector<int> &batches, TransferMode mode);

signals:
    // Every request of the transfer is answered; what the transfer leaves behind is made next.
    void finishing(TransferMode mode);
    // A transfer completed, after "Save machine data" and its messages. A transfer that gives up
    // ends in the console's hang-up instead.
    void ended(TransferMode mode);

private:
    void buildTick();
    void initialise();
    void buildBatch();
    void buildFromBlocks();
    void buildFromMap();
    void sendTick();
    void pauseEnded();
    void batchComplete();
    void endTransfer();
    void txError();
    void rxTimeout();
    void carrierWatch();
    void hangUp();
    void plan();

    LinkState &m;
    SerialPort &m_port;
    Dialogs &m_dialogs;
    ReceiveBox &m_box;
    ::Timer &m_scheduleTimer; // `Timer5`
    LinkConsole *m_console = nullptr;
    TransferEnd m_onEnd;

    QVector<Block> BlockList;
    int FrameNo = 0;
    int EmptySlots = 0;
    int BatchCount = 0;
    int PassCount = 0;
    std::array<std::array<quint32, 256>, 4> ResultOffset{};
    QVector<int> m_planned;
    qint64 m_designedMs = 0;
    int m_built = 0; // requests put in batches so far

    // Mode 5 build cursor.
    struct Cursor
    {
        int record = 0;
        bool takeNext = true;
        quint32 address = 0;
        int remaining = 0;
        quint32 resultPos = 2;
        quint8 type = 0;
        bool finished = false;
    } m_cursor;
};
