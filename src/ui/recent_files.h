#pragma once
// The File menu's recent-file list: newest first, at most cmd::kRecentFileCount entries, kept
// in the settings store as it changes so a crash loses none of it.

#include <QObject>
#include <QPointer>
#include <QStringList>

#include "settings/settings_store.h"

class QMenu;

namespace zelvant::ui {

class CRecentFiles final : public QObject {
    Q_OBJECT
  public:
    explicit CRecentFiles(settings::ISettingsStore& store, QObject* parent = nullptr);

    // The menu that lists the files; rebuilt on every change, disabled while the list is empty.
    void SetMenu(QMenu* menu);
    // Reads the stored list, dropping empty entries.
    void Load();
    // Puts the path at the top, once; the oldest falls off the end.
    void Add(const QString& path);
    // A file that could not be opened leaves the list.
    void Remove(const QString& path);
    // Empties the list, in the store too.
    void Forget();
    const QStringList& Files() const { return files_; }

  signals:
    // The user picked an entry from the menu.
    void OpenRequested(const QString& path);

  private:
    void Save();
    void RebuildMenu();

    settings::ISettingsStore& store_;
    QPointer<QMenu> menu_;
    QStringList files_;
};

}  // namespace zelvant::ui
