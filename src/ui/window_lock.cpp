#include "ui/window_lock.h"

#include <QScopeGuard>
#include <QTimer>

#include "desktop/session_lock.h"
#include "ui/clipboard.h"
#include "ui/lock_coordinator.h"

namespace zelvant::ui {

IWindowLockHost::~IWindowLockHost() = default;

CWindowLock::CWindowLock(const settings::AppSettings& settings, IWindowLockHost& host,
                         std::unique_ptr<desktop::IRedisplayPrompt> prompt, QObject* parent)
    : QObject(parent), settings_(settings), host_(host), prompt_(std::move(prompt)) {}

// The guard reads the source, so it goes first.
CWindowLock::~CWindowLock() {
    guard_.reset();
}

bool CWindowLock::StartIdleProtection(std::unique_ptr<desktop::IIdleSource> source) {
    if (source == nullptr) {
        return false;
    }
    guard_.reset();
    source_ = std::move(source);
    guard_ = std::make_unique<desktop::CIdleGuard>(settings_, *source_, [] {
        // Only our own text is removed; anything else on the clipboard is the user's.
        ClearOurClipboardText();
        return true;
    });
    guard_->SetPasswordVerifier(VerifyOffTheGuiThread);
    return true;
}

void CWindowLock::Tick() {
    if (guard_ == nullptr) {
        return;
    }
    const desktop::IdleActions act = guard_->Tick(host_.WindowShown(), host_.PopupShown());
    if (act.minimiseMain && !host_.WindowMinimised()) {
        Lock();
    }
    if (act.hidePopup) {
        host_.HidePopup();
    }
}

void CWindowLock::Lock() {
    host_.CloseDialogs();
    host_.HidePopup();
    if (guard_ != nullptr) {
        guard_->OnMinimised();
    }
    SetContentsHidden(ProtectionAsks());
    if (host_.WindowShown() && !host_.WindowMinimised()) {
        host_.Minimise();
    }
    host_.LockStateChanged();
}

void CWindowLock::LockForSessionEvent() {
    if (desktop::SessionLockLocks(settings_)) {
        Lock();
    }
}

void CWindowLock::LockForMinimisedStart() {
    if (guard_ != nullptr) {
        guard_->LockForMinimisedStart();
    }
    SetContentsHidden(ProtectionAsks());
}

void CWindowLock::MainWindowCommand() {
    if (guard_ == nullptr) {
        if (host_.WindowMinimised() || !host_.WindowShown()) {
            host_.RestoreFromTray();
        } else {
            host_.Minimise();
        }
        return;
    }
    const desktop::MainWindowDecision decision = guard_->MainWindowCommand(*prompt_);
    switch (decision.action) {
        case desktop::MainWindowAction::Restore:
            SetContentsHidden(false);
            host_.RestoreFromTray();
            host_.Unlocked();
            break;
        case desktop::MainWindowAction::Minimise:
            host_.TakeFocus();
            host_.Minimise();
            break;
        case desktop::MainWindowAction::None:
            if (!decision.warning.isEmpty()) {
                host_.Warn(decision.warning);
            }
            break;
    }
    host_.LockStateChanged();
}

std::optional<desktop::PopupAction> CWindowLock::PopupCommand() {
    if (guard_ == nullptr) {
        return std::nullopt;
    }
    const desktop::PopupDecision decision =
        guard_->PasswordPopupCommand(host_.PopupShown(), *prompt_);
    if (!decision.warning.isEmpty()) {
        host_.Warn(decision.warning);
    }
    return decision.action;
}

void CWindowLock::WindowStateChanged(bool wasMinimised) {
    const bool minimised = host_.WindowMinimised();
    if (minimised && !wasMinimised) {
        if (guard_ != nullptr) {
            guard_->OnMinimised();
        }
        // Whoever restores the window next sees nothing until the password is given; the window
        // manager would bring its dialogs back with it before the question.
        if (ProtectionAsks()) {
            host_.CloseDialogs();
        }
        SetContentsHidden(ProtectionAsks());
    } else if (wasMinimised && !minimised && Locked()) {
        // The window manager has already restored the window; the check runs once this event
        // is done, and minimises it again when the password is refused.
        if (!restoreCheckPending_) {
            restoreCheckPending_ = true;
            QTimer::singleShot(0, this, &CWindowLock::CheckRestore);
        }
    } else if (!minimised && guard_ != nullptr) {
        guard_->OnSizeChanged(false);
    }
}

void CWindowLock::WindowResized() {
    if (guard_ != nullptr && !host_.WindowMinimised() && !guard_->Locked()) {
        guard_->OnSizeChanged(false);
    }
}

void CWindowLock::CheckRestore() {
    // Pending until done: the password is checked with the event loop running, and the window's
    // own state changes meanwhile must not start a second check.
    const auto done = qScopeGuard([this] { restoreCheckPending_ = false; });
    if (!Locked() || host_.WindowMinimised()) {
        return;
    }
    const desktop::RestoreDecision decision = guard_->AllowRestore(*prompt_);
    if (decision.allowed) {
        SetContentsHidden(false);
        guard_->OnSizeChanged(false);
        host_.Unlocked();
    } else {
        if (!decision.warning.isEmpty()) {
            host_.Warn(decision.warning);
        }
        host_.Minimise();
    }
    host_.LockStateChanged();
}

bool CWindowLock::ProtectionAsks() const {
    return desktop::ProtectionAsks(settings_);
}

void CWindowLock::SetContentsHidden(bool hidden) {
    contentsHidden_ = hidden;
    host_.ShowContents(!hidden);
}

}  // namespace zelvant::ui
