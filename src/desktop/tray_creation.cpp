#include "desktop/tray_creation.h"

#include <QObject>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "settings/direct_settings.h"

namespace zelvant::desktop {

void CQtTrayTimer::Start(int milliseconds, std::function<void()> expired) {
    QTimer::singleShot(milliseconds, context_, std::move(expired));
}

void ExitAtOnce(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

int TrayRetryDelay(int stored) {
    return stored < kMinIconStartDelay || stored > kMaxIconStartDelay ? kMinIconStartDelay : stored;
}

int LearnedTrayDelay(int waited) {
    return waited + 2 > kMaxIconStartDelay ? kMaxIconStartDelay : waited + 5;
}

QString TrayMaximumDelayMessage(const QString& supportEmail) {
    const QString text = QStringLiteral(
        "Zelvant was unable to create the System Tray Icon and is shutting down.\n"
        "Maximum startup delay is now in use");
    if (supportEmail.isEmpty()) {
        return text + QLatin1Char('.');
    }
    return text + QStringLiteral(", please contact ") + supportEmail +
           QStringLiteral(" for more information.");
}

CTrayCreation::CTrayCreation(ITrayBackend& backend, ITrayTimer& timer,
                             settings::ISettingsStore& store, TrayCreationHooks hooks,
                             QString supportEmail)
    : backend_(backend),
      timer_(timer),
      store_(store),
      hooks_(std::move(hooks)),
      supportEmail_(std::move(supportEmail)) {}

void CTrayCreation::Start(std::function<void(State)> done) {
    done_ = std::move(done);
    settings::CDirectSettings direct(store_);
    const int stored = direct.IconStartDelay();
    delayWarn_ = direct.DelayWarn();
    // Written back so that the key appears in the store for users who want to turn it on.
    direct.SetDelayWarn(delayWarn_);

    if (Attempt()) {
        Finish(State::Created);
        return;
    }
    waited_ = TrayRetryDelay(stored);
    state_ = State::Waiting;
    timer_.Start(waited_ * 1000, [this] { Retry(); });
}

bool CTrayCreation::Attempt() {
    return backend_.IsSystemTrayAvailable() && backend_.CreateIcon();
}

void CTrayCreation::Retry() {
    if (!backend_.IsSystemTrayAvailable()) {
        // Still none after the wait: this desktop has no notification area, and a longer
        // delay would only slow down every start.
        Finish(State::NoNotificationArea);
        return;
    }
    if (backend_.CreateIcon()) {
        if (delayWarn_ != 0 && hooks_.information) {
            hooks_.information(QString::fromLatin1(kTrayWaitedMessage));
        }
        Finish(State::Created);
        return;
    }

    const int learned = LearnedTrayDelay(waited_);
    settings::CDirectSettings(store_).SetIconStartDelay(learned);
    state_ = State::Failed;
    if (hooks_.error) {
        hooks_.error(waited_ + 2 > kMaxIconStartDelay
                         ? TrayMaximumDelayMessage(supportEmail_)
                         : QString::fromLatin1(kTrayDelayAdjustedMessage));
    }
    if (hooks_.exitProcess) {
        hooks_.exitProcess(0);
    } else {
        ExitAtOnce(0);
    }
    Finish(State::Failed);
}

void CTrayCreation::Finish(State state) {
    state_ = state;
    if (done_) {
        auto done = std::move(done_);
        done_ = nullptr;
        done(state);
    }
}

void CTrayCreation::ApplyTrayIcon(bool trayIcon) {
    if (state_ == State::Created) {
        backend_.SetIconVisible(trayIcon);
        return;
    }
    if (state_ == State::NoNotificationArea && trayIcon && !absenceTold_) {
        absenceTold_ = true;
        if (hooks_.status) {
            hooks_.status(QString::fromLatin1(kNoTrayStatus));
        }
    }
}

}  // namespace zelvant::desktop
