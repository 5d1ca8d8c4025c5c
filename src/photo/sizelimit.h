#pragma once
#include "result.h"

#include <QByteArray>
#include <QString>

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

// The largest limit the 大小上限 KB box takes.
constexpr int largestLimitKb = 100000;

// The limit typed into the 大小上限 KB box, in bytes: 0 when the box is empty
// (no limit), a whole number of KB from 1 to largestLimitKb (full-width
// digits count) at 1000 bytes each, so the file fits a KB of 1024 too, or the
// reason the text is not one.
Result<qint64> parseSizeLimitKb(const QString& text);
