#pragma once
#include "photoresult.h"

#include <QRect>
#include <QRectF>

// The pixel rectangle of frame that a photo takes for interior (in frame
// coordinates): edges rounded to whole pixels, then moved back inside the
// frame keeping its size, and shrunk only when it is larger than the frame.
// So the photo never has a blank strip and keeps the frame's shape.
QRect photoCutRect(QSize frameSize, const QRectF& interior);

// The camera picture inside the viewfinder's interior, at camera resolution.
ImageResult cutPhoto(const QImage& cameraFrame, const QRectF& interior);
