// The main window's part in the one shutdown path (ui/shutdown.h): its steps, and the ways out
// that reach it.

#include <QCloseEvent>
#include <QFile>
#include <QStatusBar>

#include "settings/settings_store.h"
#include "ui/clipboard.h"
#include "ui/file_questions.h"
#include "ui/file_watch.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/password_popup.h"

namespace zelvant::ui {
namespace {

// Text for the next start, in section "Settings".
constexpr std::string_view kLostEditsKey = "LostEdits";

}  // namespace

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!shutdown_.Leave(ExitWay::Close, *this)) {
        event->ignore();
        return;
    }
    timer_.stop();
    popup_->hide();
    // Nothing of the document outlives the window.
    fileWatch_->Watch({});
    doc_->OnCloseDocument();
    view_->ShowFolder(kTopLevel);
    event->accept();
    EndProgram();
}

bool CMainFrame::SessionEnding(bool userCanBeAsked) {
    return shutdown_.Leave(userCanBeAsked ? ExitWay::SessionWithUser : ExitWay::SessionUnattended,
                           *this);
}

void CMainFrame::Terminate() {
    shutdown_.Leave(ExitWay::Signal, *this);
    // Not through close(): a dialog that is up would refuse it. Ending the event loops also
    // ends that dialog's.
    EndProgram();
}

void CMainFrame::EndProgram() {
    if (endProgram_) {
        endProgram_();
    }
}

bool CMainFrame::DocumentModified() const {
    return doc_->IsModified();
}

std::uint64_t CMainFrame::DocumentEdits() const {
    return doc_->EditCount();
}

bool CMainFrame::AskToSave() {
    return AskToSaveModified();
}

RecoveryResult CMainFrame::WriteRecovery() {
    doc_->SetSettings({settings_.rememberPass, settings_.alwaysBackup, settings_.legacyNewFiles});
    // Nobody is there to read a message box; a failure is told at the next start.
    messages_->SetUnattended(true);
    const RecoveryResult result = doc_->SaveRecovery();
    messages_->SetUnattended(false);
    return result;
}

void CMainFrame::NoteLostEdits(RecoveryResult why) {
    const QString text = LostEditsText(DocumentTitle(), !doc_->PathName().empty(), why);
    qWarning("Zelvant: %s", qPrintable(text));
    store_.WriteString(settings::kSettingsSection, kLostEditsKey, text.toStdString());
}

void CMainFrame::TellOfLostEdits() {
    const std::string text = store_.ReadString(settings::kSettingsSection, kLostEditsKey, "");
    if (text.empty()) {
        return;
    }
    store_.Remove(settings::kSettingsSection, kLostEditsKey);
    ShowMessageBox(this, QString::fromStdString(text), QMessageBox::Warning);
}

void CMainFrame::WriteSettings() {
    if (doc_->PathName().empty()) {
        view_->List().WriteColumnLayout(store_, settings::kSettingsSection, "ReportCtrl");
    }
    SaveWindowState();
    TakeToolbarVisibility();
    custom_.Save(store_);
    settings::SaveSettings(store_, settings_);
}

void CMainFrame::ClearClipboard() {
    // Qt hands what the program owns on the clipboard to a clipboard manager at exit.
    secretTimer_->ClearIfPending();
    if (desktop::CIdleGuard* guard = lock_->Guard()) {
        guard->ClearClipAtExit();
    } else if (settings_.clearClip != 0) {
        ClearOurClipboardText();
    }
}

}  // namespace zelvant::ui
