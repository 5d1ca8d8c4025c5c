#include "fillgeometry.h"

#include <algorithm>

namespace capture {

double FillMapping::scale() const
{
    if (!isValid())
        return 1.0;
    return std::max(widget.width() / frame.width(), widget.height() / frame.height());
}

QRectF FillMapping::visibleFrameRect() const
{
    if (!isValid())
        return {};
    const double s = scale();
    const QSizeF seen(widget.width() / s, widget.height() / s);
    return QRectF(QPointF((frame.width() - seen.width()) / 2, (frame.height() - seen.height()) / 2), seen);
}

QPointF FillMapping::widgetToFrame(const QPointF& p) const
{
    const double s = scale();
    return visibleFrameRect().topLeft() + p / s;
}

QRectF FillMapping::widgetToFrame(const QRectF& r) const
{
    if (!isValid())
        return {};
    return QRectF(widgetToFrame(r.topLeft()), r.size() / scale());
}

QRectF mapToStill(const QRectF& liveRegion, QSize live, QSize still)
{
    if (live.isEmpty() || still.isEmpty())
        return {};
    const double scale = std::min(double(still.width()) / live.width(), double(still.height()) / live.height());
    const QPointF offset((still.width() - live.width() * scale) / 2, (still.height() - live.height() * scale) / 2);
    const QRectF mapped(liveRegion.topLeft() * scale + offset, liveRegion.size() * scale);
    return mapped.intersected(QRectF(QPointF(0, 0), QSizeF(still)));
}

}  // namespace capture
