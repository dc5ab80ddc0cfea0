#include "ResetDialogue.h"

#include "Dialogs.h"
#include "Frames.h"
#include "LinkConsole.h"
#include "ReceiveBox.h"
#include "SerialPort.h"

namespace {
constexpr quint16 CommandRegister = 9;
constexpr quint16 StatusRegister = 12;
constexpr char ResetCommand = 0x0B;
constexpr char EraseCommand = 0x07;
constexpr quint8 ResetBusy = 0x08;
constexpr int MaxFailures = 5;
constexpr int AckLength = 14;    // "<SOH>" + frame number + check + "<EOT>"
constexpr int StatusLength = 16; // ... with the status byte
} // namespace

ResetDialogue::ResetDialogue(LinkState &state, SerialPort &port, Dialogs &dialogs, ReceiveBox &box,
                             ::Timer &pollingTimer, QObject *parent)
    : QObject(parent), m(state), m_port(port), m_dialogs(dialogs), m_box(box),
      m_pollingTimer(pollingTimer)
{
    connect(&Timer12, &::Timer::tick, this, &ResetDialogue::tick);
    connect(&Timer11, &::Timer::tick, this, &ResetDialogue::answerTimeout);
    connect(&m_clearStatus, &::Timer::tick, this, [this] {
        m_clearStatus.stop();
        if (m_console)
            m_console->setStatusLine({});
    });
}

void ResetDialogue::startReset()
{
    m.LinkActive = true;
    m.AwaitResetAck = true;
    m.TransferStart = true;
    m.ResetAfterWrite = false;
    m.ResetState = ResetStep::SendReset;
    m.ResetRetryCount = 0;
    m.mode = TransferMode::ResetDialogue;
    m.RxFrame.clear();
    m_box.clear();
    Timer12.start();
}

void ResetDialogue::startErase()
{
    m.ResetState = ResetStep::Erase;
    Timer12.start();
}

void ResetDialogue::stop()
{
    Timer11.stop();
    Timer12.stop();
}

void ResetDialogue::send(ResetStep step)
{
    QByteArray frame;
    switch (step) {
    case ResetStep::SendReset:
        frame = Frames::request(0, Frames::writeCommand(2, 1), CommandRegister,
                                QByteArray(1, ResetCommand));
        break;
    case ResetStep::AskStatus:
        frame = Frames::request(0, Frames::readCommand(2, 1), StatusRegister);
        break;
    default:
        frame = Frames::request(0, Frames::writeCommand(2, 1), CommandRegister,
                                QByteArray(1, EraseCommand));
        break;
    }
    m.FrameSlots[0] = frame;
    m.FrameSent.reset();
    m_port.write(m.FrameSlots[0]);
    m.FrameSent.set(0);
}

QByteArray ResetDialogue::checkDigits(const QByteArray &frame)
{
    const qsizetype eot = frame.lastIndexOf(Frames::EotText);
    return eot >= 2 ? frame.mid(eot - 2, 2) : QByteArray();
}

bool ResetDialogue::answersRequest(const QByteArray &frame) const
{
    return m.FrameSent.test(0) &&
           Frames::pairValue(Frames::body(frame), 0) == Frames::slotFrameNumber(m.FrameSlots[0]);
}

void ResetDialogue::cancelThroughConsole()
{
    if (m_console)
        m_console->resetAlarmClick();
}

void ResetDialogue::giveUp(const QString &message)
{
    m_dialogs.message(message);
    m.ResetRetryCount = 0;
    stop();
    cancelThroughConsole();
    m.LinkActive = false;
    emit finished(false);
}

void ResetDialogue::tick()
{
    if (m.TransferStart)
        m_port.setRThreshold(1);
    m_pollingTimer.stop();

    switch (m.ResetState) {
    case ResetStep::SendReset:
        m_box.clear();
        if (m_console)
            m_console->setStatusLine(tr("Send Command RESET...Waiting Response"));
        send(ResetStep::SendReset);
        m.ResetState = ResetStep::AwaitAck;
        m.AwaitResetAck = true;
        m.AwaitResetStatus = false;
        break;

    case ResetStep::AwaitAck: {
        Timer11.start();
        if (m.RxFrame.size() != AckLength)
            return;
        m_box.clear();
        const bool good = answersRequest(m.RxFrame) &&
                          checkDigits(m.RxFrame) ==
                              Frames::hex2(quint8(2 * Frames::slotChecksum(m.FrameSlots[0])));
        m.RxFrame.clear();
        if (!good) {
            m.ResetState = ResetStep::SendReset;
            if (++m.ResetRetryCount >= MaxFailures)
                giveUp(tr("Impossible to send Cmd Reset.Try later!"));
            return;
        }
        if (m.ResetAfterWrite) {
            m_dialogs.message(tr("Command RESET Sent "), MsgButtons::Ok,
                              MsgIcon::Information);
            stop();
            if (m_console) {
                m_console->resetAlarmEnded();
                m_console->setStatusLine({});
                m_console->setCommandsEnabled(true);
            }
            m.LinkActive = false;
            emit finished(true);
            return;
        }
        const MsgResult r =
            m_dialogs.ask(MsgId::WaitForReset, tr("Command RESET Sent. Waiting Response?"),
                          MsgButtons::YesNo);
        if (m_console)
            m_console->setStatusLine(tr("Waiting for Response RESET Done "));
        if (r == MsgResult::Yes) {
            m.ResetState = ResetStep::AskStatus;
        } else {
            stop();
            cancelThroughConsole();
            m.LinkActive = false;
            emit finished(false);
        }
        break;
    }

    case ResetStep::AskStatus:
        m_box.clear();
        send(ResetStep::AskStatus);
        m.ResetState = ResetStep::AwaitStatus;
        m.AwaitResetAck = false;
        m.AwaitResetStatus = true;
        break;

    case ResetStep::AwaitStatus: {
        Timer11.start();
        if (m.RxFrame.size() != StatusLength)
            return;
        m_box.clear();
        const quint8 status = Frames::pairValue(Frames::body(m.RxFrame), 2);
        const bool good = answersRequest(m.RxFrame) && checkDigits(m.RxFrame) == Frames::hex2(status);
        m.RxFrame.clear();
        if (!good) {
            m.ResetState = ResetStep::AskStatus;
            if (++m.ResetRetryCount >= MaxFailures)
                giveUp(tr("Impossible to receive response on state of Reset"));
            return;
        }
        if (status & ResetBusy) {
            m.ResetState = ResetStep::AskStatus;
            Timer11.start();
            return;
        }
        if (m_console)
            m_console->setStatusLine(tr("RESET DONE"));
        m_dialogs.message(tr("  RESET DONE "), MsgButtons::Ok, MsgIcon::Information);
        stop();
        cancelThroughConsole();
        m.LinkActive = false;
        emit finished(true);
        break;
    }

    case ResetStep::Erase:
        send(ResetStep::Erase);
        Timer12.stop();
        // Shown for a moment, then cleared.
        if (m_console)
            m_console->setStatusLine(tr("Command Sent"));
        m_clearStatus.start();
        emit finished(true);
        break;
    }
}

void ResetDialogue::answerTimeout()
{
    const MsgResult r = m_dialogs.message(
        tr("Impossible to receive response.Continue?"), MsgButtons::YesNo);
    if (r == MsgResult::Yes) {
        Timer12.start();
        m.ResetState = m.ResetAfterWrite ? ResetStep::SendReset : ResetStep::AskStatus;
        return;
    }
    m.AwaitResetAck = false;
    m.AwaitResetStatus = false;
    cancelThroughConsole();
    emit finished(false);
}
