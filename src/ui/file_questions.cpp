#include "ui/file_questions.h"
#include "ui/local_path.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QPushButton>

#include "ui/message_box.h"

namespace zelvant::ui {
namespace {

QMessageBox::StandardButton Ask(QMessageBox& box, QMessageBox::StandardButton fallback) {
    // Names and paths are never markup.
    box.setTextFormat(Qt::PlainText);
    const int answer = ExecDialog(box);
    return answer == 0 ? fallback : QMessageBox::StandardButton(answer);
}

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

bool AskReplaceFile(QWidget* parent, const QString& path) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Save As..."),
                    QStringLiteral("%1 already exists.\nDo you want to replace it?")
                        .arg(QFileInfo(path).fileName()),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return Ask(box, QMessageBox::No) == QMessageBox::Yes;
}

QMessageBox::StandardButton AskSaveOverChange(QWidget* parent, const QString& name, bool removed) {
    const QString what = removed
                             ? QStringLiteral(
                                   "%1 has been removed or renamed by another program since it "
                                   "was opened or last saved.")
                             : QStringLiteral(
                                   "%1 has been changed by another program since it was opened or "
                                   "last saved: saving now would overwrite those changes.");
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kProgramCaption),
                    what.arg(name) + QStringLiteral("\n\nOverwrite it with your version, save "
                                                    "yours under another name, or cancel?"),
                    kOverwriteAnswer | kSaveElsewhereAnswer | kCancelSaveAnswer, parent);
    box.button(kOverwriteAnswer)->setText(QStringLiteral("Overwrite"));
    box.button(kSaveElsewhereAnswer)->setText(QStringLiteral("Save under another name"));
    box.button(kCancelSaveAnswer)->setText(QStringLiteral("Cancel"));
    box.setDefaultButton(kCancelSaveAnswer);
    box.setEscapeButton(kCancelSaveAnswer);
    return Ask(box, kCancelSaveAnswer);
}

bool AskReload(QWidget* parent, const QString& name) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramCaption),
                    QStringLiteral("%1 has been changed by another program.\n\nReload it? You have "
                                   "no unsaved changes.")
                        .arg(name),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Reload"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Keep What Is Shown"));
    box.setDefaultButton(QMessageBox::Yes);
    return Ask(box, QMessageBox::No) == QMessageBox::Yes;
}

QMessageBox::StandardButton AskRestoreRecovery(QWidget* parent, const QString& path,
                                               const RecoveryFile& recovery) {
    const QString kept = FromLocalPath(recovery.path);
    const QString when = QLocale().toString(QFileInfo(kept).lastModified(), QLocale::ShortFormat);
    QString text = QStringLiteral(
                       "Zelvant ended on %1 without being able to ask you about unsaved changes "
                       "to %2. They were kept in %3.\n\nRestore them? They then show as unsaved "
                       "changes to %2. Discard deletes %3.")
                       .arg(when, FileName(path), FileName(kept));
    if (!recovery.newerThanFile) {
        text += QStringLiteral(
                    "\n\n%1 has been saved since then: the restored version replaces "
                    "it when you save.")
                    .arg(FileName(path));
    }
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramCaption), text,
                    kRestoreAnswer | kDiscardAnswer | QMessageBox::Cancel, parent);
    box.button(kRestoreAnswer)->setText(QStringLiteral("Restore"));
    box.button(kDiscardAnswer)->setText(QStringLiteral("Discard"));
    box.setDefaultButton(kRestoreAnswer);
    box.setEscapeButton(QMessageBox::Cancel);
    return Ask(box, QMessageBox::Cancel);
}

QString LostEditsText(const QString& name, bool hasFile, RecoveryResult why) {
    if (!hasFile) {
        return QStringLiteral(
            "Zelvant was ended without being able to ask you while a new document, never saved, "
            "had changes. They could not be kept: nothing is written before a document has a "
            "file and a password.");
    }
    if (why == RecoveryResult::NoKey) {
        return QStringLiteral(
                   "Zelvant was ended without being able to ask you while %1 had unsaved "
                   "changes. They could not be kept, because no file password was at hand to "
                   "encrypt them with. To have such changes kept in a recovery file, turn on "
                   "\"Remember file password for use in Save File\" (Options, Security).")
            .arg(name);
    }
    return QStringLiteral(
               "Zelvant was ended without being able to ask you while %1 had unsaved changes, "
               "and the recovery file beside it could not be written: the changes are lost.")
        .arg(name);
}

}  // namespace zelvant::ui
