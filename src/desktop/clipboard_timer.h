#pragma once
// A secret the program copied is taken off the clipboard ClearSecretsAfter seconds later, when it
// is still there; something the user copied since is never touched. No widgets here: the main
// window reports each copy and each tick of its clock, so tests drive time.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "desktop/idle_guard.h"
#include "settings/app_settings.h"

namespace zelvant::desktop {

class CSecretClipboardTimer {
  public:
    // Monotonic milliseconds.
    using Clock = std::function<std::int64_t()>;

    // The settings are read at each copy; settings and clock must outlive the timer.
    CSecretClipboardTimer(const settings::AppSettings& settings, Clock clock,
                          ClipboardClearer clear);

    // A secret has just been put on the clipboard: the count starts again from here.
    void SecretCopied();
    // On every tick of the clock; true when the clipboard was cleared now.
    bool Tick();
    // At exit: a clear still due is done now, rather than leaving the secret to be handed to a
    // clipboard manager as the program ends.
    void ClearIfPending();

    // Seconds until the clear, or none when nothing is due.
    std::optional<int> SecondsLeft() const;

    // Tests drive time through their own clock.
    void SetClock(Clock clock) { clock_ = std::move(clock); }

  private:
    const settings::AppSettings& settings_;
    Clock clock_;
    ClipboardClearer clear_;
    std::optional<std::int64_t> due_;
};

}  // namespace zelvant::desktop
