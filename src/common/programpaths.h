#pragma once
#include <QString>

namespace paths {

// The program's own directory (where the executable lies).
QString programDirectory();
// The default photo folder: the program directory, a separator and the current year.
QString defaultPhotoFolder();
// A path shown to the operator, with the platform's separators.
QString shown(const QString& path);

}  // namespace paths
