#pragma once
// For the main-window tests: the sample file and its password, edits, an idle source the test
// drives, and scripted answers to every dialog.

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <functional>

#include "desktop/idle_guard.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"

namespace zelvant::testing {

inline const QString kSample = QStringLiteral(ZELVANT_SAMPLES "/sample-v101.zvd");
inline const QString kPassword = QStringLiteral("correct horse");

inline QString CopySample(const QString& path) {
    QFile::remove(path);
    if (!QFile::copy(kSample, path)) {
        return {};
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

inline void ClickOk(QDialog& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

// Every password dialog gets `password`, every question `answer`.
inline void AnswerDialogs(const QString& password,
                          QMessageBox::StandardButton answer = QMessageBox::No) {
    ui::SetDialogHookForTests([password, answer](QDialog& dialog) {
        if (qobject_cast<QMessageBox*>(&dialog) != nullptr) {
            return int(answer);
        }
        for (auto* edit : dialog.findChildren<QLineEdit*>()) {
            edit->setText(password);
        }
        dialog.show();
        ClickOk(dialog);
        return dialog.result();
    });
}

// The site names on show in the record list, in row order.
inline QStringList SiteNames(ui::CMainFrame& frame) {
    QStringList names;
    auto& list = frame.View().List();
    for (int row = 0; row < list.GetItemCount(); ++row) {
        names << frame.View().Source().CellText(list.ItemAt(row), 0);
    }
    return names;
}

// Idle time as the test sets it.
struct FakeIdleSource final : desktop::IIdleSource {
    std::optional<std::uint32_t> IdleMilliseconds() override { return ms; }
    QString Name() const override { return QStringLiteral("fake"); }
    std::uint32_t ms = 0;
};

inline QStringList FolderNames(ui::CMainFrame& frame) {
    QStringList names;
    for (int i = 0; i < frame.Folders().Count(); ++i) {
        names << QString::fromStdString(frame.Folders().FolderAt(i)->Name());
    }
    return names;
}

inline void AddFolder(ui::CMainFrame& frame, const std::string& name) {
    CFolder* folder = frame.Folders().AppendFolder();
    folder->SetName(name);
    folder->SetParent(kTopLevel);
    frame.FoldersChanged();
}

// Records every question and message; password dialogs get `password`, the rest what is set.
struct ScriptedDialogs {
    ScriptedDialogs() {
        ui::SetMessageBoxHookForTests(
            [this](const QString& text, QMessageBox::Icon) { told << text; });
        ui::SetDialogHookForTests([this](QDialog& dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                // The sample's password is a weak one, and is meant to be.
                if (box->objectName() == QStringLiteral("weakPasswordQuestion")) {
                    return int(QMessageBox::Yes);
                }
                asked << box->text();
                return question(*box);
            }
            if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
                return fileDialog(*files);
            }
            for (auto* edit : dialog.findChildren<QLineEdit*>()) {
                edit->setText(password);
            }
            dialog.show();
            ClickOk(dialog);
            return dialog.result();
        });
    }
    ~ScriptedDialogs() {
        ui::SetMessageBoxHookForTests({});
        ui::SetDialogHookForTests({});
    }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    QStringList asked;  // the questions' texts, in order
    QStringList told;   // messages
    QString password = kPassword;
    std::function<int(QMessageBox&)> question = [](QMessageBox&) {
        return int(QMessageBox::Cancel);
    };
    std::function<int(QFileDialog&)> fileDialog = [](QFileDialog&) {
        return int(QDialog::Rejected);
    };
};

}  // namespace zelvant::testing
