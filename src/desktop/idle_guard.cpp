#include "desktop/idle_guard.h"

#include <string_view>
#include <utility>

#include "store/secure.h"

namespace zelvant::desktop {
namespace {

// Wide on purpose: a huge limit must mean "never", not a wrapped-around short one.
bool Passed(std::uint32_t idleMs, int minutes, std::uint32_t minuteMs) {
    return minutes > 0 && std::uint64_t{idleMs} > std::uint64_t(minutes) * minuteMs;
}

}  // namespace

bool ProtectionAsks(const settings::AppSettings& settings) {
    return (settings.protMin & 1) != 0 && !settings.securityPasswordHash.empty();
}

IIdleSource::~IIdleSource() = default;
IRedisplayPrompt::~IRedisplayPrompt() = default;

CIdleGuard::CIdleGuard(const settings::AppSettings& settings, IIdleSource& source,
                       ClipboardClearer clearClipboard)
    : settings_(settings), source_(source), clearClipboard_(std::move(clearClipboard)) {}

IdleActions CIdleGuard::Tick(bool mainVisible, bool popupVisible) {
    const std::optional<std::uint32_t> idle = source_.IdleMilliseconds();
    if (!idle) {
        // Guessing could clear the clipboard under a user who is busy in another program.
        return {};
    }
    return OnTick(*idle, mainVisible, popupVisible);
}

IdleActions CIdleGuard::OnTick(std::uint32_t idleMs, bool mainVisible, bool popupVisible) {
    IdleActions actions;
    if (mainVisible && Passed(idleMs, settings_.minTime, minuteMs_)) {
        actions.minimiseMain = true;
        // The minimise the caller performs sets it too; set here so that protection does not
        // hinge on the window manager honouring the request.
        locked_ = true;
    }
    if (popupVisible && Passed(idleMs, settings_.minPopTime, minuteMs_)) {
        actions.hidePopup = true;
    }
    if (settings_.timedClear > 0) {
        if (!Passed(idleMs, settings_.timedClear, minuteMs_)) {
            idleCleared_ = false;
        } else if (!idleCleared_ && !sizeFlag_ && clearClipboard_ && clearClipboard_()) {
            idleCleared_ = true;
            sizeFlag_ = true;
            actions.clipboardCleared = true;
        }
    }
    return actions;
}

void CIdleGuard::OnMinimised() {
    locked_ = true;
}

void CIdleGuard::OnSizeChanged(bool minimised) {
    if (!minimised) {
        sizeFlag_ = false;
    }
}

void CIdleGuard::LockForMinimisedStart() {
    locked_ = true;
}

RedisplayResult CIdleGuard::CheckRedisplayPassword(IRedisplayPrompt& prompt) const {
    if (!ProtectionAsks(settings_)) {
        return RedisplayResult::Allowed;
    }
    std::optional<std::string> typed = prompt.AskSecurityPassword();
    if (!typed) {
        return RedisplayResult::Cancelled;
    }
    // Cut at the prompt's length inside: a longer entry only ever came from elsewhere.
    const bool same =
        verify_ ? verify_(settings_.securityPasswordHash, *typed)
                : settings::VerifySecurityPassword(settings_.securityPasswordHash, *typed);
    WipeString(*typed);
    return same ? RedisplayResult::Allowed : RedisplayResult::Wrong;
}

RedisplayResult CIdleGuard::Unlock(IRedisplayPrompt& prompt) {
    const RedisplayResult result = CheckRedisplayPassword(prompt);
    if (result == RedisplayResult::Allowed) {
        locked_ = false;
        source_.Restart();
    }
    return result;
}

RestoreDecision CIdleGuard::AllowRestore(IRedisplayPrompt& prompt) {
    if (!locked_) {
        return {true, {}};
    }
    switch (Unlock(prompt)) {
        case RedisplayResult::Allowed:
            return {true, {}};
        case RedisplayResult::Wrong:
            return {false, QString::fromLatin1(kInvalidPasswordMainWindow)};
        case RedisplayResult::Cancelled:
            break;
    }
    return {};
}

MainWindowDecision CIdleGuard::MainWindowCommand(IRedisplayPrompt& prompt) {
    if (!locked_) {
        locked_ = true;
        return {MainWindowAction::Minimise, {}};
    }
    switch (Unlock(prompt)) {
        case RedisplayResult::Allowed:
            return {MainWindowAction::Restore, {}};
        case RedisplayResult::Wrong:
            return {MainWindowAction::None, QString::fromLatin1(kInvalidPasswordMainWindow)};
        case RedisplayResult::Cancelled:
            break;
    }
    return {};
}

PopupDecision CIdleGuard::PasswordPopupCommand(bool popupVisible, IRedisplayPrompt& prompt) {
    if (popupVisible) {
        return {PopupAction::Hide, {}};
    }
    if (locked_) {
        switch (CheckRedisplayPassword(prompt)) {
            case RedisplayResult::Allowed:
                break;
            case RedisplayResult::Wrong:
                return {PopupAction::None, QString::fromLatin1(kInvalidPasswordPopup)};
            case RedisplayResult::Cancelled:
                return {};
        }
    }
    source_.Restart();
    return {PopupAction::Show, {}};
}

bool CIdleGuard::ClearClipAtExit() {
    return settings_.clearClip != 0 && clearClipboard_ && clearClipboard_();
}

}  // namespace zelvant::desktop
