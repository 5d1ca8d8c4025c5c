#include "photofile.h"

#include "drawpanel.h"
#include "photoimage.h"
#include "systemerror.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

SaveResult writeFileReplacing(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return SaveResult::failure(
            QStringLiteral("保存照片的文件夹不存在: %1").arg(QDir::toNativeSeparators(info.absolutePath())));

    // QSaveFile writes a temporary file in the same folder, syncs it and
    // renames it over the target on commit; never straight into the old file.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write (full disk) is seen here and not lost in a
    // late flush that the commit does not report.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return SaveResult::failure(
            QStringLiteral("无法写入照片 %1: %2").arg(QDir::toNativeSeparators(path), systemerror::withChinese(file.errorString())));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = systemerror::withChinese(file.errorString());
        file.cancelWriting();
        return SaveResult::failure(
            QStringLiteral("写入照片失败（磁盘已满？）%1: %2").arg(QDir::toNativeSeparators(path), why));
    }
    if (!file.commit())
        return SaveResult::failure(
            QStringLiteral("保存照片失败 %1: %2").arg(QDir::toNativeSeparators(path), systemerror::withChinese(file.errorString())));
    return SaveResult::success();
}

SaveResult ensurePhotoFolder(const QString& folder)
{
    if (folder.isEmpty())
        return SaveResult::failure(QStringLiteral("没有选择保存照片的文件夹"));
    const QFileInfo info(folder);
    if (info.isDir())
        return SaveResult::success();
    if (info.exists())
        return SaveResult::failure(QStringLiteral("%1 不是文件夹").arg(QDir::toNativeSeparators(folder)));
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return SaveResult::failure(QStringLiteral("无法创建保存照片的文件夹 %1").arg(QDir::toNativeSeparators(folder)));
    return SaveResult::success();
}

namespace {

int sideFor(int requested, int canvasSide)
{
    if (requested > 0)
        return requested;
    if (requested == 0)
        return canvasSide;
    const double percent = qMax(10.0, -double(requested));
    return int(std::trunc(canvasSide * percent / 100.0));
}

}  // namespace

QSize photoSizeFor(int targetWidth, int targetHeight, QSize canvasSize)
{
    return {sideFor(targetWidth, canvasSize.width()), sideFor(targetHeight, canvasSize.height())};
}

QImage scaleToPhotoSize(const QImage& picture, QSize size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    // Qt's smooth scaling of 32-bit pictures averages the covered source
    // area when shrinking and interpolates bilinearly when enlarging.
    QImage source = picture.convertToFormat(QImage::Format_RGB32);
    if (source.size() == size)
        return source;
    return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

SaveResult EncodePhotoFile(PhotoImage& image, const QImage& canvasPicture, QSize canvasSize, const QString& path,
                           int targetWidth, int targetHeight)
{
    const QSize size = photoSizeFor(targetWidth, targetHeight, canvasSize);
    if (size.isEmpty())
        return SaveResult::failure(QStringLiteral("照片尺寸无效: %1 × %2").arg(size.width()).arg(size.height()));
    if (canvasPicture.isNull())
        return SaveResult::failure(QStringLiteral("没有可保存的照片"));
    const QImage photo = scaleToPhotoSize(canvasPicture, size);
    if (photo.isNull())
        return SaveResult::failure(QStringLiteral("内存不足，无法缩放照片"));
    image.setImage(photo);
    return image.saveJpeg(path);
}

SaveResult EncodePhotoFile(PhotoImage& image, const DrawPanel& canvas, const QString& path, int targetWidth,
                           int targetHeight)
{
    return EncodePhotoFile(image, canvas.retainedImage(), canvas.size(), path, targetWidth, targetHeight);
}
