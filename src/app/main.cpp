// The desktop program.

#include <QApplication>
#include <memory>
#include <string_view>
#include <vector>

#include "settings/desktop/idle_guard.h"
#include "settings/desktop/idle_sources.h"
#include "settings/desktop/session_lock.h"
#include "settings/desktop/single_instance.h"
#include "settings/desktop/splash.h"
#include "settings/qsettings_store.h"
#include "store/process_guard.h"
#include "ui/command_line.h"
#include "ui/icons.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/user_guide.h"
#include "ui/zelvant_app.h"

namespace {

// End-to-end tests cannot wait whole minutes for idle protection; nothing else sets this.
void ApplyTestMinuteLength(zelvant::desktop::CIdleGuard* guard) {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZELVANT_TEST_IDLE_MINUTE_MS", &ok);
    if (ok && ms >= 100 && guard != nullptr) {
        guard->SetMinuteLength(static_cast<std::uint32_t>(ms));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything secret is in memory.
    const bool guarded = zelvant::GuardProcessMemory();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto status = zelvant::ui::AnswerInfoOptions(args)) {
        return *status;
    }
    QApplication app(argc, argv);
    if (!guarded) {
        qWarning("Zelvant: this process's memory could not be made private");
    }
    QApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationName(QStringLiteral("Zelvant"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVANT_VERSION));
    QApplication::setWindowIcon(zelvant::ui::AppIcon());
    QApplication::setDesktopFileName(QStringLiteral("org.quillmere.Zelvant"));

    zelvant::settings::CQSettingsStore store;
    zelvant::ui::CZelvantApp zelvant(store);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    // Both live until the program ends: the lock is held and the splash shown through start-up.
    zelvant::desktop::CSingleInstance instance;
    std::unique_ptr<zelvant::desktop::CSplash> splash;

    zelvant::ui::StartupHooks hooks;
    // A second start hands over to a running first instance, unless that one cannot be reached.
    hooks.checkSingleInstance = [&instance] {
        if (instance.TryBecomeFirst()) {
            return true;
        }
        if (!instance.FolderProblem().isEmpty()) {
            // Refused rather than trusted: whoever made it could stop us or hear from us.
            zelvant::ui::ShowMessageBox(
                nullptr,
                instance.FolderProblem() +
                    QStringLiteral("\n\nZelvant cannot tell whether it is already running, so "
                                   "this copy runs on its own."),
                QMessageBox::Warning);
            return true;
        }
        return !instance.OtherRaised();
    };
    hooks.showSplash = [&splash] {
        splash = std::make_unique<zelvant::desktop::CSplash>();
        splash->show();
        zelvant::desktop::RunStartupPause(zelvant::desktop::kStartupPauseMs);
    };
    hooks.hideSplash = [&splash, &zelvant] {
        if (splash != nullptr) {
            splash->Finish(zelvant.MainFrame());
            splash.reset();
        }
    };
    hooks.startIdleTracker = [&zelvant] {
        if (zelvant.MainFrame()->StartIdleProtection(zelvant::desktop::MakeIdleSource())) {
            return true;
        }
        zelvant::ui::ShowMessageBox(nullptr,
                                    QString::fromLatin1(zelvant::desktop::kIdleTrackFailed),
                                    QMessageBox::Critical);
        return false;
    };
    if (!zelvant.InitInstance(arguments, hooks)) {
        return 0;
    }
    zelvant::ui::FrameServices services;
    services.helpContents = [] { zelvant::ui::OpenUserGuide(nullptr); };
    zelvant.MainFrame()->SetServices(services);
    ApplyTestMinuteLength(zelvant.MainFrame()->Guard());
    instance.SetWindowShown();
    // Brought forward by a second start in the state it is in: a locked window asks first.
    QObject::connect(&instance, &zelvant::desktop::CSingleInstance::RaiseRequested,
                     zelvant.MainFrame(), &zelvant::ui::CMainFrame::BringForward);
    zelvant::desktop::CSessionLockWatcher sessionLock(QDBusConnection::sessionBus(),
                                                      QDBusConnection::systemBus());
    QObject::connect(&sessionLock, &zelvant::desktop::CSessionLockWatcher::Away,
                     zelvant.MainFrame(), &zelvant::ui::CMainFrame::LockForSessionEvent);
    const int status = QApplication::exec();
    zelvant.ExitInstance();
    return status;
}
