#include "safewrite.h"

#include "systemerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safewrite {

namespace {

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Errors that mean "this file system cannot do that", not "it failed".
bool unsupported(int code)
{
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP;
}

bool noHardLinks(int code)
{
    return unsupported(code) || code == EPERM || code == EMLINK || code == EXDEV;
}

// This computer's name as it appears in temporary names: letters, digits.
QString hostTag()
{
    static const QString tag = [] {
        QString out;
        for (const QChar c : QSysInfo::machineHostName())
            if (c.unicode() < 128 && c.isLetterOrNumber())
                out += c;
        return out.isEmpty() ? QStringLiteral("host") : out.left(32);
    }();
    return tag;
}

const QString temporarySuffix = QStringLiteral(".tmp");

// ".NAME.HOST-PID-RANDOM.tmp": hidden, never taken for a photo, and telling
// which process of which computer writes it.
QString temporaryBeside(const QString& target)
{
    const QFileInfo info(target);
    const QString tag = QStringLiteral("%1-%2-%3")
                            .arg(hostTag())
                            .arg(QCoreApplication::applicationPid())
                            .arg(QRandomGenerator::global()->generate(), 0, 36);
    QString name = QStringLiteral(".") + info.fileName() + QStringLiteral(".") + tag + temporarySuffix;
    if (encoded(name).size() > 255)
        name = QStringLiteral(".station.") + tag + temporarySuffix;
    return info.absolutePath() + QLatin1Char('/') + name;
}

// Best effort: some network file systems refuse to sync a folder, and the
// file itself is already synced.
void syncFolder(const QString& folder)
{
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

std::optional<FileIdentity> identityOfFd(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// How many names the file has (1 when it is not a hard link).
quint64 linkCount(const QString& path)
{
    struct stat st { };
    return ::stat(encoded(path).constData(), &st) == 0 ? quint64(st.st_nlink) : 0;
}

// Puts `from` at `to` unless something is at `to` already: 0, EEXIST or the
// error.
int placeWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray f = encoded(from), t = encoded(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    int code = errno;
    if (!unsupported(code))
        return code;
    // A link cannot replace either; the temporary's name goes after it.
    if (::link(f.constData(), t.constData()) == 0) {
        ::unlink(f.constData());
        return 0;
    }
    code = errno;
    if (!noHardLinks(code))
        return code;
    // Neither (some shared folders): the narrowest gap there is.
    struct stat st { };
    if (::lstat(t.constData(), &st) == 0)
        return EEXIST;
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

// Swaps two names in one step: 0, or the error (unsupported() when the file
// system cannot).
int exchange(const QString& a, const QString& b)
{
    return ::renameat2(AT_FDCWD, encoded(a).constData(), AT_FDCWD, encoded(b).constData(), RENAME_EXCHANGE) == 0
               ? 0
               : errno;
}

QString numberedName(const QString& name, int n)
{
    if (n < 2)
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    return info.completeBaseName() + QStringLiteral("-%1").arg(n) +
           (suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix);
}

// Copies a file into `to` (a new name) through a synced temporary.
int copyWithoutReplacing(const QString& from, const QString& to)
{
    const QString temporary = temporaryBeside(to);
    if (!QFile::copy(from, temporary))
        return EIO;
    const int fd = ::open(encoded(temporary).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    const int placed = synced ? placeWithoutReplacing(temporary, to) : EIO;
    if (placed != 0)
        QFile::remove(temporary);
    return placed;
}

// The file at path kept in folder under a free name, when it is still
// `expected`: a hard link where the file system has them (nothing copied,
// the very file), else a copy. nullopt: the file is not `expected` any more
// (nothing was kept).
Result<std::optional<QString>> keepCopy(const QString& path, const QString& folder, const QString& keptFileName,
                                        const FileIdentity& expected, const QString& what)
{
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("无法创建文件夹 %1").arg(shown(folder)));
    bool linking = true;
    for (int n = 1; n < 10000; ++n) {
        const QString target = folder + QLatin1Char('/') + numberedName(keptFileName, n);
        if (linking) {
            if (::link(encoded(path).constData(), encoded(target).constData()) == 0) {
                if (identityOf(target) == expected)
                    return std::optional<QString>(target);
                ::unlink(encoded(target).constData());  // another version: the one at path still
                return std::optional<QString>();
            }
            const int code = errno;
            if (code == EEXIST)
                continue;
            if (code == ENOENT)
                return std::optional<QString>();  // gone meanwhile
            if (!noHardLinks(code))
                return failure(
                    QStringLiteral("无法保留旧%1 %2：%3").arg(what, shown(path), systemerror::fromErrno(code)));
            linking = false;
        }
        const int code = copyWithoutReplacing(path, target);
        if (code == EEXIST)
            continue;
        if (code != 0)
            return failure(QStringLiteral("无法保留旧%1 %2：%3").arg(what, shown(path), systemerror::fromErrno(code)));
        if (identityOf(path) == expected)
            return std::optional<QString>(target);
        QFile::remove(target);
        return std::optional<QString>();
    }
    return failure(QStringLiteral("无法保留旧%1 %2").arg(what, shown(path)));
}

enum class Swap { Done, Changed };

// Puts `fresh` at path in place of the file that must be `expected` there.
// The file that left path is checked afterwards; when another station put
// a different one there meanwhile, the swap is undone.
Result<Swap> replaceExpected(const QString& fresh, const QString& path, const FileIdentity& expected,
                             const QString& what)
{
    const int code = exchange(fresh, path);
    if (code == 0) {
        if (identityOf(fresh) != expected) {
            (void)exchange(fresh, path);
            return Swap::Changed;
        }
        ::unlink(encoded(fresh).constData());
        return Swap::Done;
    }
    if (code == ENOENT && !identityOf(path))
        return Swap::Changed;  // gone meanwhile
    if (!unsupported(code))
        return failure(QStringLiteral("保存%1失败 %2：%3").arg(what, shown(path), systemerror::fromErrno(code)));
    // Without an exchange: the last look just before the rename.
    if (identityOf(path) != expected)
        return Swap::Changed;
    if (::rename(encoded(fresh).constData(), encoded(path).constData()) != 0)
        return failure(QStringLiteral("保存%1失败 %2：%3").arg(what, shown(path), systemerror::fromErrno(errno)));
    return Swap::Done;
}

Status writeAll(int fd, const QByteArray& bytes, const QString& target, const QString& what)
{
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            return failure(QStringLiteral("写入%1失败 %2：%3").arg(what, shown(target), systemerror::fromErrno(code)));
        }
        data += n;
        left -= n;
    }
    return Status::success();
}

}  // namespace

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat st { };
    if (::stat(encoded(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

QString resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

bool sameFile(const QString& a, const QString& b)
{
    if (resolvedPath(a) == resolvedPath(b))
        return true;
    const auto first = identityOf(a);
    const auto second = identityOf(b);
    return first && second && first->device == second->device && first->inode == second->inode;
}

QString keptName(const QString& fileName, const QDateTime& when)
{
    const QFileInfo info(fileName);
    const QString stamp = when.toString(QStringLiteral("-yyyyMMdd-HHmmss"));
    if (info.suffix().isEmpty())
        return fileName + stamp;
    return info.completeBaseName() + stamp + QStringLiteral(".") + info.suffix();
}

Result<StagedWrite> StagedWrite::create(const QString& target, const QString& what)
{
    const QFileInfo info(target);
    if (!info.absoluteDir().exists())
        return failure(QStringLiteral("保存%1的文件夹不存在：%2").arg(what, shown(info.absolutePath())));
    for (int attempt = 0; attempt < 10; ++attempt) {
        const QString temporary = temporaryBeside(target);
        const int fd = ::open(encoded(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0)
            return StagedWrite(temporary, target, what, fd);
        if (errno != EEXIST)
            return failure(QStringLiteral("无法写入%1 %2：%3").arg(what, shown(target), systemerror::fromErrno(errno)));
    }
    return failure(QStringLiteral("无法写入%1 %2").arg(what, shown(target)));
}

StagedWrite::StagedWrite(QString temporary, QString target, QString what, int fd)
    : temporary_(std::move(temporary))
    , target_(std::move(target))
    , what_(std::move(what))
    , fd_(fd)
{
}

StagedWrite::StagedWrite(StagedWrite&& other) noexcept
    : temporary_(std::exchange(other.temporary_, QString()))
    , target_(std::move(other.target_))
    , what_(std::move(other.what_))
    , fd_(std::exchange(other.fd_, -1))
    , synced_(std::exchange(other.synced_, std::nullopt))
{
}

StagedWrite& StagedWrite::operator=(StagedWrite&& other) noexcept
{
    if (this != &other) {
        discard();
        temporary_ = std::exchange(other.temporary_, QString());
        target_ = std::move(other.target_);
        what_ = std::move(other.what_);
        fd_ = std::exchange(other.fd_, -1);
        synced_ = std::exchange(other.synced_, std::nullopt);
    }
    return *this;
}

StagedWrite::~StagedWrite()
{
    discard();
}

void StagedWrite::discard()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!temporary_.isEmpty())
        ::unlink(encoded(std::exchange(temporary_, QString())).constData());
}

Status StagedWrite::write(const QByteArray& bytes)
{
    if (fd_ < 0)
        return failure(QStringLiteral("无法写入%1 %2").arg(what_, shown(target_)));
    return writeAll(fd_, bytes, target_, what_);
}

Status StagedWrite::sync()
{
    if (temporary_.isEmpty())
        return failure(QStringLiteral("无法写入%1 %2").arg(what_, shown(target_)));
    // A writer of its own may have replaced the temporary's file: sync the
    // one under the name.
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    const int fd = ::open(encoded(temporary_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        return failure(QStringLiteral("写入%1失败 %2：%3").arg(what_, shown(target_), systemerror::fromErrno(code)));
    }
    synced_ = identityOfFd(fd);
    ::close(fd);
    return Status::success();
}

Result<Published> StagedWrite::publish(const WriteTarget& target)
{
    if (!synced_ || identityOf(temporary_) != synced_) {
        if (const Status synced = sync(); !synced) {
            discard();
            return failure(synced.error());
        }
    }
    const std::optional<FileIdentity> fresh = synced_;

    Published out;
    out.path = target.path;
    const QString folder = QFileInfo(target.path).absolutePath();
    const std::optional<FileIdentity> current = identityOf(target.path);
    const bool mayReplace = target.existing == Existing::Replace ||
                            (target.existing == Existing::ReplaceIfUnchanged && target.expected.has_value());
    auto found = [&](Published::Outcome outcome, const std::optional<FileIdentity>& there) {
        out.outcome = outcome;
        out.identity = there.value_or(FileIdentity{});
        discard();
        return out;
    };

    if (current && target.existing == Existing::ReplaceIfUnchanged && target.expected && *current != *target.expected)
        return found(Published::Outcome::Changed, current);
    if (!current || !mayReplace) {
        // Nothing to replace (or not allowed to): only a new name is taken.
        const int code = placeWithoutReplacing(temporary_, target.path);
        if (code == EEXIST)
            return found(Published::Outcome::Exists, identityOf(target.path));
        if (code != 0) {
            discard();
            return failure(
                QStringLiteral("保存%1失败 %2：%3").arg(what_, shown(target.path), systemerror::fromErrno(code)));
        }
    } else {
        const FileIdentity replaced = *current;
        if (!target.keepFolder.isEmpty()) {
            const Result<std::optional<QString>> kept =
                keepCopy(target.path, target.keepFolder, keptName(QFileInfo(target.path).fileName(), target.when),
                         replaced, what_);
            if (!kept) {
                discard();
                return failure(kept.error());
            }
            if (!kept.value())
                return found(Published::Outcome::Changed, identityOf(target.path));
            out.keptCopy = *kept.value();
            syncFolder(target.keepFolder);
        }
        const Result<Swap> swapped = replaceExpected(temporary_, target.path, replaced, what_);
        if (!swapped || swapped.value() == Swap::Changed) {
            // The copy just made goes again when the file it keeps is still
            // at its place, or under another name (another writer's copy).
            if (!out.keptCopy.isEmpty() && (identityOf(target.path) == replaced || linkCount(out.keptCopy) > 1))
                QFile::remove(std::exchange(out.keptCopy, QString()));
            if (!swapped) {
                discard();
                return failure(swapped.error());
            }
            return found(Published::Outcome::Changed, identityOf(target.path));
        }
    }
    temporary_.clear();
    syncFolder(folder);
    out.outcome = Published::Outcome::Written;
    out.identity = fresh.value_or(FileIdentity{});
    return out;
}

Result<Published> writeFile(const WriteTarget& target, const QByteArray& bytes)
{
    Result<StagedWrite> staged = StagedWrite::create(target.path, target.what);
    if (!staged)
        return failure(staged.error());
    if (const Status written = staged.value().write(bytes); !written)
        return failure(written.error());
    return staged.value().publish(target);
}

Result<QString> undoWrite(const QString& path, const FileIdentity& written, const QString& restore,
                          const QString& keepFolder, const QDateTime& when, const QString& what)
{
    const QString fileName = QFileInfo(path).fileName();
    const QString changed = QStringLiteral("%1“%2”在保存后已被改动或移走，不能撤销").arg(what, fileName);
    if (identityOf(path) != written)
        return failure(changed);
    if (!restore.isEmpty() && !identityOf(restore))
        return failure(QStringLiteral("被替换的旧%1 %2 已不在，不能撤销").arg(what, shown(restore)));

    const Result<std::optional<QString>> aside = keepCopy(path, keepFolder, keptName(fileName, when), written, what);
    if (!aside)
        return failure(aside.error());
    if (!aside.value())
        return failure(changed);
    const QString setAside = *aside.value();
    auto giveUp = [&](const QString& why) -> Result<QString> {
        if (identityOf(path) == written)
            QFile::remove(setAside);  // the file is still at its place
        return failure(why);
    };

    if (!restore.isEmpty()) {
        const Result<Swap> swapped = replaceExpected(restore, path, written, what);
        if (!swapped)
            return giveUp(swapped.error());
        if (swapped.value() == Swap::Changed)
            return giveUp(changed);
    } else {
        // Nothing comes back: the file leaves its name (it is kept aside).
        const QString leaving = temporaryBeside(path);
        if (::rename(encoded(path).constData(), encoded(leaving).constData()) != 0)
            return giveUp(QStringLiteral("无法撤销%1 %2：%3").arg(what, shown(path), systemerror::fromErrno(errno)));
        if (identityOf(leaving) != written) {
            (void)placeWithoutReplacing(leaving, path);
            return failure(changed);
        }
        ::unlink(encoded(leaving).constData());
    }
    syncFolder(QFileInfo(path).absolutePath());
    syncFolder(keepFolder);
    return setAside;
}

int removeStaleTemporaries(const QString& folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return 0;
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    int removed = 0;
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral(".*") + temporarySuffix}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        // ".NAME.HOST-PID-RANDOM.tmp": the writer's computer and process.
        QString name = entry.fileName();
        name.chop(temporarySuffix.size());
        const QStringList tag = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1).split(QLatin1Char('-'));
        bool stale = entry.lastModified() < hourAgo;
        if (!stale && tag.size() == 3 && tag[0] == hostTag()) {
            bool ok = false;
            const qint64 pid = tag[1].toLongLong(&ok);
            stale = ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
        }
        if (stale && QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

}  // namespace safewrite
