#include "sizelimit.h"

#include "texttoint.h"

#include <algorithm>

Result<LimitedJpeg> encodeWithinLimit(const QualityEncoder& encode, int quality, qint64 limitBytes)
{
    quality = std::clamp(quality, 1, 100);
    Result<QByteArray> first = encode(quality);
    if (!first)
        return failure(first.error());
    if (limitBytes <= 0 || first->size() <= limitBytes)
        return LimitedJpeg{std::move(first).value(), quality};

    int low = std::min(lowestLimitQuality, quality);
    Result<QByteArray> smallest = encode(low);
    if (!smallest)
        return failure(smallest.error());
    if (smallest->size() > limitBytes) {
        return failure(QStringLiteral("照片无法压缩到 %1 KB 以内（质量 %2 时最小为 %3 KB）")
                           .arg(limitBytes / 1024.0, 0, 'f', 1)
                           .arg(low)
                           .arg(smallest->size() / 1024.0, 0, 'f', 1));
    }
    // low fits, quality does not: the highest fitting quality lies between.
    LimitedJpeg best{std::move(smallest).value(), low};
    int high = quality - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        Result<QByteArray> tried = encode(middle);
        if (!tried)
            return failure(tried.error());
        if (tried->size() <= limitBytes) {
            best = LimitedJpeg{std::move(tried).value(), middle};
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return best;
}

Result<qint64> parseSizeLimitKb(const QString& text)
{
    const QString t = text::toHalfWidth(text).trimmed();
    if (t.isEmpty())
        return qint64(0);
    bool ok = false;
    const int kb = t.toInt(&ok);
    if (!ok || kb < 1 || kb > largestLimitKb)
        return failure(QStringLiteral("大小上限应为 1 到 %1 之间的整数（KB），留空为不限").arg(largestLimitKb));
    // Met whichever KB the one who set the limit meant, 1000 or 1024 bytes.
    return qint64(kb) * 1000;
}
