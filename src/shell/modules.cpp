#include "modules.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace modules {

QStringList searchFolders(const QString& programDirectory)
{
    QStringList folders{QDir::cleanPath(programDirectory)};
    const QString installed =
        QDir::cleanPath(programDirectory + QLatin1Char('/') + QStringLiteral(STATION_MODULE_RELDIR));
    if (installed != folders.constFirst())
        folders << installed;
    return folders;
}

Result<Function> resolve(const QString& programDirectory, const QString& name, const char* symbol)
{
    const QStringList folders = searchFolders(programDirectory);
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + name;
        if (!QFileInfo(path).isFile())
            continue;
        // Never unloaded: the module's code runs until the program exits.
        auto* library = new QLibrary(path);
        if (!library->load()) {
            const QString reason = library->errorString();
            delete library;
            return failure(QStringLiteral("无法加载模块 %1：%2").arg(QDir::toNativeSeparators(path), reason));
        }
        if (const QFunctionPointer entry = library->resolve(symbol))
            return Function{entry};
        return failure(
            QStringLiteral("模块 %1 缺少入口 %2").arg(QDir::toNativeSeparators(path), QString::fromLatin1(symbol)));
    }
    QStringList shown;
    for (const QString& folder : folders)
        shown << QDir::toNativeSeparators(folder);
    return failure(QStringLiteral("找不到模块 %1（已查找：%2）").arg(name, shown.join(QStringLiteral("、"))));
}

}  // namespace modules
