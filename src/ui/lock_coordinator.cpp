#include "ui/lock_coordinator.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QThread>

#include "settings/security_password.h"
#include "ui/message_box.h"
#include "ui/password_dlg.h"
#include "ui/record_props.h"

namespace zelvant::ui {

int CloseDialogsForLock() {
    // Menus first: one open over a dialog runs an event loop of its own.
    for (QWidget* menu = QApplication::activePopupWidget(); menu != nullptr;
         menu = QApplication::activePopupWidget()) {
        menu->close();
        if (QApplication::activePopupWidget() == menu) {
            menu->hide();
            break;
        }
    }
    int closed = 0;
    QPointer<QWidget> previous;
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == previous) {
            // It would not go: hidden at least, and the loop ends rather than spin.
            modal->hide();
            break;
        }
        previous = modal;
        if (auto* record = qobject_cast<CRecordProps*>(modal)) {
            record->CloseForLock();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        ++closed;
    }
    return closed;
}

namespace {

bool s_checking = false;

}  // namespace

bool PasswordCheckRunning() {
    return s_checking;
}

bool VerifyOffTheGuiThread(const std::string& hash, const std::string& typed) {
    const QScopedValueRollback<bool> checking(s_checking, true);
    bool same = false;
    QThread* worker = QThread::create(
        [&same, &hash, &typed] { same = settings::VerifySecurityPassword(hash, typed); });
    QEventLoop loop;
    // Queued across threads, so a check done before the loop starts still ends it.
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    QApplication::restoreOverrideCursor();
    delete worker;
    return same;
}

std::optional<std::string> CRedisplayPrompt::AskSecurityPassword() {
    CPasswordDlg dialog(store_, parent_);
    dialog.setWindowTitle(QString::fromLatin1(desktop::kRestoreFromMinimizedTitle));
    // File passwords may be longer; this one is never more than the options let be set.
    dialog.PasswordEdit()->setMaxLength(static_cast<int>(settings::kSecurityPasswordMaxChars));
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    SecretText typed;
    dialog.TakePassword(typed);
    return std::string(typed.text.data(), typed.text.size());
}

}  // namespace zelvant::ui
