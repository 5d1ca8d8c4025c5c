#include "photofolderwatch.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QTimer>

PhotoFolderWatch::PhotoFolderWatch(QObject* parent)
    : QObject(parent)
    , watcher_(new QFileSystemWatcher(this))
    , timer_(new QTimer(this))
{
    // Under two seconds, so that a photo seen only by the re-check (a network
    // share) is marked within two seconds of its saving, reading included.
    timer_->setInterval(1500);
    connect(timer_, &QTimer::timeout, this, &PhotoFolderWatch::tick);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &PhotoFolderWatch::folderMayHaveChanged);
}

void PhotoFolderWatch::setFolder(const QString& folder)
{
    const QString clean = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    if (clean == folder_)
        return;
    if (const QStringList watched = watcher_->directories(); !watched.isEmpty())
        watcher_->removePaths(watched);
    folder_ = clean;
    if (folder_.isEmpty()) {
        timer_->stop();
        return;
    }
    watchFolder();
    timer_->start();
}

void PhotoFolderWatch::setInterval(int milliseconds)
{
    timer_->setInterval(milliseconds);
}

void PhotoFolderWatch::watchFolder()
{
    // A folder made after the watch began (the first save creates it), or
    // removed and made again, loses its notifications: it is watched anew.
    if (watcher_->directories().isEmpty() && QDir(folder_).exists())
        watcher_->addPath(folder_);
}

void PhotoFolderWatch::tick()
{
    watchFolder();
    emit folderMayHaveChanged();
}
