#include "photocheck.h"

#include "photopath.h"

#include <QDir>
#include <QSet>

std::vector<bool> photographedNames(const QString& folder, const std::vector<QString>& names)
{
    std::vector<bool> marks(names.size(), false);
    if (folder.isEmpty())
        return marks;
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    if (entries.isEmpty())
        return marks;
    const QSet<QString> files(entries.begin(), entries.end());
    // Two rows whose names make one file ("a/b" and "a_b"): the saving refuses
    // the second, so the file is the first row's and only that row is marked.
    QSet<QString> claimed;
    for (size_t i = 0; i < names.size(); ++i) {
        const PhotoPath file = photopath::fileName(names[i]);
        if (!file.ok() || claimed.contains(file.path))
            continue;
        claimed.insert(file.path);
        marks[i] = files.contains(file.path);
    }
    return marks;
}
