#pragma once
// What locking the program does before the main window goes: every dialog is closed as Cancel
// would close it and every menu put away, so nothing that shows a secret stays on screen or in
// reach of the keyboard. The main window decides when to lock; this only clears the way.

#include <optional>
#include <string>

#include "desktop/idle_guard.h"
#include "settings/settings_store.h"

class QWidget;

namespace zelvant::ui {

// Innermost first. A record dialog keeps what it shows (CRecordProps::CloseForLock), so that it
// can be shown again once the window is unlocked; nothing is saved. Returns how many dialogs
// were closed.
int CloseDialogsForLock();

// The security password's check on a thread of its own, while the windows keep painting; user
// input waits until it is done, so nothing can be started meanwhile.
bool VerifyOffTheGuiThread(const std::string& hash, const std::string& typed);
// True while such a check runs.
bool PasswordCheckRunning();

// Asks for the security password in the password dialog, titled "Restore from minimized:", taking
// no more characters than the options accept.
class CRedisplayPrompt final : public desktop::IRedisplayPrompt {
  public:
    CRedisplayPrompt(QWidget* parent, settings::ISettingsStore& store)
        : parent_(parent), store_(store) {}

    std::optional<std::string> AskSecurityPassword() override;

  private:
    QWidget* parent_;
    settings::ISettingsStore& store_;
};

}  // namespace zelvant::ui
