#include "census.h"

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
