#pragma once
#include <QString>

// The one value kept between runs: the photo folder.
// Windows: HKEY_CURRENT_USER\kqvxzt\tessmarrow, value xjzxml;
// elsewhere: ~/.config/kqvxzt/tessmarrow.conf, key xjzxml.
namespace photofoldersetting {

bool exists();
QString read();
void write(const QString& folder);
// The stored folder, or the default one written to the setting first.
QString readOrCreateDefault();

}  // namespace photofoldersetting
