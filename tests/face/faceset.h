#pragma once
// A varied set of pictures made from the portrait (tests/data/pictures):
// placed at a chosen head size and place on code-made backdrops, turned,
// exposed, blurred and noised, each with where the face's eyes went. The
// portrait's head runs from the top of the hair at about y 18 to the chin at
// about y 178 (160 px), the eyes' middle at about 225, 103.
#include "facepictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTransform>

#include <cmath>

namespace faceset {

constexpr double portraitHead = 160.0;
inline QPointF portraitEyes()
{
    return {225, 103};
}

enum class Backdrop { Grey, Gradient, Bricks, Texture };

// A brick wall: rows of reddish bricks with pale mortar and some grain.
inline QImage brickWall(QSize size, quint32 seed = 7)
{
    QImage out(size, QImage::Format_RGB32);
    out.fill(QColor(205, 200, 190));
    QRandomGenerator random(seed);
    QPainter p(&out);
    const int brickH = std::max(8, size.height() / 14);
    const int brickW = brickH * 5 / 2;
    for (int row = 0, y = 0; y < size.height(); ++row, y += brickH) {
        for (int x = (row % 2) * -brickW / 2; x < size.width(); x += brickW) {
            const int shade = int(random.bounded(50));
            p.fillRect(QRect(x + 2, y + 2, brickW - 4, brickH - 4),
                       QColor(150 + shade, 60 + shade / 2, 45 + shade / 3));
        }
    }
    return out;
}

// Coarse random blotches: a busy scene behind the sitter.
inline QImage texture(QSize size, quint32 seed = 11)
{
    QImage out(size, QImage::Format_RGB32);
    out.fill(QColor(120, 130, 110));
    QRandomGenerator random(seed);
    QPainter p(&out);
    const int n = 60;
    for (int i = 0; i < n; ++i) {
        const int w = int(random.bounded(size.width() / 6 + 1)) + 8;
        const int h = int(random.bounded(size.height() / 6 + 1)) + 8;
        p.fillRect(QRect(int(random.bounded(size.width())), int(random.bounded(size.height())), w, h),
                   QColor::fromHsv(int(random.bounded(360)), 120, 60 + int(random.bounded(180))));
    }
    return out;
}

inline QImage backdrop(QSize size, Backdrop kind)
{
    switch (kind) {
    case Backdrop::Grey: {
        QImage out(size, QImage::Format_RGB32);
        out.fill(QColor(128, 128, 128));
        return out;
    }
    case Backdrop::Gradient: {
        QImage out(size, QImage::Format_RGB32);
        QPainter p(&out);
        QLinearGradient g(0, 0, size.width(), size.height());
        g.setColorAt(0, QColor(40, 60, 90));
        g.setColorAt(1, QColor(220, 210, 190));
        p.fillRect(out.rect(), g);
        return out;
    }
    case Backdrop::Bricks:
        return brickWall(size);
    case Backdrop::Texture:
        return texture(size);
    }
    return {};
}

// Every channel times factor (an exposure change), clipped.
inline QImage exposed(QImage picture, double factor)
{
    picture = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            auto c = [factor](int v) { return std::clamp(int(v * factor), 0, 255); };
            row[x] = qRgb(c(qRed(row[x])), c(qGreen(row[x])), c(qBlue(row[x])));
        }
    }
    return picture;
}

