#pragma once
#include "result.h"

#include <QRect>
#include <QSize>
#include <QString>

// The arithmetic of the viewfinder frame, kept apart from the widgets so it
// can be checked value by value. Fractions are computed in double and cut to
// integers by truncation toward zero; comparisons between computed values use
// a tolerance of 1e-7.
namespace viewfinder {

// Size of the frame and the result pane right after a resolution change.
constexpr int kReferenceWidth = 184;
constexpr int kReferenceHeight = 245;
// Width over height of the initial resolution 151 x 201, as the form had it.
constexpr double kReferenceAspect = 0.751243781;
constexpr double kTolerance = 1e-7;
// Target values outside this range are refused (they would give an empty or
// absurd frame, or divide by zero).
constexpr int kMinTarget = 1;
constexpr int kMaxTarget = 10000;
// Zoom steps: one wheel notch, one spin-button click.
constexpr int kWheelStep = 10;
constexpr int kSpinStep = 8;

// The frame's drag limits in the main window's client coordinates: left edge,
// top edge, and the exclusive right and bottom edges (x + width, y + height).
struct DragLimits {
    int left = 306;
    int top = 115;
    int right = 777;
    int bottom = 463;
};

enum class TargetShape { Wide, Tall, Reference };

bool usableTarget(int targetWidth, int targetHeight);
// Which branch of the layout a target falls into. Needs a usable target.
TargetShape classifyTarget(int targetWidth, int targetHeight);

// A target size typed into the two resolution boxes: each side a whole
// number from 1 to 10000 (full-width digits count), or the reason it is not.
Result<QSize> parseTargetSize(const QString& widthText, const QString& heightText);
// The same for one box; side names it in the message ("宽度", "高度").
Result<int> parseTargetSide(const QString& text, const QString& side);

struct ResolutionLayout {
    TargetShape shape = TargetShape::Reference;
    QRect frame;  // the viewfinder frame; its grip overlay takes the same rectangle
    QRect pane;  // the result pane and the placeholder picture under it
};

// The layout after the target resolution changed: frame and result pane take
// the target's aspect at the reference size, the frame centred on the preview,
// the pane centred on the preview vertically and on the strip horizontally.
Result<ResolutionLayout> layoutForTarget(int targetWidth, int targetHeight, const QRect& preview, const QRect& strip);

// Where a dragged frame may stand: the proposed rectangle keeps its size and is
// pushed inside the limits, left, right, top, bottom in that order.
QRect clampFrame(const QRect& proposed, const DragLimits& limits = {});

// The wheel and the spin buttons grow the frame only while it is under 340 high
// and under 460 wide, and shrink it only while it is over 100 in both.
bool canGrow(const QSize& frame);
bool canShrink(const QSize& frame);

// The frame after the zoom value moved from frameScaleValue to zoomValue:
// the width changes by (zoomValue - frameScaleValue) x step, the height
// follows the target ratio, and the frame is pushed back left or up only where
// it reaches the preview's right or bottom edge. A result smaller than one
// pixel or larger than the preview is refused.
Result<QRect> zoomFrame(const QRect& frame, int zoomValue, double frameScaleValue, int step, int targetWidth,
                        int targetHeight, const QRect& preview);

}  // namespace viewfinder
