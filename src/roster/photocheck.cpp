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
    for (size_t i = 0; i < names.size(); ++i) {
        const PhotoPath file = photopath::fileName(names[i]);
        marks[i] = file.ok() && files.contains(file.path);
    }
    return marks;
}
