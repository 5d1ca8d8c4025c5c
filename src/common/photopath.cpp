#include "photopath.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {

const QString extension = QStringLiteral(".jpg");
constexpr int maxFileNameBytes = 255;

bool forbidden(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7f)
        return true;
    switch (u) {
    case '/':
    case '\\':
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
        return true;
    default:
        return false;
    }
}

bool reservedDeviceName(const QString& name)
{
    const QString upper = name.toUpper();
    static const QStringList plain = {"CON", "PRN", "AUX", "NUL"};
    if (plain.contains(upper))
        return true;
    return upper.size() == 4 && (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT"))) &&
           upper[3] >= QLatin1Char('1') && upper[3] <= QLatin1Char('9');
}

}  // namespace

namespace photopath {

PhotoPath fileName(const QString& name)
{
    if (name.isEmpty())
        return {{}, QStringLiteral("照片名为空，无法保存或查找照片")};

    // Rosters hold tens of thousands of names: a name that needs no change
    // is not copied character by character.
    QString safe = name;
    if (std::any_of(name.cbegin(), name.cend(), forbidden)) {
        for (QChar& c : safe) {
            if (forbidden(c))
                c = QLatin1Char('_');
        }
    }
    for (qsizetype i = 0; i < safe.size() && safe.at(i) == QLatin1Char('.'); ++i)
        safe[i] = QLatin1Char('_');
    if ((safe.size() == 3 || safe.size() == 4) && reservedDeviceName(safe))
        safe.prepend(QLatin1Char('_'));

    safe += extension;
    // A UTF-16 unit takes at most 3 bytes of UTF-8: short names need no count.
    if (safe.size() * 3 > maxFileNameBytes && safe.toUtf8().size() > maxFileNameBytes)
        return {{}, QStringLiteral("照片名太长，无法作为文件名: %1").arg(name)};
    return {safe, {}};
}

PhotoPath filePath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return {{}, QStringLiteral("没有选择保存照片的文件夹")};
    PhotoPath file = fileName(name);
    if (!file.ok())
        return file;

    QString dir = QDir::fromNativeSeparators(folder);
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return {dir + file.path, {}};
}

bool exists(const QString& folder, const QString& name)
{
    const PhotoPath p = filePath(folder, name);
    return p.ok() && QFileInfo(p.path).isFile();
}

}  // namespace photopath
