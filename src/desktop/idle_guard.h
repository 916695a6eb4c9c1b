#pragma once
// Idle protection: after the configured minutes without input the main window is minimised, the
// password popup hidden and our clipboard text removed; once the main window has been minimised,
// showing it or the popup again may demand the security password.
//
// No widgets here. The main window feeds in its state and performs what comes back, so that tests
// can drive time through a fake idle source.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "settings/app_settings.h"
#include "settings/security_password.h"

namespace zelvant::desktop {

inline constexpr char kInvalidPasswordMainWindow[] = "Invalid Password - cannot display Zelvant";
inline constexpr char kInvalidPasswordPopup[] = "Invalid Password - cannot display Password Popup";
inline constexpr char kIdleTrackFailed[] =
    "Unable to initialize IdleTrack\nZelvant is shutting down";
inline constexpr char kRestoreFromMinimizedTitle[] = "Restore from minimized:";

// How long the desktop (or, as a last resort, this program) has gone without keyboard or mouse
// input.
class IIdleSource {
  public:
    virtual ~IIdleSource();
    // Empty when the source cannot tell right now; the caller then skips the tick.
    virtual std::optional<std::uint32_t> IdleMilliseconds() = 0;
    // Called after the user has proved who they are by showing a window again.
    virtual void Restart() {}
    virtual QString Name() const = 0;
};

// Asks for the security password, in a dialog titled kRestoreFromMinimizedTitle.
class IRedisplayPrompt {
  public:
    virtual ~IRedisplayPrompt();
    // UTF-8; empty when the user cancelled.
    virtual std::optional<std::string> AskSecurityPassword() = 0;
};

// Whether showing a locked window asks for the security password: the option is on (its lowest
// bit) and a password is set.
bool ProtectionAsks(const settings::AppSettings& settings);

enum class RedisplayResult : int { Allowed = 1, Cancelled = -1, Wrong = 2 };

// What the main window has to do after one timer tick. The clipboard is handled inside the guard
// (see ClipboardClearer); clipboardCleared only reports it.
struct IdleActions {
    bool minimiseMain = false;
    bool hidePopup = false;
    bool clipboardCleared = false;

    bool operator==(const IdleActions&) const = default;
};

// Checks a typed security password against the stored hash. The hash is slow on purpose; the
// desktop runs the check off its GUI thread.
using PasswordVerifier = std::function<bool(const std::string& hash, const std::string& typed)>;

// Removes this program's text from the clipboard and selection. True when that is done, or there
// was nothing of ours to remove; false when the clipboard could not be reached, so that the idle
// rule tries again on the next tick.
using ClipboardClearer = std::function<bool()>;

// For restore and maximise of the main window while it is locked.
struct RestoreDecision {
    bool allowed = false;
    QString warning;  // shown with a warning icon when not empty
};

enum class MainWindowAction { None, Restore, Minimise };
struct MainWindowDecision {
    MainWindowAction action = MainWindowAction::None;
    QString warning;
};

enum class PopupAction { None, Hide, Show };
struct PopupDecision {
    PopupAction action = PopupAction::None;
    QString warning;
};

class CIdleGuard {
  public:
    // The settings are read on every call, so changes made through the options take effect on
    // the next tick; settings and source must outlive the guard.
    CIdleGuard(const settings::AppSettings& settings, IIdleSource& source,
               ClipboardClearer clearClipboard);

    // Replaces the plain call of settings::VerifySecurityPassword.
    void SetPasswordVerifier(PasswordVerifier verify) { verify_ = std::move(verify); }

    // End-to-end tests cannot wait whole minutes; every other caller keeps the 60000 ms.
    void SetMinuteLength(std::uint32_t ms) { minuteMs_ = ms; }

    // One tick of the one-second timer: reads the source once and applies the three rules.
    IdleActions Tick(bool mainVisible, bool popupVisible);
    IdleActions OnTick(std::uint32_t idleMs, bool mainVisible, bool popupVisible);

    // Every minimise of the main window, whatever asked for it, including going into the tray.
    void OnMinimised();
    void OnSizeChanged(bool minimised);
    void LockForMinimisedStart();
    // The main window has been minimised since it was last shown; the tray item "Main Window" is
    // checked while this is false.
    bool Locked() const { return locked_; }

    RedisplayResult CheckRedisplayPassword(IRedisplayPrompt& prompt) const;

    // Restore or maximise of the main window. Not locked: allowed without a question.
    RestoreDecision AllowRestore(IRedisplayPrompt& prompt);
    // Command "Main Window". On Restore the lock is already clear; on Minimise it is already set
    // and the caller focuses and minimises the window.
    MainWindowDecision MainWindowCommand(IRedisplayPrompt& prompt);
    // Command "Password Popup". Showing the popup never clears the lock.
    PopupDecision PasswordPopupCommand(bool popupVisible, IRedisplayPrompt& prompt);

    // At shutdown, after the timer has stopped: true when ClearClip is on and the clipboard was
    // dealt with.
    bool ClearClipAtExit();

  private:
    RedisplayResult Unlock(IRedisplayPrompt& prompt);

    const settings::AppSettings& settings_;
    IIdleSource& source_;
    ClipboardClearer clearClipboard_;
    PasswordVerifier verify_;
    std::uint32_t minuteMs_ = 60000;
    bool locked_ = false;
    bool idleCleared_ = false;  // emptied during the current idle period
    bool sizeFlag_ = false;     // emptied, and the main window not resized or restored since
};

}  // namespace zelvant::desktop
