#include "ui/zelvant_app.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include "settings/direct_settings.h"
#include "ui/main_frame.h"

namespace zelvant::ui {

QString DragFormatName(const QDateTime& startUtc) {
    const QDate d = startUtc.date();
    const QTime t = startUtc.time();
    return QStringLiteral("ZLVDragDropFormat%1 %2 %3 %4 %5 %6 %7")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(t.hour())
        .arg(t.minute())
        .arg(t.second())
        .arg(t.msec());
}

CZelvantApp::CZelvantApp(settings::ISettingsStore& store) : store_(store) {}

CZelvantApp::~CZelvantApp() = default;

bool CZelvantApp::InitInstance(const QStringList& arguments, StartupHooks hooks) {
    hooks_ = std::move(hooks);
    settings::CDirectSettings direct(store_);
    QString file;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) {
            file = QFileInfo(argument).absoluteFilePath();
            break;
        }
    }
    // Always registered, so that a later start that hands over finds this one.
    if (hooks_.checkSingleInstance && !hooks_.checkSingleInstance(direct.SingleInstance(), file)) {
        return false;
    }
    // Every way out goes through the main window's shutdown path, which ends the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    start_ = QDateTime::currentDateTimeUtc();
    dragFormat_ = DragFormatName(start_);
    const bool splash = direct.Splash() && bool(hooks_.showSplash);
    if (splash) {
        hooks_.showSplash();
    }

    frame_ = std::make_unique<CMainFrame>(store_);
    frame_->SetEndProgram([] { QCoreApplication::exit(0); });
    frame_->SetRecordDragFormat(dragFormat_);
    settings::RunVersionReset(
        store_, {.resetToolbarsAndShortcuts = [this] { frame_->ResetToolbarsAndShortcuts(); },
                 .addDefaultUserToolsIfEmpty = [this] { frame_->AddDefaultToolsIfEmpty(); }});
    frame_->CreateTrayIcon();
    if (hooks_.frameCreated) {
        hooks_.frameCreated(*frame_);
    }

    if (hooks_.startIdleTracker && !hooks_.startIdleTracker()) {
        return false;
    }
    startingUp_ = false;
    if (frame_->Settings().startMini != 0) {
        frame_->LockForMinimisedStart();
        frame_->StartMinimized();
    } else {
        frame_->show();
    }
    if (splash && hooks_.hideSplash) {
        hooks_.hideSplash();
    }
    // The file is opened once the window is up, so its password dialog has a parent to sit on.
    QTimer::singleShot(0, frame_.get(), [this, file] {
        frame_->TellOfLostEdits();
        if (!file.isEmpty()) {
            frame_->OpenDocument(file);
        } else {
            frame_->AutoLoad();
        }
    });
    return true;
}

void CZelvantApp::ExitInstance() {
    if (hooks_.stopIdleTracker) {
        hooks_.stopIdleTracker();
    }
    if (frame_ != nullptr) {
        frame_->ForgetRecentFilesIfAsked();
    }
    frame_.reset();
}

}  // namespace zelvant::ui
