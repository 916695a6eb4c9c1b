// The options dialog: pages, conversions of what is typed, Cancel and Esc, and the order in
// which the main frame applies the result.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "settings/security_password.h"
#include "ui/options_dlg.h"

using namespace zelvant;
using namespace zelvant::ui;
using controls::CTreeOptionsCtrl;

namespace {

settings::AppSettings Sample() {
    settings::AppSettings s;
    s.loadOnStartup = 1;
    s.trayIcon = 1;
    s.trayAction = 1;
    s.splash = 1;
    s.gridVert = 1;
    s.boldText = 1;
    s.noQueryDelFolder = 1;
    s.alwaysBackup = 1;
    s.timedClear = 5;
    s.minTime = 10;
    s.protMin = 1;
    s.securityPasswordHash = settings::HashSecurityPassword("s3cret", {1, 8192});
    s.clearSecretsAfter = 30;
    s.display.password = 1;
    s.display.email = 1;
    s.printing.recordName = 1;
    s.printing.notes = 1;
    s.popup.accountNum = 1;
    s.popup.password = 1;
    s.currentDir = "/home/user";
    return s;
}

CTreeOptionsCtrl* Page(COptionsDlg& dialog, int page) {
    dialog.ShowPage(page);
    return dialog.PageTree(page);
}

}  // namespace

class OptionsDlgTest : public QObject {
    Q_OBJECT

  private slots:
    void pagesAndCaptions() {
        COptionsDlg dialog(Sample());
        QCOMPARE(dialog.PageList()->count(), kOptionsPageCount);
        dialog.PageList()->setCurrentRow(kPagePasswordPopup);
        QCOMPARE(dialog.CurrentPage(), int(kPagePasswordPopup));
        QCOMPARE(dialog.CaptionBar()->text(), QStringLiteral("Password Popup"));
        QSignalSpy help(&dialog, &COptionsDlg::HelpRequested);
        dialog.HelpButton()->click();
        QCOMPARE(help.value(0).value(0).toInt(), 131250);
        QVERIFY(dialog.PageTree(kPagePrinting) == nullptr);  // made on first use
    }

    void untouchedPagesRoundTrip() {
        const settings::AppSettings input = Sample();
        for (int visited = 0; visited <= kOptionsPageCount; ++visited) {
            COptionsDlg dialog(input);
            for (int page = 0; page < visited; ++page) {
                QVERIFY(Page(dialog, page) != nullptr);
            }
            dialog.OkButton()->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QVERIFY(dialog.Result() == input);
        }
    }

    void itemsShowTheSettings() {
        settings::AppSettings input = Sample();
        input.trayIcon = 0;
        COptionsDlg dialog(input);
        CTreeOptionsCtrl* general = Page(dialog, kPageGeneral);
        QVERIFY(!general->GetCheckBoxEnable(general->FindItem("Minimize to System Tray")));
        QCOMPARE(general->GetRadioButton(
                     general->FindItem("Action when System Tray icon is double clicked")),
                 1);
        CTreeOptionsCtrl* security = Page(dialog, kPageSecurity);
        QVERIFY(!security->GetCheckBox(security->FindItem("Always query a folder deletion")));
        QVERIFY(security->GetCheckBox(security->FindItem("Always query a record deletion")));
        QCOMPARE(security->GetEditText(
                     security->FindItem("Clear copied secrets from the clipboard after N seconds")),
                 "30");
    }

    // Only a hash is kept: the old password cannot be shown; a new one replaces it, or it is
    // removed. The edit takes no more than the prompt does, so a password set can be typed.
    void securityPasswordIsReplacedOrRemovedNeverShown() {
        const auto run = [](const settings::AppSettings& input, const QString& typed, bool remove) {
            COptionsDlg dialog(input);
            CTreeOptionsCtrl* tree = Page(dialog, kPageSecurity);
            QTreeWidgetItem* password = tree->FindItem("Enter password");
            tree->setCurrentItem(password);
            tree->EditCurrentItem();
            QLineEdit* edit = tree->InPlaceEdit();
            if (edit == nullptr || edit->echoMode() != QLineEdit::Password ||
                edit->maxLength() != int(settings::kSecurityPasswordMaxChars) ||
                !edit->text().isEmpty()) {
                return std::string("bad edit");
            }
            edit->insert(typed);  // as typing would, cut at the limit
            tree->CloseInPlaceEdit();
            if (password->text(0).contains(typed.left(3)) && !typed.isEmpty()) {
                return std::string("shown");
            }
            if (QTreeWidgetItem* clear = tree->FindItem("Remove the security password")) {
                tree->SetCheckBox(clear, remove);
            }
            dialog.accept();
            return dialog.Result().securityPasswordHash;
        };
        const settings::AppSettings input = Sample();
        QCOMPARE(run(input, {}, false), input.securityPasswordHash);
        QCOMPARE(run(input, {}, true), std::string());
        const QString p40 = QString(40, QLatin1Char('p'));
        for (bool remove : {false, true}) {  // a new one wins over removing
            const std::string hash = run(input, p40, remove);
            QVERIFY(settings::VerifySecurityPassword(hash, std::string(32, 'p')));
            QVERIFY(!settings::VerifySecurityPassword(hash, "s3cret"));
        }
        settings::AppSettings none = Sample();
        none.securityPasswordHash.clear();
        COptionsDlg dialog(none);
        QVERIFY(Page(dialog, kPageSecurity)->FindItem("Remove the security password") == nullptr);
        QVERIFY(settings::VerifySecurityPassword(run(none, QStringLiteral("n\u00e9w"), false),
                                                 "n\xc3\xa9w"));
    }

