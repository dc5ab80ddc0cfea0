#include "TransferEngine.h"

#include "Dialogs.h"
#include "Frames.h"
#include "LinkConsole.h"
#include "ReceiveBox.h"
#include "SerialPort.h"

#include <numeric>
#include <vector>

namespace {
constexpr int MaxPasses = 6;
constexpr int BatchesPerTransfer = 3;
constexpr int TelemetrySweepEnd = 22; // telemetry sweeps end after this slot
constexpr int ListEnd = 0xFF;         // memory-map record type that ends the list
constexpr int BuildMs = 500;
constexpr int PauseMs = 2500;
constexpr int SlotCount = 256;

bool isTelemetry(TransferMode mode)
{
    return mode == TransferMode::ReadTelemetry || mode == TransferMode::WriteTelemetry;
}
} // namespace

TransferEngine::TransferEngine(LinkState &state, SerialPort &port, Dialogs &dialogs,
                               ReceiveBox &box, ::Timer &scheduleTimer, QObject *parent)
    : QObject(parent), m(state), m_port(port), m_dialogs(dialogs), m_box(box),
      m_scheduleTimer(scheduleTimer)
{
    connect(&Timer, &::Timer::tick, this, &TransferEngine::buildTick);
    connect(&Timer8, &::Timer::tick, this, &TransferEngine::sendTick);
    connect(&Timer9, &::Timer::tick, this, &TransferEngine::pauseEnded);
    connect(&Timer10, &::Timer::tick, this, &TransferEngine::rxTimeout);
    connect(&Timer13, &::Timer::tick, this, &TransferEngine::carrierWatch);
}

void TransferEngine::start(TransferMode mode)
{
    m.LinkActive = true;
    m.TransferStart = true;
    m.mode = mode;
    m.BlockCursor = 0;
    m.RxFrame.clear();
    m_box.clear();
    Timer.start();
    m_scheduleTimer.stop();
    m_scheduleTimer.start();
}

void TransferEngine::stopTimers()
{
    Timer.stop();
    Timer8.stop();
    Timer9.stop();
    Timer10.stop();
}

quint32 TransferEngine::resultOffset(int batch, int frameNo) const
{
    if (batch < 0 || batch >= int(ResultOffset.size()) || frameNo < 0 || frameNo > 255)
        return 0;
    return ResultOffset[batch][frameNo];
}

void TransferEngine::hangUp()
{
    if (m_console)
        m_console->hangUp();
}

// --- Building ---------------------------------------------------------------------------------

void TransferEngine::buildTick()
{
    Timer.stop();
    m_scheduleTimer.stop();
    FrameNo = 0;
    if (m.TransferStart)
        initialise();
    buildBatch();
    m.TransferStart = false;
    FrameNo = 0;
    for (const QByteArray &slot : m.FrameSlots)
        m_built += slot.isEmpty() ? 0 : 1;
    Timer8.setInterval(requestMs(m.mode));
    Timer8.start();
    Timer10.start();
}

void TransferEngine::initialise()
{
    m_port.setRThreshold(1);
    BlockList = QVector<Block>(BlockMaps::ListRows);
    BatchCount = 0;
    PassCount = 0;
    EmptySlots = 0;
    m_built = 0;
    for (auto &row : ResultOffset)
        row.fill(0);
    if (m_console)
        m_console->setProgressValue(0);

    auto place = [this](const QVector<Block> &blocks) {
        std::copy(blocks.begin(), blocks.end(), BlockList.begin());
        return int(blocks.size());
    };
    int maximum = 0;
    switch (m.mode) {
    case TransferMode::ReadConfig:
    case TransferMode::WriteConfig:
        maximum = place(BlockMaps::configuration()) + 6;
        break;
    case TransferMode::ReadTelemetry:
    case TransferMode::WriteTelemetry:
        maximum = place(BlockMaps::telemetry()) + 6;
        if (m.TelemetryImage.size() < MachineFiles::TelemetryImageSize)
            m.TelemetryImage.resize(MachineFiles::TelemetryImageSize, '\0');
        break;
    case TransferMode::WriteChanged: {
        QVector<Block> rows = BlockMaps::changed(m.ConfigImage, m.SnapshotImage);
        rows.resize(qMin<qsizetype>(rows.size(), BlockMaps::ListRows));
        maximum = place(rows);
        break;
    }
    case TransferMode::ReadAudit: {
        m.AuditImageLength = 0;
        m.AuditImageSum = 0;
        for (int i = 0; i < m.MapLines.size() && i < m.MapRecords.size(); ++i) {
            m.MapRecords[i] = BlockMaps::parseMapLine(m.MapLines.at(i));
            m.AuditImageLength += m.MapRecords[i].length;
        }
        m.AuditImageLength += 4;
        m.AuditImage = QByteArray(m.AuditImageLength, '\0');
        maximum = 442;
        m_cursor = Cursor{};
        break;
    }
    default:
        break;
    }
    plan();
    if (m_console)
        m_console->setProgressMaximum(maximum);
}

