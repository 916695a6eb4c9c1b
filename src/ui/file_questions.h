#pragma once
// The questions asked before a file is replaced or unsaved edits are given up. Each is a message
// box run through ExecDialog, whose answers are the standard buttons named here, relabelled.

#include <QMessageBox>
#include <QString>

#include "store/zelvant_doc.h"

class QWidget;

namespace zelvant::ui {

// Save As: a file of the name the dialog returned exists and the dialog did not ask about it.
bool AskReplaceFile(QWidget* parent, const QString& path);

// The data file on disk is no longer the one opened or last saved.
inline constexpr auto kOverwriteAnswer = QMessageBox::Yes;       // "Overwrite"
inline constexpr auto kSaveElsewhereAnswer = QMessageBox::Save;  // "Save under another name"
inline constexpr auto kCancelSaveAnswer = QMessageBox::Cancel;   // "Cancel"
// Before a save over it, while the document has unsaved edits.
QMessageBox::StandardButton AskSaveOverChange(QWidget* parent, const QString& name, bool removed);
// With no unsaved edits: whether to read it again.
bool AskReload(QWidget* parent, const QString& name);

// A recovery file was found beside the file being opened.
inline constexpr auto kRestoreAnswer = QMessageBox::Yes;      // "Restore"
inline constexpr auto kDiscardAnswer = QMessageBox::Discard;  // "Discard"
// Cancel opens nothing and keeps the recovery file.
QMessageBox::StandardButton AskRestoreRecovery(QWidget* parent, const QString& path,
                                               const RecoveryFile& recovery);

// What the next start tells when the program had to end with edits it could not keep.
QString LostEditsText(const QString& name, bool hasFile, RecoveryResult why);

}  // namespace zelvant::ui
