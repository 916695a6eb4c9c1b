#include "ui/user_guide.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "ui/message_box.h"

namespace zelvant::ui {

QString UserGuidePath(const QString& programFolder) {
    const QDir folder(programFolder);
    const QString installed =
        QDir::cleanPath(folder.filePath(QStringLiteral(ZELVANT_DOC_FROM_BIN "/user-guide.html")));
    const QString built = folder.filePath(QStringLiteral("doc/user-guide.html"));
    for (const QString& path : {installed, built}) {
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return installed;
}

void OpenUserGuide(QWidget* parent) {
    const QString path = UserGuidePath(QCoreApplication::applicationDirPath());
    if (!QFileInfo(path).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        ShowMessageBox(parent, QStringLiteral("Cannot open the user guide\n") + path,
                       QMessageBox::Warning);
    }
}

}  // namespace zelvant::ui
