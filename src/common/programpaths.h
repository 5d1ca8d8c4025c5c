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
    QString path;  // shown with the platform's separators
    bool inPictures = false;  // the program directory could not take the photos
};

// Whether programDir is where an installed program lies: under /usr or /opt,
// or the program folder of the prefix this build installs to
// (installBinDir, empty: this build's own). A build or unpacked folder
// elsewhere is not.
bool isInstalledProgramDirectory(const QString& programDir, const QString& installBinDir = {});

// The default photo folder for a program in programDir: programDir, a separator
// and the year, when the program runs from its build or unpacked folder and
// photos can be written there; otherwise the year under the Pictures folder.
// An installed program never puts photos beside itself, whoever runs it
// (root may write to /usr/bin).
DefaultFolder defaultFolderFor(const QString& programDir, const QString& picturesDir, int year,
                               const QString& installBinDir = {});
// The same for this program, this user and the current year.
DefaultFolder defaultFolder();
QString defaultPhotoFolder();

// A path shown to the operator, with the platform's separators.
QString shown(const QString& path);
// The same for narrow places: a path in the home folder starts with "~"
// (where the platform writes it so).
QString shownShort(const QString& path);

}  // namespace paths
