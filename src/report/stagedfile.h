#pragma once
#include "result.h"

#include <QString>

// A report written beside its target under a temporary name. commit() puts
// it in place with one rename; without a commit the temporary is removed when
// this goes, so a failed or cancelled report leaves nothing behind and an
// older report of that name stays whole.
class StagedFile {
public:
    // Reserves the temporary (named after `pattern`, e.g. ".sheet-XXXXXX.pdf")
    // in the target's folder.
    static Result<StagedFile> create(const QString& target, const QString& pattern);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    QString temporaryPath() const { return temporary_; }
    QString target() const { return target_; }
    // Replaces the target with the written temporary.
    Status commit();

private:
    StagedFile(QString temporary, QString target);
    void discard();

    QString temporary_;  // empty once committed or moved from
    QString target_;
};