// A defocus of about radius pixels: down and back up.
inline QImage defocused(const QImage& picture, double radius)
{
    if (radius < 0.5)
        return picture;
    const QSize small(std::max(1, int(picture.width() / (radius + 1))),
                      std::max(1, int(picture.height() / (radius + 1))));
    return picture.scaled(small, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Gaussian-like grain of the given spread (0..255 levels), the same for a seed.
inline QImage noisy(QImage picture, double spread, quint32 seed = 3)
{
    if (spread <= 0)
        return picture;
    picture = picture.convertToFormat(QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            // The sum of four uniforms is close enough to a normal.
            auto grain = [&] {
                double s = 0;
                for (int i = 0; i < 4; ++i)
                    s += random.generateDouble() - 0.5;
                return s * spread * std::sqrt(3.0);
            };
            auto c = [](double v) { return std::clamp(int(std::lround(v)), 0, 255); };
            row[x] = qRgb(c(qRed(row[x]) + grain()), c(qGreen(row[x]) + grain()), c(qBlue(row[x]) + grain()));
        }
    }
    return picture;
}

struct Sample {
    QImage picture;
    QPointF eyes;  // where the portrait's eyes went
    double head = 0;  // the head's height in the picture, px
    QString what;
};

struct Placement {
    QSize canvas{1280, 720};
    double headShare = 0.3;  // of the canvas height
    QPointF eyesAt{0.5, 0.4};  // share of the canvas
    double angle = 0;  // degrees, about the eyes
    Backdrop backdrop = Backdrop::Grey;
    double exposure = 1.0;
    double blur = 0;  // px
    double noise = 0;  // levels
    bool mirrored = false;
};

inline Sample place(const Placement& p)
{
    Sample s;
    QImage picture = backdrop(p.canvas, p.backdrop);
    const QImage portrait = p.mirrored ? facepictures::mirrored() : facepictures::portrait();
    QPointF eyes = portraitEyes();
    if (p.mirrored)
        eyes.setX(portrait.width() - eyes.x());
    const double scale = p.headShare * p.canvas.height() / portraitHead;
    s.eyes = QPointF(p.eyesAt.x() * p.canvas.width(), p.eyesAt.y() * p.canvas.height());
    s.head = portraitHead * scale;
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QTransform t;
        t.translate(s.eyes.x(), s.eyes.y());
        t.rotate(p.angle);
        t.scale(scale, scale);
        t.translate(-eyes.x(), -eyes.y());
        painter.setTransform(t);
        painter.drawImage(0, 0, portrait);
    }
    picture = noisy(defocused(exposed(picture, p.exposure), p.blur), p.noise);
    s.picture = picture;
    s.what = QStringLiteral("%1x%2 head %3% at %4,%5 turned %6 exposure %7 blur %8 noise %9%10")
                 .arg(p.canvas.width())
                 .arg(p.canvas.height())
                 .arg(p.headShare * 100)
                 .arg(p.eyesAt.x())
                 .arg(p.eyesAt.y())
                 .arg(p.angle)
                 .arg(p.exposure)
                 .arg(p.blur)
                 .arg(p.noise)
                 .arg(p.mirrored ? QStringLiteral(" mirrored") : QString());
    return s;
}

// count varied placements with the head at headShare of the height: canvas,
// place, turn (within +/-maxAngle), backdrop, exposure, blur and noise drawn
// from a seeded generator, so the set is the same every run.
inline QList<Placement> variedSet(double headShare, int count, double maxAngle = 10, quint32 seed = 2026)
{
    QRandomGenerator random(seed);
    const QList<QSize> canvases{{1280, 720}, {1920, 1080}, {1080, 1440}, {1600, 1200}};
    QList<Placement> set;
    for (int i = 0; i < count; ++i) {
        Placement p;
        p.canvas = canvases[i % canvases.size()];
        p.headShare = headShare;
        const double margin = std::min(0.45, headShare * 0.8);
        p.eyesAt = QPointF(0.15 + random.generateDouble() * 0.7, margin + random.generateDouble() * (0.9 - 2 * margin));
        p.angle = (random.generateDouble() * 2 - 1) * maxAngle;
        p.backdrop = Backdrop(i / canvases.size() % 4);
        p.exposure = 0.55 + random.generateDouble() * 0.8;
        p.blur = double(random.bounded(3)) * 0.75;
        p.noise = double(random.bounded(3)) * 5;
        p.mirrored = i % 2 == 1;
        set << p;
    }
    return set;
}

}  // namespace faceset

namespace faceset {

// The portrait's head as an ellipse (the hair included) and the rows below
// its chin, where the suit begins.
inline QRectF portraitHeadEllipse()
{
    return {150, 14, 150, 170};
}

// Each pixel of the portrait changed by inside() within the head ellipse and
// the suit below the chin, by outside() on the backdrop around the head.
template <class In, class Out> QImage headAndBackdrop(In inside, Out outside)
{
    QImage out = facepictures::portrait();
    const QRectF head = portraitHeadEllipse();
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const double dx = (x - head.center().x()) / (head.width() / 2);
            const double dy = (y - head.center().y()) / (head.height() / 2);
            const bool sitter = dx * dx + dy * dy <= 1 || y > 178;
            row[x] = sitter ? inside(row[x], x, y) : outside(row[x], x, y);
        }
    }
    return out;
}

