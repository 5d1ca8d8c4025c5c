#pragma once
// Test pictures made from the public-domain portrait (one frontal face of
// about 95 x 95 pixels at 177, 66 in a 512 x 512 picture).
#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTransform>

namespace facepictures {

inline QString portraitPath()
{
    return QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png");
}
inline bool available()
{
    return QFileInfo::exists(portraitPath());
}
inline QImage portrait()
{
    return QImage(portraitPath()).convertToFormat(QImage::Format_RGB32);
}

// The portrait placed at offset on a larger grey canvas.
inline QImage shifted(QSize canvas, QPoint offset, double scale = 1.0)
{
    QImage out(canvas, QImage::Format_RGB32);
    out.fill(QColor(128, 128, 128));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage source = portrait();
    p.drawImage(QRectF(offset, QSizeF(source.size()) * scale), source);
    return out;
}

inline QImage mirrored()
{
    return portrait().mirrored(true, false);
}

inline QImage darkened(double factor = 0.15)
{
    QImage out = portrait();
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = qRgb(int(qRed(row[x]) * factor), int(qGreen(row[x]) * factor), int(qBlue(row[x]) * factor));
    }
    return out;
}

// A strong defocus: down to a sixth and back up.
inline QImage blurred(const QImage& picture)
{
    return picture.scaled(picture.size() / 6, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

inline QImage twoFaces()
{
    const QImage one = portrait();
    QImage out(one.width() * 2, one.height(), QImage::Format_RGB32);
    QPainter p(&out);
    p.drawImage(0, 0, one);
    p.drawImage(one.width(), 0, one);
    return out;
}

// The lower part of the portrait: suit and flag, no face.
inline QImage withoutFace()
{
    return portrait().copy(0, 260, 512, 252);
}

}  // namespace facepictures
