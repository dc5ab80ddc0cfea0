#include "WindowPlacement.h"

namespace {
qint64 area(const QRect &r)
{
    return r.isValid() ? qint64(r.width()) * r.height() : 0;
}

bool fitsOnOne(const QRect &frame, const QList<QRect> &screens)
{
    for (const QRect &s : screens)
        if (s.contains(frame))
            return true;
    return false;
}
} // namespace

namespace WindowPlacement {

QRect onScreen(const QRect &frame, const QList<QRect> &screens)
{
    if (screens.isEmpty() || fitsOnOne(frame, screens))
        return frame;
    QRect target = screens.first();
    qint64 best = 0;
    for (const QRect &s : screens) {
        const qint64 shared = area(s.intersected(frame));
        if (shared > best) {
            best = shared;
            target = s;
        }
    }
    QRect r(frame.topLeft(), frame.size().boundedTo(target.size()));
    r.moveLeft(qBound(target.left(), r.left(), target.right() - r.width() + 1));
    r.moveTop(qBound(target.top(), r.top(), target.bottom() - r.height() + 1));
    return r;
}

QRect beside(const QSize &frame, const QRect &other, const QList<QRect> &screens)
{
    const QRect candidates[] = {
        QRect(QPoint(other.right() + 1, other.top()), frame),
        QRect(QPoint(other.left() - frame.width(), other.top()), frame),
        QRect(QPoint(other.left(), other.bottom() + 1), frame),
        QRect(QPoint(other.left(), other.top() - frame.height()), frame),
    };
    for (const QRect &c : candidates)
        if (fitsOnOne(c, screens))
            return c;
    QRect least;
    qint64 covered = -1;
    for (const QRect &c : candidates) {
        const QRect placed = onScreen(c, screens);
        const qint64 over = area(placed.intersected(other));
        if (covered < 0 || over < covered) {
            covered = over;
            least = placed;
        }
    }
    return least;
}

} // namespace WindowPlacement