// Light from behind: the sitter dark, the backdrop bright.
inline QImage backlit()
{
    auto scale = [](QRgb c, double f) {
        return qRgb(std::min(255, int(qRed(c) * f)), std::min(255, int(qGreen(c) * f)),
                    std::min(255, int(qBlue(c) * f)));
    };
    return headAndBackdrop([&](QRgb c, int, int) { return scale(c, 0.4); },
                           [&](QRgb c, int, int) { return scale(c, 1.9); });
}

// The sitter in front of a brick wall.
inline QImage beforeBricks()
{
    const QImage wall = brickWall(QSize(512, 512));
    return headAndBackdrop([](QRgb c, int, int) { return c; },
                           [&wall](QRgb, int x, int y) { return wall.pixel(x, y); });
}

// The eyes closed: each eye painted over with the skin below it, a dark
// lash line across.
inline QImage closedEyes(const std::array<QPointF, 68>& points)
{
    QImage out = facepictures::portrait();
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    for (int first : {36, 42}) {
        const QPointF corner = points[size_t(first)];
        const QPointF other = points[size_t(first + 3)];
        const QPointF middle = (corner + other) / 2;
        const double wide = std::hypot(other.x() - corner.x(), other.y() - corner.y());
        const QColor skin = out.pixelColor((middle + QPointF(0, wide * 0.7)).toPoint());
        p.setPen(Qt::NoPen);
        p.setBrush(skin);
        p.drawEllipse(middle, wide * 0.75, wide * 0.45);
        p.setPen(QPen(QColor(60, 40, 35), std::max(1.5, wide * 0.08)));
        p.setBrush(Qt::NoBrush);
        QPainterPath lash;
        lash.moveTo(corner);
        lash.quadTo(middle + QPointF(0, wide * 0.18), other);
        p.drawPath(lash);
    }
    return out;
}

// The mouth wide open: a dark opening between the lips, the lower lip and
// chin pushed down a little.
inline QImage openMouth(const std::array<QPointF, 68>& points)
{
    QImage out = facepictures::portrait();
    const QPointF left = points[60];
    const QPointF right = points[64];
    const QPointF middle = (points[62] + points[66]) / 2;
    const double wide = std::hypot(right.x() - left.x(), right.y() - left.y());
    // Everything below the mouth's middle moves down by half its width.
    const QImage before = out;
    const int shift = int(wide * 0.3);
    const int from = int(middle.y());
    QPainter p(&out);
    p.drawImage(QRect(int(left.x() - wide), from + shift, int(wide * 3), before.height() - from - shift),
                before.copy(QRect(int(left.x() - wide), from, int(wide * 3), before.height() - from - shift)));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(50, 20, 25));
    p.drawEllipse(QRectF(left.x(), middle.y() - 2, wide, shift + 4));
    return out;
}

// The head turned aside: the face squeezed towards one cheek, so the nose
// sits near it, as in a face turned by some 30 degrees.
inline QImage turnedAside(const std::array<QPointF, 68>& points)
{
    const QImage before = facepictures::portrait();
    QImage out = before;
    const double left = points[0].x();
    const double right = points[16].x();
    const double nose = points[30].x();
    const double moved = left + (right - left) * 0.28;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* source = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        for (int x = int(left); x <= int(right); ++x) {
            const double from = x < moved ? left + (x - left) * (nose - left) / (moved - left)
                                          : nose + (x - moved) * (right - nose) / (right - moved);
            row[x] = source[std::clamp(int(std::lround(from)), 0, before.width() - 1)];
        }
    }
    return out;
}

// The whole picture turned by degrees about the portrait's eyes.
inline QImage turned(const QImage& picture, double degrees)
{
    QImage out(picture.size(), QImage::Format_RGB32);
    out.fill(QColor(128, 128, 128));
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(portraitEyes());
    p.rotate(degrees);
    p.translate(-portraitEyes());
    p.drawImage(0, 0, picture);
    return out;
}

}  // namespace faceset
