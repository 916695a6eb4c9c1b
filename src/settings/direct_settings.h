#pragma once
// Keys read and written straight in the store, outside the settings record: they are needed
// before the main window exists or after it has gone, or belong to one mechanism only.

#include <functional>
#include <string>

#include "settings/settings_store.h"

namespace zelvant::settings {

// Layout version of the stored settings written by this program.
inline constexpr int kSettingsVersion = 1040;

// A stored screen position; -1 (the default) means none, and the window is centred.
struct ScreenPoint {
    int x = -1;
    int y = -1;

    // Only a point on the screen is used: 0 <= x < width and 0 <= y < height.
    bool OnScreen(int width, int height) const {
        return x >= 0 && x < width && y >= 0 && y < height;
    }
};

class CDirectSettings {
  public:
    explicit CDirectSettings(ISettingsStore& store) : store_(store) {}

    bool SingleInstance() const;  // default on
    bool Splash() const;          // default on
    bool ClearMRU() const;        // default off

    // Seconds before the second attempt to create the tray icon; default 15.
    int IconStartDelay() const;
    void SetIconStartDelay(int seconds);
    // Whether to tell the user that the tray icon needed a second attempt; default 0.
    int DelayWarn() const;
    void SetDelayWarn(int value);

    int RegVersion() const;  // default 0
    void SetRegVersion(int version);

    // The record list's column layout for untitled documents; empty when absent.
    std::string ReportCtrl() const;
    void SetReportCtrl(const std::string& layout);

    ScreenPoint PopupPosition() const;
    void SetPopupPosition(ScreenPoint point);
    // Shared by both password dialogs.
    ScreenPoint PasswordDialogPosition() const;
    void SetPasswordDialogPosition(ScreenPoint point);

    // The print dialog's placement, "left,top,right,bottom,showState,flags"; empty when absent.
    std::string WindowPlacement() const;
    void SetWindowPlacement(const std::string& placement);

    // The report template last used (section "Printing"); empty by default.
    std::string LastTemplate() const;
    void SetLastTemplate(const std::string& name);

    // Days ahead within which an expiry date is announced when a file opens (section
    // "Display"); 0 turns the announcement off. Default 14; a value outside 0 to 3650 reads as
    // the default.
    int ExpiryWarningDays() const;

  private:
    ISettingsStore& store_;
};

// The steps of the version reset that belong to the desktop's toolbar framework.
struct VersionResetHooks {
    // All toolbars and keyboard shortcuts back to their defaults; run only when the version
    // changes.
    std::function<void()> resetToolbarsAndShortcuts;
    // Adds the default user tools when the user-tool list exists and is empty; run on every
    // start, whatever the stored version.
    std::function<void()> addDefaultUserToolsIfEmpty;
};

// Run once the main window has been created and before it is first shown. When RegVersion
// differs from kSettingsVersion it writes the current version, empties ReportCtrl (the record
// list starts with its default layout) and resets the toolbars. True when that reset ran.
bool RunVersionReset(ISettingsStore& store, const VersionResetHooks& hooks);

}  // namespace zelvant::settings
