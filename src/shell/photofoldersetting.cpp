#include "photofoldersetting.h"

#include "programpaths.h"
#include "stationsettings.h"

#include <QDebug>
#include <QSettings>

namespace photofoldersetting {
namespace {

const QString key = QStringLiteral("xjzxml");

}  // namespace

bool exists()
{
    return stationsettings::open().contains(key);
}

QString read()
{
    return stationsettings::open().value(key).toString();
}

Status write(const QString& folder)
{
    QSettings s = stationsettings::open();
    s.setValue(key, folder);
    s.sync();
    switch (s.status()) {
    case QSettings::NoError:
        return Status::success();
    case QSettings::AccessError:
        return failure(QStringLiteral("无法保存照片路径的设置：没有写入权限 (%1)").arg(s.fileName()));
    case QSettings::FormatError:
        return failure(QStringLiteral("无法保存照片路径的设置：设置文件格式有误 (%1)").arg(s.fileName()));
    }
    return failure(QStringLiteral("无法保存照片路径的设置 (%1)").arg(s.fileName()));
}

QString readOrCreateDefault()
{
    if (exists())
        return read();
    const QString folder = paths::defaultPhotoFolder();
    if (const Status written = write(folder); !written)
        qWarning().noquote() << written.error();
    return folder;
}

}  // namespace photofoldersetting
