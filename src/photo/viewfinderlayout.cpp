#include "viewfinderlayout.h"

#include "texttoint.h"

#include <cmath>

namespace viewfinder {

namespace {

int truncated(double value)
{
    return static_cast<int>(std::trunc(value));
}

// Start of a span of length `inner` centred in [start, start + outer).
int centred(int start, int outer, int inner)
{
    return truncated(start + (outer - inner) / 2.0);
}

}  // namespace

bool usableTarget(int targetWidth, int targetHeight)
{
    return targetWidth >= kMinTarget && targetWidth <= kMaxTarget && targetHeight >= kMinTarget &&
           targetHeight <= kMaxTarget;
}

TargetShape classifyTarget(int targetWidth, int targetHeight)
{
    // The ratio is kept in single precision before it is compared, so that
    // 151 x 201 counts as the reference aspect.
    const float ratio = static_cast<float>(double(targetWidth) / double(targetHeight));
    const double difference = double(ratio) - kReferenceAspect;
    if (difference > kTolerance)
        return TargetShape::Wide;
    if (difference < -kTolerance)
        return TargetShape::Tall;
    return TargetShape::Reference;
}

Error outsideRange(int targetWidth, int targetHeight)
{
    return failure(QStringLiteral("target size %1 x %2 is outside %3..%4")
                       .arg(targetWidth)
                       .arg(targetHeight)
                       .arg(kMinTarget)
                       .arg(kMaxTarget));
}

Result<int> parseTargetSide(const QString& text, const QString& side)
{
    const QString t = text::toHalfWidth(text).trimmed();
    bool digitsOnly = !t.isEmpty() && t.size() <= 9;
    for (const QChar c : t)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int value = digitsOnly ? t.toInt() : 0;
    if (!digitsOnly || value < kMinTarget || value > kMaxTarget)
        return failure(
            QStringLiteral("相片分辨率的%1必须是%2到%3之间的整数").arg(side).arg(kMinTarget).arg(kMaxTarget));
    return value;
}

Result<QSize> parseTargetSize(const QString& widthText, const QString& heightText)
{
    const Result<int> w = parseTargetSide(widthText, QStringLiteral("宽度"));
    if (!w)
        return failure(w.error());
    const Result<int> h = parseTargetSide(heightText, QStringLiteral("高度"));
    if (!h)
        return failure(h.error());
    return QSize(w.value(), h.value());
}

Result<ResolutionLayout> layoutForTarget(int targetWidth, int targetHeight, const QRect& preview, const QRect& strip)
{
    if (!usableTarget(targetWidth, targetHeight))
        return outsideRange(targetWidth, targetHeight);
    ResolutionLayout layout;
    layout.shape = classifyTarget(targetWidth, targetHeight);

    QSize size(kReferenceWidth, kReferenceHeight);
    switch (layout.shape) {
    case TargetShape::Wide:
        size.setHeight(truncated(double(kReferenceWidth) / targetWidth * targetHeight));
        break;
    case TargetShape::Tall:
        size.setWidth(truncated(double(kReferenceHeight) / targetHeight * targetWidth));
        break;
    case TargetShape::Reference:
        break;
    }

    layout.frame = QRect(QPoint(centred(preview.left(), preview.width(), size.width()),
                                centred(preview.top(), preview.height(), size.height())),
                         size);
    layout.pane = QRect(QPoint(centred(strip.left(), strip.width(), size.width()),
                               centred(preview.top(), preview.height(), size.height())),
                        size);
    return layout;
}

QRect clampFrame(const QRect& proposed, const DragLimits& limits)
{
    // Edges as exclusive coordinates; each step moves the rectangle whole.
    int left = proposed.left();
    int top = proposed.top();
    const int width = proposed.width();
    const int height = proposed.height();
    if (left < limits.left)
        left = limits.left;
    if (left + width > limits.right)
        left = limits.right - width;
    if (top < limits.top)
        top = limits.top;
    if (top + height > limits.bottom)
        top = limits.bottom - height;
    return QRect(left, top, width, height);
}

bool canGrow(const QSize& frame)
{
    return frame.height() < 340 && frame.width() < 460;
}

bool canShrink(const QSize& frame)
{
    return frame.height() > 100 && frame.width() > 100;
}

Result<QRect> zoomFrame(const QRect& frame, int zoomValue, double frameScaleValue, int step, int targetWidth,
                        int targetHeight, const QRect& preview)
{
    if (!usableTarget(targetWidth, targetHeight))
        return outsideRange(targetWidth, targetHeight);
    const double change = std::trunc((zoomValue - frameScaleValue) * step);
    const double width = frame.width() + change;
    // A typed zoom value can ask for any size; the frame stays a usable
    // rectangle within the preview, so everything inside it is camera picture.
    if (!(width >= 1 && width <= preview.width()))
        return failure(QStringLiteral("zoomed width %1 does not fit the preview").arg(width));
    const double height = std::trunc(width / (double(targetWidth) / double(targetHeight)));
    if (!(height >= 1 && height <= preview.height()))
        return failure(QStringLiteral("zoomed height %1 does not fit the preview").arg(height));

    const int x = static_cast<int>(change);
    QRect zoomed(frame.topLeft(), QSize(static_cast<int>(width), static_cast<int>(height)));
    if (zoomed.left() + zoomed.width() >= preview.left() + preview.width())
        zoomed.moveLeft(zoomed.left() - x);
    if (zoomed.top() + zoomed.height() >= preview.top() + preview.height())
        zoomed.moveTop(zoomed.top() - (zoomed.height() - frame.height()));
    return zoomed;
}

}  // namespace viewfinder
