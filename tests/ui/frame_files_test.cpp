// The main window and files from outside: Save As over an existing file, files dropped on the
// window or handed over by a later start, another program changing the open file, and the tray
// tip following the open file.

#include <QMimeData>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "settings/settings_store.h"
#include "store/data_file.h"
#include "support/ui_fixtures.h"
#include "ui/file_questions.h"
#include "ui/file_watch.h"
#include "ui/zelvant_view.h"

using namespace zelvant;
using namespace zelvant::ui;
using namespace zelvant::testing;

namespace {

QStringList FolderNames(const QString& path) {
    CFolderSequence folders;
    CMessageLog log;
    const FileKey key = MakeFileKey(kPassword.toStdString());
    if (!LoadDataFile(QFile::encodeName(path).toStdString(), key, folders, log).ok) {
        return {QStringLiteral("(unreadable)")};
    }
    QStringList names;
    for (int i = 0; i < folders.Count(); ++i) {
        names << QString::fromStdString(folders.FolderAt(i)->Name());
    }
    return names;
}

// These tests are about questions and disk changes; the legacy form needs no key derivation.
void KeepNewFilesLegacy(settings::ISettingsStore& store) {
    store.WriteInt(settings::kSettingsSection, "LegacyNewFiles", 1);
}

}  // namespace

class FrameFilesTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;
    std::optional<ScriptedDialogs> dialogs_;

    QString Path(const QString& name) const { return dir_->filePath(name); }

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
                dialogs_->asked << box->text();
                box->button(answer)->click();
                poll->deleteLater();
            }
        });
        poll->start(10);
    }

    // Replaces the file's contents with one folder, as another program.
    bool ImportWithCli(const QString& path, const QString& folder) {
        QFile json(Path(QStringLiteral("import.json")));
        if (!json.open(QIODevice::WriteOnly)) {
            return false;
        }
        json.write(QStringLiteral("{\"format\": \"zelvant-json\", \"version\": 1, \"folders\": "
                                  "[{\"name\": \"%1\", \"parent\": -1}]}")
                       .arg(folder)
                       .toUtf8());
        json.close();
        QProcess cli;
        cli.start(QStringLiteral(ZELVANT_CLI), {QStringLiteral("import"), path, json.fileName(),
                                                QStringLiteral("--password-stdin")});
        cli.write(kPassword.toUtf8() + '\n');
        cli.closeWriteChannel();
        return cli.waitForFinished(20000) && cli.exitCode() == 0;
    }

  private slots:
    void init() {
        QVERIFY(dir_.emplace().isValid());
        dialogs_.emplace();
    }
    void cleanup() { dialogs_.reset(); }

    // Typing "bank" beside an existing bank.zvd must not replace it unasked.
    void saveAsAsksBeforeReplacingTheRealName() {
        const QString bank = CopySample(Path(QStringLiteral("bank.zvd")));
        const QStringList before = FolderNames(bank);
        settings::CMemorySettingsStore store;
        KeepNewFilesLegacy(store);
        CMainFrame frame(store);
        AddFolder(frame, "Mine");

        // The dialog adds the extension, so its own question names the file.
        dialogs_->fileDialog = [this](QFileDialog& dialog) {
            AnswerNextOwnBox(QMessageBox::No);
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("bank"));
        };
        QVERIFY(!frame.SaveDocumentAs());
        QCOMPARE(dialogs_->asked.size(), 1);
        QVERIFY2(dialogs_->asked.front().startsWith(QStringLiteral("bank.zvd already exists")),
                 qPrintable(dialogs_->asked.front()));

        // A dialog that leaves the extension to us: the question is ours.
        dialogs_->fileDialog = [this](QFileDialog& dialog) {
            dialog.setDefaultSuffix({});
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("bank"));
        };
        dialogs_->question = [](QMessageBox&) { return int(QMessageBox::No); };
        QVERIFY(!frame.SaveDocumentAs());
        QCOMPARE(dialogs_->asked.size(), 2);
        QCOMPARE(dialogs_->asked.back(),
                 QStringLiteral("bank.zvd already exists.\nDo you want to replace it?"));
        QCOMPARE(FolderNames(bank), before);

        dialogs_->question = [](QMessageBox&) { return int(QMessageBox::Yes); };
        QVERIFY(frame.SaveDocumentAs());
        QCOMPARE(QString::fromStdString(frame.Document().PathName()), bank);
        QCOMPARE(FolderNames(bank), QStringList{"Mine"});
    }

    void droppedAndHandedOverFilesOpenAfterTheSaveQuestion() {
        const QString bank = CopySample(Path(QStringLiteral("bank.zvd")));
        QFile notes(Path(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.close();
        settings::CMemorySettingsStore store;
        KeepNewFilesLegacy(store);
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
        QTRY_COMPARE(dialogs_->asked.size(), 1);  // once the drop has returned
        QCOMPARE(dialogs_->asked.front(), QStringLiteral("Save changes to Untitled?"));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - Untitled"));  // cancelled

        // Handed over while a dialog is up: after it, with the question first.
        QDialog busy(&frame);
        busy.setModal(true);
        busy.show();
        dialogs_->question = [](QMessageBox&) { return int(QMessageBox::Discard); };
        frame.OpenFromOutside(bank);
        QCOMPARE(dialogs_->asked.size(), 1);
        busy.close();
        frame.OnTimer();
        QCOMPARE(dialogs_->asked.size(), 2);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - bank.zvd"));
        QVERIFY(FolderNames(frame).contains(QStringLiteral("Banking")));

        // The file already open, by another spelling of its path: left as it is, edits and all.
        AddFolder(frame, "Edited");
        frame.OpenFromOutside(dir_->path() + QStringLiteral("/./bank.zvd"));
        QCOMPARE(dialogs_->asked.size(), 2);
        QVERIFY(FolderNames(frame).contains(QStringLiteral("Edited")));
        QVERIFY(frame.Document().IsModified());
    }

    void trayTipFollowsTheOpenFile() {
        const QString bank = CopySample(Path(QStringLiteral("bank.zvd")));
        settings::CMemorySettingsStore store;
        KeepNewFilesLegacy(store);
        store.WriteInt(settings::kSettingsSection, "FileToolTip", 1);
        CMainFrame frame(store);
        const auto tip = [&frame] { return frame.Tray()->TrayTip(); };
        const QString base = QStringLiteral("Zelvant - Secure I.D. Protection.\nFilename: ");
        QCOMPARE(tip(), base);
        QVERIFY(frame.OpenDocument(bank));
        QCOMPARE(tip(), base + bank);

        const QString copy = Path(QStringLiteral("copy.zvd"));
        dialogs_->fileDialog = [this](QFileDialog& dialog) {
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("copy"));
        };
        QVERIFY(frame.SaveDocumentAs());
        QCOMPARE(tip(), base + copy);

        frame.Document().OnCloseDocument();
        QCOMPARE(tip(), base);
    }

    // zelvant-cli rewrites the open file, as any other program could.
    void anotherProgramsChangesAreNeverOverwrittenUnasked() {
        const QString bank = CopySample(Path(QStringLiteral("bank.zvd")));
        settings::CMemorySettingsStore store;
        KeepNewFilesLegacy(store);
        CMainFrame frame(store);
        frame.show();
        QVERIFY(frame.OpenDocument(bank));

        // Without unsaved edits: offered to reload.
        dialogs_->question = [](QMessageBox&) { return int(QMessageBox::Yes); };
        QVERIFY(ImportWithCli(bank, QStringLiteral("From the CLI")));
        QTRY_COMPARE(dialogs_->asked.size(), 1);
        QVERIFY2(dialogs_->asked.front().contains(QStringLiteral("changed by another program")),
                 qPrintable(dialogs_->asked.front()));
        QTRY_COMPARE(FolderNames(frame), QStringList{"From the CLI"});
        QVERIFY(!frame.Document().IsModified());

        // With unsaved edits: nothing is asked until the save, which asks first.
        AddFolder(frame, "Mine");
        QVERIFY(ImportWithCli(bank, QStringLiteral("Second run")));
        QTRY_VERIFY(
            frame.statusBar()->currentMessage().contains(QStringLiteral("another program")));
        QCOMPARE(dialogs_->asked.size(), 1);
        QStringList answers;
        dialogs_->question = [&answers](QMessageBox& box) {
            for (const QAbstractButton* button : box.buttons()) {
                answers << button->text();
            }
            return int(kCancelSaveAnswer);
        };
        QVERIFY(!frame.SaveDocument());
        QCOMPARE(dialogs_->asked.size(), 2);
        answers.sort();
        QCOMPARE(answers, (QStringList{"Cancel", "Overwrite", "Save under another name"}));
        QCOMPARE(FolderNames(bank), QStringList{"Second run"});
        QVERIFY(frame.Document().IsModified());

        // "Save under another name" keeps both versions.
        dialogs_->question = [](QMessageBox&) { return int(kSaveElsewhereAnswer); };
        dialogs_->fileDialog = [this](QFileDialog& dialog) {
            return TypeInSaveDialog(dialog, dir_->path(), QStringLiteral("mine"));
        };
        QVERIFY(frame.SaveDocument());
        QCOMPARE(FolderNames(bank), QStringList{"Second run"});
        QCOMPARE(FolderNames(Path(QStringLiteral("mine.zvd"))),
                 (QStringList{"From the CLI", "Mine"}));

        // "Overwrite" replaces theirs with ours, when asked for.
        QVERIFY(frame.OpenDocument(bank));
        AddFolder(frame, "Ours");
        QVERIFY(ImportWithCli(bank, QStringLiteral("Theirs")));
        dialogs_->question = [](QMessageBox&) { return int(kOverwriteAnswer); };
        const int before = int(dialogs_->asked.size());
        QVERIFY(frame.SaveDocument());
        QCOMPARE(dialogs_->asked.size(), before + 1);
        QCOMPARE(FolderNames(bank), (QStringList{"Second run", "Ours"}));
        // Our own save is no change by another program.
        QTest::qWait(CDataFileWatch::kSettleMs * 2);
        QCOMPARE(dialogs_->asked.size(), before + 1);
    }
};

QTEST_MAIN(FrameFilesTest)
#include "frame_files_test.moc"
