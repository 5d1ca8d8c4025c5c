#pragma once
#include "result.h"

#include <QString>

// The one value kept between runs: the photo folder.
// Windows: HKEY_CURRENT_USER\kqvxzt\tessmarrow, value xjzxml;
// elsewhere: ~/.config/kqvxzt/tessmarrow.conf, key xjzxml.
namespace photofoldersetting {

bool exists();
QString read();
// Fails, with the reason, when the setting could not be stored (a settings
// file that is read-only or cannot be created).
Status write(const QString& folder);
// The stored folder, or the default one written to the setting first (a
// setting that cannot be written leaves the default in use for this run).
QString readOrCreateDefault();

}  // namespace photofoldersetting
