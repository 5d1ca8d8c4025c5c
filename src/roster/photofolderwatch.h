#pragma once
#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

// Says when the photo folder may have changed, so that another station's
// saves show up without a click: on the file system's notice of a change,
// and, since network shares often send none, on a check every interval. Only
// the folder itself is watched, not its subfolders (the replaced copies).
class PhotoFolderWatch : public QObject {
    Q_OBJECT
public:
    explicit PhotoFolderWatch(QObject* parent = nullptr);

    // Watches this folder instead; an empty text watches none. A folder that
    // does not exist yet is watched from when it appears.
    void setFolder(const QString& folder);
    QString folder() const { return folder_; }
    // The period of the fallback check (1.5 s unless set).
    void setInterval(int milliseconds);

signals:
    void folderMayHaveChanged();

private:
    void tick();
    void watchFolder();

    QFileSystemWatcher* watcher_;
    QTimer* timer_;
    QString folder_;
};
