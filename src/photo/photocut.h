#pragma once
#include "result.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

// The pixel rectangle of frame that a photo takes for interior (in frame
// coordinates): edges rounded to whole pixels, then moved back inside the
// frame keeping its size, and shrunk only when it is larger than the frame.
// So the photo never has a blank strip and keeps the frame's shape.
QRect photoCutRect(QSize frameSize, const QRectF& interior);

// The same with exactly the target's aspect as far as whole pixels allow:
// each side of the rounded interior moves by at most one pixel, choosing the
// sides whose ratio is closest to target's, centred on the interior.
QRect photoCutRect(QSize frameSize, const QRectF& interior, QSize target);

// How far a cut of size cut stretches a photo of size target: the relative
// difference of their aspects (0.002 is 0.2%).
double aspectDistortion(QSize cut, QSize target);

// The camera picture inside the viewfinder's interior, at camera resolution,
// with the target's aspect when target is not empty.
Result<QImage> cutPhoto(const QImage& cameraFrame, const QRectF& interior, QSize target = {});
