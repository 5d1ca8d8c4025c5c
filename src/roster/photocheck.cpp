#include "photocheck.h"

#include "photopath.h"

PhotoNameIndex::PhotoNameIndex(const std::vector<QString>& names)
    : rowCount_(int(names.size()))
{
    rowOfFile_.reserve(qsizetype(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        // Two rows whose names make one file ("a/b" and "a_b"): the saving
        // refuses the second, so the file is the first row's alone.
        const PhotoPath file = photopath::fileName(names[i]);
        if (file.ok() && !rowOfFile_.contains(file.path))
            rowOfFile_.insert(file.path, int(i));
    }
}

std::vector<bool> PhotoNameIndex::marks(const PhotoFolderListing& listing) const
{
    std::vector<bool> marks(size_t(rowCount_), false);
    if (listing.size() == 0)
        return marks;
    for (auto it = rowOfFile_.cbegin(); it != rowOfFile_.cend(); ++it)
        if (listing.hasFile(it.key()))
            marks[size_t(it.value())] = true;
    return marks;
}

std::vector<std::pair<int, bool>> PhotoNameIndex::changedMarks(const PhotoFolderListing& before,
                                                               const PhotoFolderListing& after) const
{
    std::vector<std::pair<int, bool>> changes;
    for (const QString& file : PhotoFolderListing::changedFiles(before, after)) {
        const auto found = rowOfFile_.constFind(file);
        if (found != rowOfFile_.cend())
            changes.emplace_back(found.value(), after.hasFile(file));
    }
    return changes;
}

std::vector<bool> photographedNames(const QString& folder, const std::vector<QString>& names)
{
    return PhotoNameIndex(names).marks(PhotoFolderListing(folder));
}
