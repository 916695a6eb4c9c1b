// The desktop program.

#include <QApplication>
#include <memory>
#include <string_view>
#include <vector>

#include "settings/desktop/idle_guard.h"
#include "settings/desktop/idle_sources.h"
#include "settings/desktop/single_instance.h"
#include "settings/desktop/splash.h"
#include "settings/qsettings_store.h"
#include "ui/command_line.h"
#include "ui/icons.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/user_guide.h"
#include "ui/zelvant_app.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto status = zelvant::ui::AnswerInfoOptions(args)) {
        return *status;
    }
    QApplication app(argc, argv);
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
        return instance.TryBecomeFirst() || !instance.OtherRaised();
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
    instance.SetWindowShown();
    // Brought forward by a second start: shown without the security password, as a raise from
    // the user's own desktop would be.
    QObject::connect(&instance, &zelvant::desktop::CSingleInstance::RaiseRequested,
                     zelvant.MainFrame(), [&zelvant] {
                         zelvant::ui::CMainFrame* frame = zelvant.MainFrame();
                         frame->ShowWithoutPassword();
                     });
    const int status = QApplication::exec();
    zelvant.ExitInstance();
    return status;
}
