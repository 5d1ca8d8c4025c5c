#pragma once
#include <QSet>
#include <QString>
#include <QStringList>

// The photo files present in one folder, listed once, so that many names are
// checked with one directory read instead of one file-system call each. It
// answers like photopath::exists for every name: regular files (or links to
// them) right in the folder; subfolders such as the replaced copies are not
// looked into. A missing or unreadable folder lists nothing. Safe to build on
// any thread.
class PhotoFolderListing {
public:
    PhotoFolderListing() = default;
    explicit PhotoFolderListing(const QString& folder);

    // Whether the photo of that name is there (by the one photo-name rule).
    bool has(const QString& photoName) const;
    // Whether a file of exactly that name is there.
    bool hasFile(const QString& fileName) const { return files_.contains(fileName); }
    qsizetype size() const { return files_.size(); }

    // The file names in one listing but not the other.
    static QStringList changedFiles(const PhotoFolderListing& before, const PhotoFolderListing& after);

private:
    QSet<QString> files_;
};
