#include "programpaths.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace paths {
namespace {

QString& programDirectoryOverride()
{
    static QString directory;
    return directory;
}

bool writableFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

// The folder this build installs the program to, when the build says.
QString thisBuildsInstallBinDir()
{
#ifdef STATION_INSTALL_BINDIR
    return QStringLiteral(STATION_INSTALL_BINDIR);
#else
    return {};
#endif
}

QString resolved(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical);
}

}  // namespace

bool isInstalledProgramDirectory(const QString& programDir, const QString& installBinDir)
{
#ifdef Q_OS_WIN
    Q_UNUSED(programDir);
    Q_UNUSED(installBinDir);
    return false;  // Program Files is read-only for users: the writable test decides
#else
    const QString dir = resolved(QDir::fromNativeSeparators(programDir));
    for (const QString& prefix : {QStringLiteral("/usr"), QStringLiteral("/opt")}) {
        if (dir == prefix || dir.startsWith(prefix + QLatin1Char('/')))
            return true;
    }
    const QString bin = installBinDir.isEmpty() ? thisBuildsInstallBinDir() : installBinDir;
    return !bin.isEmpty() && dir == resolved(bin);
#endif
}

QString programDirectory()
{
    const QString& override = programDirectoryOverride();
    return QDir::toNativeSeparators(override.isEmpty() ? QCoreApplication::applicationDirPath() : override);
}

void setProgramDirectoryForTesting(const QString& directory)
{
    programDirectoryOverride() = directory;
}

QString picturesDirectory()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QDir::toNativeSeparators(pictures.isEmpty() ? QDir::homePath() : pictures);
}

DefaultFolder defaultFolderFor(const QString& programDir, const QString& picturesDir, int year,
                               const QString& installBinDir)
{
    const QString yearName = QString::number(year);
    const QString besideProgram = QDir(programDir).filePath(yearName);
    // The year folder may exist already (made by an administrator, or by an
    // earlier run); otherwise it is created in the program directory.
    const bool usable = !isInstalledProgramDirectory(programDir, installBinDir) &&
                        (QFileInfo::exists(besideProgram) ? writableFolder(besideProgram) : writableFolder(programDir));
    if (usable)
        return {QDir::toNativeSeparators(besideProgram), false};
    return {QDir::toNativeSeparators(QDir(picturesDir).filePath(yearName)), true};
}

DefaultFolder defaultFolder()
{
    return defaultFolderFor(programDirectory(), picturesDirectory(), QDate::currentDate().year());
}

QString defaultPhotoFolder()
{
    return defaultFolder().path;
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString shownShort(const QString& path)
{
#ifndef Q_OS_WIN
    const QString home = QDir::homePath();
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (home != QLatin1String("/") && clean.startsWith(home + QLatin1Char('/')))
        return shown(QLatin1Char('~') + clean.mid(home.size()));
#endif
    return shown(path);
}

}  // namespace paths
