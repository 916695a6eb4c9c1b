// Ways out of the program: a signal keeps unsaved edits in a recovery file that the next open
// offers; edits that cannot be kept are told at the next start; the tray's
// Exit and a message box closed while the window is hidden go through the save question; and a
// start with the single-instance option off still registers.

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/single_instance.h"
#include "settings/settings_store.h"
#include "support/ui_fixtures.h"
#include "ui/file_questions.h"
#include "ui/zelvant_app.h"

using namespace zelvant;
using namespace zelvant::ui;
using namespace zelvant::testing;

namespace {

QAction* TrayExit(CMainFrame& frame) {
    for (QAction* action : frame.Tray()->Menu()->actions()) {
        if (action->text() == QStringLiteral("Exit")) {
            return action;
        }
    }
    return nullptr;
}

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class FrameExitTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir_;
    std::optional<ScriptedDialogs> dialogs_;

    QString CopySample() { return testing::CopySample(dir_->filePath(QStringLiteral("bank.zvd"))); }

  private slots:
    void init() {
        QVERIFY(dir_.emplace().isValid());
        dialogs_.emplace();
    }
    void cleanup() { dialogs_.reset(); }

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
            frame.Terminate();
            QCOMPARE(ended, 1);
            QVERIFY(dialogs_->asked.isEmpty());  // nobody is asked
            QCOMPARE(Bytes(bank), before);
            QVERIFY(QFile::exists(recovery));
            QVERIFY(store.Find(settings::kSettingsSection, "TrayIcon") != nullptr);  // settings
        }
        // Cancel opens nothing and keeps it; Restore brings the edit back, unsaved.
        settings::CMemorySettingsStore next;
        CMainFrame frame(next);
        QVERIFY(!frame.OpenDocument(bank));
        QCOMPARE(dialogs_->asked.size(), 1);
        QVERIFY2(dialogs_->asked.front().contains(QStringLiteral("bank.recovery.zvd")),
                 qPrintable(dialogs_->asked.front()));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - Untitled"));
        dialogs_->question = [](QMessageBox&) { return int(kRestoreAnswer); };
        QVERIFY(frame.OpenDocument(bank));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - bank.zvd"));
        QVERIFY(FolderNames(frame).contains(QStringLiteral("Unsaved")));
        QVERIFY(frame.Document().IsModified());
        QVERIFY(!QFile::exists(recovery));
        QCOMPARE(Bytes(bank), before);
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
        QCOMPARE(dialogs_->told.size(), 1);
        QVERIFY2(dialogs_->told.front().contains(QStringLiteral("bank.zvd had unsaved changes")),
                 qPrintable(dialogs_->told.front()));
        frame.TellOfLostEdits();
        QCOMPARE(dialogs_->told.size(), 1);  // once
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
        dialogs_->question = [](QMessageBox&) { return int(QMessageBox::Discard); };

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
        QCOMPARE(dialogs_->asked, QStringList{"Save changes to Untitled?"});
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
