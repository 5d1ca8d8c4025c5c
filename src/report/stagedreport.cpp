#include "stagedreport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

Result<StagedReport> StagedReport::create(const QString& path, const QString& what)
{
    Result<safewrite::StagedWrite> staged = safewrite::StagedWrite::create(path, what);
    if (!staged)
        return failure(staged.error());
    return StagedReport{std::move(staged).value(), path, what};
}

Result<QString> StagedReport::publish()
{
    safewrite::WriteTarget target;
    target.path = path;
    target.existing = safewrite::Existing::Replace;
    target.keepFolder = replacedFolderOf(path);
    target.when = QDateTime::currentDateTime();
    target.what = what;
    const Result<safewrite::Published> published = file.publish(target);
    if (!published)
        return failure(published.error());
    switch (published->outcome) {
    case safewrite::Published::Outcome::Written:
        return published->keptCopy;
    case safewrite::Published::Outcome::Exists:
        // What has the name is no file (a folder), or came meanwhile.
        return failure(QStringLiteral("%1 %2 已存在，无法替换，未保存").arg(what, QDir::toNativeSeparators(path)));
    case safewrite::Published::Outcome::Changed:
        break;
    }
    return failure(QStringLiteral("%1 %2 在保存时被改动，未保存").arg(what, QDir::toNativeSeparators(path)));
}

QString replacedFolderOf(const QString& path)
{
    return QFileInfo(path).absolutePath() + QStringLiteral("/已替换");
}
