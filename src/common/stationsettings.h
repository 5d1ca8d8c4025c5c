#pragma once
#include <QSettings>

// The station's one settings store, shared by the photo folder and each
// camera's chosen format. Windows: HKEY_CURRENT_USER\kqvxzt\tessmarrow;
// elsewhere: ~/.config/kqvxzt/tessmarrow.conf.
namespace stationsettings {

QSettings open();

}  // namespace stationsettings
