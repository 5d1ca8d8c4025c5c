#include "programpaths.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>

namespace paths {

QString programDirectory()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString defaultPhotoFolder()
{
    return programDirectory() + QDir::separator() + QString::number(QDate::currentDate().year());
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace paths
