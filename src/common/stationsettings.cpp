#include "stationsettings.h"

namespace stationsettings {

QSettings open()
{
#ifdef Q_OS_WIN
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\kqvxzt\\tessmarrow"), QSettings::NativeFormat);
#else
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kqvxzt"),
                     QStringLiteral("tessmarrow"));
#endif
}

}  // namespace stationsettings
