#pragma once
// Sitters with a known matte over backdrops: a drawn head of hair with loose
// strands, neck and shoulders around the test portrait's face, composed over
// plain, gradient, cloth-like and two-tone backdrops.
#include "facepictures.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>

#include <cmath>

namespace backdroppictures {

enum class Backdrop {
    Plain,
    Gradient,
    Cloth,
    TwoTone,
    Busy,  // the portrait's flag, stripes and stars
};

struct Composite {
    QImage photo;  // RGB32
    QImage alpha;  // Grayscale8: the sitter's share of each pixel
};

// The sitter on a transparent canvas of size, drawn four times larger and
// brought down so every edge (and every strand of hair) is partly covered.
inline QImage sitter(QSize size, QColor shirt)
{
    const int k = 4;
    QImage big(size * k, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(k, k);
    const double w = size.width();
    const double h = size.height();
    const QPointF head(w * 0.5, h * 0.40);
    const double faceW = w * 0.40;
    // Shoulders and chest.
    QPainterPath body;
    body.moveTo(w * 0.02, h);
    body.cubicTo(w * 0.04, h * 0.80, w * 0.22, h * 0.76, w * 0.40, h * 0.72);
    body.lineTo(w * 0.60, h * 0.72);
    body.cubicTo(w * 0.78, h * 0.76, w * 0.96, h * 0.80, w * 0.98, h);
    body.closeSubpath();
    p.fillPath(body, shirt);
    // Neck.
    p.fillRect(QRectF(w * 0.41, h * 0.55, w * 0.18, h * 0.2), QColor(196, 150, 120));
    // Hair, with strands standing out of it.
    const QColor hair(58, 40, 28);
    p.setPen(Qt::NoPen);
    p.setBrush(hair);
    p.drawEllipse(QPointF(head.x(), head.y() - h * 0.05), faceW * 0.66, h * 0.27);
    QPen strand(hair, 0.9);
    strand.setCapStyle(Qt::RoundCap);
    p.setPen(strand);
    QRandomGenerator random(11);
    for (int i = 0; i < 40; ++i) {
        const double a = M_PI * (1.1 + 0.8 * random.generateDouble());  // over the top of the head
        const QPointF root(head.x() + std::cos(a) * faceW * 0.6, head.y() - h * 0.05 + std::sin(a) * h * 0.25);
        const double length = h * (0.02 + 0.03 * random.generateDouble());
        const QPointF tip = root + QPointF(std::cos(a) * length, std::sin(a) * length);
        const QPointF bend = (root + tip) / 2 + QPointF(random.bounded(5.0) - 2.5, random.bounded(5.0) - 2.5);
        QPainterPath path(root);
        path.quadTo(bend, tip);
        p.strokePath(path, strand);
    }
    // The portrait's face, in an oval.
    const QImage portrait = facepictures::portrait();
    const QRectF faceInPortrait(176, 78, 98, 118);
    const QRectF faceOval(head.x() - faceW / 2, head.y() - faceW * 0.55, faceW, faceW * 1.2);
    QPainterPath oval;
    oval.addEllipse(faceOval);
    p.setClipPath(oval);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(faceOval, portrait, faceInPortrait);
    p.end();
    return big.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

inline QImage backdrop(QSize size, Backdrop kind)
{
    if (kind == Backdrop::Busy)
        return facepictures::portrait()
            .copy(0, 0, 100, 512)
            .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage out(size, QImage::Format_RGB32);
    QRandomGenerator random(5);
    // The cloth's folds: a coarse random field, brought up smoothly.
    QImage folds(size / 24 + QSize(2, 2), QImage::Format_Grayscale8);
    for (int y = 0; y < folds.height(); ++y)
        for (int x = 0; x < folds.width(); ++x)
            folds.scanLine(y)[x] = uchar(random.bounded(256));
    folds = folds.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // And its weave, finer.
    QImage weave(size / 5 + QSize(2, 2), QImage::Format_Grayscale8);
    for (int y = 0; y < weave.height(); ++y)
        for (int x = 0; x < weave.width(); ++x)
            weave.scanLine(y)[x] = uchar(random.bounded(256));
    weave = weave.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            double r = 198;
            double g = 208;
            double b = 220;
            switch (kind) {
            case Backdrop::Plain:
                break;
            case Backdrop::Gradient: {
                const double t = double(y) / size.height() + 0.3 * x / size.width();
                r = 205 - 60 * t;
                g = 215 - 50 * t;
                b = 235 - 40 * t;
                break;
            }
            case Backdrop::Cloth: {
                const double fold = (folds.constScanLine(y)[x] - 128) / 128.0;
                const double thread = (weave.constScanLine(y)[x] - 128) / 128.0;
                r = 140 + 24 * fold + 8 * thread;
                g = 150 + 24 * fold + 8 * thread;
                b = 168 + 20 * fold + 8 * thread;
                break;
            }
            case Backdrop::Busy:
                break;
            case Backdrop::TwoTone:
                if (x > size.width() * 0.62) {
                    r = 150;
                    g = 172;
                    b = 196;
                }
                break;
            }
            const double noise = random.bounded(7.0) - 3.5;  // a camera's grain
            line[x] =
                qRgb(qBound(0, int(r + noise), 255), qBound(0, int(g + noise), 255), qBound(0, int(b + noise), 255));
        }
    }
    return out;
}

inline Composite compose(Backdrop kind, QSize size = QSize(358, 441), QColor shirt = QColor(46, 84, 62))
{
    const QImage person = sitter(size, shirt);
    Composite c;
    c.photo = backdrop(size, kind);
    QPainter(&c.photo).drawImage(0, 0, person);
    c.alpha = QImage(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(person.constScanLine(y));
        uchar* to = c.alpha.scanLine(y);
        for (int x = 0; x < size.width(); ++x)
            to[x] = uchar(qAlpha(from[x]));
    }
    return c;
}

// A camera's picture: the sitter, as high as the picture, in its middle.
inline QImage sitterIn(QSize picture, Backdrop kind)
{
    const QSize size(picture.height() * 358 / 441, picture.height());
    QImage out = backdrop(picture, kind);
    QPainter(&out).drawImage((picture.width() - size.width()) / 2, 0, compose(kind, size).photo);
    return out;
}

// The sitter's share of the pixels where either matte says sitter, over
// the pixels where both do (at half coverage).
inline double personIoU(const QImage& found, const QImage& truth)
{
    qint64 both = 0;
    qint64 either = 0;
    for (int y = 0; y < truth.height(); ++y)
        for (int x = 0; x < truth.width(); ++x) {
            const bool a = found.constScanLine(y)[x] > 127;
            const bool b = truth.constScanLine(y)[x] > 127;
            both += a && b;
            either += a || b;
        }
    return either ? double(both) / double(either) : 0;
}

// Mean alpha error (0..1) over the edge band: pixels within radius of a
// partly covered or boundary pixel of the true matte.
inline double edgeBandError(const QImage& found, const QImage& truth, int radius = 3)
{
    double sum = 0;
    qint64 count = 0;
    const int w = truth.width();
    const int h = truth.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool nearEdge = false;
            const uchar centre = truth.constScanLine(y)[x];
            for (int dy = -radius; dy <= radius && !nearEdge; ++dy)
                for (int dx = -radius; dx <= radius && !nearEdge; ++dx) {
                    const int yy = qBound(0, y + dy, h - 1);
                    const int xx = qBound(0, x + dx, w - 1);
                    const uchar v = truth.constScanLine(yy)[xx];
                    nearEdge = (v > 0 && v < 255) || (v > 127) != (centre > 127);
                }
            if (!nearEdge)
                continue;
            sum += std::abs(found.constScanLine(y)[x] - centre) / 255.0;
            ++count;
        }
    return count ? sum / double(count) : 0;
}

}  // namespace backdroppictures
