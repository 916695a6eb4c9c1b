#include "desktop/clipboard_timer.h"

#include <utility>

namespace zelvant::desktop {

CSecretClipboardTimer::CSecretClipboardTimer(const settings::AppSettings& settings, Clock clock,
                                             ClipboardClearer clear)
    : settings_(settings), clock_(std::move(clock)), clear_(std::move(clear)) {}

void CSecretClipboardTimer::SecretCopied() {
    const int seconds = settings_.clearSecretsAfter;
    if (seconds <= 0) {
        due_.reset();
        return;
    }
    due_ = clock_() + std::int64_t{seconds} * 1000;
}

bool CSecretClipboardTimer::Tick() {
    if (!due_ || clock_() < *due_) {
        return false;
    }
    due_.reset();
    // The clearer looks first: what the user copied since stays.
    return clear_ && clear_();
}

void CSecretClipboardTimer::ClearIfPending() {
    if (due_) {
        due_.reset();
        if (clear_) {
            clear_();
        }
    }
}

std::optional<int> CSecretClipboardTimer::SecondsLeft() const {
    if (!due_) {
        return std::nullopt;
    }
    const std::int64_t left = *due_ - clock_();
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

}  // namespace zelvant::desktop
