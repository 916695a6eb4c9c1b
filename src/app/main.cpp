// The desktop program.

#include <QApplication>
#include <QSessionManager>
#include <memory>
#include <string_view>
#include <vector>

#include "desktop/idle_guard.h"
#include "desktop/idle_sources.h"
#include "desktop/session_lock.h"
#include "desktop/signal_watcher.h"
#include "desktop/single_instance.h"
#include "desktop/splash.h"
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
    // Every start registers when it is the first; with the option on, a later one hands over to
    // the first, unless that one cannot be reached.
    hooks.checkSingleInstance = [&instance](bool handOver, const QString& file) {
        if (instance.TryBecomeFirst(handOver, file) || !handOver) {
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
    QObject::connect(&instance, &zelvant::desktop::CSingleInstance::OpenRequested,
                     zelvant.MainFrame(), &zelvant::ui::CMainFrame::OpenFromOutside,
                     Qt::QueuedConnection);
    // The other ways out, through the same shutdown path as closing the window.
    zelvant::desktop::CSignalWatcher termination;
    QObject::connect(&termination, &zelvant::desktop::CSignalWatcher::TerminationRequested,
                     zelvant.MainFrame(), [&zelvant, &store] {
                         zelvant.MainFrame()->Terminate();
                         store.Sync();
                     });
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, zelvant.MainFrame(),
        [&zelvant, &store](QSessionManager& manager) {
            zelvant::ui::CMainFrame& frame = *zelvant.MainFrame();
            // Asked for only when there is something to ask; it may wait for the session.
            const bool ask = frame.Document().IsModified() && manager.allowsInteraction();
            if (!frame.SessionEnding(ask)) {
                manager.cancel();
            }
            if (ask) {
                manager.release();
            }
            store.Sync();
        },
        Qt::DirectConnection);
    zelvant::desktop::CSessionLockWatcher sessionLock(QDBusConnection::sessionBus(),
                                                      QDBusConnection::systemBus());
    QObject::connect(&sessionLock, &zelvant::desktop::CSessionLockWatcher::Away,
                     zelvant.MainFrame(), &zelvant::ui::CMainFrame::LockForSessionEvent);
    const int status = QApplication::exec();
    zelvant.ExitInstance();
    return status;
}
