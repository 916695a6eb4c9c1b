// The main window over a real document: opening, the title, the record list's layout travelling
// with the file, deleting records, and the window's own commands.

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "settings/security_password.h"
#include "settings/settings_store.h"
#include "store/messages.h"
#include "support/ui_fixtures.h"
#include "ui/clipboard.h"
#include "ui/commands.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/options_dlg.h"
#include "ui/password_dlg.h"
#include "ui/password_popup.h"
#include "ui/record_finder.h"
#include "ui/record_props.h"
#include "ui/results_list.h"
#include "ui/zelvant_app.h"

using namespace zelvant;
using namespace zelvant::ui;
using namespace zelvant::testing;

namespace {

constexpr char kSampleLayout[] =
    "(14,14) 175 16 16 100 100 150 100 100 100 100 100 100 100 150 1 2 0 3 4 5 6 7 8 9 10 11 12 13";

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        messages_.clear();
        SetMessageBoxHookForTests(
            [this](const QString& text, QMessageBox::Icon) { messages_ << text; });
        AnswerDialogs(kPassword);
    }

    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
    }

    void startsUntitledWithTheCommandsOfAnEmptyDocument() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - Untitled"));
        QCOMPARE(frame.Tree().RootItem()->text(0), QStringLiteral("Untitled"));
        QVERIFY(!frame.Action(cmd::kSave)->isEnabled());
        QVERIFY(!frame.Action(cmd::kSaveAs)->isEnabled());
        QVERIFY(!frame.Action(cmd::kNewRecord)->isEnabled());
        QVERIFY(frame.Action(cmd::kNewFolder)->isEnabled());
        QVERIFY(!frame.ClockText().isEmpty());
        // Every column shows, in the default order, when nothing is stored.
        QCOMPARE(frame.View().List().Columns().Shown().size(), std::size_t(14));
        QCOMPARE(frame.View().List().Columns().Shown().front(), 1);
    }

    void opensAFileAndShowsItsFoldersAndRecords() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        QVERIFY(frame.OpenDocument(kSample));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - sample-v101.zvd"));
        QCOMPARE(frame.Tree().RootItem()->text(0), QStringLiteral("sample-v101.zvd"));
        QCOMPARE(QString::fromStdString(frame.View().List().GetColumnLayout()),
                 QString::fromLatin1(kSampleLayout));
        QVERIFY(!frame.Action(cmd::kNewRecord)->isEnabled());

        frame.Tree().SelectFolder(1);  // Banking
        QCOMPARE(SiteNames(frame), (QStringList{"Example Bank", "Credit card"}));
        QVERIFY(frame.Action(cmd::kNewRecord)->isEnabled());
        QVERIFY(frame.Action(cmd::kSaveAs)->isEnabled());
        QVERIFY(!frame.Action(cmd::kSave)->isEnabled());

        // A wrong password leaves an empty, untitled document.
        AnswerDialogs(QStringLiteral("wrong"));
        QVERIFY(!frame.OpenDocument(kSample));
        QCOMPARE(messages_.size(), 1);
        QCOMPARE(messages_.front().toStdString(), std::string(msg::kBadFile));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Zelvant - Untitled"));
        QCOMPARE(frame.Folders().Count(), 0);
        QCOMPARE(frame.View().List().GetItemCount(), 0);
    }

    void columnLayoutTravelsWithTheFileAndUntitledOnesWithTheSettings() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bank.zvd"));
        QVERIFY(QFile::copy(kSample, path));
        settings::CMemorySettingsStore store;
        store.WriteString("Settings", "ReportCtrl", "(14,2) 1 2 3 4 5 6 7 8 9 10 11 12 13 14 8 0");
        {
            CMainFrame frame(store);
            QCOMPARE(frame.View().List().Columns().Shown(), (std::vector<int>{8, 0}));
            QVERIFY(frame.OpenDocument(path));
            auto& list = frame.View().List();
            QVERIFY(list.DeactivateColumn(13));
            QVERIFY(list.DeactivateColumn(1));
            frame.Document().SetModifiedFlag(true);
            // The key of the open file is remembered: no password is asked.
            SetDialogHookForTests([](QDialog&) -> int {
                qFatal("no dialog expected");
                return 0;
            });
            QVERIFY(frame.SaveDocument());
            QVERIFY(frame.NewDocument());
            QCOMPARE(frame.View().List().Columns().Shown(), (std::vector<int>{8, 0}));
        }
        AnswerDialogs(kPassword);
        CMainFrame frame(store);
        QVERIFY(frame.OpenDocument(path));
        const auto& shown = frame.View().List().Columns().Shown();
        QCOMPARE(shown.size(), std::size_t(12));
        QVERIFY(std::find(shown.begin(), shown.end(), 13) == shown.end());
    }

    void deletesExactlyTheSelectedRecords() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.Settings().noQueryDelRecord = 1;
        CFolderSequence& folders = frame.Folders();
        CFolder* folder = folders.AppendFolder();
        folder->SetName("Six");
        for (const char* name : {"r0", "r1", "r2", "r3", "r4", "r5"}) {
            folder->AppendRecord()->SetText(RecordField::SiteName, name);
        }
        frame.Tree().Rebuild();
        frame.Tree().SelectFolder(0);
        auto& list = frame.View().List();
        list.SelectItem(2);
        list.SelectItem(5);
        frame.View().DeleteRecords();
        QCOMPARE(SiteNames(frame), (QStringList{"r0", "r1", "r3", "r4"}));
        QCOMPARE(list.SelectedItems(), (std::vector<int>{2}));
        QVERIFY(frame.Document().IsModified());

        // Deleting the last row selects the new last one.
        list.clearSelection();
        list.SelectItem(3);
        frame.View().DeleteRecords();
        QCOMPARE(SiteNames(frame), (QStringList{"r0", "r1", "r3"}));
        QCOMPARE(list.SelectedItems(), (std::vector<int>{2}));

        // Asked, and answered No: nothing goes, but the tick is kept.
        frame.Settings().noQueryDelRecord = 0;
        SetDialogHookForTests([](QDialog& dialog) {
            dialog.findChild<QCheckBox*>()->setChecked(true);
            return int(QDialog::Rejected);
        });
        frame.View().DeleteRecords();
        QCOMPARE(SiteNames(frame).size(), 3);
        QCOMPARE(frame.Settings().noQueryDelRecord, 1);
    }

    void newAndEditedRecordsReachTheListAndThePopup() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        CFolder* folder = frame.Folders().AppendFolder();
        folder->SetName("F");
        for (const char* name : {"r0", "r1", "r2"}) {
            folder->AppendRecord()->SetText(RecordField::SiteName, name);
        }
        frame.Tree().Rebuild();
        frame.Tree().SelectFolder(0);
        frame.View().SelectRecord(1);
        const auto typeSiteName = [](const QString& text) {
            SetDialogHookForTests([text](QDialog& dialog) {
                dialog.findChild<QLineEdit*>(QStringLiteral("siteName"))->setText(text);
                dialog.accept();
                return dialog.result();
            });
        };

        typeSiteName(QStringLiteral("new"));
        frame.NewRecord();
        QCOMPARE(SiteNames(frame), (QStringList{"r0", "r1", "new", "r2"}));
        QCOMPARE(frame.View().CurrentRecord(), 2);
        QVERIFY(frame.Document().IsModified());
        QCOMPARE(frame.Popup().Tree()->findItems(QStringLiteral("new"), Qt::MatchRecursive).size(),
                 1);

        typeSiteName(QStringLiteral("edited"));
        frame.EditRecord(0);
        QCOMPARE(SiteNames(frame).front(), QStringLiteral("edited"));
        QCOMPARE(
            frame.Popup().Tree()->findItems(QStringLiteral("edited"), Qt::MatchRecursive).size(),
            1);
    }

    void escapeMinimisesOnlyWhenAskedAndKeepOnTopFollowsItsSetting() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.show();
        frame.Settings().minimizeEsc = 0;
        frame.Action(cmd::kEscape)->trigger();
        QVERIFY(!frame.isMinimized());
        frame.Settings().minimizeEsc = 1;
        frame.Action(cmd::kEscape)->trigger();
        QVERIFY(frame.isMinimized());

        frame.Action(cmd::kKeepOnTop)->trigger();
        QCOMPARE(frame.Settings().topmost, 1);
        QVERIFY(frame.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        frame.Action(cmd::kKeepOnTop)->trigger();
        QCOMPARE(frame.Settings().topmost, 0);
        QVERIFY(!frame.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    // The list's order and limit are the list's own; the window keeps it across runs and
    // forgets it only when told to.
    void recentFilesAreKeptAcrossRunsAndForgottenWhenAsked() {
        settings::CMemorySettingsStore store;
        {
            CMainFrame frame(store);
            QVERIFY(frame.OpenDocument(kSample));
        }
        CMainFrame frame(store);
        QCOMPARE(frame.RecentFiles(), QStringList{QFileInfo(kSample).absoluteFilePath()});
        frame.Settings().clearMRU = 0;
        frame.ForgetRecentFilesIfAsked();
        QCOMPARE(frame.RecentFiles().size(), 1);
        frame.Settings().clearMRU = 1;
        frame.ForgetRecentFilesIfAsked();
        CMainFrame after(store);
        QVERIFY(after.RecentFiles().isEmpty());
    }

    void closingAModifiedDocumentAsksAndCancelKeepsTheWindow() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.show();
        frame.Document().SetModifiedFlag(true);
        AnswerDialogs({}, QMessageBox::Cancel);
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        AnswerDialogs({}, QMessageBox::Discard);
        QVERIFY(frame.close());
    }

    void optionsOkSavesTheSettingsAndCancelAppliesNothing() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        store.ClearWrites();
        SetDialogHookForTests([](QDialog&) { return int(QDialog::Rejected); });
        frame.OpenOptionsDialog();
        QVERIFY(store.Writes().empty());
        SetDialogHookForTests([](QDialog& dialog) {
            dialog.accept();
            return dialog.result();
        });
        frame.OpenOptionsDialog();
        QVERIFY(store.Find("Settings", "TimedClear") != nullptr);
    }

    void dragFormatNameCarriesTheStartTime() {
        const QDateTime start(QDate(2002, 5, 14), QTime(9, 3, 27, 512), Qt::UTC);
        QCOMPARE(DragFormatName(start), QStringLiteral("ZLVDragDropFormat2002 5 14 9 3 27 512"));
    }

    void idleWindowIsHiddenAndShownAgainOnlyWithTheSecurityPassword() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        FakeIdleSource& idle = Protect(frame);
        frame.show();

        idle.ms = 60001;
        frame.OnTimer();
        QVERIFY(frame.isMinimized() && frame.ContentsHidden());

        // Restored by the window manager: a wrong password sends it back.
        AnswerDialogs(QStringLiteral("secret"));
        frame.showNormal();
        QTRY_VERIFY(frame.isMinimized());
        QCOMPARE(messages_, QStringList{"Invalid Password - cannot display Zelvant"});
        QVERIFY(frame.ContentsHidden());

        AnswerDialogs(QStringLiteral("Secret"));
        idle.ms = 0;
        frame.showNormal();
        QTRY_VERIFY(!frame.ContentsHidden());
        QVERIFY(!frame.isMinimized());
        QVERIFY(!frame.Guard()->Locked());
    }

    // Locked by idle protection with Record Properties open over a question, then Options: every
    // dialog goes as Cancel would, nothing is saved half-way, and the record dialog comes back
    // with its edits once the password is given.
    void lockClosesEveryDialogAndTheRecordDialogComesBack() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        FakeIdleSource& idle = Protect(frame);
        CFolder* folder = frame.Folders().AppendFolder();
        folder->SetName("F");
        folder->AppendRecord()->SetText(RecordField::SiteName, "r0");
        frame.Tree().Rebuild();
        frame.Tree().SelectFolder(0);
        frame.show();
        frame.Popup().show();

        int records = 0;
        bool innerClosed = false;
        QString shownAgain;
        SetDialogHookForTests([&](QDialog& dialog) {
            auto* record = qobject_cast<CRecordProps*>(&dialog);
            if (record == nullptr) {  // the password prompt
                dialog.findChild<QLineEdit*>()->setText(QStringLiteral("Secret"));
                dialog.accept();
                return dialog.result();
            }
            auto* site = dialog.findChild<QLineEdit*>(QStringLiteral("siteName"));
            if (++records == 1) {
                dialog.setModal(true);
                dialog.show();
                site->setText(QStringLiteral("edited"));
                QMessageBox inner(QMessageBox::Question, {}, QStringLiteral("open?"),
                                  QMessageBox::Yes | QMessageBox::No, &dialog);
                inner.setModal(true);
                inner.show();
                idle.ms = 60001;
                frame.OnTimer();
                innerClosed = !inner.isVisible();
                return dialog.result();
            }
            shownAgain = site->text();
            dialog.accept();
            return dialog.result();
        });
        frame.EditRecord(0);
        QVERIFY(innerClosed);
        QCOMPARE(records, 1);
        QVERIFY(frame.isMinimized() && frame.ContentsHidden() && frame.Guard()->Locked());
        QVERIFY(!frame.Popup().isVisible());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(folder->RecordAt(0)->GetText(RecordField::SiteName), "r0");
        QVERIFY(!frame.Document().IsModified());

        idle.ms = 0;
        frame.showNormal();
        QTRY_COMPARE(records, 2);
        QCOMPARE(shownAgain, QStringLiteral("edited"));
        QCOMPARE(folder->RecordAt(0)->GetText(RecordField::SiteName), "edited");
        QVERIFY(frame.Document().IsModified());

        // Options open with a change: closed unapplied, unsaved, not shown again.
        store.ClearWrites();
        const int topmost = frame.Settings().topmost;
        SetDialogHookForTests([&](QDialog& dialog) {
            dialog.setModal(true);
            dialog.show();
            if (auto* options = qobject_cast<COptionsDlg*>(&dialog)) {
                options->ShowPage(kPageGeneral);
                controls::CTreeOptionsCtrl* tree = options->PageTree(kPageGeneral);
                tree->SetCheckBox(tree->FindItem(QStringLiteral("Keep Zelvant topmost")),
                                  topmost == 0);
                frame.Lock();
            }
            return dialog.result();
        });
        frame.OpenOptionsDialog();
        QCOMPARE(frame.Settings().topmost, topmost);
        QVERIFY(store.Writes().empty());
        QVERIFY(frame.isMinimized());
    }

    // A second start brings the window forward as it is: locked, it asks first, exactly as the
    // tray's "Main Window" does.
    void secondStartShowsALockedWindowOnlyWithThePassword() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        Protect(frame);
        frame.show();
        frame.Lock();
        QVERIFY(frame.isMinimized() && frame.ContentsHidden());

        QStringList typed = {QString(), QStringLiteral("secret"), QStringLiteral("Secret")};
        int asked = 0;
        SetDialogHookForTests([&](QDialog& dialog) {
            const QString answer = typed.value(asked++);
            if (answer.isEmpty()) {
                return int(QDialog::Rejected);
            }
            dialog.findChild<QLineEdit*>()->setText(answer);
            dialog.accept();
            return dialog.result();
        });
        frame.BringForward();  // cancelled
        QVERIFY(frame.isMinimized() && frame.ContentsHidden() && messages_.isEmpty());
        frame.BringForward();  // wrong
        QCOMPARE(messages_, QStringList{"Invalid Password - cannot display Zelvant"});
        QVERIFY(frame.isMinimized() && frame.ContentsHidden() && frame.Guard()->Locked());
        frame.BringForward();
        QVERIFY(!frame.isMinimized() && !frame.ContentsHidden() && !frame.Guard()->Locked());
        frame.BringForward();  // not locked: no question
        QCOMPARE(asked, 3);
    }

    // Ctrl+C and Ctrl+B in the record list copy the record's password and user name as secrets,
    // taken off the clipboard ClearSecretsAfter seconds later unless the user copied since;
    // Ctrl+C elsewhere keeps copying the selection.
    void recordListCopiesPasswordAndUserName() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        CFolder* folder = frame.Folders().AppendFolder();
        folder->SetName("F");
        CRecord* record = folder->AppendRecord();
        record->SetText(RecordField::Password, "pw \xc3\xa9");
        record->SetText(RecordField::UserName, "jo");
        frame.Tree().Rebuild();
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.Tree().SelectFolder(0);
        frame.View().SelectRecord(0);
        auto& list = frame.View().List();
        list.setFocus();
        QTRY_VERIFY(list.hasFocus());
        std::int64_t now = 0;
        frame.SecretTimer().SetClock([&now] { return now; });
        QClipboard* clipboard = QGuiApplication::clipboard();

        QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("pw \u00e9"));
        QVERIFY(IsMarkedSecret(*clipboard->mimeData()));
        QVERIFY(frame.statusBar()->currentMessage().contains(QStringLiteral("30 seconds")));
        QTest::keyClick(&list, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("jo"));
        QVERIFY(frame.statusBar()->currentMessage().startsWith(QStringLiteral("User name")));
        now += 29000;
        frame.OnTimer();
        QCOMPARE(clipboard->text(), QStringLiteral("jo"));
        now += 1000;
        frame.OnTimer();
        QVERIFY(clipboard->text().isEmpty());

        QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
        clipboard->setText(QStringLiteral("the user's own"));
        now += 60000;
        frame.OnTimer();
        QCOMPARE(clipboard->text(), QStringLiteral("the user's own"));

        // In search results the keys copy from the result, whichever folder is on show.
        CFolder* other = frame.Folders().AppendFolder();
        other->SetName("G");
        CRecord* found = other->AppendRecord();
        found->SetText(RecordField::SiteName, "Harbour");
        found->SetText(RecordField::Password, "found pw");
        frame.Tree().Rebuild();
        frame.Tree().SelectFolder(0);
        frame.Finder().Find(QStringLiteral("harbour"));
        CResultsList& results = frame.View().Results();
        QVERIFY(results.SelectRef(RecordRef{1, 0}));
        results.setFocus();
        QTRY_VERIFY(results.hasFocus());
        QTest::keyClick(&results, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("found pw"));
        frame.Finder().Leave();

        auto* edit = new QLineEdit(QStringLiteral("selected"), &frame);
        edit->show();
        edit->setFocus();
        edit->selectAll();
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("selected"));

        QStringList records;
        for (QAction* action : frame.menuBar()->actions()) {
            if (action->text() == QStringLiteral("&Records")) {
                for (QAction* item : action->menu()->actions()) {
                    records << item->text();
                }
            }
        }
        QVERIFY(records.contains(QStringLiteral("Copy Pass&word")));
        QVERIFY(records.contains(QStringLiteral("Copy &User Name")));
    }

  private:
    // Idle minimising after a minute and the security password "Secret"; the source drives time.
    static FakeIdleSource& Protect(CMainFrame& frame) {
        frame.Settings().minTime = 1;
        frame.Settings().protMin = 1;
        frame.Settings().securityPasswordHash = settings::HashSecurityPassword("Secret", {1, 8192});
        auto source = std::make_unique<FakeIdleSource>();
        FakeIdleSource& idle = *source;
        frame.StartIdleProtection(std::move(source));
        return idle;
    }

    QStringList messages_;
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
