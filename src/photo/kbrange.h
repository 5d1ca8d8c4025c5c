#pragma once
#include "result.h"
#include "sizelimit.h"

#include <QtGlobal>

// The file size a photo must have, in KB as forms and registries state it.
// Whether their KB is 1000 or 1024 bytes is never said, so a range is met in
// both readings: at most N x 1000 bytes, at least N x 1024.
struct KbRange {
    int minKb = 0;  // 0: no minimum
    int maxKb = 0;  // 0: no maximum

    qint64 minBytes() const { return qint64(minKb) * 1024; }
    qint64 maxBytes() const { return qint64(maxKb) * 1000; }
    bool isEmpty() const { return minKb <= 0 && maxKb <= 0; }
    bool operator==(const KbRange& o) const { return minKb == o.minKb && maxKb == o.maxKb; }
};

// The tighter of two maximums in bytes, 0 standing for none.
qint64 tighterMaximum(qint64 a, qint64 b);

// Encodes at quality; a file above maxBytes is made smaller by lowering the
// quality (down to lowestLimitQuality), one below minBytes larger by raising
// it (up to 100), each time the quality nearest the asked one that fits. A
// bound of 0 is none. Fails with the figures when the range cannot be met.
Result<LimitedJpeg> encodeWithinRange(const QualityEncoder& encode, int quality, qint64 minBytes, qint64 maxBytes);
