// What the window shows and does about a file's protection: the bar over a legacy file and its
// "Not now", sealing it from the File menu with its questions and the old backup, the protection
// in the status bar and the password dialogs, the busy note while a key is derived, and the
// option for new files.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "settings/settings_store.h"
#include "support/cheap_sealing.h"
#include "support/ui_fixtures.h"
#include "ui/commands.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/options_dlg.h"
#include "ui/password_dlg.h"
#include "ui/protection_bar.h"

using namespace zelvant;
using namespace zelvant::ui;
using testing::kPassword;
using testing::kSample;

namespace {

bool IsSealedFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(8) == QByteArray("\x89ZVD\r\n\x1a\n", 8);
}

}  // namespace

class ProtectionTest : public QObject {
    Q_OBJECT

    // Password dialogs get `password`; message boxes are answered with `answer` and recorded,
    // with the protection line each password dialog showed.
    void Answer(const QString& password, QMessageBox::StandardButton answer = QMessageBox::Yes) {
        SetDialogHookForTests([this, password, answer](QDialog& dialog) {
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                questions_ << box->text();
                return int(answer);
            }
            if (auto* note = dialog.findChild<QLabel*>(QStringLiteral("protection"))) {
                shownProtection_ << note->text();
            }
            for (auto* edit : dialog.findChildren<QLineEdit*>()) {
                maxLengths_ << edit->maxLength();
                edit->setText(password);
            }
            dialog.show();
            testing::ClickOk(dialog);
            return dialog.result();
        });
    }

  private slots:
    void init() {
        questions_.clear();
        shownProtection_.clear();
        maxLengths_.clear();
        SetMessageBoxHookForTests(
            [this](const QString& text, QMessageBox::Icon) { messages_ << text; });
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("bank.zvd"));
        QFile::remove(dir_.filePath(QStringLiteral("bank.zvb")));
        QVERIFY(!testing::CopySample(path_).isEmpty());
    }

    void cleanup() {
        SetMessageBoxHookForTests({});
        SetDialogHookForTests({});
    }

    void barOffersSealingUntilPutOffForTheFile() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(!frame.ProtectionBar().isVisibleTo(&frame));  // untitled
        QCOMPARE(frame.ProtectionLabel().text(), QStringLiteral("Sealed"));
        QVERIFY(frame.ProtectionLabel().toolTip().startsWith("New file, when saved: Sealed"));

        Answer(kPassword);
        QVERIFY(frame.OpenDocument(path_));
        QVERIFY(frame.ProtectionBar().isVisibleTo(&frame));
        QCOMPARE(frame.ProtectionLabel().text(), QStringLiteral("Legacy (weak)"));
        QVERIFY(frame.Action(cmd::kStrengthen)->isEnabled());
        QCOMPARE(shownProtection_, QStringList{"Legacy file (weak protection)"});
        QCOMPARE(maxLengths_, QList<int>{kPasswordMaxLength});

        frame.ProtectionBar().NotNowButton()->click();
        QVERIFY(!frame.ProtectionBar().isVisibleTo(&frame));
        QVERIFY(frame.OpenDocument(path_));
        QVERIFY(!frame.ProtectionBar().isVisibleTo(&frame));  // put off for this file, this run
        QVERIFY(frame.OpenDocument(testing::CopySample(dir_.filePath("other.zvd"))));
        QVERIFY(frame.ProtectionBar().isVisibleTo(&frame));
        QVERIFY(frame.NewDocument());
        QVERIFY(!frame.ProtectionBar().isVisibleTo(&frame));
        QVERIFY(!frame.Action(cmd::kStrengthen)->isEnabled());
    }

    void strengtheningSealsTheFileAndRemovesTheWeakBackup() {
        const QString backup = dir_.filePath(QStringLiteral("bank.zvb"));
        QVERIFY(QFile::copy(kSample, backup));
        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "AlwaysBackup", 1);
        CMainFrame frame(store);
        testing::CheapSealing cheap;
        std::atomic<bool> offThread = false;
        const std::thread::id gui = std::this_thread::get_id();
        auto services = cheap.Services();
        services.derive = [inner = services.derive, &offThread, gui](auto&&... args) {
            offThread = std::this_thread::get_id() != gui;
            // Long enough for the window's clock to tick over while the key is derived.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            return inner(args...);
        };
        frame.SetSealing(services);
        Answer(kPassword);
        QVERIFY(frame.OpenDocument(path_));

        // Refused at the warning: nothing derived, nothing written.
        Answer(QStringLiteral("a new and much longer password"), QMessageBox::No);
        QVERIFY(!frame.StrengthenProtection());
        QCOMPARE(questions_.size(), 1);
        QVERIFY(questions_[0].startsWith("Older versions of Zelvant cannot open bank.zvd"));
        QCOMPARE(cheap.Count(), 0);
        QVERIFY(!IsSealedFile(path_));

        // Agreed: sealed, no weak backup kept, the old one removed after asking.
        questions_.clear();
        shownProtection_.clear();
        maxLengths_.clear();
        int ticks = 0;
        QString modal;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            ++ticks;
            if (QWidget* w = QApplication::activeModalWidget()) {
                modal = w->objectName();
            }
        });
        watch.start(20);
        Answer(QStringLiteral("a new and much longer password"));
        frame.ProtectionBar().StrengthenButton()->click();
        watch.stop();
        QVERIFY(IsSealedFile(path_));
        QCOMPARE(cheap.Count(), 1);
        QVERIFY2(ticks > 3, "the event loop ran while the key was derived");
        QCOMPARE(modal, QStringLiteral("BusyNote"));
        QCOMPARE(questions_.size(), 2);
        QVERIFY(questions_[1].contains("bank.zvb"));
        QVERIFY(!QFile::exists(backup));
        QCOMPARE(maxLengths_, (QList<int>{kSealedPasswordMaxLength, kSealedPasswordMaxLength}));
        QVERIFY(shownProtection_.front().startsWith("The file will be sealed"));
        QVERIFY(!frame.ProtectionBar().isVisibleTo(&frame));
        QCOMPARE(frame.ProtectionLabel().text(), QStringLiteral("Sealed"));
        QVERIFY(frame.ProtectionLabel().toolTip().contains("Argon2id, 64 MiB, 3 passes"));
        QVERIFY(!frame.Action(cmd::kStrengthen)->isEnabled());
        QVERIFY(messages_.isEmpty());

        // It opens again with the new password only.
        Answer(kPassword);
        QVERIFY(!frame.OpenDocument(path_));
        Answer(QStringLiteral("a new and much longer password"));
        QVERIFY(frame.OpenDocument(path_));
        QCOMPARE(frame.Folders().Count(), 5);
        QCOMPARE(shownProtection_.back(),
                 QStringLiteral("Sealed file (Argon2id, XChaCha20-Poly1305)"));
        QVERIFY(offThread);
    }

    void optionMakesNewFilesLegacy() {
        settings::AppSettings input;
        COptionsDlg dialog(input);
        dialog.ShowPage(kPageSecurity);
        controls::CTreeOptionsCtrl* tree = dialog.PageTree(kPageSecurity);
        QTreeWidgetItem* item = tree->FindItem(
            "Create new data files that older versions can open (weaker protection)");
        QVERIFY(item != nullptr);
        QVERIFY(!tree->GetCheckBox(item));
        tree->SetCheckBox(item, true);
        dialog.OkButton()->click();
        QCOMPARE(dialog.Result().legacyNewFiles, 1);

        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "LegacyNewFiles", 1);
        CMainFrame frame(store);
        QCOMPARE(frame.Document().Form(), FileForm::Legacy);
        QCOMPARE(frame.ProtectionLabel().text(), QStringLiteral("Legacy (weak)"));
    }

  private:
    QTemporaryDir dir_;
    QString path_;
    QStringList questions_;
    QStringList messages_;
    QStringList shownProtection_;
    QList<int> maxLengths_;
};

QTEST_MAIN(ProtectionTest)
#include "protection_test.moc"
