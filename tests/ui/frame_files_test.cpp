// The main window and files from outside: Save As over an existing file, files dropped on the
// window or handed over by a later start, another program changing the open file, and the tray
// tip following the open file.

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "settings/settings_store.h"
#include "store/data_file.h"
#include "ui/file_questions.h"
#include "ui/file_watch.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/zelvant_view.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

const QString kSample = QStringLiteral(ZELVANT_SAMPLES "/sample-v101.zvd");
const QString kPassword = QStringLiteral("correct horse");

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QStringList FolderNames(const QString& path, const QString& password) {
    CFolderSequence folders;
    CMessageLog log;
    if (!LoadDataFile(Local(path), MakeFileKey(password.toStdString()), folders, log).ok) {
        return {QStringLiteral("(unreadable)")};
    }
    QStringList names;
    for (int i = 0; i < folders.Count(); ++i) {
        names << QString::fromStdString(folders.FolderAt(i)->Name());
    }
    return names;
}

QStringList FolderNames(CMainFrame& frame) {
    QStringList names;
    for (int i = 0; i < frame.Folders().Count(); ++i) {
        names << QString::fromStdString(frame.Folders().FolderAt(i)->Name());
    }
    return names;
}

void AddFolder(CMainFrame& frame, const std::string& name) {
    CFolder* folder = frame.Folders().AppendFolder();
    folder->SetName(name);
    folder->SetParent(kTopLevel);
    frame.FoldersChanged();
}

}  // namespace

class FrameFilesTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;
    QStringList asked_;  // the questions' texts, in order
    // How each kind of dialog is answered.
    std::function<int(QMessageBox&)> question_;
    std::function<int(QFileDialog&)> fileDialog_;
    QString password_;

    QString Path(const QString& name) const { return dir_->filePath(name); }

    QString CopySample(const QString& name) {
        const QString path = Path(name);
        QFile::remove(path);
        if (!QFile::copy(kSample, path)) {
            return {};
        }
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // The Save As dialog as the user fills it in: the name typed, then its own Save button.
    static int TypeInSaveDialog(QFileDialog& dialog, const QString& folder, const QString& name) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(folder);
        dialog.show();
        dialog.selectFile(name);  // as typed: the name box, nothing selected in the list
        static_cast<QDialog&>(dialog).accept();  // the dialog's own checks run
        return dialog.result();
    }

    // Answers a box the dialog itself shows, outside ExecDialog.
    void AnswerNextOwnBox(QMessageBox::StandardButton answer) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked_ << box->text();
                box->button(answer)->click();
                poll->deleteLater();
            }
        });
        poll->start(10);
    }

    int RunCli(const QStringList& arguments, const QByteArray& input) {
        QProcess cli;
        cli.start(QStringLiteral(ZELVANT_CLI), arguments);
        cli.write(input);
        cli.closeWriteChannel();
        if (!cli.waitForFinished(20000)) {
            return -1;
        }
        return cli.exitCode();
    }

    // Replaces the file's contents with one folder, as another program.
    bool ImportWithCli(const QString& path, const QString& folder) {
        const QString json = Path(QStringLiteral("import.json"));
        QFile file(json);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        file.write(QStringLiteral("{\"format\": \"zelvant-json\", \"version\": 1, \"folders\": "
                                  "[{\"name\": \"%1\", \"parent\": -1}]}")
                       .arg(folder)
                       .toUtf8());
        file.close();
        return RunCli({QStringLiteral("import"), path, json, QStringLiteral("--password-stdin")},
                      kPassword.toUtf8() + '\n') == 0;
    }

  private slots:
    void init() {
        QVERIFY(dir_.emplace().isValid());
        asked_.clear();
        password_ = kPassword;
        question_ = [](QMessageBox&) { return int(QMessageBox::Cancel); };
        fileDialog_ = [](QFileDialog&) { return int(QDialog::Rejected); };
        SetMessageBoxHookForTests([this](const QString& text, QMessageBox::Icon) {
            asked_ << QStringLiteral("message: ") + text;
        });
        SetDialogHookForTests([this](QDialog& dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                asked_ << box->text();
                return question_(*box);
            }
            if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
                return fileDialog_(*files);
            }
            for (auto* edit : dialog.findChildren<QLineEdit*>()) {
                edit->setText(password_);
            }
            dialog.show();
            dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            return dialog.result();
        });
    }

    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
    }

    // Typing "bank" beside an existing bank.zvd must not replace it unasked.
    void saveAsAsksBeforeReplacingTheRealName() {
        const QString bank = CopySample(QStringLiteral("bank.zvd"));
        const QStringList before = FolderNames(bank, kPassword);
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        AddFolder(frame, "Mine");

        // The dialog adds the extension, so its own question names the file.
        fileDialog_ = [this](QFileDialog& dialog) {
            AnswerNextOwnBox(QMessageBox::No);
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("bank"));
        };
        QVERIFY(!frame.SaveDocumentAs());
        QCOMPARE(asked_.size(), 1);
        QVERIFY2(asked_.front().startsWith(QStringLiteral("bank.zvd already exists")),
                 qPrintable(asked_.front()));

        // A dialog that leaves the extension to us: the question is ours.
        fileDialog_ = [this](QFileDialog& dialog) {
            dialog.setDefaultSuffix({});
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("bank"));
        };
        question_ = [](QMessageBox&) { return int(QMessageBox::No); };
        QVERIFY(!frame.SaveDocumentAs());
        QCOMPARE(asked_.size(), 2);
        QCOMPARE(asked_.back(),
                 QStringLiteral("bank.zvd already exists.\nDo you want to replace it?"));
        QCOMPARE(FolderNames(bank, kPassword), before);

        question_ = [](QMessageBox&) { return int(QMessageBox::Yes); };
        QVERIFY(frame.SaveDocumentAs());
        QCOMPARE(QString::fromStdString(frame.Document().PathName()), bank);
        QCOMPARE(FolderNames(bank, kPassword), QStringList{"Mine"});
    }

    void droppedAndHandedOverFilesOpenAfterTheSaveQuestion() {
        const QString bank = CopySample(QStringLiteral("bank.zvd"));
        QFile notes(Path(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.close();
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.show();
        AddFolder(frame, "Unsaved");

        QMimeData text;
        text.setUrls({QUrl::fromLocalFile(notes.fileName())});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(notes.fileName()), QUrl::fromLocalFile(bank)});
        // Over the record list too: it passes what it does not take to the window.
        QWidget* list = frame.View().List().viewport();
        for (QWidget* target : {static_cast<QWidget*>(&frame), list}) {
            QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, {});
            QApplication::sendEvent(target, &refused);
            QVERIFY(!refused.isAccepted());
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
        }
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&frame, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(asked_.size(), 1);  // once the drop has returned
        QCOMPARE(asked_.front(), QStringLiteral("Save changes to Untitled?"));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - Untitled"));  // cancelled

        // Handed over while a dialog is up: after it, with the question first.
        QDialog busy(&frame);
        busy.setModal(true);
        busy.show();
        question_ = [](QMessageBox&) { return int(QMessageBox::Discard); };
        frame.OpenFromOutside(bank);
        QCOMPARE(asked_.size(), 1);
        busy.close();
        frame.OnTimer();
        QCOMPARE(asked_.size(), 2);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - bank.zvd"));
        QVERIFY(FolderNames(frame).contains(QStringLiteral("Banking")));
    }

    void trayTipFollowsTheOpenFile() {
        const QString bank = CopySample(QStringLiteral("bank.zvd"));
        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "FileToolTip", 1);
        CMainFrame frame(store);
        const auto tip = [&frame] { return frame.Tray()->TrayTip(); };
        const QString base = QStringLiteral("Zelvant - Secure I.D. Protection.\nFilename: ");
        QCOMPARE(tip(), base);
        QVERIFY(frame.OpenDocument(bank));
        QCOMPARE(tip(), base + bank);

        const QString copy = Path(QStringLiteral("copy.zvd"));
        fileDialog_ = [this](QFileDialog& dialog) {
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("copy"));
        };
        QVERIFY(frame.SaveDocumentAs());
        QCOMPARE(tip(), base + copy);

        password_ = QStringLiteral("wrong");
        QVERIFY(!frame.OpenDocument(bank));
        QCOMPARE(tip(), base);
        password_ = kPassword;
        QVERIFY(frame.OpenDocument(bank));
        frame.Document().OnCloseDocument();
        QCOMPARE(tip(), base);
    }

    // zelvant-cli rewrites the open file, as any other program could.
    void anotherProgramsChangesAreNeverOverwrittenUnasked() {
        const QString bank = CopySample(QStringLiteral("bank.zvd"));
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(frame.OpenDocument(bank));

        // Without unsaved edits: offered to reload.
        question_ = [](QMessageBox&) { return int(QMessageBox::Yes); };
        QVERIFY(ImportWithCli(bank, QStringLiteral("From the CLI")));
        QTRY_COMPARE(asked_.size(), 1);
        QVERIFY2(asked_.front().contains(QStringLiteral("changed by another program")),
                 qPrintable(asked_.front()));
        QTRY_COMPARE(FolderNames(frame), QStringList{"From the CLI"});
        QVERIFY(!frame.Document().IsModified());

        // With unsaved edits: nothing is asked until the save, which asks first.
        AddFolder(frame, "Mine");
        QVERIFY(ImportWithCli(bank, QStringLiteral("Second run")));
        QTRY_VERIFY(
            frame.statusBar()->currentMessage().contains(QStringLiteral("another program")));
        QCOMPARE(asked_.size(), 1);
        question_ = [](QMessageBox& box) {
            return box.button(kCancelSaveAnswer)->text() == QStringLiteral("Cancel") &&
                           box.button(kOverwriteAnswer)->text() == QStringLiteral("Overwrite") &&
                           box.button(kSaveElsewhereAnswer)->text() ==
                               QStringLiteral("Save under another name")
                       ? int(kCancelSaveAnswer)
                       : int(kOverwriteAnswer);
        };
        QVERIFY(!frame.SaveDocument());
        QCOMPARE(asked_.size(), 2);
        QCOMPARE(FolderNames(bank, kPassword), QStringList{"Second run"});
        QVERIFY(frame.Document().IsModified());

        // "Save under another name" keeps both versions.
        question_ = [](QMessageBox&) { return int(kSaveElsewhereAnswer); };
        fileDialog_ = [this](QFileDialog& dialog) {
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("mine"));
        };
        QVERIFY(frame.SaveDocument());
        QCOMPARE(FolderNames(bank, kPassword), QStringList{"Second run"});
        QCOMPARE(FolderNames(Path(QStringLiteral("mine.zvd")), kPassword),
                 (QStringList{"From the CLI", "Mine"}));

        // "Overwrite" replaces theirs with ours, when asked for.
        QVERIFY(frame.OpenDocument(bank));
        AddFolder(frame, "Ours");
        QVERIFY(ImportWithCli(bank, QStringLiteral("Theirs")));
        question_ = [](QMessageBox&) { return int(kOverwriteAnswer); };
        const int before = int(asked_.size());
        QVERIFY(frame.SaveDocument());
        QCOMPARE(asked_.size(), before + 1);
        QCOMPARE(FolderNames(bank, kPassword), (QStringList{"Second run", "Ours"}));
        // Our own save is no change by another program.
        QTest::qWait(CDataFileWatch::kSettleMs * 2);
        QCOMPARE(asked_.size(), before + 1);
    }
};

QTEST_MAIN(FrameFilesTest)
#include "frame_files_test.moc"
