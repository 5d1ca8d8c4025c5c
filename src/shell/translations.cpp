#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace translations {

Status installChinese(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // qtbase holds the dialogs and buttons; the multimedia texts are a bonus.
    auto* base = new QTranslator(&app);
    if (!base->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete base;
        return failure(QStringLiteral("找不到 Qt 的中文翻译 %1")
                           .arg(QDir::toNativeSeparators(folder + QStringLiteral("/qtbase_zh_CN.qm"))));
    }
    QCoreApplication::installTranslator(base);
    auto* multimedia = new QTranslator(&app);
    if (multimedia->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtmultimedia"), QStringLiteral("_"),
                         folder))
        QCoreApplication::installTranslator(multimedia);
    else
        delete multimedia;
    return Status::success();
}

}  // namespace translations
