#pragma once
#include <QString>

namespace paths {

// The program's own directory (where the executable lies).
QString programDirectory();
// Tests pretend the program lies elsewhere (an empty path ends that).
void setProgramDirectoryForTesting(const QString& directory);

// The user's Pictures folder (the home folder when the platform names none).
QString picturesDirectory();

struct DefaultFolder {
    QString path;             // shown with the platform's separators
    bool inPictures = false;  // the program directory could not take the photos
};

// The default photo folder for a program in programDir: programDir, a separator
// and the year, when photos can be written there; otherwise the year under the
// Pictures folder (a program installed system-wide lies in a folder of root's).
DefaultFolder defaultFolderFor(const QString& programDir, const QString& picturesDir, int year);
// The same for this program, this user and the current year.
DefaultFolder defaultFolder();
QString defaultPhotoFolder();

// A path shown to the operator, with the platform's separators.
QString shown(const QString& path);
// The same for narrow places: a path in the home folder starts with "~"
// (where the platform writes it so).
QString shownShort(const QString& path);

}  // namespace paths
