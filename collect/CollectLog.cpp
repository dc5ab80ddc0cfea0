#include "CollectLog.h"

#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
constexpr int BarWidth = 40;
const QByteArray Prefix = "gsmcollect: ";
} // namespace

CollectLog CollectLog::toStderr()
{
#ifdef Q_OS_UNIX
    const bool terminal = isatty(fileno(stderr));
#else
    const bool terminal = false;
#endif
    return CollectLog(
        [](const QByteArray &bytes) {
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
            std::fflush(stderr);
        },
        terminal);
}

void CollectLog::line(const QString &text)
{
    // A full bar stays where it is; one still moving is drawn again below the line.
    const bool moving = m_barShown && m_percent < 100;
    if (moving)
        clearBar();
    else
        endProgress();
    m_write(Prefix + text.toLocal8Bit() + '\n');
    if (moving)
        drawBar();
}

void CollectLog::progress(int percent, const QString &detail, const QString &step)
{
    if (!m_terminal) {
        // A log file gets a line per step, with the times of its start.
        if (!step.isEmpty() && step != std::exchange(m_step, step))
            m_write(Prefix + QStringLiteral("%1%  %2").arg(qBound(0, percent, 100)).arg(detail)
                                 .toLocal8Bit() + '\n');
        return;
    }
    percent = qBound(0, percent, 100);
    if (m_full && percent == 100)
        return;
    if (m_barShown && percent == m_percent && detail == m_detail)
        return;
    m_full = false;
    m_percent = percent;
    m_detail = detail;
    drawBar();
}

void CollectLog::batch(int number, int value, int maximum)
{
    if (m_terminal)
        return;
    m_write(Prefix +
            QStringLiteral("batch %1: %2 of %3 answered so far")
                .arg(number)
                .arg(value)
                .arg(maximum)
                .toLocal8Bit() +
            '\n');
}

void CollectLog::endProgress()
{
    if (m_barShown)
        m_write("\n");
    m_full = m_barShown && m_percent == 100;
    m_barShown = false;
    m_percent = 0;
    m_detail.clear();
}

void CollectLog::drawBar()
{
    const int filled = BarWidth * m_percent / 100;
    QByteArray bar = "\r" + Prefix + '[' + QByteArray(filled, '#') +
                     QByteArray(BarWidth - filled, '.') + "] " + QByteArray::number(m_percent) +
                     '%';
    if (!m_detail.isEmpty())
        bar += "  " + m_detail.toLocal8Bit();
    m_write(bar + "\x1b[K");
    m_barShown = true;
}

void CollectLog::clearBar()
{
    if (m_barShown)
        m_write("\r\x1b[K");
    m_barShown = false;
}
