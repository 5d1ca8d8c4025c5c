#pragma once
#include "result.h"
#include "safewrite.h"

#include <QString>

// A report written under a temporary name beside its place, for the caller to
// publish or to drop (then no file is left). Held while the window may still
// ask the operator things; an older report of that name stays whole until the
// publish.
struct StagedReport {
    static Result<StagedReport> create(const QString& path, const QString& what);

    safewrite::StagedWrite file;
    QString path;
    QString what;  // the noun for messages: "未照名单", "相片总览"

    // Puts the report at path through the station's safe write; an older file
    // there is kept in "已替换" beside it first, as replaced photos are. Gives
    // where the older file went (empty when there was none).
    Result<QString> publish();
};

// Where a file replaced at path is kept: "已替换" in its folder.
QString replacedFolderOf(const QString& path);
