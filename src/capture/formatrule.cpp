#include "formatrule.h"

#include "stationsettings.h"

#include <QSettings>
#include <QStringList>
#include <QUrl>
#include <algorithm>

namespace capture {

namespace {

bool isCompressed(const CaptureFormat& f)
{
    return f.pixelFormat == QLatin1String("mjpeg");
}

// Card names and bus addresses hold '/' and ':', which settings keys must not.
QString escaped(const QString& identity)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(identity).replace('%', '_'));
}

QString keyOf(const QString& identity)
{
    return QStringLiteral("cameraFormats/") + escaped(identity);
}

QString controlsKey(const QString& identity)
{
    return QStringLiteral("cameraControls/") + escaped(identity);
}

}  // namespace

CaptureFormat chooseFormat(const QList<CaptureFormat>& offered, const CaptureFormat& current)
{
    const CaptureFormat* best = nullptr;
    auto better = [](const CaptureFormat& a, const CaptureFormat& b) {
        const qint64 areaA = qint64(a.size.width()) * a.size.height();
        const qint64 areaB = qint64(b.size.width()) * b.size.height();
        if (areaA != areaB)
            return areaA > areaB;
        if (isCompressed(a) != isCompressed(b))
            return isCompressed(a);
        return a.frameRate > b.frameRate;
    };
    for (const CaptureFormat& f : offered) {
        const bool fits = f.size.width() <= kLargestAutoSize.width() && f.size.height() <= kLargestAutoSize.height();
        // 29.97 and 25 count; a camera rounding 25 down to 24.99 as well.
        if (!fits || f.size.isEmpty() || f.frameRate < kSmoothFrameRate - 0.05)
            continue;
        if (!best || better(f, *best))
            best = &f;
    }
    return best ? *best : current;
}

std::optional<CaptureFormat> rememberedFormat(const QString& cameraIdentity)
{
    if (cameraIdentity.isEmpty())
        return std::nullopt;
    const QStringList parts = stationsettings::open().value(keyOf(cameraIdentity)).toString().split(QLatin1Char(' '));
    if (parts.size() != 4)
        return std::nullopt;
    CaptureFormat f{QSize(parts[0].toInt(), parts[1].toInt()), parts[2], parts[3].toDouble()};
    if (f.size.isEmpty() || f.pixelFormat.isEmpty())
        return std::nullopt;
    return f;
}

void rememberFormat(const QString& cameraIdentity, const CaptureFormat& format)
{
    if (cameraIdentity.isEmpty() || format.size.isEmpty() || format.pixelFormat.isEmpty())
        return;
    QSettings s = stationsettings::open();
    s.setValue(keyOf(cameraIdentity), QStringLiteral("%1 %2 %3 %4")
                                          .arg(format.size.width())
                                          .arg(format.size.height())
                                          .arg(format.pixelFormat)
                                          .arg(format.frameRate));
}

// Kept as "id=value id=value ...", in the order they were set.
QList<QPair<quint32, int>> rememberedControls(const QString& cameraIdentity)
{
    QList<QPair<quint32, int>> values;
    if (cameraIdentity.isEmpty())
        return values;
    const QString text = stationsettings::open().value(controlsKey(cameraIdentity)).toString();
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList kv = item.split(QLatin1Char('='));
        bool okId = false, okValue = false;
        const quint32 id = kv.value(0).toUInt(&okId);
        const int value = kv.value(1).toInt(&okValue);
        if (kv.size() == 2 && okId && okValue)
            values.append({id, value});
    }
    return values;
}

void rememberControls(const QString& cameraIdentity, const QList<QPair<quint32, int>>& values)
{
    if (cameraIdentity.isEmpty() || values.isEmpty())
        return;
    QList<QPair<quint32, int>> kept = rememberedControls(cameraIdentity);
    for (const auto& [id, value] : values) {
        kept.erase(std::remove_if(kept.begin(), kept.end(), [id = id](const auto& p) { return p.first == id; }),
                   kept.end());
        kept.append({id, value});
    }
    QStringList items;
    for (const auto& [id, value] : kept)
        items << QStringLiteral("%1=%2").arg(id).arg(value);
    QSettings s = stationsettings::open();
    s.setValue(controlsKey(cameraIdentity), items.join(QLatin1Char(' ')));
}

void forgetControls(const QString& cameraIdentity)
{
    if (cameraIdentity.isEmpty())
        return;
    QSettings s = stationsettings::open();
    s.remove(controlsKey(cameraIdentity));
}

}  // namespace capture
