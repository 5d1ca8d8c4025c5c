#include "photocheck.h"

#include "photopath.h"

PhotoNameIndex::PhotoNameIndex(const std::vector<QString>& names)
    : rowCount_(int(names.size()))
{
    rowsOfFile_.reserve(qsizetype(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        const PhotoPath file = photopath::fileName(names[i]);
        if (file.ok())
            rowsOfFile_[file.path].append(int(i));
    }
}

std::vector<bool> PhotoNameIndex::marks(const PhotoFolderListing& listing) const
{
    std::vector<bool> marks(size_t(rowCount_), false);
    if (listing.size() == 0)
        return marks;
    for (auto it = rowsOfFile_.cbegin(); it != rowsOfFile_.cend(); ++it)
        if (listing.hasFile(it.key()))
            for (const int row : it.value())
                marks[size_t(row)] = true;
    return marks;
}

std::vector<std::pair<int, bool>> PhotoNameIndex::changedMarks(const PhotoFolderListing& before,
                                                               const PhotoFolderListing& after) const
{
    std::vector<std::pair<int, bool>> changes;
    for (const QString& file : PhotoFolderListing::changedFiles(before, after)) {
        const auto found = rowsOfFile_.constFind(file);
        if (found == rowsOfFile_.cend())
            continue;
        const bool present = after.hasFile(file);
        for (const int row : found.value())
            changes.emplace_back(row, present);
    }
    return changes;
}

std::vector<bool> photographedNames(const QString& folder, const std::vector<QString>& names)
{
    return PhotoNameIndex(names).marks(PhotoFolderListing(folder));
}
