#include "kbrange.h"

#include <algorithm>

qint64 tighterMaximum(qint64 a, qint64 b)
{
    if (a <= 0)
        return std::max<qint64>(b, 0);
    if (b <= 0)
        return a;
    return std::min(a, b);
}

namespace {

// Figures for the operator: a bound in the KB it was given in (a minimum
// counts 1024 bytes, a maximum 1000), and the bytes themselves.
QString bound(qint64 bytes, int bytesPerKb)
{
    return QStringLiteral("%1 KB（%2 字节）").arg(QString::number(double(bytes) / bytesPerKb, 'g', 6)).arg(bytes);
}
QString atLeast(qint64 bytes)
{
    return bound(bytes, 1024);
}
QString atMost(qint64 bytes)
{
    return bound(bytes, 1000);
}
QString size(qint64 bytes)
{
    return QStringLiteral("%1 字节").arg(bytes);
}

}  // namespace

Result<LimitedJpeg> encodeWithinRange(const QualityEncoder& encode, int quality, qint64 minBytes, qint64 maxBytes)
{
    if (minBytes > 0 && maxBytes > 0 && minBytes > maxBytes)
        return failure(QStringLiteral("大小范围无效：下限 %1 高于上限 %2").arg(atLeast(minBytes), atMost(maxBytes)));
    const auto tooSmall = [minBytes](const QByteArray& b) { return minBytes > 0 && b.size() < minBytes; };
    const auto tooLarge = [maxBytes](const QByteArray& b) { return maxBytes > 0 && b.size() > maxBytes; };
    const auto missed = [&](const LimitedJpeg& at) {
        return failure(QStringLiteral("照片大小无法落在 %1 到 %2 之间（质量 %3 时为 %4）")
                           .arg(atLeast(minBytes), atMost(maxBytes))
                           .arg(at.quality)
                           .arg(size(at.bytes.size())));
    };

    quality = std::clamp(quality, 1, 100);
    Result<QByteArray> first = encode(quality);
    if (!first)
        return failure(first.error());
    const bool shrink = tooLarge(first.value());
    if (!shrink && !tooSmall(first.value()))
        return LimitedJpeg{std::move(first).value(), quality};

    // The far end of the search first: when even it misses, the figures say
    // by how much.
    const int far = shrink ? std::min(lowestLimitQuality, quality) : 100;
    Result<QByteArray> end = encode(far);
    if (!end)
        return failure(end.error());
    if (shrink && tooLarge(end.value())) {
        return failure(QStringLiteral("照片无法压缩到 %1以内（质量 %2 时最小为 %3）")
                           .arg(atMost(maxBytes))
                           .arg(far)
                           .arg(size(end->size())));
    }
    if (!shrink && tooSmall(end.value()))
        return failure(
            QStringLiteral("照片达不到 %1（质量 100 时最大为 %2）").arg(atLeast(minBytes), size(end->size())));

    // far fits, quality does not: the fitting quality nearest the asked one
    // lies between. Sizes grow with quality.
    LimitedJpeg best{std::move(end).value(), far};
    int low = shrink ? far : quality + 1;  // shrink: low fits; grow: high fits
    int high = shrink ? quality - 1 : far;
    while (low < high) {
        const int middle = shrink ? (low + high + 1) / 2 : (low + high) / 2;
        Result<QByteArray> tried = encode(middle);
        if (!tried)
            return failure(tried.error());
        const bool fits = shrink ? !tooLarge(tried.value()) : !tooSmall(tried.value());
        if (fits)
            best = LimitedJpeg{std::move(tried).value(), middle};
        if (shrink && fits)
            low = middle;
        else if (shrink)
            high = middle - 1;
        else if (fits)
            high = middle;
        else
            low = middle + 1;
    }
    // One bound met, the other crossed: the file jumps over the whole range.
    if (tooSmall(best.bytes) || tooLarge(best.bytes))
        return missed(best);
    return best;
}
