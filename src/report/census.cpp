#include "census.h"

#include "photocheck.h"

QString PhotoCensus::summary() const
{
    return QStringLiteral("共 %1 人，已照 %2 人，未照 %3 人").arg(total()).arg(done).arg(missing());
}

PhotoCensus takeCensus(const Roster& rows, int photoNameColumn, const QString& folder)
{
    std::vector<QString> names;
    names.reserve(rows.size());
    for (const RosterEntry& row : rows)
        names.push_back(row.cells[size_t(photoNameColumn)]);
    // The roster's own rule: when two rows' names make one file, the file is
    // the first row's, as the list's marks and the folder watch say.
    const std::vector<bool> marks = photographedNames(folder, names);
    PhotoCensus census;
    census.rows = rows;
    census.photographed.reserve(qsizetype(rows.size()));
    for (const bool has : marks) {
        census.photographed.append(has);
        census.done += has ? 1 : 0;
    }
    return census;
}
