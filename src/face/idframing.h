#pragma once
#include <QRectF>
#include <QSizeF>

#include <optional>

// The usual identity-photo geometry, with the proportions of a detected face
// box (the cascade's box runs from the forehead to about the chin).
struct IdentityGeometry {
    double faceShare = 0.55;       // chin to hairline, as a share of the photo height
    double eyeLine = 0.45;         // eyes below the photo's top edge, as a share of its height
    double faceHeightPerBox = 1.25;  // chin to hairline per detected box height
    double eyesInBox = 0.40;       // eyes below the box's top edge, per box height
};

// Chin-to-hairline height estimated from a detected face box.
double faceHeightOf(const QRectF& faceBox, const IdentityGeometry& g = {});

// The photo rectangle (picture coordinates) for a detected face: the target's
// aspect, the face centred horizontally, the eyes on the eye line and the face
// the given share of the height. It may reach outside the picture.
QRectF identityFrame(const QRectF& faceBox, QSizeF targetSize, const IdentityGeometry& g = {});

// The frame moved inside bounds keeping its size, when it fits and no side
// has to move by more than maxShift (a share of the frame's width, so the
// face stays about centred); nothing when it cannot be cut.
std::optional<QRectF> moveInside(const QRectF& frame, const QRectF& bounds, double maxShift = 0.08);

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
