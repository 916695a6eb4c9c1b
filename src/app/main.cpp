// The desktop program.

#include <QApplication>

#include "settings/qsettings_store.h"
#include "ui/icons.h"
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
    if (!zelvant.InitInstance(arguments)) {
        return 0;
    }
    const int status = QApplication::exec();
    zelvant.ExitInstance();
    return status;
}