    void queryItemsAreInvertedBack() {
        COptionsDlg dialog(Sample());
        CTreeOptionsCtrl* tree = Page(dialog, kPageSecurity);
        tree->SetCheckBox(tree->FindItem("Always query a folder deletion"), true);
        tree->SetCheckBox(tree->FindItem("Always query a record deletion"), false);
        dialog.accept();
        QCOMPARE(dialog.Result().noQueryDelFolder, 0);
        QCOMPARE(dialog.Result().noQueryDelRecord, 1);
    }

    void typedMinutesAreRepaired_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        const QString clip = "Clear Clipboard if idle for (mins)";
        const QString main = "Minimize Main Window if idle for (mins)";
        const QString popup = "Minimize Password Popup Window if idle for (mins)";
        QTest::newRow("clip abc") << clip << "abc" << 0;
        QTest::newRow("clip 61") << clip << "61" << 3;
        QTest::newRow("clip -2") << clip << "-2" << 3;
        QTest::newRow("clip 60") << clip << "60" << 60;
        QTest::newRow("clip 7 min") << clip << " 7 min" << 7;
        QTest::newRow("main 250") << main << "250" << 250;
        QTest::newRow("main -1") << main << "-1" << 3;
        QTest::newRow("popup 250") << popup << "250" << 250;
        const QString secrets = "Clear copied secrets from the clipboard after N seconds";
        QTest::newRow("secrets abc") << secrets << "abc" << 0;
        QTest::newRow("secrets -5") << secrets << "-5" << 30;
        QTest::newRow("secrets 90") << secrets << "90" << 90;
    }

    void typedMinutesAreRepaired() {
        QFETCH(QString, caption);
        QFETCH(QString, typed);
        QFETCH(int, stored);
        COptionsDlg dialog(Sample());
        CTreeOptionsCtrl* tree = Page(dialog, kPageSecurity);
        tree->SetEditText(tree->FindItem(caption), typed);
        dialog.accept();
        const settings::AppSettings& r = dialog.Result();
        const int value = caption.contains("secrets")   ? r.clearSecretsAfter
                          : caption.startsWith("Clear") ? r.timedClear
                          : caption.contains("Main")    ? r.minTime
                                                        : r.minPopTime;
        QCOMPARE(value, stored);
    }

    void cancelAndEscape() {
        const settings::AppSettings input = Sample();
        COptionsDlg dialog(input);
        dialog.show();
        CTreeOptionsCtrl* tree = Page(dialog, kPageGeneral);
        tree->SetCheckBox(tree->FindItem("Keep Zelvant topmost"), true);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(tree, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        dialog.CancelButton()->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.Result() == input);
    }

    void startPageRememberedForTheRun() {
        {
            COptionsDlg dialog(Sample());
            dialog.ShowPage(kPageSecurity);
            dialog.reject();
        }
        COptionsDlg next(Sample());
        QCOMPARE(next.CurrentPage(), int(kPageSecurity));
        QCOMPARE(next.CaptionBar()->text(), QStringLiteral("Security"));
        QCOMPARE(next.PageList()->currentRow(), int(kPageSecurity));
        next.ShowPage(kPageGeneral);
        next.accept();
        QCOMPARE(COptionsDlg::StartPage(), int(kPageGeneral));
    }

    void applyOrder() {
        std::vector<std::string> calls;
        OptionsEffects effects;
        effects.trayDefaultItem = [&](int action) {
            calls.push_back("tray" + std::to_string(action));
        };
        effects.autostart = [&](bool on) { calls.push_back(on ? "run+" : "run-"); };
        effects.popupMasks = [&](const settings::PopupFlags&) { calls.push_back("popup"); };
        effects.save = [&](const settings::AppSettings&) { calls.push_back("save"); };
        effects.trayShow = [&](bool on) { calls.push_back(on ? "show" : "hide"); };
        effects.trayTip = [&] { calls.push_back("tip"); };
        effects.topmost = [&](bool on) { calls.push_back(on ? "top" : "notop"); };
        effects.refreshList = [&] { calls.push_back("list"); };
        ApplyOptions(Sample(), effects);
        const std::vector<std::string> expected = {"tray1", "run+", "popup", "save",
                                                   "show",  "tip",  "notop", "list"};
        QCOMPARE(calls, expected);
        ApplyOptions(Sample(), OptionsEffects{});  // missing effects are skipped
    }

    // On this desktop the option says what it does here.
    void captionsSpeakOfThisPlatform() {
        COptionsDlg dialog(Sample());
        for (int page = 0; page < kOptionsPageCount; ++page) {
            const auto items =
                Page(dialog, page)
                    ->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive);
            for (const QTreeWidgetItem* item : items) {
                QVERIFY2(!item->text(0).contains(QStringLiteral("Windows")),
                         qPrintable(item->text(0)));
            }
        }
        const auto startAtLogon = Page(dialog, kPageGeneral)
                                      ->findItems(QStringLiteral("Start Zelvant when I log in"),
                                                  Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(startAtLogon.size(), 1);
    }
};

QTEST_MAIN(OptionsDlgTest)
#include "options_dlg_test.moc"
