#include "CallProgress.h"

#include <QCoreApplication>

void CallProgress::begin(qint64 now)
{
    *this = CallProgress{};
    m_started = now;
}

void CallProgress::end(qint64 now)
{
    if (running())
        m_ended = now;
    m_step = Step::None;
}

qint64 CallProgress::elapsedMs(qint64 now) const
{
    if (m_started < 0)
        return 0;
    return qMax<qint64>(0, (m_ended >= 0 ? m_ended : now) - m_started);
}

void CallProgress::setBatch(int number, int of)
{
    m_step = Step::Batch;
    m_batch = number;
    m_batches = of;
}

void CallProgress::plan(qint64 now, int requests, qint64 designedMs, int requestMs)
{
    // A transfer sent again after an error starts its plan again, not its percentage.
    m_requests = requests;
    m_answered = 0;
    m_requestMs = requestMs;
    m_designedEnd = now + designedMs;
    m_done = false;
}

void CallProgress::answered(int requests)
{
    m_answered = qBound(0, requests, m_requests);
    if (m_requests > 0)
        m_percent = qMax(m_percent, int(qint64(100) * m_answered / m_requests));
}

void CallProgress::transferDone()
{
    m_answered = m_requests;
    m_percent = 100;
    m_done = true;
}

qint64 CallProgress::remainingMs(qint64 now) const
{
    if (m_done)
        return 0;
    if (m_designedEnd < 0)
        return -1;
    const qint64 at = m_ended >= 0 ? m_ended : now;
    // Past the designed end, what is still unanswered at the sender's pace.
    return qMax(m_designedEnd - at, qint64(m_requests - m_answered) * m_requestMs);
}

QString CallProgress::clock(qint64 ms)
{
    const qint64 s = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString CallProgress::stepText() const
{
    switch (m_step) {
    case Step::None:
        return {};
    case Step::Dialling:
        return QCoreApplication::translate("CallProgress", "dialling");
    case Step::Connected:
        return QCoreApplication::translate("CallProgress", "connected");
    case Step::PointerRead:
        return QCoreApplication::translate("CallProgress", "pointer read");
    case Step::MemoryMap:
        return QCoreApplication::translate("CallProgress", "memory map");
    case Step::Batch:
        return QCoreApplication::translate("CallProgress", "batch %1 of %2")
            .arg(m_batch)
            .arg(m_batches);
    case Step::Converting:
        return QCoreApplication::translate("CallProgress", "converting");
    case Step::Saving:
        return QCoreApplication::translate("CallProgress", "saving");
    case Step::Erasing:
        return QCoreApplication::translate("CallProgress", "erasing");
    case Step::HangingUp:
        return QCoreApplication::translate("CallProgress", "hanging up");
    }
    return {};
}

QString CallProgress::text(qint64 now) const
{
    if (!started())
        return {};
    const qint64 left = remainingMs(now);
    const QString times =
        left < 0 ? QCoreApplication::translate("CallProgress", "%1 elapsed").arg(clock(elapsedMs(now)))
                 : QCoreApplication::translate("CallProgress", "%1 elapsed, %2 left")
                       .arg(clock(elapsedMs(now)), clock(left));
    const QString step = stepText();
    return step.isEmpty() ? times : step + QStringLiteral("  ") + times;
}