void TransferEngine::plan()
{
    int requests = 0;
    if (m.mode == TransferMode::ReadAudit) {
        for (const MapRecord &r : m.MapRecords) {
            if (r.type == ListEnd)
                break;
            if (r.type <= 2 && r.length > 0)
                requests += (r.length + 15) / 16;
        }
    } else {
        const int rows = isTelemetry(m.mode) ? BlockMaps::TelemetryBlocks : BlockMaps::ListRows;
        for (int i = 0; i < rows && i < BlockList.size(); ++i) {
            if (BlockList.at(i).length > 0)
                ++requests;
            else if (m.mode == TransferMode::WriteChanged)
                break;
        }
    }
    m_planned.clear();
    const int batches = isTelemetry(m.mode) ? 1 : BatchesPerTransfer;
    for (int b = 0; b < batches; ++b) {
        const int n = b == batches - 1 ? requests : qMin(requests, SlotCount);
        m_planned << n;
        requests -= n;
    }
    m_designedMs = designedMs(m_planned, m.mode);
}

int TransferEngine::plannedRequests() const
{
    return std::accumulate(m_planned.begin(), m_planned.end(), 0);
}

int TransferEngine::answeredRequests() const
{
    int waiting = 0;
    for (const QByteArray &slot : m.FrameSlots)
        waiting += slot.isEmpty() ? 0 : 1;
    return qMax(0, m_built - waiting);
}

int TransferEngine::requestMs(TransferMode mode)
{
    return Frames::isReadMode(mode) ? 150 : 200;
}

// Walks the sender's sweeps as sendTick() makes them, every request answered before its sweep's
// pause ends.
qint64 TransferEngine::designedMs(const QVector<int> &batches, TransferMode mode)
{
    const int tick = requestMs(mode);
    const bool telemetry = isTelemetry(mode);
    qint64 t = 0;
    for (const int requests : batches) {
        t += BuildMs;
        std::vector<bool> waiting(SlotCount, false);
        std::fill_n(waiting.begin(), qMin(requests, SlotCount), true);
        int frameNo = 0, empty = 0;
        qint64 pauseEnd = -1;
        for (bool complete = false; !complete;) {
            t += tick;
            if (pauseEnd >= 0) {
                if (t < pauseEnd)
                    continue;
                pauseEnd = -1;
                empty = 0;
            }
            bool paused = false;
            while (!waiting[size_t(frameNo)]) {
                if (empty == SlotCount - 1) {
                    complete = true;
                    break;
                }
                ++empty;
                if (frameNo == SlotCount - 1) {
                    frameNo = 0;
                    pauseEnd = t + PauseMs;
                    paused = true;
                    break;
                }
                ++frameNo;
            }
            if (complete || paused)
                continue;
            waiting[size_t(frameNo)] = false;
            if (frameNo == SlotCount - 1 || (telemetry && frameNo == TelemetrySweepEnd)) {
                frameNo = 0;
                pauseEnd = t + PauseMs;
            } else {
                ++frameNo;
            }
        }
    }
    return t;
}

void TransferEngine::buildBatch()
{
    for (auto &slot : m.FrameSlots)
        slot.clear();
    m.FrameSent.reset();
    if (m.mode == TransferMode::ReadAudit)
        buildFromMap();
    else
        buildFromBlocks();
}

void TransferEngine::buildFromBlocks()
{
    const TransferMode mode = m.mode;
    const bool telemetry = isTelemetry(mode);
    const int rows = telemetry ? BlockMaps::TelemetryBlocks : BlockMaps::ListRows;
    const bool write = !Frames::isReadMode(mode);
    while (FrameNo < 256 && m.BlockCursor < rows) {
        const Block b = BlockList.value(m.BlockCursor);
        if (mode == TransferMode::WriteChanged && b.length == 0)
            break;
        if (b.length == 0) { // only a list shorter than its mode's map has such rows
            ++m.BlockCursor;
            continue;
        }
        ++m.BlockCursor;
        int count = b.length;
        QByteArray data;
        if (write) {
            if (mode == TransferMode::WriteTelemetry) {
                const int index = int(b.address) - BlockMaps::TelemetryBase;
                if (FrameNo == 1) {
                    // The machine takes the second telemetry block as 8 bytes whose second
                    // byte is always 1.
                    m.TelemetryImage[index + 1] = 1;
                    count = 8;
                }
                data = m.TelemetryImage.mid(index, count);
            } else {
                data = m.ConfigImage.mid(b.address, count);
            }
            data.resize(count, '\0');
        }
        const quint8 command =
            write ? Frames::writeCommand(1, count) : Frames::readCommand(1, count);
        m.FrameSlots[FrameNo] = Frames::request(quint8(FrameNo), command, quint16(b.address), data);
        ++FrameNo;
    }
}

