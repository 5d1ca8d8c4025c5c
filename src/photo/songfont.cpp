#include "songfont.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

QString installSongFontSubstitution()
{
    static const QStringList candidates = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")};
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : candidates) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            QFont::insertSubstitution(QStringLiteral("宋体"), family);
            return family;
        }
    }
    return {};
}
