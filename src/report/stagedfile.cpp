#include "stagedfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <utility>

Result<StagedFile> StagedFile::create(const QString& target, const QString& pattern)
{
    const QFileInfo info(target);
    if (!info.absoluteDir().exists())
        return failure(QStringLiteral("文件夹不存在：%1").arg(QDir::toNativeSeparators(info.absolutePath())));
    QTemporaryFile temporary(info.absoluteDir().filePath(pattern));
    if (!temporary.open())
        return failure(
            QStringLiteral("无法写入 %1：%2").arg(QDir::toNativeSeparators(target), temporary.errorString()));
    temporary.setAutoRemove(false);
    // A temporary file is private to its owner; the finished report is not.
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther);
    return StagedFile(temporary.fileName(), target);
}

StagedFile::StagedFile(QString temporary, QString target)
    : temporary_(std::move(temporary))
    , target_(std::move(target))
{
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : temporary_(std::exchange(other.temporary_, QString()))
    , target_(std::move(other.target_))
{
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        discard();
        temporary_ = std::exchange(other.temporary_, QString());
        target_ = std::move(other.target_);
    }
    return *this;
}

StagedFile::~StagedFile()
{
    discard();
}

void StagedFile::discard()
{
    if (!temporary_.isEmpty())
        QFile::remove(std::exchange(temporary_, QString()));
}

Status StagedFile::commit()
{
    if (temporary_.isEmpty())
        return failure(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(target_)));
    // rename() replaces an older report in one step.
    if (std::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0) {
        discard();
        return failure(QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(target_)));
    }
    temporary_.clear();
    return Status::success();
}
