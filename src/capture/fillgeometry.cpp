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

}  // namespace capture
