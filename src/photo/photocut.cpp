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

ImageResult cutPhoto(const QImage& cameraFrame, const QRectF& interior)
{
    if (cameraFrame.isNull())
        return ImageResult::failure(QStringLiteral("没有摄像头画面，无法照相"));
    const QRect cut = photoCutRect(cameraFrame.size(), interior);
    if (cut.isEmpty())
        return ImageResult::failure(QStringLiteral("取景框为空，无法照相"));
    QImage photo = cameraFrame.copy(cut);
    if (photo.isNull())
        return ImageResult::failure(QStringLiteral("内存不足，无法照相"));
    return ImageResult::success(std::move(photo));
}
