#pragma once
#include <QString>

#include <vector>

// Which photo names have their photo in `folder`: the folder is listed once and
// every name is looked up in that listing by its exact file name (the one rule
// of photopath), so the check costs one directory read, not one per row. A
// missing or unreadable folder has no photos. Safe to call from any thread.
std::vector<bool> photographedNames(const QString& folder, const std::vector<QString>& names);
