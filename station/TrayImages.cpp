#include "TrayImages.h"

#include <QPainter>
#include <QPixmap>

namespace {
QIcon draw(const QColor &fill, const QString &mark)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(fill);
    p.setPen(QPen(Qt::black, 1));
    p.drawRoundedRect(QRectF(2.5, 2.5, 27, 27), 6, 6);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(14);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, mark);
    return QIcon(pm);
}
} // namespace

QList<QIcon> trayImages()
{
    return {draw(QColor(200, 30, 30), QStringLiteral("!")),
            draw(QColor(30, 150, 60), QStringLiteral("GSM")),
            draw(QColor(120, 120, 120), QStringLiteral("...")),
            draw(QColor(40, 80, 180), QStringLiteral("DC"))};
}
