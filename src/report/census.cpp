#include "census.h"

#include "photopath.h"

#include <QDir>
#include <QFile>

#include <memory>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

#ifdef Q_OS_UNIX
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

// readdir gives each entry's type without a stat per file (the folder may
// hold tens of thousands of photos on a network share).
PhotoFolderListing::PhotoFolderListing(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.constData()));
    if (!dir)
        return;
    const int dirFd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            regular = fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (regular)
            files_.insert(QFile::decodeName(entry->d_name));
    }
}
#else
PhotoFolderListing::PhotoFolderListing(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    files_ = QSet<QString>(names.begin(), names.end());
}
#endif

bool PhotoFolderListing::has(const QString& photoName) const
{
    const PhotoPath file = photopath::fileName(photoName);
    return file.ok() && files_.contains(file.path);
}

QString PhotoCensus::summary() const
{
    return QStringLiteral("共 %1 人，已照 %2 人，未照 %3 人").arg(total()).arg(done).arg(missing());
}

PhotoCensus takeCensus(const Roster& rows, int photoNameColumn, const QString& folder)
{
    const PhotoFolderListing listing(folder);
    PhotoCensus census;
    census.rows = rows;
    census.photographed.reserve(qsizetype(rows.size()));
    for (const RosterEntry& row : rows) {
        const bool has = listing.has(row.cells[size_t(photoNameColumn)]);
        census.photographed.append(has);
        census.done += has ? 1 : 0;
    }
    return census;
}
