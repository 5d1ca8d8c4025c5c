#include "fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace fonts {

void installSubstitutions()
{
    const QStringList installed = QFontDatabase::families();
    auto firstInstalled = [&](const QStringList& wanted) {
        for (const QString& f : wanted)
            if (installed.contains(f))
                return f;
        return QString();
    };
    const QString song = firstInstalled({QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN")});
    if (!song.isEmpty())
        QFont::insertSubstitution(QStringLiteral("宋体"), song);
    const QString kai = firstInstalled({QStringLiteral("AR PL UKai CN"), song});
    if (!kai.isEmpty())
        QFont::insertSubstitution(QStringLiteral("楷体_GB2312"), kai);
}

}  // namespace fonts
