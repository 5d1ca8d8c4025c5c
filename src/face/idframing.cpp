#include "idframing.h"

#include <algorithm>
#include <cmath>

double faceHeightOf(const QRectF& faceBox, const IdentityGeometry& g)
{
    return faceBox.height() * g.faceHeightPerBox;
}

QRectF identityFrame(const QRectF& faceBox, QSizeF targetSize, const IdentityGeometry& g)
{
    if (faceBox.isEmpty() || targetSize.isEmpty())
        return {};
    const double height = faceHeightOf(faceBox, g) / g.faceShare;
    const double width = height * targetSize.width() / targetSize.height();
    const double eyes = faceBox.top() + g.eyesInBox * faceBox.height();
    const double top = eyes - g.eyeLine * height;
    const double left = faceBox.center().x() - width / 2;
    return {left, top, width, height};
}

std::optional<QRectF> moveInside(const QRectF& frame, const QRectF& bounds, double maxShift)
{
    if (frame.isEmpty() || frame.width() > bounds.width() + 1e-7 || frame.height() > bounds.height() + 1e-7)
        return std::nullopt;
    QRectF moved = frame;
    if (moved.left() < bounds.left())
        moved.moveLeft(bounds.left());
    if (moved.right() > bounds.right())
        moved.moveRight(bounds.right());
    if (moved.top() < bounds.top())
        moved.moveTop(bounds.top());
    if (moved.bottom() > bounds.bottom())
        moved.moveBottom(bounds.bottom());
    const double limit = maxShift * frame.width();
    if (std::abs(moved.left() - frame.left()) > limit + 1e-7 || std::abs(moved.top() - frame.top()) > limit + 1e-7)
        return std::nullopt;
    return moved;
}

QRectF FrameFollower::propose(const QRectF& frame)
{
    if (!current_) {
        current_ = frame;
        return frame;
    }
    const QRectF& now = *current_;
    const double moved = std::max({std::abs(frame.center().x() - now.center().x()),
                                   std::abs(frame.center().y() - now.center().y()),
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
