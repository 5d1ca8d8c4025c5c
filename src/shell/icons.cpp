#include "icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace icons {

QIcon windowIcon()
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/photostation-%1.png").arg(side), QSize(side, side));
    return icon;
}

QPixmap speaker(bool soundOn)
{
    QPixmap pm(13, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    QPainterPath body;
    body.moveTo(1, 4.5);
    body.lineTo(4, 4.5);
    body.lineTo(7.5, 1.5);
    body.lineTo(7.5, 11.5);
    body.lineTo(4, 8.5);
    body.lineTo(1, 8.5);
    body.closeSubpath();
    p.drawPath(body);
    if (soundOn) {
        p.setPen(QPen(QColor(0x1e, 0x8a, 0x2e), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 3.5, 4, 6), -60 * 16, 120 * 16);
        p.drawArc(QRectF(6, 1.5, 6.5, 10), -60 * 16, 120 * 16);
    } else {
        p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.4));
        p.drawLine(QPointF(8.8, 4.5), QPointF(12.2, 8.5));
        p.drawLine(QPointF(12.2, 4.5), QPointF(8.8, 8.5));
    }
    return pm;
}

QPixmap samplePhoto(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0x9c, 0xc6, 0xe8));
    sky.setColorAt(1, QColor(0x3d, 0x6f, 0xa8));
    p.fillRect(pm.rect(), sky);
    const qreal w = size.width(), h = size.height();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x24, 0x34, 0x4a));
    p.drawEllipse(QRectF(w * 0.12, h * 0.62, w * 0.76, h * 0.6));  // shoulders
    p.setBrush(QColor(0xf0, 0xd0, 0xb0));
    p.drawRect(QRectF(w * 0.43, h * 0.5, w * 0.14, h * 0.14));  // neck
    p.drawEllipse(QRectF(w * 0.3, h * 0.2, w * 0.4, h * 0.36));  // face
    p.setBrush(QColor(0x2a, 0x1d, 0x14));
    p.drawChord(QRectF(w * 0.28, h * 0.16, w * 0.44, h * 0.3), 0, 180 * 16);  // hair
    return pm;
}

}  // namespace icons
