// The main window's customisable bars, keys and tools as a user meets them: the Customize
// sheet, a restart, a tool started over the open file, and the first start of a new version.

#include <QApplication>
#include <QInputDialog>
#include <QKeySequenceEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include "settings/direct_settings.h"
#include "support/ui_fixtures.h"
#include "ui/commands.h"
#include "ui/customize_dlg.h"
#include "ui/logo_menu.h"
#include "ui/zelvant_app.h"

using namespace zelvant;
using namespace zelvant::ui;
using namespace zelvant::testing;

namespace {

QTreeWidgetItem* FindCommandItem(QTreeWidget& tree, int id) {
    for (int top = 0; top < tree.topLevelItemCount(); ++top) {
        QTreeWidgetItem* category = tree.topLevelItem(top);
        for (int i = 0; i < category->childCount(); ++i) {
            if (category->child(i)->data(0, Qt::UserRole).toInt() == id) {
                return category->child(i);
            }
        }
    }
    return nullptr;
}

}  // namespace

class FrameBarsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { dialogs_ = std::make_unique<ScriptedDialogs>(); }
    void cleanup() {
        SetDialogHookForTests({});
        dialogs_.reset();
    }

    // A new toolbar with "Password Popup", a key for it and a tool, made in the sheet, are all
    // there after a restart.
    void whatTheSheetMadeSurvivesARestart() {
        settings::CMemorySettingsStore store;
        {
            CMainFrame frame(store);
            SetDialogHookForTests([](QDialog& dialog) {
                if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
                    // Ctrl+N is New's: the sheet asks before moving it.
                    return box->objectName() == QStringLiteral("shortcutTakenQuestion")
                               ? int(QMessageBox::Yes)
                               : int(QMessageBox::No);
                }
                if (auto* ask = qobject_cast<QInputDialog*>(&dialog)) {
                    ask->setTextValue(QStringLiteral("My Bar"));
                    return int(QDialog::Accepted);
                }
                auto& sheet = dynamic_cast<CCustomizeSheet&>(dialog);
                for (QPushButton* button : sheet.findChildren<QPushButton*>()) {
                    if (button->text() == CCustomizeSheet::tr("&New...")) {
                        button->click();
                    }
                }
                auto* commands = sheet.findChild<QTreeWidget*>(QStringLiteral("commandTree"));
                commands->setCurrentItem(FindCommandItem(*commands, cmd::kPasswordPopup));
                sheet.findChild<QPushButton*>(QStringLiteral("addButton"))->click();
                sheet.findChild<QPushButton*>(QStringLiteral("newTool"))->click();
                sheet.findChild<QLineEdit*>(QStringLiteral("toolName"))->setText("Folder");
                sheet.findChild<QLineEdit*>(QStringLiteral("toolCommand"))->setText("xdg-open");
                sheet.findChild<QLineEdit*>(QStringLiteral("toolArguments"))->setText("$(FileDir)");
                sheet.AssignKey(cmd::kPasswordPopup, QKeySequence(QStringLiteral("Ctrl+N")));
                ClickOk(sheet);
                return sheet.result();
            });
            frame.OpenCustomizeSheet();
            QToolBar* bar = frame.Toolbar(cmd::kUserToolbarFirst);
            QVERIFY(bar != nullptr);
            QCOMPARE(bar->windowTitle(), QStringLiteral("My Bar"));
            QVERIFY(bar->actions().contains(frame.Action(cmd::kPasswordPopup)));
            QCOMPARE(frame.Action(cmd::kPasswordPopup)->shortcut(),
                     QKeySequence(QStringLiteral("Ctrl+N")));
            QVERIFY(frame.Action(cmd::kNew)->shortcut().isEmpty());
            QVERIFY(frame.ToolsMenu()->actions().contains(frame.Action(cmd::kUserToolFirst)));
            frame.Toolbar(cmd::kStandardToolbar)->hide();
            frame.close();
        }
        CMainFrame again(store);
        QToolBar* bar = again.Toolbar(cmd::kUserToolbarFirst);
        QVERIFY(bar != nullptr);
        QCOMPARE(bar->actions(), QList<QAction*>{again.Action(cmd::kPasswordPopup)});
        QCOMPARE(again.Action(cmd::kPasswordPopup)->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+N")));
        QVERIFY(again.Action(cmd::kNew)->shortcut().isEmpty());
        QCOMPARE(again.Action(cmd::kUserToolFirst)->text(), QStringLiteral("Folder"));
        QVERIFY(again.Action(cmd::kUserToolFirst)->isVisible());
        QVERIFY(again.Toolbar(cmd::kStandardToolbar)->isHidden());
        QVERIFY(again.Action(cmd::kUserToolbarFirst)->isVisible());
        QVERIFY(!again.Action(cmd::kUserToolbarFirst + 1)->isVisible());
    }

    void aToolStartsOverTheOpenFileOrSaysWhyNot() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("My Files")));
        const QString path = CopySample(dir.filePath(QStringLiteral("My Files/bank.zvd")));
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        std::vector<ToolLaunch> started;
        frame.SetToolLauncher([&started](const ToolLaunch& launch) {
            started.push_back(launch);
            return QString();
        });
        CBarCustomization state = frame.Customization();
        state.AddTool({QStringLiteral("Files"),
                       QStringLiteral("xdg-open"),
                       QStringLiteral("$(FileDir)"),
                       {}});
        state.AddTool(
            {QStringLiteral("Broken"), dir.filePath(QStringLiteral("no such program")), {}, {}});
        frame.SetCustomization(state);

        frame.Action(cmd::kUserToolFirst)->trigger();  // untitled: nothing to open
        QVERIFY(started.empty());
        QCOMPARE(dialogs_->told.size(), 1);

        QVERIFY(frame.OpenDocument(path));
        frame.Action(cmd::kUserToolFirst)->trigger();
        QCOMPARE(int(started.size()), 1);
        QCOMPARE(started[0].program, QStringLiteral("xdg-open"));
        QCOMPARE(started[0].arguments, QStringList{dir.filePath(QStringLiteral("My Files"))});

        // The real launcher: a program that is not there is named in the message.
        CMainFrame plain(store);
        plain.SetCustomization(state);
        plain.RunUserTool(1);
        QCOMPARE(dialogs_->told.size(), 2);
        QVERIFY(dialogs_->told.back().contains(QStringLiteral("no such program")));
    }

    // A new version puts the bars and keys back once; the tools are offered when there are none.
    void theVersionResetRestoresDefaultsAndSeedsToolsOnce() {
        settings::CMemorySettingsStore store;
        store.WriteInt(settings::kSettingsSection, "Splash", 0);
        store.WriteInt(settings::kSettingsSection, "RegVersion", 1000);
        CBarCustomization old;
        old.AddToolbar(QStringLiteral("Old"));
        old.AssignShortcut(cmd::kOptions, QKeySequence(QStringLiteral("Ctrl+N")));
        old.Save(store);

        int tools = 0;
        {
            CZelvantApp app(store);
            QVERIFY(app.InitInstance({}));
            CMainFrame& frame = *app.MainFrame();
            QVERIFY(frame.Toolbar(cmd::kUserToolbarFirst) == nullptr);
            QCOMPARE(frame.Action(cmd::kNew)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
            tools = int(frame.Customization().Tools().size());
            QVERIFY(tools >= 1);
            QCOMPARE(frame.Customization().Tools().back().name, QStringLiteral("Files"));
            // The user keeps one tool of his own and a toolbar.
            CBarCustomization mine = frame.Customization();
            while (mine.Tools().size() > 1) {
                mine.RemoveTool(0);
            }
            mine.AddToolbar(QStringLiteral("Kept"));
            frame.SetCustomization(mine);
            frame.close();
            app.ExitInstance();
        }
        QCOMPARE(settings::CDirectSettings(store).RegVersion(), settings::kSettingsVersion);
        CZelvantApp app(store);
        QVERIFY(app.InitInstance({}));
        CMainFrame& frame = *app.MainFrame();
        QCOMPARE(frame.Customization().Tools().size(), std::size_t(1));
        QVERIFY(frame.Toolbar(cmd::kUserToolbarFirst) != nullptr);
        app.ExitInstance();
    }

    void menusCarryTheLogoStripUnlessItIsTurnedOff() {
        settings::CMemorySettingsStore store;
        CMainFrame frame(store);
        auto* menu = qobject_cast<CLogoMenu*>(frame.ToolsMenu());
        QVERIFY(menu != nullptr);
        menu->popup(QPoint(10, 10));
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(menu->HasStrip());
        const int withStrip = menu->width();
        menu->hide();

        CBarCustomization state = frame.Customization();
        state.SetLogoStrip(false);
        frame.SetCustomization(state);
        menu->popup(QPoint(10, 10));
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(!menu->HasStrip());
        QCOMPARE(menu->width(), withStrip - kLogoStripWidth);
        menu->hide();
        state.SetLogoStrip(true);
        frame.SetCustomization(state);
    }

    // Dark is dark whatever the style; going back to the defaults gives the platform's look back.
    void theLookIsAppliedAndUndone() {
        settings::CMemorySettingsStore store;
        const QString platformStyle = QApplication::style()->name();
        const QColor platformWindow = QApplication::palette().color(QPalette::Window);
        CMainFrame frame(store);
        CBarCustomization state = frame.Customization();
        state.SetLook({StyleChoice::Fusion, ColourChoice::Dark});
        frame.SetCustomization(state);
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
        QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 100);

        state.SetLook({});
        frame.SetCustomization(state);
        QCOMPARE(QApplication::style()->name(), platformStyle);
        QCOMPARE(QApplication::palette().color(QPalette::Window), platformWindow);
        CMainFrame again(store);
        QCOMPARE(again.Customization().Look(), Appearance{});
    }

  private:
    std::unique_ptr<ScriptedDialogs> dialogs_;
};

QTEST_MAIN(FrameBarsTest)
#include "frame_bars_test.moc"
