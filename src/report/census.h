#pragma once
#include "photofolderlisting.h"
#include "rostermodel.h"

#include <QString>

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
