// The folder window on the offscreen platform: the tree, its commands and dragging folders.

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "ui/folder_name_dlg.h"
#include "ui/folder_tree.h"
#include "ui/message_box.h"
#include "ui/query_dlg.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

class FakeHost : public IFolderHost {
  public:
    CFolderSequence& Folders() override { return folders; }
    settings::AppSettings& Settings() override { return settings; }
    QString DocumentTitle() const override { return QStringLiteral("Vault.zvd"); }
    void FoldersChanged() override { ++changes; }
    void ShowMessage(const QString&, QMessageBox::Icon) override {}

    CFolderSequence folders;
    settings::AppSettings settings;
    int changes = 0;
};

struct FolderDef {
    std::string name;
    FolderIndex parent = kTopLevel;
    int expanded = 0;
    int records = 0;
};

// Bank is open; records: Bank 1, Cards 2, Visa 1, Mail 1, Work 3.
const std::vector<FolderDef> kSmallTree = {{"Bank", -1, 1, 1}, {"Cards", 0, 0, 2},
                                           {"Visa", 1, 0, 1},  {"Loans", 0, 0, 0},
                                           {"Mail", -1, 0, 1}, {"Work", 4, 0, 3}};
const QString kSmallOutline = QStringLiteral("Bank{Cards{Visa} Loans} Mail{Work}");

// The items below `item` as the user sees them: "name{children} ...".
QString Outline(const QTreeWidgetItem* item) {
    QStringList parts;
    for (int i = 0; i < item->childCount(); ++i) {
        const QTreeWidgetItem* child = item->child(i);
        parts << child->text(0) + (child->childCount() > 0 ? "{" + Outline(child) + "}" : "");
    }
    return parts.join(' ');
}

Qt::CursorShape DragCursor() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr ? cursor->shape() : Qt::BlankCursor;
}

// A shown tree over the folders. Drag timers are slowed right down so that only the tests about
// them see a tick.
struct Window {
    explicit Window(const std::vector<FolderDef>& defs = kSmallTree, QSize size = {300, 400})
        : tree(host) {
        for (const FolderDef& def : defs) {
            CFolder* folder = host.folders.AppendFolder();
            folder->SetName(def.name);
            folder->SetParent(def.parent);
            folder->SetExpanded(def.expanded);
            for (int r = 0; r < def.records; ++r) {
                folder->AppendRecord();
            }
        }
        tree.SetDragTimerInterval(3600 * 1000);
        tree.resize(size);
        tree.Rebuild();
        tree.show();
    }

    // The first item of that name in tree order.
    QTreeWidgetItem* Item(const char* name) {
        return tree.findItems(QString::fromUtf8(name), Qt::MatchExactly | Qt::MatchRecursive)
            .value(0);
    }
    FolderIndex Find(const char* name) { return CFolderTree::FolderOf(Item(name)); }
    CFolder* Folder(const char* name) { return host.folders.FolderAt(Find(name)); }
    QString Outline() const { return ::Outline(tree.RootItem()); }
    QPoint At(const char* name) { return tree.visualItemRect(Item(name)).center(); }
    QPoint RootAt() { return tree.visualItemRect(tree.RootItem()).center(); }
    QWidget* View() { return tree.viewport(); }

    // Presses on the item and moves past the drag distance, ending over `to`.
    void StartDrag(Qt::MouseButton button, const char* from, QPoint to) {
        QTest::mousePress(View(), button, {}, At(from));
        QTest::mouseMove(View(), At(from) + QPoint(2, 1));  // still below the drag distance
        QTest::mouseMove(View(), to);
    }
    void DragAndDrop(Qt::MouseButton button, const char* from, QPoint to) {
        StartDrag(button, from, to);
        QTest::mouseRelease(View(), button, {}, to);
    }

