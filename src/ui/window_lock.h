#pragma once
// The main window's lock: owns idle protection (desktop::CIdleGuard) and decides, from the
// window's state changes and commands, when the window locks, when its contents are hidden and
// when showing it again needs the security password. The window only reports what happened and
// carries out what this asks of it through IWindowLockHost.

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "desktop/idle_guard.h"
#include "settings/app_settings.h"

namespace zelvant::ui {

class IWindowLockHost {
  public:
    virtual ~IWindowLockHost();
    virtual bool WindowMinimised() const = 0;
    virtual bool WindowShown() const = 0;
    virtual bool PopupShown() const = 0;
    virtual void HidePopup() = 0;
    // Every dialog closed as Cancel would close it, every menu put away.
    virtual void CloseDialogs() = 0;
    // Minimises as the window's own button would (into the tray when that is asked for).
    virtual void Minimise() = 0;
    // The keyboard focus back on the window itself, off any child.
    virtual void TakeFocus() = 0;
    virtual void RestoreFromTray() = 0;
    // Record, list and tree shown or hidden.
    virtual void ShowContents(bool shown) = 0;
    virtual void Warn(const QString& text) = 0;
    // The window is back after the lock; work the lock interrupted may go on.
    virtual void Unlocked() = 0;
    // Locked state or visibility changed: commands and tray menu need a refresh.
    virtual void LockStateChanged() = 0;
};

class CWindowLock final : public QObject {
    Q_OBJECT
  public:
    // Settings and host must outlive the lock.
    CWindowLock(const settings::AppSettings& settings, IWindowLockHost& host,
                std::unique_ptr<desktop::IRedisplayPrompt> prompt, QObject* parent = nullptr);
    ~CWindowLock() override;

    // Idle protection from now on; false when the source is missing.
    bool StartIdleProtection(std::unique_ptr<desktop::IIdleSource> source);
    desktop::CIdleGuard* Guard() const { return guard_.get(); }
    bool Locked() const { return guard_ != nullptr && guard_->Locked(); }
    bool ContentsHidden() const { return contentsHidden_; }

    // One tick of the one-second clock.
    void Tick();
    // Dialogs closed, the popup hidden, the window minimised and locked.
    void Lock();
    // The desktop locked its screen, went to sleep or switched user.
    void LockForSessionEvent();
    // The window was started minimised: showing it again goes through the security password.
    void LockForMinimisedStart();
    // The "Main Window" command: minimises, or shows again after the security password.
    void MainWindowCommand();
    // The "Password Popup" command's verdict; empty without idle protection, when the caller
    // simply toggles.
    std::optional<desktop::PopupAction> PopupCommand();
    // The window's minimised state changed (or not) in a window-state change.
    void WindowStateChanged(bool wasMinimised);
    void WindowResized();

  private:
    bool ProtectionAsks() const;
    void SetContentsHidden(bool hidden);
    void CheckRestore();

    const settings::AppSettings& settings_;
    IWindowLockHost& host_;
    std::unique_ptr<desktop::IRedisplayPrompt> prompt_;
    std::unique_ptr<desktop::IIdleSource> source_;
    std::unique_ptr<desktop::CIdleGuard> guard_;
    bool contentsHidden_ = false;
    bool restoreCheckPending_ = false;
};

}  // namespace zelvant::ui
