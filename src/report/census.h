#pragma once
#include "rostermodel.h"

#include <QSet>
#include <QString>

// The photo files present in one folder, listed once, so that many names are
// checked with one directory read instead of one file-system call each. It
// answers like photopath::exists for every name.
class PhotoFolderListing {
public:
    explicit PhotoFolderListing(const QString& folder);
    bool has(const QString& photoName) const;
    qsizetype size() const { return files_.size(); }

private:
    QSet<QString> files_;
};

// Who of a roster has a photo in the folder.
struct PhotoCensus {
    Roster rows;
    QList<bool> photographed;  // one per row
    int done = 0;

    int total() const { return int(rows.size()); }
    int missing() const { return total() - done; }
    // "共 N 人，已照 M 人，未照 K 人"
    QString summary() const;
};

PhotoCensus takeCensus(const Roster& rows, int photoNameColumn, const QString& folder);
