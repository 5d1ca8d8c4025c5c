#pragma once
#include "framingnorm.h"
#include "idframing.h"
#include "viewfinderlayout.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

// The viewfinder frame (outline included, window coordinates) that puts a
// head seen in the preview where the norm wants it: the interior takes the
// target's aspect, a frame too large for the drag limits is shrunk about the
// face, and the whole is pushed inside them. Nothing for an empty head.
std::optional<QRect> frameForHead(const HeadMeasure& head, const FramingNorm& norm, QSize target,
                                  const viewfinder::DragLimits& limits, int lineWidth);

// One step of the frame's glide from shown toward goal: a share of the way,
// at least a pixel, so it arrives.
QRect glideToward(const QRect& shown, const QRect& goal, double share = 0.4);

// Automatic framing of the live picture: where the frame should go for the
// faces of each detection, and what the status line should say about them.
// The frame follows the sitter (the face the detector gives first) until the
// operator moves it by hand.
class AutoFraming {
public:
    struct Step {
        std::optional<QRect> goal;  // where the frame should glide to now
        QString message;  // for the status line; empty: nothing new to say
    };

    // Switched on (or on again): following starts afresh.
    void start();
    void stop() { on_ = false; }
    bool on() const { return on_; }
    // The operator dragged or zoomed the frame: it stays where it was put
    // until the framing is switched on again.
    void takenOverByHand();
    bool following() const { return on_ && following_; }
    // The frame was laid out afresh (a new target size): smoothing starts
    // from the next detection.
    void relayout() { follower_.reset(); }

    // The heads of one detection (window coordinates, the sitter first).
    Step onFaces(const QList<HeadMeasure>& heads, const FramingNorm& norm, QSize target,
                 const viewfinder::DragLimits& limits, int lineWidth);

private:
    enum class Seen { Nothing, None, One, Several };
    bool on_ = false;
    bool following_ = false;
    Seen seen_ = Seen::Nothing;
    int severalCount_ = 0;
    FrameFollower follower_{4.0, 0.6};
};
