#pragma once
#include "facegeometry.h"
#include "framingnorm.h"
#include "result.h"

#include <QImage>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <optional>

// Where a photo lies in a picture: a rectangle turned by angle degrees about
// its centre (the turn levels a tilted head).
struct PhotoFrame {
    QPointF centre;
    QSizeF size;
    double angle = 0;

    QPolygonF corners() const;
    QRectF boundingRect() const { return corners().boundingRect(); }
    // From picture coordinates to those of a photo of photoSize cut here.
    QTransform pictureToPhoto(QSizeF photoSize) const;
};

struct FramingLimits {
    double maxLevelling = 8.0;  // degrees a head may lean and still be levelled
    double maxShift = 0.06;  // the face may leave the middle by this share of the width to stay inside
    double keepUprightUpTo = 4.0;  // a lean the photo checks accept: cut upright when a turned frame does not fit
};

// The frame that puts the head where the norm wants it in a photo of the
// target's aspect: the head share, the top margin and the eye line inside
// their bands, as near their middles as the picture allows, and the face
// across the middle. With level, a leaning head is levelled by turning the
// frame (more than maxLevelling is refused; a slight lean is left when only an
// upright frame fits); without, the frame stays upright.
// A close-up is cut tighter (up to the largest head share) before it is
// refused as too close; a head at the picture's edge is refused.
Result<PhotoFrame> frameByNorm(const HeadMeasure& head, const FramingNorm& norm, QSizeF target, QSizeF picture,
                               bool level = true, const FramingLimits& limits = {});

// The photo of exactly size under frame: turned, then scaled smoothly.
QImage cutPhoto(const QImage& picture, const PhotoFrame& frame, QSize size);

// Smooths the frame that follows a face: a still face gives a still frame (a
// proposal closer than the dead band to the current frame is ignored), a
// moving face is followed a part of the way each step.
class FrameFollower {
public:
    explicit FrameFollower(double deadBandPx = 4.0, double followShare = 0.5)
        : deadBand_(deadBandPx)
        , follow_(followShare)
    {
    }

    // The frame to show after a new proposal; the first is taken as it is.
    QRectF propose(const QRectF& frame);
    void reset() { current_.reset(); }
    std::optional<QRectF> current() const { return current_; }

private:
    double deadBand_;
    double follow_;
    std::optional<QRectF> current_;
};
