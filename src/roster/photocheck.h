#pragma once
#include "photofolderlisting.h"

#include <QHash>
#include <QString>

#include <utility>
#include <vector>

// Which row each photo file belongs to, by the one photo-name rule (a
// refused name belongs to no file; two rows that make one file leave it to
// the first). Built once per roster and photo-name column, so that a change
// in the folder touches only the rows of the files that changed.
class PhotoNameIndex {
public:
    explicit PhotoNameIndex(const std::vector<QString>& names);

    int rowCount() const { return rowCount_; }
    // The row that owns a photo file name; -1 for none.
    int rowOf(const QString& fileName) const { return rowOfFile_.value(fileName, -1); }
    // Whether each row's photo is in the listing.
    std::vector<bool> marks(const PhotoFolderListing& listing) const;
    // The rows whose mark differs between two listings of the folder, with
    // their mark in the newer one.
    std::vector<std::pair<int, bool>> changedMarks(const PhotoFolderListing& before,
                                                   const PhotoFolderListing& after) const;

private:
    QHash<QString, int> rowOfFile_;
    int rowCount_ = 0;
};

// Which photo names have their photo in `folder`: the folder is listed once
// and every name looked up in that listing by its exact file name, so the
// check costs one directory read, not one per row. A missing or unreadable
// folder has no photos. Safe to call from any thread.
std::vector<bool> photographedNames(const QString& folder, const std::vector<QString>& names);
