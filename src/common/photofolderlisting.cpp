#include "photofolderlisting.h"

#include "photopath.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <vector>

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
    std::vector<QString> names;
    names.reserve(1024);
    while (const dirent* entry = readdir(dir.get())) {
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info { };
            regular = fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (regular)
            names.push_back(QFile::decodeName(entry->d_name));
    }
    files_.reserve(qsizetype(names.size()));
    for (QString& name : names)
        files_.insert(std::move(name));
}
#else
PhotoFolderListing::PhotoFolderListing(const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    files_ = QSet<QString>(names.begin(), names.end());
}
#endif

bool PhotoFolderListing::has(const QString& photoName) const
{
    const PhotoPath file = photopath::fileName(photoName);
    return file.ok() && files_.contains(file.path);
}

QStringList PhotoFolderListing::changedFiles(const PhotoFolderListing& before, const PhotoFolderListing& after)
{
    QStringList changed;
    for (const QString& name : after.files_)
        if (!before.files_.contains(name))
            changed << name;
    for (const QString& name : before.files_)
        if (!after.files_.contains(name))
            changed << name;
    return changed;
}
