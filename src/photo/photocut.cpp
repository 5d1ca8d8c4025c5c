#include "photocut.h"

#include <cmath>

namespace {

// One side: [start, start + length) within [0, limit).
void fitSide(int& start, int& length, int limit)
{
    length = qMin(length, limit);
    start = qBound(0, start, limit - length);
}

int rounded(double v)
{
    return int(std::lround(qBound(-1e9, v, 1e9)));
}

}  // namespace

QRect photoCutRect(QSize frameSize, const QRectF& interior)
{
    if (frameSize.isEmpty() || !interior.isValid() || interior.isEmpty())
        return {};
    int x = rounded(interior.left());
    int y = rounded(interior.top());
    int w = rounded(interior.right()) - x;
    int h = rounded(interior.bottom()) - y;
    if (w <= 0 || h <= 0)
        return {};
    fitSide(x, w, frameSize.width());
    fitSide(y, h, frameSize.height());
    return {x, y, w, h};
}

double aspectDistortion(QSize cut, QSize target)
{
    if (cut.isEmpty() || target.isEmpty())
        return 1.0;
    const double a = double(cut.width()) / cut.height();
    const double b = double(target.width()) / target.height();
    return std::abs(a / b - 1.0);
}

QRect photoCutRect(QSize frameSize, const QRectF& interior, QSize target)
{
    const QRect base = photoCutRect(frameSize, interior);
    if (base.isEmpty() || target.isEmpty())
        return base;
    // The interior follows the frame, whose sides are whole screen pixels and
    // lose the outline on each side, so its aspect is only near the target's
    // (far from it for a flat frame). The cut is the largest rectangle of the
    // target's aspect inside the interior; its shorter side is rounded to one
    // of the nearest whole pixels, and the longer side follows from it, so
    // the ratio is as true as whole pixels allow.
    const double aspect = double(target.width()) / target.height();
    QSizeF fit = interior.size();
    if (fit.width() / fit.height() > aspect)
        fit.setWidth(fit.height() * aspect);
    else
        fit.setHeight(fit.width() / aspect);
    const bool wide = aspect >= 1.0;
    const int shortSide = rounded(wide ? fit.height() : fit.width());
    QSize best;
    double bestDistortion = 0;
    for (int s = shortSide - 1; s <= shortSide + 1; ++s) {
        if (s < 1)
            continue;
        const int longSide = qMax(1, rounded(wide ? s * aspect : s / aspect));
        const QSize candidate = wide ? QSize(longSide, s) : QSize(s, longSide);
        if (candidate.width() > frameSize.width() || candidate.height() > frameSize.height())
            continue;
        const double d = aspectDistortion(candidate, target);
        if (best.isEmpty() || d < bestDistortion - 1e-12) {
            best = candidate;
            bestDistortion = d;
        }
    }
    if (best.isEmpty())
        return base;
    const QPointF centre = interior.center();
    int x = rounded(centre.x() - best.width() / 2.0);
    int y = rounded(centre.y() - best.height() / 2.0);
    int w = best.width();
    int h = best.height();
    fitSide(x, w, frameSize.width());
    fitSide(y, h, frameSize.height());
    return {x, y, w, h};
}

Result<QImage> cutPhoto(const QImage& cameraFrame, const QRectF& interior, QSize target)
{
    if (cameraFrame.isNull())
        return failure(QStringLiteral("没有摄像头画面，无法照相"));
    const QRect cut = photoCutRect(cameraFrame.size(), interior, target);
    if (cut.isEmpty())
        return failure(QStringLiteral("取景框为空，无法照相"));
    QImage photo = cameraFrame.copy(cut);
    if (photo.isNull())
        return failure(QStringLiteral("内存不足，无法照相"));
    return photo;
}
