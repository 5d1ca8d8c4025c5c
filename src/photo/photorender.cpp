#include "photorender.h"

#include "jpegcodec.h"
#include "kbrange.h"
#include "photofile.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QFutureWatcher>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <optional>

#include <cmath>

namespace photorender {

namespace {

constexpr double kFontFraction = 11.0 / 245.0;
constexpr double kLeftFraction = 2.0 / 245.0;
constexpr double kBottomFraction = 0.04;

}  // namespace

QFont captionFont(int photoHeight)
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(qMax(1, int(std::lround(photoHeight * kFontFraction))));
    return font;
}

CaptionPlacement placeCaption(const QString& text, QSize photo)
{
    QFont font = captionFont(photo.height());
    const double left = qMax(1.0, std::round(photo.height() * kLeftFraction));
    const double room = photo.width() - 2 * left;
    // Shrink until the line fits across the photo.
    while (font.pixelSize() > 1 && QFontMetricsF(font).horizontalAdvance(text) > room)
        font.setPixelSize(font.pixelSize() - 1);
    const QFontMetricsF metrics(font);
    const double bottom = photo.height() - std::round(photo.height() * kBottomFraction);
    return {font, QPointF(left, bottom - metrics.descent())};
}

void drawCaption(QImage& photo, const QString& text, const QColor& colour)
{
    if (text.isEmpty() || photo.isNull())
        return;
    const CaptionPlacement place = placeCaption(text, photo.size());
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(place.font);
    painter.setPen(colour);
    painter.drawText(place.baseline, text);
}

Result<QImage> renderPhoto(const QImage& cut, QSize size, const QString& caption, const QColor& colour)
{
    if (cut.isNull())
        return failure(QStringLiteral("没有可保存的照片"));
    if (size.isEmpty())
        return failure(QStringLiteral("照片尺寸无效: %1 × %2").arg(size.width()).arg(size.height()));
    QImage photo = scaleToPhotoSize(cut, size);
    if (photo.isNull())
        return failure(QStringLiteral("内存不足，无法缩放照片"));
    drawCaption(photo, caption, colour);
    return photo;
}

}  // namespace photorender

Result<safewrite::Published> runPhotoJob(const PhotoJob& job)
{
    QByteArray bytes;
    {
        // The full-size picture lives only while it is encoded.
        const Result<QImage> photo = photorender::renderPhoto(job.cut, job.size, job.caption, job.captionColour);
        if (!photo)
            return failure(photo.error());
        const QImage& image = photo.value();
        const int dpi = job.dpi;
        const Result<LimitedJpeg> limited =
            encodeWithinRange([&image, dpi](int quality) { return jpeg::encode(image, quality, dpi); }, job.quality,
                              job.minBytes, job.maxBytes);
        if (!limited)
            return failure(limited.error());
        bytes = limited->bytes;
    }
    return safewrite::writeFile(job.target, bytes);
}

namespace {

// The camera original beside a photo just written: its folder made, an
// older one kept first.
Result<safewrite::Published> writeOriginal(const PhotoJob& job)
{
    if (!QDir().mkpath(QFileInfo(job.originalTarget.path).absolutePath()))
        return failure(QStringLiteral("无法创建文件夹 %1")
                           .arg(QDir::toNativeSeparators(QFileInfo(job.originalTarget.path).absolutePath())));
    const Result<QByteArray> bytes = jpeg::encode(job.original, 92);
    if (!bytes)
        return failure(bytes.error());
    return safewrite::writeFile(job.originalTarget, bytes.value());
}

}  // namespace

void runPhotoJobInBackground(PhotoJob job, QObject* receiver, std::function<void(const PhotoWritten&)> done)
{
    auto result = std::make_shared<std::optional<PhotoWritten>>();
    auto* watcher = new QFutureWatcher<void>(receiver);
    QObject::connect(watcher, &QFutureWatcher<void>::finished, receiver, [watcher, result, done = std::move(done)] {
        watcher->deleteLater();
        if (result->has_value()) {
            done(**result);
        } else {
            PhotoWritten none;
            none.photo = failure(QStringLiteral("保存照片失败"));
            done(none);
        }
    });
    watcher->setFuture(QtConcurrent::run([job = std::move(job), result]() mutable {
        PhotoWritten written;
        written.photo = runPhotoJob(job);
        job.cut = QImage();  // released here, not when the task object goes
        if (written.photo && written.photo->written() && !job.original.isNull())
            written.original = writeOriginal(job);
        job.original = QImage();
        result->emplace(std::move(written));
    }));
}
