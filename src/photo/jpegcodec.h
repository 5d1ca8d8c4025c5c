#pragma once
#include "result.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace jpeg {

// Encodes the picture as a baseline (sequential, SOF0) JPEG at quality 1..100.
// 32-bit pictures are converted row by row, so a very large photo is not
// copied whole once more. dpi > 0 is written as the JFIF density (dots per
// inch), which registries read for the printed size; 0 states none.
Result<QByteArray> encode(const QImage& picture, int quality, int dpi = 0);

// Decodes JPEG bytes into an RGB picture.
Result<QImage> decode(const QByteArray& bytes);

}  // namespace jpeg

// Reads a JPEG file, e.g. a saved photo that is shown again.
Result<QImage> loadJpeg(const QString& path);
