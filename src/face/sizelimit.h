#pragma once
#include "result.h"

#include <QByteArray>

#include <functional>

// The lowest quality a size limit may push a photo to.
constexpr int lowestLimitQuality = 30;

struct LimitedJpeg {
    QByteArray bytes;
    int quality = 0;  // the quality the bytes were encoded at
};

using QualityEncoder = std::function<Result<QByteArray>(int quality)>;

// Encodes at quality; when a limit is set (bytes > 0) and the file is larger,
// searches the highest quality from lowestLimitQuality up that fits. Fails
// with the smallest size reached when even that is too large.
Result<LimitedJpeg> encodeWithinLimit(const QualityEncoder& encode, int quality, qint64 limitBytes);
