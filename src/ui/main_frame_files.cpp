// The main window and files that come from outside: dropped on it, handed over by a later start,
// changed on disk by another program, or left as a recovery file by an earlier run.

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include "ui/file_questions.h"
#include "ui/local_path.h"
#include "ui/main_frame.h"

namespace zelvant::ui {
namespace {

// The first data file among the dropped ones.
QString DroppedDataFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        const QFileInfo file(url.toLocalFile());
        if (url.isLocalFile() && file.isFile() &&
            file.suffix().compare(QLatin1String("zvd"), Qt::CaseInsensitive) == 0) {
            return file.absoluteFilePath();
        }
    }
    return {};
}

}  // namespace

void CMainFrame::OpenFromOutside(const QString& path) {
    if (QApplication::activeModalWidget() != nullptr) {
        pendingOpen_ = path;  // once the dialog is done
        return;
    }
    // The security password was refused: the window stays shut, whatever is asked of it.
    if (lock_->Locked()) {
        return;
    }
    // Started again on the file it shows: reopening would ask for its password again, or ask
    // to throw away the edits made since the last save.
    const QString open = doc_->PathName().empty() ? QString() : FromLocalPath(doc_->PathName());
    if (!open.isEmpty() &&
        QFileInfo(open).canonicalFilePath() == QFileInfo(path).canonicalFilePath()) {
        return;
    }
    if (AskToSaveModified()) {
        OpenDocument(path);
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedDataFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        QMainWindow::dragEnterEvent(event);
    }
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedDataFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        QMainWindow::dragMoveEvent(event);
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = DroppedDataFile(event->mimeData());
    if (path.isEmpty()) {
        QMainWindow::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    // Not inside the drop: the program the file came from waits until it returns.
    QTimer::singleShot(0, this, [this, path] { OpenFromOutside(path); });
}

CMainFrame::Recovery CMainFrame::OfferRecovery(const QString& path) {
    const std::string local = LocalPath(path);
    const std::optional<RecoveryFile> found = FindRecovery(local);
    if (!found) {
        return Recovery::NotOffered;
    }
    switch (AskRestoreRecovery(this, path, *found)) {
        case kRestoreAnswer:
            return doc_->OpenRecovery(local) ? Recovery::Restored : Recovery::Failed;
        case kDiscardAnswer:
            doc_->DiscardRecovery(local);
            return Recovery::NotOffered;
        default:
            return Recovery::Cancelled;
    }
}

bool CMainFrame::AskingIsPossible() const {
    return QApplication::activeModalWidget() == nullptr && isVisible() && !isMinimized() &&
           !lock_->Locked();
}

void CMainFrame::OnDiskChange() {
    diskChangePending_ = false;
    if (!doc_->ChangedOnDisk()) {
        return;
    }
    const std::string path = doc_->PathName();
    if (!StampOf(path).present) {
        statusBar()->showMessage(
            tr("%1 was removed or renamed by another program.").arg(DocumentTitle()));
        return;
    }
    // Unsaved edits are not thrown away for it: the next save asks what to do.
    if (doc_->IsModified()) {
        statusBar()->showMessage(
            tr("%1 was changed by another program; saving asks before overwriting it.")
                .arg(DocumentTitle()));
        return;
    }
    if (!AskingIsPossible()) {
        diskChangePending_ = true;
        return;
    }
    if (AskReload(this, DocumentTitle())) {
        OpenDocument(QFile::decodeName(QByteArray::fromStdString(path)));
    }
}

}  // namespace zelvant::ui
