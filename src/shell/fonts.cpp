#include "fonts.h"

#include "songfont.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace fonts {

void installSubstitutions()
{
    const QString song = installSongFontSubstitution();
    // The recording buttons' 楷体 falls back to the Song face when no Kai face is installed.
    const QString kai =
        QFontDatabase::families().contains(QStringLiteral("AR PL UKai CN")) ? QStringLiteral("AR PL UKai CN") : song;
    if (!kai.isEmpty())
        QFont::insertSubstitution(QStringLiteral("楷体_GB2312"), kai);
}

}  // namespace fonts
