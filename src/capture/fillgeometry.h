#pragma once
// How a frame fills a widget without distortion: scaled so that it covers
// the whole widget, centred, the overhang cropped. Painting and the photo
// cut use this one mapping.
#include <QRectF>
#include <QSize>

namespace capture {

struct FillMapping {
    QSizeF frame;
    QSizeF widget;

    bool isValid() const { return !frame.isEmpty() && !widget.isEmpty(); }
    // Widget pixels per frame pixel.
    double scale() const;
    // The part of the frame that is visible in the widget.
    QRectF visibleFrameRect() const;
    QRectF widgetToFrame(const QRectF& r) const;
    QPointF widgetToFrame(const QPointF& p) const;
};

}  // namespace capture
