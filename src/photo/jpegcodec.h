#pragma once
#include "photoresult.h"

#include <QByteArray>
#include <QString>

// JPEG bytes, or why encoding failed.
struct JpegBytes {
    QByteArray bytes;
    QString error;

    bool ok() const { return !bytes.isEmpty(); }
};

namespace jpeg {

// Encodes the picture as a baseline (sequential, SOF0) JPEG at quality 1..100.
JpegBytes encode(const QImage& picture, int quality);

// Decodes JPEG bytes into an RGB picture.
ImageResult decode(const QByteArray& bytes);

}  // namespace jpeg

// Reads a JPEG file, e.g. a saved photo that is shown again.
ImageResult loadJpeg(const QString& path);
