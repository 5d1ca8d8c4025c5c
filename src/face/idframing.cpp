#include "idframing.h"

#include "photofile.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A band's values from its middle outwards, so the first that works is the
// nearest the middle.
std::vector<double> middleOutwards(double low, double high, int steps)
{
    std::vector<double> values{(low + high) / 2};
    for (int i = 1; i <= steps; ++i) {
        const double d = (high - low) / 2 * i / steps;
        values.push_back((low + high) / 2 - d);
        values.push_back((low + high) / 2 + d);
    }
    return values;
}

bool hasRule(double high)
{
    return high > 0;
}

}  // namespace

QPolygonF PhotoFrame::corners() const
{
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(angle);
    const double w = size.width() / 2;
    const double h = size.height() / 2;
    return t.map(QPolygonF({QPointF(-w, -h), QPointF(w, -h), QPointF(w, h), QPointF(-w, h)}));
}

QTransform PhotoFrame::pictureToPhoto(QSizeF photoSize) const
{
    QTransform t;
    t.scale(photoSize.width() / size.width(), photoSize.height() / size.height());
    t.translate(size.width() / 2, size.height() / 2);
    t.rotate(-angle);
    t.translate(-centre.x(), -centre.y());
    return t;
}

namespace {

Result<PhotoFrame> frameAt(const HeadMeasure& head, const FramingNorm& norm, QSizeF target, QSizeF picture,
                           double angle, const FramingLimits& limits)
{
    const bool level = angle != 0;
    // The head's axes turned by angle: with an upright frame a leaning head's
    // crown and chin are measured square to the frame.
    HeadMeasure h = head;
    if (!level && std::abs(head.roll) > 0.01) {
        const double r = head.roll * M_PI / 180;
        h.crown = head.crown * std::cos(r);
        h.chin = head.chin * std::cos(r);
        h.across = head.across * std::cos(r);
    }
    QTransform headAxes;
    headAxes.translate(h.eyes.x(), h.eyes.y());
    headAxes.rotate(angle);
    const QRectF bounds(QPointF(-0.5, -0.5), picture + QSizeF(1, 1));
    const double aspect = target.width() / target.height();
    const double headShareMin = hasRule(norm.headMax) ? norm.headMin : 0.5;
    const double headShareMax = hasRule(norm.headMax) ? norm.headMax : 0.75;

    for (double share : middleOutwards(headShareMin, headShareMax, 12)) {
        const double height = h.headHeight() / share;
        const double width = height * aspect;
        // The photo's top edge in head axes (above the eye line is negative).
        double low = -1e9;
        double high = 1e9;
        if (hasRule(norm.topMarginMax)) {
            low = std::max(low, -h.crown - norm.topMarginMax * height);
            high = std::min(high, -h.crown - norm.topMarginMin * height);
        }
        if (hasRule(norm.eyeLineMax)) {
            low = std::max(low, -norm.eyeLineMax * height);
            high = std::min(high, -norm.eyeLineMin * height);
        }
        if (low > high)
            continue;
        double preferred = hasRule(norm.topMarginMax) ? -h.crown - (norm.topMarginMin + norm.topMarginMax) / 2 * height
                                                      : -(norm.eyeLineMin + norm.eyeLineMax) / 2 * height;
        preferred = std::clamp(preferred, low, high);
        std::vector<double> tops{preferred};
        for (int i = 1; i <= 20; ++i) {
            for (double top : {preferred - (preferred - low) * i / 20, preferred + (high - preferred) * i / 20})
                tops.push_back(top);
        }
        for (double top : tops) {
            for (double shift : middleOutwards(-limits.maxShift * width, limits.maxShift * width, 8)) {
                PhotoFrame frame;
                frame.centre = headAxes.map(QPointF(h.across + shift, top + height / 2));
                frame.size = QSizeF(width, height);
                frame.angle = angle;
                const QPolygonF corners = frame.corners();
                if (std::all_of(corners.cbegin(), corners.cend(), [&](const QPointF& p) { return bounds.contains(p); }))
                    return frame;
            }
        }
    }
    // Too tight even with the head at its largest share: the sitter is too close.
    PhotoFrame tightest;
    tightest.size = QSizeF(h.headHeight() / headShareMax * aspect, h.headHeight() / headShareMax);
    tightest.angle = angle;
    const QRectF needed = tightest.boundingRect();
    if (needed.width() > picture.width() + 0.5 || needed.height() > picture.height() + 0.5)
        return failure(QStringLiteral("人脸过大/离镜头太近，请后退或缩小"));
    return failure(QStringLiteral("人脸太靠近边缘，无法取景"));
}

}  // namespace

