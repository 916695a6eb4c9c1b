#include "ui/file_watch.h"
#include "ui/local_path.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

namespace zelvant::ui {

CDataFileWatch::CDataFileWatch(std::function<bool()> changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &CDataFileWatch::Check);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
}

void CDataFileWatch::Watch(const QString& path) {
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
    if (!watcher_.directories().isEmpty()) {
        watcher_.removePaths(watcher_.directories());
    }
    settle_.stop();
    path_ = path;
    reported_ = StampOf(LocalPath(path));
    if (!path.isEmpty()) {
        watcher_.addPath(QFileInfo(path).absolutePath());
        Rewatch();
    }
}

void CDataFileWatch::Rewatch() {
    // A file renamed over ours is a new file: the watch on the old one ended with it.
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) {
        watcher_.addPath(path_);
    }
}

void CDataFileWatch::Check() {
    if (path_.isEmpty()) {
        return;
    }
    Rewatch();
    const FileStamp now = StampOf(LocalPath(path_));
    if (now == reported_ || !changed_()) {
        return;
    }
    reported_ = now;
    emit ChangedOnDisk();
}

}  // namespace zelvant::ui
