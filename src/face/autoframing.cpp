#include "autoframing.h"

#include <algorithm>
#include <cmath>

std::optional<QRect> frameForHead(const HeadMeasure& head, const FramingNorm& norm, QSize target,
                                  const viewfinder::DragLimits& limits, int lineWidth)
{
    if (target.isEmpty() || head.headHeight() <= 0)
        return std::nullopt;
    // The frame the norm wants, wherever it falls: the drag limits come after.
    const HeadMeasure far = head.mapped(QTransform::fromTranslate(1e6, 1e6));
    const Result<PhotoFrame> placed = frameByNorm(far, norm, QSizeF(target), QSizeF(2e6, 2e6), false);
    if (!placed)
        return std::nullopt;
    const QRectF ideal = placed->boundingRect().translated(-1e6, -1e6);
    const QPointF faceCentre = head.toPicture().map(QPointF(head.across, (head.chin - head.crown) / 2));
    const double roomWidth = limits.right - limits.left - 2.0 * lineWidth;
    const double roomHeight = limits.bottom - limits.top - 2.0 * lineWidth;
    if (roomWidth < 1 || roomHeight < 1)
        return std::nullopt;
    // Too large for the preview: shrunk about the face's centre, so it stays
    // on the face though the face takes more of the photo.
    const double shrink = std::min({1.0, roomWidth / ideal.width(), roomHeight / ideal.height()});
    const QPointF anchor = faceCentre;
    const QRectF interior(anchor + (ideal.topLeft() - anchor) * shrink, ideal.size() * shrink);
    // Whole pixels with the target's aspect.
    const int height = std::max(1, int(std::lround(interior.height())));
    const int width =
        std::max(1, std::min(int(roomWidth), int(std::lround(double(height) * target.width() / target.height()))));
    const QRect inner(int(std::lround(interior.center().x() - width / 2.0)),
                      int(std::lround(interior.center().y() - height / 2.0)), width, height);
    return viewfinder::clampFrame(inner.adjusted(-lineWidth, -lineWidth, lineWidth, lineWidth), limits);
}

QRect glideToward(const QRect& shown, const QRect& goal, double share)
{
    auto step = [share](int from, int to) {
        if (from == to)
            return from;
        const int by = int(std::lround((to - from) * share));
        if (by == 0)
            return from + (to > from ? 1 : -1);
        return from + by;
    };
    const int width = step(shown.width(), goal.width());
    const int height = step(shown.height(), goal.height());
    return {step(shown.left(), goal.left()), step(shown.top(), goal.top()), width, height};
}

void AutoFraming::start()
{
    on_ = true;
    following_ = true;
    seen_ = Seen::Nothing;
    severalCount_ = 0;
    follower_.reset();
}

void AutoFraming::takenOverByHand()
{
    following_ = false;
    follower_.reset();
}

AutoFraming::Step AutoFraming::onFaces(const QList<HeadMeasure>& faces, const FramingNorm& norm, QSize target,
                                       const viewfinder::DragLimits& limits, int lineWidth)
{
    Step step;
    if (!following())
        return step;
    // The status line hears of a change once, not with every detection.
    const Seen now = faces.isEmpty() ? Seen::None : faces.size() == 1 ? Seen::One : Seen::Several;
    if (now != seen_ || (now == Seen::Several && int(faces.size()) != severalCount_)) {
        if (now == Seen::None)
            step.message = QStringLiteral("未检测到人脸");
        else if (now == Seen::Several)
            step.message = QStringLiteral("检测到%1张人脸，取景框跟随居中的一张").arg(faces.size());
        else
            step.message = QStringLiteral("当前状态: 自动取景中");
    }
    seen_ = now;
    severalCount_ = now == Seen::Several ? int(faces.size()) : 0;
    if (faces.isEmpty())
        return step;  // the frame stays where it is
    const std::optional<QRect> frame = frameForHead(faces.constFirst(), norm, target, limits, lineWidth);
    if (!frame)
        return step;
    step.goal = follower_.propose(QRectF(*frame)).toRect();
    return step;
}
