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

// A region of a live-view frame on the full-resolution still the shutter
// took: the live view shows the still's picture scaled down, and where its
// aspect differs, the still's centre (cropped where the live view is wider or
// taller). Clamped to the still.
QRectF mapToStill(const QRectF& liveRegion, QSize live, QSize still);

}  // namespace capture
