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
    const bool moving = m_barShown && m_value < m_maximum;
    if (moving)
        clearBar();
    else
        endProgress();
    m_write(Prefix + text.toLocal8Bit() + '\n');
    if (moving)
        drawBar();
}

void CollectLog::progress(int value, int maximum)
{
    if (!m_terminal)
        return;
    if (maximum <= 0) { // the transfer is over or has not started
        endProgress();
        return;
    }
    if (value == m_value && maximum == m_maximum && m_barShown)
        return;
    // Nothing to show before the first answer; the console empties its bar after a full one,
    // which stays.
    if (value <= 0 && (!m_barShown || m_value == m_maximum))
        return;
    m_value = qBound(0, value, maximum);
    m_maximum = maximum;
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
    m_barShown = false;
    m_value = 0;
    m_maximum = 0;
}

void CollectLog::drawBar()
{
    const int filled = m_maximum > 0 ? int(qint64(BarWidth) * m_value / m_maximum) : 0;
    const int percent = m_maximum > 0 ? int(qint64(100) * m_value / m_maximum) : 0;
    QByteArray bar = "\r" + Prefix + '[' + QByteArray(filled, '#') +
                     QByteArray(BarWidth - filled, '.') + "] " + QByteArray::number(percent) +
                     "% " + QByteArray::number(m_value) + '/' + QByteArray::number(m_maximum);
    m_write(bar + "\x1b[K");
    m_barShown = true;
}

void CollectLog::clearBar()
{
    if (m_barShown)
        m_write("\r\x1b[K");
    m_barShown = false;
}
