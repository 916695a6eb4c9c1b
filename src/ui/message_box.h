#pragma once
// Message boxes and modal dialogs of the desktop program. Both go through one place each, so that
// tests can record messages and drive dialogs without a modal event loop.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <functional>

#include "store/messages.h"

class QDialog;
class QWidget;

namespace zelvant::ui {

// The caption of a box whose caller gave none.
inline constexpr char kProgramCaption[] = "Zelvant";

QMessageBox::Icon ToQtIcon(MessageIcon icon);

// An empty caption becomes the program's name.
QString MessageCaption(const QString& caption);

// A modal box with one OK button; the text is shown as plain text, line breaks kept.
void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                    const QString& caption = {});

// While set, ShowMessageBox calls this instead of showing anything. An empty function restores
// the real boxes.
using MessageBoxHook = std::function<void(const QString& text, QMessageBox::Icon icon)>;
void SetMessageBoxHookForTests(MessageBoxHook hook);

// Runs a dialog modally and returns its result (QDialog::Accepted or Rejected). Every modal dialog
// of the program is run through here.
int ExecDialog(QDialog& dialog);

// While set, ExecDialog hands the dialog to this function instead of calling exec(); it returns
// the result the dialog ended with. The hook may show the dialog, fill it and press its buttons.
using DialogHook = std::function<int(QDialog& dialog)>;
void SetDialogHookForTests(DialogHook hook);

// Shows the store's messages as message boxes over the given window.
class CQtMessageSink final : public IMessageSink {
  public:
    explicit CQtMessageSink(QWidget* parent = nullptr);
    void ShowMessage(const Message& message) override;
    // While nobody is there to answer a box (the program is being ended), messages go to the
    // log instead.
    void SetUnattended(bool unattended) { unattended_ = unattended; }

  private:
    QPointer<QWidget> parent_;
    bool unattended_ = false;
};

}  // namespace zelvant::ui
