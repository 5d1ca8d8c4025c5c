#include "photofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

QString replacedFolderName()
{
    return QStringLiteral("已替换");
}

Status ensurePhotoFolder(const QString& folder)
{
    if (folder.isEmpty())
        return failure(QStringLiteral("没有选择保存照片的文件夹"));
    const QFileInfo info(folder);
    if (info.isDir())
        return Status::success();
    if (info.exists())
        return failure(QStringLiteral("%1 不是文件夹").arg(shown(folder)));
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return failure(QStringLiteral("无法创建保存照片的文件夹 %1").arg(shown(folder)));
    return Status::success();
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

int nextFreeShotNumber(const QString& folder, const QString& prefix, int from)
{
    int next = qMax(1, from);
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return next;
    const QString suffix = QStringLiteral(".jpg");
    const QStringList names = dir.entryList({prefix + QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (!name.startsWith(prefix) || !name.endsWith(suffix))
            continue;
        const QStringView digits = QStringView(name).mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        bool ok = false;
        const int n = digits.toInt(&ok);
        // Only the names the counter makes: decimal, no sign, no leading zero.
        if (ok && n > 0 && n < std::numeric_limits<int>::max() && digits == QString::number(n))
            next = qMax(next, n + 1);
    }
    return next;
}
