// Ways out of the program: a signal or an unattended session end keeps unsaved edits in a recovery
// file that the next open offers; edits that cannot be kept are told at the next start; the tray's
// Exit and a message box closed while the window is hidden go through the save question; and a
// start with the single-instance option off still registers.

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "settings/desktop/single_instance.h"
#include "settings/settings_store.h"
#include "store/data_file.h"
#include "ui/file_questions.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/zelvant_app.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

const QString kSample = QStringLiteral(ZELVANT_SAMPLES "/sample-v101.zvd");
const QString kPassword = QStringLiteral("correct horse");

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

QAction* TrayExit(CMainFrame& frame) {
    for (QAction* action : frame.Tray()->Menu()->actions()) {
        if (action->text() == QStringLiteral("Exit")) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

class FrameExitTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;
    QStringList asked_;
    QStringList told_;
    std::function<int(QMessageBox&)> question_;

    QString CopySample() {
        const QString path = dir_->filePath(QStringLiteral("bank.zvd"));
        QFile::remove(path);
        if (!QFile::copy(kSample, path)) {
            return {};
        }
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

  private slots:
    void init() {
        QVERIFY(dir_.emplace().isValid());
        asked_.clear();
        told_.clear();
        question_ = [](QMessageBox&) { return int(QMessageBox::Cancel); };
        SetMessageBoxHookForTests(
            [this](const QString& text, QMessageBox::Icon) { told_ << text; });
        SetDialogHookForTests([this](QDialog& dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                asked_ << box->text();
                return question_(*box);
            }
            for (auto* edit : dialog.findChildren<QLineEdit*>()) {
                edit->setText(kPassword);
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

    void aSignalKeepsEditsInARecoveryFileThatTheNextOpenOffers() {
        const QString bank = CopySample();
        const QByteArray before = Bytes(bank);
        const QString recovery = dir_->filePath(QStringLiteral("bank.recovery.zvd"));
        settings::CMemorySettingsStore store;
        {
            CMainFrame frame(store);
            int ended = 0;
            frame.SetEndProgram([&ended] { ++ended; });
            QVERIFY(frame.OpenDocument(bank));
            AddFolder(frame, "Unsaved");
            store.ClearWrites();
            frame.Terminate();
            QCOMPARE(ended, 1);
            QVERIFY(asked_.isEmpty());  // nobody is asked
            QCOMPARE(Bytes(bank), before);
            QVERIFY(QFile::exists(recovery));
            QVERIFY(store.Find(settings::kSettingsSection, "TrayIcon") != nullptr);  // settings
        }
        // Cancel opens nothing and keeps it; Restore brings the edit back, unsaved.
        settings::CMemorySettingsStore next;
        CMainFrame frame(next);
        QVERIFY(!frame.OpenDocument(bank));
        QCOMPARE(asked_.size(), 1);
        QVERIFY2(asked_.front().contains(QStringLiteral("bank.recovery.zvd")),
                 qPrintable(asked_.front()));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - Untitled"));
        question_ = [](QMessageBox&) { return int(kRestoreAnswer); };
        QVERIFY(frame.OpenDocument(bank));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - bank.zvd"));
        QVERIFY(FolderNames(frame).contains(QStringLiteral("Unsaved")));
        QVERIFY(frame.Document().IsModified());
        QVERIFY(!QFile::exists(recovery));
        QCOMPARE(Bytes(bank), before);
    }

    // An unattended session end writes the recovery file; one that lets us ask, asks.
    void theSessionEndAsksWhenItMay() {
        const QString bank = CopySample();
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        QVERIFY(frame.OpenDocument(bank));
        AddFolder(frame, "Unsaved");
        QVERIFY(!frame.SessionEnding(true));  // Cancel: the session is asked to stay
        QCOMPARE(asked_, QStringList{"Save changes to bank.zvd?"});
        QVERIFY(frame.SessionEnding(false));
        QCOMPARE(asked_.size(), 1);
        QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("bank.recovery.zvd"))));
        // The close the session ends with asks nothing more.
        QVERIFY(frame.close());
        QCOMPARE(asked_.size(), 1);
    }

    // Without a remembered password nothing is written; the next start says what was lost.
    void editsThatCannotBeKeptAreToldAtTheNextStart() {
        const QString bank = CopySample();
        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "RememberPass", 0);
        {
            CMainFrame frame(store);
            QVERIFY(frame.OpenDocument(bank));
            AddFolder(frame, "Unsaved");
            frame.Terminate();
        }
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"bank.zvd"});
        CMainFrame frame(store);
        frame.TellOfLostEdits();
        QCOMPARE(told_.size(), 1);
        QVERIFY2(told_.front().contains(QStringLiteral("bank.zvd had unsaved changes")),
                 qPrintable(told_.front()));
        frame.TellOfLostEdits();
        QCOMPARE(told_.size(), 1);  // once
    }

    // With the window in the tray, closing a message box must not end the program behind the
    // save question's back, and the tray's Exit must ask it.
    void aHiddenWindowEndsOnlyThroughTheSaveQuestion() {
        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "Splash", 0);
        CZelvantApp app(store);
        QVERIFY(app.InitInstance({}));
        CMainFrame& frame = *app.MainFrame();
        AddFolder(frame, "Unsaved");
        question_ = [](QMessageBox&) { return int(QMessageBox::Discard); };

        QStringList steps;
        QTimer::singleShot(0, &frame, [&] {
            frame.hide();
            auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Zelvant"),
                                        QStringLiteral("Something to say"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->show();
            QTimer::singleShot(50, box, &QWidget::close);
            QTimer::singleShot(300, &frame, [&] {
                steps << QStringLiteral("still running");
                QVERIFY(TrayExit(frame) != nullptr);
                TrayExit(frame)->trigger();
            });
        });
        QTimer::singleShot(5000, &frame, [&] {
            steps << QStringLiteral("timed out");
            QCoreApplication::exit(1);
        });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(steps, QStringList{"still running"});
        QCOMPARE(asked_, QStringList{"Save changes to Untitled?"});
        app.ExitInstance();
    }

    void aStartWithTheOptionOffStillRegisters() {
        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "SingleInstance", 0);
        store.WriteInt(settings::kSettingsSection, "Splash", 0);
        desktop::CSingleInstance instance(QStringLiteral("zelvant-test"), dir_->path());
        QList<bool> handOvers;
        StartupHooks hooks;
        hooks.checkSingleInstance = [&](bool handOver, const QString& file) {
            handOvers << handOver;
            return instance.TryBecomeFirst(handOver, file) || !handOver;
        };
        CZelvantApp app(store);
        QVERIFY(app.InitInstance({}, hooks));
        QCOMPARE(handOvers, QList<bool>{false});
        QVERIFY(instance.IsFirst());
        // A later start with the option on finds it instead of running beside it.
        desktop::CSingleInstance later(QStringLiteral("zelvant-test"), dir_->path());
        QVERIFY(!later.TryBecomeFirst(true));
        app.ExitInstance();
    }
};

QTEST_MAIN(FrameExitTest)
#include "frame_exit_test.moc"
