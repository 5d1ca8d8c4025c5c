#include "photofile.h"

#include "systemerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::filesystem::path fsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A file that is removed when it goes out of scope, unless kept.
class TemporaryPath {
public:
    explicit TemporaryPath(QString path)
        : path_(std::move(path))
    {
    }
    ~TemporaryPath()
    {
        if (!kept_)
            QFile::remove(path_);
    }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;
    const QString& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    QString path_;
    bool kept_ = false;
};

QString temporaryNameBeside(const QString& path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".") +
           QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
}

// Writes and syncs bytes into a new file at path.
Status writeSynced(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    // Unbuffered, so a short write (full disk) is seen here.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return failure(QStringLiteral("无法写入照片 %1: %2").arg(shown(path), file.errorString()));
    if (file.write(bytes) != bytes.size())
        return failure(QStringLiteral("写入照片失败（磁盘已满？）%1: %2").arg(shown(path), file.errorString()));
#ifdef Q_OS_WIN
    const bool synced = ::_commit(file.handle()) == 0;
#else
    const bool synced = ::fsync(file.handle()) == 0;
#endif
    if (!synced)
        return failure(QStringLiteral("写入照片失败（磁盘已满？）%1").arg(shown(path)));
    file.close();
    return Status::success();
}

// Keeps the file at path as a copy in folder under name: a hard link when the
// file system has them (atomic, nothing copied), else a copy renamed into place.
Result<QString> keepCopy(const QString& path, const QString& folder, const QString& name)
{
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("无法创建文件夹 %1").arg(shown(folder)));
    QString target = folder + QLatin1Char('/') + name;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = folder + QLatin1Char('/') + QFileInfo(name).completeBaseName() + QStringLiteral("-%1.jpg").arg(n);
    std::error_code ec;
    std::filesystem::create_hard_link(fsPath(path), fsPath(target), ec);
    if (!ec)
        return target;
    TemporaryPath copy(temporaryNameBeside(target));
    if (!QFile::copy(path, copy.path()))
        return failure(QStringLiteral("无法保留旧照片 %1").arg(shown(path)));
    std::filesystem::rename(fsPath(copy.path()), fsPath(target), ec);
    if (ec)
        return failure(QStringLiteral("无法保留旧照片 %1: %2").arg(shown(path), QString::fromStdString(ec.message())));
    copy.keep();
    return target;
}

}  // namespace

Status writeFileReplacing(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return failure(QStringLiteral("保存照片的文件夹不存在: %1").arg(shown(info.absolutePath())));

    // QSaveFile writes a temporary file in the same folder, syncs it and
    // renames it over the target on commit; never straight into the old file.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write (full disk) is seen here and not lost in a
    // late flush that the commit does not report.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(QStringLiteral("无法写入照片 %1: %2").arg(shown(path), systemerror::withChinese(file.errorString())));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = systemerror::withChinese(file.errorString());
        file.cancelWriting();
        return failure(QStringLiteral("写入照片失败（磁盘已满？）%1: %2").arg(shown(path), why));
    }
    if (!file.commit())
        return failure(QStringLiteral("保存照片失败 %1: %2").arg(shown(path), systemerror::withChinese(file.errorString())));
    return Status::success();
}

QString replacedFolderName()
{
    return QStringLiteral("已替换");
}

QString replacedCopyName(const QString& photoFileName, const QDateTime& when)
{
    QString base = photoFileName;
    if (base.endsWith(QStringLiteral(".jpg")))
        base.chop(4);
    return base + when.toString(QStringLiteral("-yyyyMMdd-HHmmss")) + QStringLiteral(".jpg");
}

Result<QString> writePhotoKeepingOld(const QString& path, const QByteArray& bytes, const QDateTime& when)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return failure(QStringLiteral("保存照片的文件夹不存在: %1").arg(shown(info.absolutePath())));

    TemporaryPath fresh(temporaryNameBeside(path));
    const Status written = writeSynced(fresh.path(), bytes);
    if (!written)
        return failure(written.error());

    // The new photo is complete: now the old one may be set aside.
    QString kept;
    if (info.exists()) {
        const Result<QString> copy = keepCopy(path, info.absolutePath() + QLatin1Char('/') + replacedFolderName(),
                                              replacedCopyName(info.fileName(), when));
        if (!copy)
            return failure(copy.error());
        kept = copy.value();
    }
    std::error_code ec;
    std::filesystem::rename(fsPath(fresh.path()), fsPath(path), ec);
    if (ec) {
        if (!kept.isEmpty())
            QFile::remove(kept);  // the old photo is still in place
        return failure(QStringLiteral("保存照片失败 %1: %2").arg(shown(path), QString::fromStdString(ec.message())));
    }
    fresh.keep();
    return kept;
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