void TransferEngine::buildFromMap()
{
    Cursor &c = m_cursor;
    while (FrameNo < 256 && !c.finished) {
        if (c.takeNext) {
            if (c.record >= m.MapRecords.size() || m.MapRecords[c.record].type == ListEnd) {
                c.finished = true;
                break;
            }
            const MapRecord &r = m.MapRecords[c.record];
            c.type = r.type;
            c.address = r.address;
            c.remaining = r.length;
            c.takeNext = false;
        }
        if (c.remaining <= 0 || c.type > 2) {
            // Nothing to read here: an empty line, or a memory type the protocol has no
            // selector for. Its bytes keep their place in the image as zeros.
            c.resultPos += quint32(qMax(0, c.remaining));
            c.takeNext = true;
            ++c.record;
            continue;
        }
        const int n = qMin(16, c.remaining);
        ResultOffset[qMin(BatchCount, 3)][FrameNo] = c.resultPos;
        m.FrameSlots[FrameNo] =
            Frames::request(quint8(FrameNo), Frames::readCommand(c.type, n), quint16(c.address));
        c.resultPos += quint32(n);
        c.address += quint32(n);
        c.remaining -= n;
        if (c.remaining == 0) {
            c.takeNext = true;
            ++c.record;
        }
        ++FrameNo;
    }
}

// --- Sending ----------------------------------------------------------------------------------

void TransferEngine::sendTick()
{
    if (Timer9.isEnabled())
        return;
    if (PassCount > MaxPasses) {
        txError();
        return;
    }
    while (m.FrameSlots[FrameNo].isEmpty()) {
        if (EmptySlots == 255) {
            batchComplete();
            return;
        }
        ++EmptySlots;
        if (FrameNo == 255) {
            FrameNo = 0;
            Timer9.start();
            return;
        }
        ++FrameNo;
    }
    m_port.write(m.FrameSlots[FrameNo]);
    m.FrameSent.set(size_t(FrameNo));
    if (FrameNo == 255 || (isTelemetry(m.mode) && FrameNo == TelemetrySweepEnd)) {
        FrameNo = 0;
        Timer9.start();
    } else {
        ++FrameNo;
    }
}

void TransferEngine::pauseEnded()
{
    ++PassCount;
    EmptySlots = 0; // the next sweep starts at slot 0
    Timer9.stop();
}

void TransferEngine::batchComplete()
{
    EmptySlots = 0;
    if (!isTelemetry(m.mode)) {
        m_box.clear();
        if (m_console)
            m_console->showFrameNumber({});
        Timer.start();
    }
    Timer8.stop();
    Timer9.stop();
    Timer10.stop();
    ++BatchCount;
    if (BatchCount == BatchesPerTransfer || isTelemetry(m.mode))
        endTransfer();
}

void TransferEngine::endTransfer()
{
    // Saving a configuration write starts the reset dialogue, which changes the mode.
    const TransferMode mode = m.mode;
    BatchCount = 0;
    m_scheduleTimer.start();
    stopTimers();
    m.LinkActive = false;
    if (m_console)
        m_console->setProgressValue(m_console->progressMaximum());
    emit finishing(mode);
    auto ended = [this, mode] {
        if (mode == TransferMode::WriteTelemetry)
            m_dialogs.message(tr("Write Telemetry OK"), MsgButtons::Ok, MsgIcon::Information,
                              tr("Info Telemetry"));
        if (m_console) {
            m_console->setStatusLine({});
            m_console->setProgressValue(0);
        }
        emit this->ended(mode);
    };
    if (m_onEnd)
        m_onEnd(ended);
    else
        ended();
}

// --- Failures ---------------------------------------------------------------------------------

void TransferEngine::txError()
{
    const MsgResult r =
        m_dialogs.message(tr("ERROR TX ! REBROADCAST ? "), MsgButtons::RetryCancel,
                          MsgIcon::Critical, tr("ERROR"));
    if (r == MsgResult::Retry) {
        m.TransferStart = true;
        m.BlockCursor = 0;
        Timer.start();
        Timer8.stop();
        Timer9.stop();
        Timer10.stop();
        return;
    }
    stopTimers();
    hangUp();
}

void TransferEngine::rxTimeout()
{
    Timer10.stop();
    Timer8.stop();
    const MsgResult r =
        m_dialogs.message(tr(" TIME OUT RX ! REBROADCAST ? "), MsgButtons::RetryCancel,
                          MsgIcon::Critical, tr("ERROR"));
    if (r != MsgResult::Retry) {
        stopTimers();
        hangUp();
        return;
    }
    Timer8.start();
    Timer10.start();
    if (++m.RxTimeoutCount >= 5) {
        m.RxTimeoutCount = 0;
        stopTimers();
        m_dialogs.message(tr("COMUNICATION ERROR"), MsgButtons::Ok, MsgIcon::Critical,
                          tr("ERROR"));
        hangUp();
    }
}

void TransferEngine::carrierWatch()
{
    if (m_port.carrierDetect())
        return;
    Timer13.stop();
    m_dialogs.message(tr("Lost Connection"), MsgButtons::Ok, MsgIcon::Critical);
    hangUp();
}
