#include "ui/message_box.h"

#include <QDialog>
#include <QWidget>
#include <utility>

namespace zelvant::ui {
namespace {

// Only the GUI thread shows boxes, so plain globals will do.
MessageBoxHook& MessageHook() {
    static MessageBoxHook hook;
    return hook;
}

DialogHook& ModalHook() {
    static DialogHook hook;
    return hook;
}

}  // namespace

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString MessageCaption(const QString& caption) {
    return caption.isEmpty() ? QString::fromLatin1(kProgramCaption) : caption;
}

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                    const QString& caption) {
    // A copy, so that a hook may replace itself while it runs.
    if (const MessageBoxHook hook = MessageHook()) {
        hook(text, icon);
        return;
    }
    QMessageBox box(icon, MessageCaption(caption), text, QMessageBox::Ok, parent);
    // Paths and file names may hold '<' or '&'; they are never markup.
    box.setTextFormat(Qt::PlainText);
    ExecDialog(box);
}

void SetMessageBoxHookForTests(MessageBoxHook hook) {
    MessageHook() = std::move(hook);
}

int ExecDialog(QDialog& dialog) {
    if (const DialogHook hook = ModalHook()) {
        return hook(dialog);
    }
    return dialog.exec();
}

void SetDialogHookForTests(DialogHook hook) {
    ModalHook() = std::move(hook);
}

CQtMessageSink::CQtMessageSink(QWidget* parent) : parent_(parent) {}

void CQtMessageSink::ShowMessage(const Message& message) {
    if (unattended_) {
        qWarning("Zelvant: %s", message.text.c_str());
        return;
    }
    ShowMessageBox(parent_.data(), QString::fromStdString(message.text), ToQtIcon(message.icon),
                   QString::fromStdString(message.caption));
}

}  // namespace zelvant::ui
