#include "photofoldersetting.h"

#include "programpaths.h"

#include <QSettings>

namespace photofoldersetting {
namespace {

const QString key = QStringLiteral("xjzxml");

QSettings store()
{
#ifdef Q_OS_WIN
    return QSettings(QStringLiteral("HKEY_CURRENT_USER\\kqvxzt\\tessmarrow"), QSettings::NativeFormat);
#else
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("kqvxzt"),
                     QStringLiteral("tessmarrow"));
#endif
}

}  // namespace

bool exists()
{
    return store().contains(key);
}

QString read()
{
    return store().value(key).toString();
}

void write(const QString& folder)
{
    QSettings s = store();
    s.setValue(key, folder);
    s.sync();
}

QString readOrCreateDefault()
{
    if (exists())
        return read();
    const QString folder = paths::defaultPhotoFolder();
    write(folder);
    return folder;
}

}  // namespace photofoldersetting