    FakeHost host;
    CFolderTree tree;
};

}  // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        SetDialogHookForTests({});
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // Sorted without regard to case; names in an older file's Windows-1252 bytes or in UTF-8.
    void building() {
        Window w({{"beta"}, {"Alpha", -1, 1}, {"B", 1}, {"a", 1}, {"Caf\xE9"}, {"\xCE\xA9mega"}});
        QTreeWidgetItem* root = w.tree.RootItem();
        QCOMPARE(root->text(0), QStringLiteral("Vault.zvd"));
        QVERIFY(root->isExpanded() && !root->icon(0).isNull() && w.tree.isHeaderHidden());
        QCOMPARE(w.Outline(), QStringLiteral("Alpha{a B} beta Caf\u00E9 \u03A9mega"));
        QVERIFY(CFolderTree::FolderOf(root) == kTopLevel && w.tree.ItemOf(42) == nullptr);
        w.tree.SetRootTitle(QStringLiteral("Other.zvd"));
        QCOMPARE(root->text(0), QStringLiteral("Other.zvd"));
    }

    void expandedFlagsAndSelection() {
        Window w;
        QVERIFY(w.Item("Bank")->isExpanded() && !w.Item("Cards")->isExpanded());
        w.tree.expandItem(w.Item("Mail"));
        w.tree.collapseItem(w.Item("Bank"));
        QVERIFY(w.Folder("Mail")->Expanded() == 1 && w.Folder("Bank")->Expanded() == 0);
        QCOMPARE(w.host.changes, 0);
        w.tree.Rebuild();
        QVERIFY(!w.Item("Bank")->isExpanded() && w.Item("Mail")->isExpanded());

        w.tree.collapseItem(w.Item("Mail"));
        QList<int> announced;
        connect(&w.tree, &CFolderTree::FolderSelected, [&](FolderIndex i) { announced << i; });
        w.tree.SelectFolder(kTopLevel);
        w.tree.SelectFolder(w.Find("Work"));  // opening Mail to show it
        QCOMPARE(w.Folder("Mail")->Expanded(), 1);
        w.tree.Rebuild();  // keeps the position and says so again
        QCOMPARE(w.tree.SelectedFolder(), w.Find("Work"));
        QCOMPARE(announced, (QList<int>{kTopLevel, 5, 5}));
        w.tree.SelectFolder(42);
        QVERIFY(w.tree.currentItem() == nullptr && w.tree.SelectedFolder() == kTopLevel);
    }

    // New Folder and Folder Properties share the name dialog.
    void nameDialog() {
        std::vector<FolderDef> defs = kSmallTree;
        defs.push_back({"Caf\xE9"});
        Window w(defs);
        int answer = QDialog::Rejected;
        QString typed = QStringLiteral("x");
        QString seen;
        SetDialogHookForTests([&](QDialog& dialog) {
            auto* names = qobject_cast<CFolderNameDlg*>(&dialog);
            seen = dialog.windowTitle() + '|' + names->ContentsLabel()->text() + '|' +
                   names->Name() + (dialog.focusWidget() == names->NameEdit() ? "|focused" : "");
            if (!typed.isEmpty()) {
                names->NameEdit()->setText(typed);
            }
            return answer;
        });
        w.tree.SelectFolder(w.Find("Mail"));
        w.tree.NewFolder();  // cancelled

        answer = QDialog::Accepted;
        typed = QStringLiteral("\u03A9mega");
        w.tree.NewFolder();
        QCOMPARE(seen, QStringLiteral("Folder Properties|0 Records, 0 Folders||focused"));
        QCOMPARE(w.host.folders.FolderAt(5)->Name(), std::string("\xCE\xA9mega"));  // behind Mail
        QCOMPARE(w.tree.SelectedFolder(), 5);
        QCOMPARE(w.Outline(),
                 QStringLiteral("Bank{Cards{Visa} Loans} Caf\u00E9 Mail{Work \u03A9mega}"));

        // Renamed items keep their place until the next rebuild.
        typed = QStringLiteral("Zeta");
        w.tree.SelectFolder(w.Find("Cards"));
        w.tree.FolderProperties();
        QCOMPARE(seen, QStringLiteral("Folder Properties|3 Records, 1 Folders|Cards|focused"));
        QCOMPARE(w.host.folders.FolderAt(1)->Name(), std::string("Zeta"));
        QCOMPARE(w.Outline().left(22), QStringLiteral("Bank{Zeta{Visa} Loans}"));
        w.tree.Rebuild();
        QCOMPARE(w.Outline().left(22), QStringLiteral("Bank{Loans Zeta{Visa}}"));

        // Unedited, an old name keeps its bytes; the root has no properties.
        typed.clear();
        w.tree.SelectFolder(7);
        w.tree.FolderProperties();
        QCOMPARE(w.host.folders.FolderAt(7)->Name(), std::string("Caf\xE9"));
        seen.clear();
        w.tree.SelectFolder(kTopLevel);
        w.tree.FolderProperties();
        QVERIFY(seen.isEmpty());

        // With the root selected a new folder is the first top-level one; empty names are allowed.
        w.tree.NewFolder();
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QVERIFY(w.Outline().startsWith(" Bank{"));
        QCOMPARE(w.host.changes, 4);
    }

    void deleteAsksAndSelectsTheFolderNowInPlace() {
        Window w({{"a"}, {"b"}, {"c"}, {"d", 2}});
        QString question;
        bool dontAsk = false;
        SetDialogHookForTests([&](QDialog& dialog) {
            auto* query = qobject_cast<CQueryDlg*>(&dialog);
            question = query->findChild<QLabel*>(QStringLiteral("question"))->text();
            query->DontAskBox()->setChecked(dontAsk);
            return int(dontAsk ? QDialog::Rejected : QDialog::Accepted);
        });
        w.tree.SelectFolder(3);  // the last one, inside c
        w.tree.DeleteFolder();
        QCOMPARE(question, QStringLiteral("Are you sure you want to delete the selected folder and "
                                          "its contents?"));
        QCOMPARE(w.tree.currentItem()->text(0), QStringLiteral("c"));
        w.tree.DeleteFolder();  // c, now the last
        QCOMPARE(w.tree.currentItem()->text(0), QStringLiteral("b"));
        // "Don't ask again" ticked and No: kept, and never asked again.
        dontAsk = true;
        w.tree.SelectFolder(0);
        w.tree.DeleteFolder();
        QCOMPARE(w.host.settings.noQueryDelFolder, 1);
        QCOMPARE(w.Outline(), QStringLiteral("a b"));
        question.clear();
        w.tree.DeleteFolder();  // a: b takes its place
        QCOMPARE(w.tree.SelectedFolder(), 0);
        w.tree.DeleteFolder();  // the only one
        QCOMPARE(w.tree.currentItem(), nullptr);
        w.tree.DeleteFolder();  // nothing selected
        QVERIFY(question.isEmpty());
        QCOMPARE(w.host.changes, 4);
    }

    // The real modal loop: Yes is the default, Escape says No.
    void queryDialogRunsModally() {
        bool yesIsDefault = false;
        QTimer::singleShot(0, [&] {
            auto* query = qobject_cast<CQueryDlg*>(QApplication::activeModalWidget());
            yesIsDefault = query->YesButton()->isDefault();
            QTest::keyClick(query, Qt::Key_Escape);
        });
        int flag = 0;
        QVERIFY(!CQueryDlg::Ask(nullptr, QStringLiteral("Really?"), flag) && yesIsDefault);
        QVERIFY(CQueryDlg::Ask(nullptr, QStringLiteral("Really?"), ++flag));  // not shown
    }

    void leftDragMoves() {
        Window w;
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QCOMPARE(w.tree.DropHighlight(), w.Item("Mail"));
        QCOMPARE(DragCursor(), Qt::ArrowCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QVERIFY(!w.tree.Dragging() && w.tree.DropHighlight() == nullptr);
        QCOMPARE(w.Outline(), QStringLiteral("Bank{Cards{Visa}} Mail{Loans Work}"));
        QCOMPARE(w.tree.SelectedFolder(), w.Find("Loans"));
        // Onto the root: a top-level folder, with its sub-folders.
        w.DragAndDrop(Qt::LeftButton, "Cards", w.RootAt());
        QCOMPARE(w.Outline(), QStringLiteral("Bank Cards{Visa} Mail{Loans Work}"));
        // Ctrl shows the copy cursors, but a left drag still moves.
        w.StartDrag(Qt::LeftButton, "Cards", w.At("Mail"));
        QTest::keyPress(&w.tree, Qt::Key_Control);
        QCOMPARE(DragCursor(), Qt::DragCopyCursor);
        QTest::mouseMove(w.View(), w.RootAt());
        QTest::keyPress(&w.tree, Qt::Key_Control);
        QVERIFY(DragCursor() != Qt::ForbiddenCursor && DragCursor() != Qt::DragCopyCursor);
        QTest::mouseMove(w.View(), w.At("Bank"));
        QTest::keyPress(&w.tree, Qt::Key_Control);
        QTest::mouseRelease(w.View(), Qt::LeftButton, Qt::ControlModifier, w.At("Bank"));
        QCOMPARE(w.Outline(), QStringLiteral("Bank{Cards{Visa}} Mail{Loans Work}"));
        QCOMPARE(w.host.changes, 3);
    }

    void dragsThatChangeNothing() {
        Window w;
        w.tree.expandItem(w.Item("Cards"));
        // Its own parent, with the forbidden cursor while over it.
        w.StartDrag(Qt::LeftButton, "Cards", w.At("Bank"));
        QCOMPARE(DragCursor(), Qt::ForbiddenCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        w.DragAndDrop(Qt::LeftButton, "Bank", w.At("Visa"));  // its own sub-tree
        w.StartDrag(Qt::LeftButton, "Cards", w.At("Mail"));   // back onto itself
        QTest::mouseMove(w.View(), w.At("Cards"));
        QCOMPARE(DragCursor(), Qt::ForbiddenCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Cards"));
        w.DragAndDrop(Qt::LeftButton, "Mail", w.RootAt());  // the root is its parent
        w.DragAndDrop(Qt::LeftButton, "Loans", {20, w.View()->height() - 5});  // empty space
        const QPoint outside(w.View()->width() + 40, 10);
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QTest::mouseMove(w.View(), outside);
        QCOMPARE(w.tree.DropHighlight(), nullptr);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, outside);
        // The root itself cannot be dragged.
        QTest::mousePress(w.View(), Qt::LeftButton, {}, w.RootAt());
        QTest::mouseMove(w.View(), w.At("Mail"));
        QVERIFY(!w.tree.Dragging());
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        // Escape cancels; the rest of the press neither drops nor selects.
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QTest::keyClick(&w.tree, Qt::Key_Escape);
        QVERIFY(!w.tree.Dragging() && w.tree.DropHighlight() == nullptr);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        QCOMPARE(w.tree.SelectedFolder(), w.Find("Loans"));
        // A release that went elsewhere: the next press starts afresh.
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QTest::mousePress(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        QVERIFY(!w.tree.Dragging() && QGuiApplication::overrideCursor() == nullptr);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QCOMPARE(w.host.changes, 0);
        QCOMPARE(w.Outline(), kSmallOutline);
    }

    void rightDragAsks() {
        Window w;
        QList<QPoint> asked;
        int command = kCopyFolderCommand;
        w.tree.SetDragMenuRunner([&](const QPoint& globalPos) {
            asked << globalPos;
            return command;
        });
        w.tree.SelectFolder(0);
        w.StartDrag(Qt::RightButton, "Cards", w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), 0);  // a right drag leaves the selection alone
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QCOMPARE(asked, QList<QPoint>{w.View()->mapToGlobal(w.At("Mail"))});
        QCOMPARE(w.Outline(), QStringLiteral("Bank{Cards{Visa} Loans} Mail{Cards{Visa} Work}"));
        QVERIFY(w.tree.SelectedFolder() == 6 && w.host.folders.FolderAt(6)->RecordCount() == 2);

        // Onto itself nothing is asked; Copy onto its own parent, Cancel, or no choice do nothing.
        w.StartDrag(Qt::RightButton, "Loans", w.At("Mail"));
        QTest::mouseMove(w.View(), w.At("Loans"));
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Loans"));
        QCOMPARE(asked.size(), 1);
        w.DragAndDrop(Qt::RightButton, "Loans", w.At("Bank"));
        for (int nothing : {int(kCancelDragCommand), 0}) {
            command = nothing;
            w.DragAndDrop(Qt::RightButton, "Loans", w.At("Work"));
        }
        QCOMPARE(asked.size(), 4);
        QCOMPARE(w.host.changes, 1);
        command = kMoveFolderCommand;
        w.DragAndDrop(Qt::RightButton, "Loans", w.At("Work"));
        QCOMPARE(w.Outline(), QStringLiteral("Bank{Cards{Visa}} Mail{Cards{Visa} Work{Loans}}"));
    }

    void clicks() {
        Window w;
        QSignalSpy menu(&w.tree, &CFolderTree::FolderMenuRequested);
        // A right click selects on release and asks for the folder menu.
        w.tree.SelectFolder(0);
        QTest::mousePress(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), w.Find("Mail"));
        QCOMPARE(menu.last().at(0).toPoint(), w.View()->mapToGlobal(w.At("Mail")));
        QTest::mouseClick(w.View(), Qt::RightButton, {}, w.RootAt());
        QVERIFY(w.tree.RootSelected());
        // Empty space and the keyboard's menu key show nothing.
        QTest::mouseClick(w.View(), Qt::RightButton, {}, {20, w.View()->height() - 5});
        QContextMenuEvent key(QContextMenuEvent::Keyboard, {5, 5},
                              w.View()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.View(), &key);
        QCOMPARE(menu.count(), 2);
        // Ctrl does not unselect; only a left double click opens a folder.
        QTest::mouseClick(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QTest::mouseClick(w.View(), Qt::LeftButton, Qt::ControlModifier, w.At("Mail"));
        QVERIFY(w.tree.SelectedFolder() == 4 && w.Item("Mail")->isSelected());
        QTest::mouseDClick(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QVERIFY(!w.Item("Mail")->isExpanded());
        QTest::mouseDClick(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QCOMPARE(w.Folder("Mail")->Expanded(), 1);
    }

    void dragTimer() {
        Window w;
        w.tree.SetDragTimerInterval(300);
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Cards"));
        QTRY_COMPARE(w.tree.HoverCount(), 2);
        QVERIFY(!w.Item("Cards")->isExpanded());
        QTRY_VERIFY(w.Item("Cards")->isExpanded() || w.tree.HoverCount() > 2);  // third tick
        QCOMPARE(w.Folder("Cards")->Expanded(), 1);
        QCOMPARE(w.tree.DropHighlight(), w.Item("Cards"));
        QTest::keyClick(&w.tree, Qt::Key_Escape);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Cards"));

        // Near an edge it scrolls, highlighting the items it brings in.
        Window list(std::vector<FolderDef>(40), {200, 200});
        QTRY_VERIFY(list.tree.verticalScrollBar()->maximum() > 0);
        list.tree.SetDragTimerInterval(30);
        const int bottom = list.View()->height();
        list.StartDrag(Qt::LeftButton, "", {30, bottom - 3});
        QTRY_VERIFY(list.tree.verticalScrollBar()->value() >= 3);
        QVERIFY(list.tree.visualItemRect(list.tree.DropHighlight()).bottom() >= bottom - 30);
        QTest::keyClick(&list.tree, Qt::Key_Escape);
        QTest::mouseRelease(list.View(), Qt::LeftButton, {}, {30, bottom - 3});
    }
};

QTEST_MAIN(FolderTreeTest)
#include "folder_tree_test.moc"
