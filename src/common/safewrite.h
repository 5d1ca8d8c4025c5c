#pragma once
#include "result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The one way the station puts a file on disk (photos, re-framed photos,
// reports): the bytes go to a temporary file beside the target, are synced,
// and only then appear under the target's name, in one step. A file that is
// already there is never replaced unless the caller says so, and a replaced
// file is first kept in a folder of old versions. Another station writing
// into the same folder at the same moment can make a write come back as
// "exists" or "changed", never overwrite silently.
namespace safewrite {

// Tells one version of a file from another: the same file (device and inode)
// with the same size and modification time.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 mtimeNs = 0;

    bool operator==(const FileIdentity& o) const
    {
        return device == o.device && inode == o.inode && size == o.size && mtimeNs == o.mtimeNs;
    }
    bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

// The regular file at path as it is now; none when there is no such file.
std::optional<FileIdentity> identityOf(const QString& path);

// What a write does with a file already at its target.
enum class Existing {
    Refuse,  // keep it: the write comes back as Exists
    ReplaceIfUnchanged,  // replace only the version given as expected, else Changed
    Replace,  // replace whatever is there
};

struct WriteTarget {
    QString path;
    Existing existing = Existing::Refuse;
    // The version the operator saw (ReplaceIfUnchanged).
    std::optional<FileIdentity> expected;
    // A replaced file is kept here first (created when missing); empty: not kept.
    QString keepFolder;
    // Names the kept copy.
    QDateTime when;
    // The noun messages use for the file (writeFile; a StagedWrite keeps the
    // one it was made with): "照片", "未照名单".
    QString what = QStringLiteral("文件");
};

struct Published {
    enum class Outcome {
        Written,  // the new file is at path
        Exists,  // a file was there and is left as it was
        Changed,  // the file there is not the version that was compared
    };
    Outcome outcome = Outcome::Written;
    QString path;
    QString keptCopy;  // where the replaced file was kept; empty if none
    // Written: the new file; Exists and Changed: the file found there.
    FileIdentity identity;

    bool written() const { return outcome == Outcome::Written; }
};

// A file being written under a temporary name in its target's folder. Without
// a successful publish() the temporary is removed when this goes, so a failed
// or abandoned write leaves nothing behind.
class StagedWrite {
public:
    // Creates the temporary. `what` is the noun for messages ("照片").
    static Result<StagedWrite> create(const QString& target, const QString& what);

    StagedWrite(StagedWrite&& other) noexcept;
    StagedWrite& operator=(StagedWrite&& other) noexcept;
    StagedWrite(const StagedWrite&) = delete;
    StagedWrite& operator=(const StagedWrite&) = delete;
    ~StagedWrite();

    // For writers that want a path of their own (PDF, workbook libraries):
    // they write here, then publish() syncs and places it.
    QString temporaryPath() const { return temporary_; }
    Status write(const QByteArray& bytes);
    // Puts the written bytes on the disk; long for a large file, so a worker
    // thread may do it before the publish.
    Status sync();
    // Syncs the temporary (unless synced already) and puts it at
    // target.path as target says; the folder is synced after every change of
    // names.
    Result<Published> publish(const WriteTarget& target);

private:
    StagedWrite(QString temporary, QString target, QString what, int fd);
    void discard();

    QString temporary_;  // empty once published or moved from
    QString target_;
    QString what_;
    int fd_ = -1;
    std::optional<FileIdentity> synced_;  // the temporary as synced
};

// Writes bytes as one StagedWrite.
Result<Published> writeFile(const WriteTarget& target, const QByteArray& bytes);

// Takes a write back: the file at path, which must still be exactly `written`,
// is set aside into keepFolder, and `restore` (the copy kept when that write
// replaced an older file; empty when it replaced none) is moved back to path.
// Nothing is deleted. Gives where the undone file was set aside.
Result<QString> undoWrite(const QString& path, const FileIdentity& written, const QString& restore,
                          const QString& keepFolder, const QDateTime& when, const QString& what);

// The path with every link and "." resolved, also for a file not made yet
// (its folder resolved), so two names of one place compare equal.
QString resolvedPath(const QString& path);
// One file under two names: the same resolved path, or the same file on
// disk (a hard link).
bool sameFile(const QString& a, const QString& b);

// The name a replaced file is kept under: NAME-YYYYMMDD-HHMMSS.EXT.
QString keptName(const QString& fileName, const QDateTime& when);

// Removes the temporaries that writers killed in the middle left in folder:
// those of this computer whose process is gone, and any older than an hour
// (another computer's). Gives how many were removed.
int removeStaleTemporaries(const QString& folder);

}  // namespace safewrite
