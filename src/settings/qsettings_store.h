#pragma once
// The settings store of the desktop: QSettings("Quillmere", "Zelvant") of the current user, one
// group per section (on Windows the registry key HKCU\Software\Quillmere\Zelvant, on Linux
// $XDG_CONFIG_HOME/Quillmere/Zelvant.conf). An empty section names a key outside any group.
//
// The file holds recent-file paths and the protection settings: from the first write on it is
// readable by its owner only, in a folder only its owner may enter, whatever it was before.

#include <QSettings>

#include "settings/settings_store.h"

namespace zelvant::settings {

class CQSettingsStore final : public ISettingsStore {
  public:
    CQSettingsStore();
    // Writes what is still pending.
    ~CQSettingsStore() override;
    CQSettingsStore(const CQSettingsStore&) = delete;
    CQSettingsStore& operator=(const CQSettingsStore&) = delete;

    int ReadInt(std::string_view section, std::string_view key, int fallback) override;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) override;
    void WriteInt(std::string_view section, std::string_view key, int value) override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view text) override;
    void Remove(std::string_view section, std::string_view key) override;
    bool Contains(std::string_view section, std::string_view key) override;

    // Writes pending changes to the platform store now.
    void Sync();

  private:
    void KeepPrivate();

    QSettings settings_;
    bool private_ = false;
};

}  // namespace zelvant::settings
