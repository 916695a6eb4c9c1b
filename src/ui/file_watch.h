#pragma once
// Notices another program (zelvant-cli, a second instance, a sync service) replacing or rewriting
// the open data file. Writers that save by renaming a new file over the old one leave nothing to
// watch, so the path is watched again after each change, and its folder too, for writers that
// delete and then create. A burst of notices settles before the file is looked at, and each new
// state of the file is reported once.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "store/zelvant_doc.h"

namespace zelvant::ui {

class CDataFileWatch : public QObject {
    Q_OBJECT

  public:
    // `changed` is the document's own check: the file is no longer the one it opened or saved.
    explicit CDataFileWatch(std::function<bool()> changed, QObject* parent = nullptr);

    // The open document's file; an empty path watches nothing.
    void Watch(const QString& path);
    QString WatchedPath() const { return path_; }

    static constexpr int kSettleMs = 250;

  signals:
    void ChangedOnDisk();

  private:
    void Rewatch();
    void Check();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    std::function<bool()> changed_;
    QString path_;
    FileStamp reported_;
};

}  // namespace zelvant::ui
