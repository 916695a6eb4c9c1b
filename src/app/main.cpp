// The desktop program.

#include <QApplication>

#include "settings/desktop/idle_guard.h"
#include "settings/desktop/idle_sources.h"
#include "settings/qsettings_store.h"
#include "ui/icons.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/zelvant_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationName(QStringLiteral("Zelvant"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVANT_VERSION));
    QApplication::setWindowIcon(zelvant::ui::AppIcon());
    QApplication::setDesktopFileName(QStringLiteral("zelvant"));

    zelvant::settings::CQSettingsStore store;
    zelvant::ui::CZelvantApp zelvant(store);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    zelvant::ui::StartupHooks hooks;
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
    const int status = QApplication::exec();
    zelvant.ExitInstance();
    return status;
}