Result<PhotoFrame> frameByNorm(const HeadMeasure& head, const FramingNorm& norm, QSizeF target, QSizeF picture,
                               bool level, const FramingLimits& limits)
{
    if (target.isEmpty() || picture.isEmpty() || head.headHeight() <= 0)
        return failure(QStringLiteral("未检测到人脸"));
    if (level && std::abs(head.roll) > limits.maxLevelling)
        return failure(QStringLiteral("歪头约%1°，请摆正头部").arg(std::lround(std::abs(head.roll))));
    if (!level || std::abs(head.roll) < 0.05)
        return frameAt(head, norm, target, picture, 0.0, limits);
    Result<PhotoFrame> levelled = frameAt(head, norm, target, picture, head.roll, limits);
    // A turned frame needs more room: a close-up whose head leans a little
    // is cut upright instead.
    if (!levelled && std::abs(head.roll) <= limits.keepUprightUpTo) {
        Result<PhotoFrame> upright = frameAt(head, norm, target, picture, 0.0, limits);
        if (upright)
            return upright;
    }
    return levelled;
}

QImage cutPhoto(const QImage& picture, const PhotoFrame& frame, QSize size)
{
    if (picture.isNull() || size.isEmpty() || frame.size.isEmpty())
        return {};
    if (std::abs(frame.angle) < 0.05) {
        // Upright: whole camera pixels, scaled once.
        const int width = std::max(1, int(std::lround(frame.size.width())));
        const int height = std::max(1, int(std::lround(double(width) * size.height() / size.width())));
        const QRect cut(int(std::lround(frame.centre.x() - width / 2.0)),
                        int(std::lround(frame.centre.y() - height / 2.0)), width, height);
        return scaleToPhotoSize(picture.copy(cut.intersected(picture.rect())), size);
    }
    // Turned: the region around the frame shrunk first (averaging, at most to
    // twice the photo's size), then turned, then scaled to the size.
    const QRect around = frame.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2).intersected(picture.rect());
    const double k = std::min(1.0, 2.0 * size.height() / frame.size.height());
    QImage region = picture.copy(around).convertToFormat(QImage::Format_RGB32);
    if (k < 1)
        region = region.scaled(std::max(1, int(std::lround(around.width() * k))),
                               std::max(1, int(std::lround(around.height() * k))), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
    const QSize turnedSize(std::max(1, int(std::lround(frame.size.width() * k))),
                           std::max(1, int(std::lround(frame.size.height() * k))));
    QImage turned(turnedSize, QImage::Format_RGB32);
    turned.fill(Qt::white);
    {
        // region pixel -> picture -> photo at turnedSize.
        QTransform regionToPicture;
        regionToPicture.translate(around.left(), around.top());
        regionToPicture.scale(double(around.width()) / region.width(), double(around.height()) / region.height());
        QPainter painter(&turned);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setTransform(regionToPicture * frame.pictureToPhoto(QSizeF(turnedSize)));
        painter.drawImage(0, 0, region);
    }
    return scaleToPhotoSize(turned, size);
}

QRectF FrameFollower::propose(const QRectF& frame)
{
    if (!current_) {
        current_ = frame;
        return frame;
    }
    const QRectF& now = *current_;
    const double moved =
        std::max({std::abs(frame.center().x() - now.center().x()), std::abs(frame.center().y() - now.center().y()),
                  std::abs(frame.width() - now.width()), std::abs(frame.height() - now.height())});
    if (moved <= deadBand_)
        return now;
    auto step = [this](double from, double to) { return from + (to - from) * follow_; };
    const double width = step(now.width(), frame.width());
    const double height = step(now.height(), frame.height());
    const QPointF centre(step(now.center().x(), frame.center().x()), step(now.center().y(), frame.center().y()));
    current_ = QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
    return *current_;
}
