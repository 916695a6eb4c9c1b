// The folder window on the offscreen platform: how the tree is built from the folder sequence,
// the folder commands with their dialogs, and moving and copying folders by dragging them.

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
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/folder_sequence.h"
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
    QString DocumentTitle() const override { return title; }
    void FoldersChanged() override { ++changes; }
    void ShowMessage(const QString& text, QMessageBox::Icon icon) override {
        messages.emplace_back(text, icon);
    }

    CFolderSequence folders;
    settings::AppSettings settings;
    QString title = QStringLiteral("Vault.zvd");
    int changes = 0;
    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
};

struct FolderDef {
    std::string name;
    FolderIndex parent = kTopLevel;
    int expanded = 0;
    int records = 0;
};

void Fill(CFolderSequence& folders, const std::vector<FolderDef>& defs) {
    for (const FolderDef& def : defs) {
        CFolder* folder = folders.AppendFolder();
        folder->SetName(def.name);
        folder->SetParent(def.parent);
        folder->SetExpanded(def.expanded);
        for (int r = 0; r < def.records; ++r) {
            folder->AppendRecord()->SetText(RecordField::SiteName, def.name + std::to_string(r));
        }
    }
}

// root ─┬─ Bank (open) ─┬─ Cards ── Visa
//       │               └─ Loans
//       └─ Mail ── Work
std::vector<FolderDef> SmallTree() {
    return {{"Bank", -1, 1, 1}, {"Cards", 0, 0, 2}, {"Visa", 1, 0, 1},
            {"Loans", 0, 0, 0}, {"Mail", -1, 0, 1}, {"Work", 4, 0, 3}};
}

QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) {
        texts << item->child(i)->text(0);
    }
    return texts;
}

FolderIndex Find(const CFolderSequence& folders, const std::string& name) {
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        if (folders.FolderAt(i)->Name() == name) {
            return i;
        }
    }
    return -99;
}

QString ParentName(const CFolderSequence& folders, const std::string& name) {
    const CFolder* parent = folders.FolderAt(folders.FolderAt(Find(folders, name))->Parent());
    return parent != nullptr ? QString::fromStdString(parent->Name()) : QStringLiteral("<top>");
}

// A host with folders and a shown tree over them. Drag timers are slowed right down so that only
// the tests about them see a tick.
struct Window {
    explicit Window(const std::vector<FolderDef>& defs, QSize size = {300, 400}) : tree(host) {
        Fill(host.folders, defs);
        tree.SetDragTimerInterval(3600 * 1000);
        tree.resize(size);
        tree.Rebuild();
        tree.show();
    }

    QTreeWidgetItem* Item(const std::string& name) { return tree.ItemOf(Find(host.folders, name)); }
    QPoint At(const std::string& name) { return tree.visualItemRect(Item(name)).center(); }
    QPoint RootAt() { return tree.visualItemRect(tree.RootItem()).center(); }
    QWidget* View() { return tree.viewport(); }

    // Presses on the item and moves far enough to start a drag, ending over `to`.
    void StartDrag(Qt::MouseButton button, const std::string& from, QPoint to) {
        const QPoint start = At(from);
        QTest::mousePress(View(), button, {}, start);
        QTest::mouseMove(View(), start + QPoint(2, 1));  // still below the drag distance
        QTest::mouseMove(View(), to);
    }

    void DragAndDrop(Qt::MouseButton button, const std::string& from, QPoint to) {
        StartDrag(button, from, to);
        QTest::mouseRelease(View(), button, {}, to);
    }

    FakeHost host;
    CFolderTree tree;
};

// Runs the program's dialogs through a script instead of a modal loop, for one test.
class DialogScript {
  public:
    explicit DialogScript(std::function<int(QDialog&)> script) {
        SetDialogHookForTests([this, script = std::move(script)](QDialog& dialog) {
            ++calls;
            return script(dialog);
        });
    }
    ~DialogScript() { SetDialogHookForTests({}); }
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    int calls = 0;
};

Qt::CursorShape DragCursorShape() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr ? cursor->shape() : Qt::BlankCursor;
}

}  // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        SetDialogHookForTests({});
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // ---- building ----

    void buildsSortedWithoutRegardToCase() {
        Window w({{"beta"}, {"Alpha", -1, 1}, {"gamma"}, {"ALPHA2"}, {"c", 1}, {"B", 1}, {"a", 1}});
        QTreeWidgetItem* root = w.tree.RootItem();
        QCOMPARE(w.tree.topLevelItemCount(), 1);
        QCOMPARE(root->text(0), QStringLiteral("Vault.zvd"));
        QVERIFY(!root->icon(0).isNull());
        QCOMPARE(CFolderTree::FolderOf(root), kTopLevel);
        QVERIFY(root->isExpanded());
        QCOMPARE(ChildTexts(root), (QStringList{"Alpha", "ALPHA2", "beta", "gamma"}));
        QCOMPARE(ChildTexts(w.Item("Alpha")), (QStringList{"a", "B", "c"}));
        for (FolderIndex i = 0; i < w.host.folders.Count(); ++i) {
            QTreeWidgetItem* item = w.tree.ItemOf(i);
            QVERIFY(item != nullptr);
            QCOMPARE(CFolderTree::FolderOf(item), i);
            QCOMPARE(item->text(0), QString::fromStdString(w.host.folders.FolderAt(i)->Name()));
            QVERIFY(!item->icon(0).isNull());
        }
        QCOMPARE(w.tree.ItemOf(7), nullptr);
        QVERIFY(w.tree.isHeaderHidden());

        w.tree.SetRootTitle(QStringLiteral("Other.zvd"));
        QCOMPARE(root->text(0), QStringLiteral("Other.zvd"));
    }

    void namesShowAsTheUserWroteThem() {
        // An older file's Windows-1252 bytes, and UTF-8.
        Window w({{"Caf\xE9"}, {"\xCE\xA9mega"}, {""}});
        QCOMPARE(ChildTexts(w.tree.RootItem()), (QStringList{QString(), QStringLiteral("Caf\u00E9"),
                                                             QStringLiteral("\u03A9mega")}));
    }

    void expandedFlagsDecideTheOpenItemsAndFollowTheUser() {
        Window w(SmallTree());
        QVERIFY(w.Item("Bank")->isExpanded());
        QVERIFY(!w.Item("Cards")->isExpanded());
        QVERIFY(!w.Item("Mail")->isExpanded());
        // Rebuilding does not write the flags it reads.
        QCOMPARE(w.host.folders.FolderAt(1)->Expanded(), 0);

        w.tree.expandItem(w.Item("Mail"));
        QCOMPARE(w.host.folders.FolderAt(Find(w.host.folders, "Mail"))->Expanded(), 1);
        w.tree.collapseItem(w.Item("Bank"));
        QCOMPARE(w.host.folders.FolderAt(0)->Expanded(), 0);
        // Clicking the expand button works too.
        const QRect cards = w.tree.visualItemRect(w.Item("Mail"));
        QTest::mouseClick(w.View(), Qt::LeftButton, {},
                          QPoint(cards.left() - 8, cards.center().y()));
        QCOMPARE(w.host.folders.FolderAt(Find(w.host.folders, "Mail"))->Expanded(), 0);
        QCOMPARE(w.host.changes, 0);

        w.tree.Rebuild();
        QVERIFY(!w.Item("Bank")->isExpanded());
        QVERIFY(!w.Item("Mail")->isExpanded());
    }

    void selectionIsAnnounced() {
        Window w(SmallTree());
        QSignalSpy spy(&w.tree, &CFolderTree::FolderSelected);
        QCOMPARE(w.tree.SelectedFolder(), kTopLevel);
        QVERIFY(!w.tree.RootSelected());

        w.tree.SelectFolder(3);
        QCOMPARE(w.tree.SelectedFolder(), 3);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 3);

        w.tree.SelectFolder(kTopLevel);
        QVERIFY(w.tree.RootSelected());
        QCOMPARE(w.tree.SelectedFolder(), kTopLevel);
        QCOMPARE(spy.last().at(0).toInt(), kTopLevel);

        // The keyboard moves the selection as usual: root, Bank.
        w.tree.setFocus();
        QTest::keyClick(&w.tree, Qt::Key_Down);
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QCOMPARE(spy.last().at(0).toInt(), 0);

        // A folder inside a closed one is shown by opening its parents.
        w.tree.SelectFolder(Find(w.host.folders, "Work"));
        QVERIFY(w.Item("Mail")->isExpanded());
        QCOMPARE(w.host.folders.FolderAt(Find(w.host.folders, "Mail"))->Expanded(), 1);

        // A rebuild keeps the position and says so again.
        const int before = spy.count();
        w.tree.Rebuild();
        QCOMPARE(w.tree.SelectedFolder(), Find(w.host.folders, "Work"));
        QCOMPARE(spy.count(), before + 1);

        w.tree.SelectFolder(42);
        QCOMPARE(w.tree.currentItem(), nullptr);
        QCOMPARE(w.tree.SelectedFolder(), kTopLevel);
    }

    // ---- commands ----

    void newFolderGoesUnderTheSelectionAndIsSelected() {
        Window w(SmallTree());
        w.tree.SelectFolder(Find(w.host.folders, "Mail"));
        QString title;
        QString contents;
        bool focused = false;
        DialogScript script([&](QDialog& dialog) {
            auto* names = qobject_cast<CFolderNameDlg*>(&dialog);
            if (names == nullptr) {
                return int(QDialog::Rejected);
            }
            title = dialog.windowTitle();
            contents = names->ContentsLabel()->text();
            focused = dialog.focusWidget() == names->NameEdit() && names->Name().isEmpty();
            names->NameEdit()->setText(QStringLiteral("\u03A9mega"));
            return int(QDialog::Accepted);
        });
        w.tree.NewFolder();
        QCOMPARE(script.calls, 1);
        QCOMPARE(title, QStringLiteral("Folder Properties"));
        QCOMPARE(contents, QStringLiteral("0 Records, 0 Folders"));
        QVERIFY(focused);
        QCOMPARE(w.host.folders.Count(), 7);
        const FolderIndex added = Find(w.host.folders, "\xCE\xA9mega");  // stored as UTF-8
        QCOMPARE(added, 5);
        QCOMPARE(ParentName(w.host.folders, "\xCE\xA9mega"), QStringLiteral("Mail"));
        QCOMPARE(w.host.changes, 1);
        QCOMPARE(w.tree.SelectedFolder(), added);
        QCOMPARE(ChildTexts(w.Item("Mail")), (QStringList{"Work", "\u03A9mega"}));
        QVERIFY(w.Item("Mail")->isExpanded());
    }

    void newFolderWithNothingSelectedIsTheFirstTopLevelFolder() {
        Window w(SmallTree());
        DialogScript script([](QDialog&) { return int(QDialog::Accepted); });  // empty name
        w.tree.NewFolder();
        QCOMPARE(w.host.folders.Count(), 7);
        QCOMPARE(w.host.folders.FolderAt(0)->Name(), std::string());
        QCOMPARE(w.host.folders.FolderAt(0)->Parent(), kTopLevel);
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QCOMPARE(w.tree.currentItem()->text(0), QString());
        QCOMPARE(w.tree.currentItem()->parent(), w.tree.RootItem());
    }

    void newFolderCancelledChangesNothing() {
        Window w(SmallTree());
        w.tree.SelectFolder(0);
        DialogScript script([](QDialog& dialog) {
            qobject_cast<CFolderNameDlg*>(&dialog)->NameEdit()->setText("x");
            return int(QDialog::Rejected);
        });
        w.tree.NewFolder();
        QCOMPARE(w.host.folders.Count(), 6);
        QCOMPARE(w.host.changes, 0);
    }

    void renameRelabelsWithoutSorting() {
        Window w(SmallTree());
        w.tree.SelectFolder(Find(w.host.folders, "Cards"));
        QString shown;
        QString contents;
        DialogScript script([&](QDialog& dialog) {
            auto* names = qobject_cast<CFolderNameDlg*>(&dialog);
            shown = names->Name();
            contents = names->ContentsLabel()->text();
            names->NameEdit()->setText(QStringLiteral("Zeta"));
            return int(QDialog::Accepted);
        });
        w.tree.FolderProperties();
        QCOMPARE(shown, QStringLiteral("Cards"));
        QCOMPARE(contents, QStringLiteral("3 Records, 1 Folders"));
        QCOMPARE(w.host.folders.FolderAt(1)->Name(), std::string("Zeta"));
        QCOMPARE(w.host.changes, 1);
        QCOMPARE(ChildTexts(w.Item("Bank")), (QStringList{"Zeta", "Loans"}));
        w.tree.Rebuild();
        QCOMPARE(ChildTexts(w.Item("Bank")), (QStringList{"Loans", "Zeta"}));
    }

    void renameKeepsOldBytesUnlessEditedAndNeedsAFolder() {
        Window w({{"Caf\xE9"}});
        w.tree.SelectFolder(0);
        DialogScript script([](QDialog&) { return int(QDialog::Accepted); });
        w.tree.FolderProperties();
        QCOMPARE(w.host.folders.FolderAt(0)->Name(), std::string("Caf\xE9"));
        QCOMPARE(script.calls, 1);

        w.tree.SelectFolder(kTopLevel);  // the root has no properties
        w.tree.FolderProperties();
        QCOMPARE(script.calls, 1);
    }

    void deleteAsksAndSelectsTheFolderNowInPlace() {
        Window w({{"a"}, {"b"}, {"c"}, {"d", 2}});
        w.tree.SelectFolder(3);  // the last one, inside c
        QString question;
        DialogScript script([&](QDialog& dialog) {
            question = dialog.findChild<QLabel*>(QStringLiteral("question"))->text();
            return int(QDialog::Accepted);
        });
        w.tree.DeleteFolder();
        QCOMPARE(question,
                 QStringLiteral("Are you sure you want to delete the selected folder and its "
                                "contents?"));
        QCOMPARE(w.host.folders.Count(), 3);
        QCOMPARE(w.host.changes, 1);
        QCOMPARE(w.tree.SelectedFolder(), 2);
        QCOMPARE(w.tree.currentItem()->text(0), QStringLiteral("c"));

        w.tree.DeleteFolder();  // c, now the last
        QCOMPARE(w.tree.SelectedFolder(), 1);
        QCOMPARE(w.tree.currentItem()->text(0), QStringLiteral("b"));

        w.tree.SelectFolder(0);
        w.tree.DeleteFolder();
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QCOMPARE(w.tree.currentItem()->text(0), QStringLiteral("b"));
        w.tree.DeleteFolder();  // the only one
        QCOMPARE(w.host.folders.Count(), 0);
        QCOMPARE(w.tree.currentItem(), nullptr);
        QCOMPARE(w.tree.RootItem()->childCount(), 0);
        QCOMPARE(w.host.changes, 4);

        // Nothing selected: nothing asked.
        const int asked = script.calls;
        w.tree.DeleteFolder();
        QCOMPARE(script.calls, asked);
    }

    void dontAskAgainIsStoredEvenOnNo() {
        Window w(SmallTree());
        w.tree.SelectFolder(Find(w.host.folders, "Mail"));
        DialogScript script([](QDialog& dialog) {
            qobject_cast<CQueryDlg*>(&dialog)->DontAskBox()->setChecked(true);
            return int(QDialog::Rejected);
        });
        w.tree.DeleteFolder();
        QCOMPARE(w.host.settings.noQueryDelFolder, 1);
        QCOMPARE(w.host.folders.Count(), 6);
        QCOMPARE(w.host.changes, 0);

        w.tree.DeleteFolder();
        QCOMPARE(script.calls, 1);  // not asked again
        QCOMPARE(w.host.folders.Count(), 4);
        QCOMPARE(Find(w.host.folders, "Work"), -99);
    }

    void queryDialogRunsModally() {
        // The real modal loop, answered through the dialog's own buttons.
        int flag = 0;
        bool ticked = false;
        QTimer::singleShot(0, [&] {
            auto* query = qobject_cast<CQueryDlg*>(QApplication::activeModalWidget());
            if (query != nullptr) {
                ticked = query->YesButton()->isDefault();
                query->DontAskBox()->setChecked(true);
                query->NoButton()->click();
            }
        });
        QVERIFY(!CQueryDlg::Ask(nullptr, QStringLiteral("Really?"), flag));
        QVERIFY(ticked);
        QCOMPARE(flag, 1);
        QVERIFY(CQueryDlg::Ask(nullptr, QStringLiteral("Really?"), flag));  // not shown

        flag = 0;
        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
        QVERIFY(!CQueryDlg::Ask(nullptr, QStringLiteral("Really?"), flag));
        QCOMPARE(flag, 0);

        QTimer::singleShot(0, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                QTest::keyClick(modal, Qt::Key_Return);
            }
        });
        QVERIFY(CQueryDlg::Ask(nullptr, QStringLiteral("Really?"), flag));
        QCOMPARE(flag, 0);
    }

    // ---- dragging with the left button ----

    void leftDragMovesTheFolderUnderTheTarget() {
        Window w(SmallTree());
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QVERIFY(w.tree.Dragging());
        QVERIFY(!w.tree.RightDrag());
        QCOMPARE(w.tree.DropHighlight(), w.Item("Mail"));
        QCOMPARE(DragCursorShape(), Qt::ArrowCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Mail"));

        QVERIFY(!w.tree.Dragging());
        QCOMPARE(w.tree.DropHighlight(), nullptr);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(w.host.changes, 1);
        QCOMPARE(w.host.folders.Count(), 6);
        QCOMPARE(ParentName(w.host.folders, "Loans"), QStringLiteral("Mail"));
        QCOMPARE(ParentName(w.host.folders, "Cards"), QStringLiteral("Bank"));
        QCOMPARE(ChildTexts(w.Item("Mail")), (QStringList{"Loans", "Work"}));
        QCOMPARE(ChildTexts(w.Item("Bank")), (QStringList{"Cards"}));
        QCOMPARE(w.tree.SelectedFolder(), Find(w.host.folders, "Loans"));
    }

    void leftDragOntoTheRootMakesATopLevelFolder() {
        Window w(SmallTree());
        w.DragAndDrop(Qt::LeftButton, "Cards", w.RootAt());
        QCOMPARE(ParentName(w.host.folders, "Cards"), QStringLiteral("<top>"));
        QCOMPARE(ParentName(w.host.folders, "Visa"), QStringLiteral("Cards"));
        QCOMPARE(ChildTexts(w.tree.RootItem()), (QStringList{"Bank", "Cards", "Mail"}));
    }

    void dropsOnParentSelfOrSubtreeChangeNothing() {
        Window w(SmallTree());
        w.tree.expandItem(w.Item("Cards"));
        // Onto its own parent: the forbidden cursor while over it.
        w.StartDrag(Qt::LeftButton, "Cards", w.At("Bank"));
        QCOMPARE(w.tree.DropHighlight(), w.Item("Bank"));
        QCOMPARE(DragCursorShape(), Qt::ForbiddenCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        // Into its own sub-tree, and back onto itself.
        w.DragAndDrop(Qt::LeftButton, "Bank", w.At("Visa"));
        w.StartDrag(Qt::LeftButton, "Cards", w.At("Mail"));
        QTest::mouseMove(w.View(), w.At("Cards"));
        QCOMPARE(DragCursorShape(), Qt::ForbiddenCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Cards"));
        // A top-level folder onto the root, its parent.
        w.DragAndDrop(Qt::LeftButton, "Mail", w.RootAt());
        // Empty space below the items.
        w.DragAndDrop(Qt::LeftButton, "Loans", QPoint(20, w.View()->height() - 5));
        QCOMPARE(w.host.changes, 0);
        QCOMPARE(ParentName(w.host.folders, "Cards"), QStringLiteral("Bank"));
        QCOMPARE(ParentName(w.host.folders, "Mail"), QStringLiteral("<top>"));
        QCOMPARE(ParentName(w.host.folders, "Loans"), QStringLiteral("Bank"));
    }

    void releasedOutsideTheTreeChangesNothing() {
        Window w(SmallTree());
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        const QPoint outside(w.View()->width() + 40, 10);
        QTest::mouseMove(w.View(), outside);
        QCOMPARE(w.tree.DropHighlight(), nullptr);
        QCOMPARE(DragCursorShape(), Qt::ForbiddenCursor);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, outside);
        QCOMPARE(w.host.changes, 0);
        QCOMPARE(ParentName(w.host.folders, "Loans"), QStringLiteral("Bank"));
    }

    void escapeCancelsTheDrag() {
        Window w(SmallTree());
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), Find(w.host.folders, "Loans"));
        QTest::keyClick(&w.tree, Qt::Key_Escape);
        QVERIFY(!w.tree.Dragging());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(w.tree.DropHighlight(), nullptr);
        // The rest of the press neither drops nor selects.
        QTest::mouseMove(w.View(), w.At("Bank"));
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        QCOMPARE(w.host.changes, 0);
        QCOMPARE(ParentName(w.host.folders, "Loans"), QStringLiteral("Bank"));
        QCOMPARE(w.tree.SelectedFolder(), Find(w.host.folders, "Loans"));
    }

    void ctrlShowsTheCopyCursors() {
        Window w(SmallTree());
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        QTest::keyPress(&w.tree, Qt::Key_Control);
        QCOMPARE(DragCursorShape(), Qt::DragCopyCursor);
        QTest::mouseMove(w.View(), w.At("Bank"));
        QTest::keyPress(&w.tree, Qt::Key_Control);
        const Qt::CursorShape forbiddenCopy = DragCursorShape();
        QVERIFY(forbiddenCopy != Qt::ForbiddenCursor && forbiddenCopy != Qt::DragCopyCursor &&
                forbiddenCopy != Qt::ArrowCursor);
        QTest::keyRelease(&w.tree, Qt::Key_Control);
        QCOMPARE(DragCursorShape(), Qt::ForbiddenCursor);
        // A left drag moves even with Ctrl held.
        QTest::keyPress(&w.tree, Qt::Key_Control);
        QTest::mouseMove(w.View(), w.At("Mail"));
        QTest::mouseRelease(w.View(), Qt::LeftButton, Qt::ControlModifier, w.At("Mail"));
        QCOMPARE(w.host.folders.Count(), 6);
        QCOMPARE(ParentName(w.host.folders, "Loans"), QStringLiteral("Mail"));
    }

    void theRootCannotBeDragged() {
        Window w(SmallTree());
        const QPoint start = w.RootAt();
        QTest::mousePress(w.View(), Qt::LeftButton, {}, start);
        QTest::mouseMove(w.View(), w.At("Mail"));
        QVERIFY(!w.tree.Dragging());
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QCOMPARE(w.host.changes, 0);
        QVERIFY(w.tree.RootSelected());
    }

    void aLostReleaseDoesNotLeaveTheDragRunning() {
        Window w(SmallTree());
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Mail"));
        // The release went elsewhere; the next press of the same button starts afresh.
        QTest::mousePress(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        QVERIFY(!w.tree.Dragging());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Bank"));
        QCOMPARE(w.host.changes, 0);
    }

    void clicksKeepOneFolderSelected() {
        Window w(SmallTree());
        QTest::mouseClick(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), 4);
        QTest::mouseClick(w.View(), Qt::LeftButton, Qt::ControlModifier, w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), 4);
        QVERIFY(w.Item("Mail")->isSelected());

        // A double click with the left button opens a folder; with the right one it does not.
        QSignalSpy menu(&w.tree, &CFolderTree::FolderMenuRequested);
        QTest::mouseClick(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QTest::mouseDClick(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QVERIFY(!w.Item("Mail")->isExpanded());
        QCOMPARE(menu.count(), 2);
        QTest::mouseClick(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QTest::mouseDClick(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Mail"));
        QVERIFY(w.Item("Mail")->isExpanded());
        QCOMPARE(w.host.folders.FolderAt(4)->Expanded(), 1);
    }

    // ---- dragging with the right button ----

    void rightDragAsksAndCopies() {
        Window w(SmallTree());
        int asked = 0;
        QPoint askedAt;
        w.tree.SetDragMenuRunner([&](const QPoint& globalPos) {
            ++asked;
            askedAt = globalPos;
            return int(kCopyFolderCommand);
        });
        w.tree.SelectFolder(0);
        w.StartDrag(Qt::RightButton, "Cards", w.At("Mail"));
        QVERIFY(w.tree.RightDrag());
        QCOMPARE(w.tree.SelectedFolder(), 0);  // a right drag leaves the selection alone
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QCOMPARE(asked, 1);
        QCOMPARE(askedAt, w.View()->mapToGlobal(w.At("Mail")));
        QVERIFY(!w.tree.RightDrag());
        QCOMPARE(w.host.folders.Count(), 8);
        QCOMPARE(w.host.changes, 1);
        QCOMPARE(ParentName(w.host.folders, "Cards"), QStringLiteral("Bank"));
        const FolderIndex copy = w.tree.SelectedFolder();
        QCOMPARE(copy, 6);
        QCOMPARE(w.host.folders.FolderAt(copy)->Name(), std::string("Cards"));
        QCOMPARE(w.host.folders.FolderAt(copy)->Parent(), Find(w.host.folders, "Mail"));
        QCOMPARE(w.host.folders.FolderAt(copy)->RecordCount(), 2);
        QCOMPARE(w.host.folders.FolderAt(7)->Name(), std::string("Visa"));
        QCOMPARE(w.host.folders.FolderAt(7)->Parent(), copy);
        QCOMPARE(ChildTexts(w.Item("Mail")), (QStringList{"Cards", "Work"}));
    }

    void rightDragMovesOrCancels() {
        Window w(SmallTree());
        int command = kCancelDragCommand;
        w.tree.SetDragMenuRunner([&](const QPoint&) { return command; });
        w.DragAndDrop(Qt::RightButton, "Loans", w.At("Mail"));
        QCOMPARE(w.host.changes, 0);
        command = 0;  // the menu closed without a choice
        w.DragAndDrop(Qt::RightButton, "Loans", w.At("Mail"));
        QCOMPARE(w.host.changes, 0);
        command = kMoveFolderCommand;
        w.DragAndDrop(Qt::RightButton, "Loans", w.At("Mail"));
        QCOMPARE(w.host.changes, 1);
        QCOMPARE(w.host.folders.Count(), 6);
        QCOMPARE(ParentName(w.host.folders, "Loans"), QStringLiteral("Mail"));
    }

    void rightDragOntoItselfAsksNothingAndInvalidTargetsDoNothing() {
        Window w(SmallTree());
        int asked = 0;
        w.tree.SetDragMenuRunner([&](const QPoint&) {
            ++asked;
            return int(kCopyFolderCommand);
        });
        w.StartDrag(Qt::RightButton, "Cards", w.At("Mail"));
        QTest::mouseMove(w.View(), w.At("Cards"));
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Cards"));
        QCOMPARE(asked, 0);
        // Its own parent: the menu comes, but Copy does nothing there.
        w.DragAndDrop(Qt::RightButton, "Cards", w.At("Bank"));
        QCOMPARE(asked, 1);
        QCOMPARE(w.host.changes, 0);
        QCOMPARE(w.host.folders.Count(), 6);
    }

    void rightClickSelectsAndAsksForTheFolderMenu() {
        Window w(SmallTree());
        QSignalSpy menu(&w.tree, &CFolderTree::FolderMenuRequested);
        w.tree.SelectFolder(0);
        QTest::mousePress(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), 0);
        QTest::mouseRelease(w.View(), Qt::RightButton, {}, w.At("Mail"));
        QCOMPARE(w.tree.SelectedFolder(), Find(w.host.folders, "Mail"));
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.last().at(0).toPoint(), w.View()->mapToGlobal(w.At("Mail")));

        QTest::mouseClick(w.View(), Qt::RightButton, {}, w.RootAt());
        QVERIFY(w.tree.RootSelected());
        QCOMPARE(menu.count(), 2);
        // Empty space and the keyboard's menu key show nothing.
        QTest::mouseClick(w.View(), Qt::RightButton, {}, QPoint(20, w.View()->height() - 5));
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                              w.View()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w.View(), &key);
        QVERIFY(key.isAccepted());
        QCOMPARE(menu.count(), 2);
    }

    // ---- the drag timer ----

    void hoveringOpensAClosedFolderOnTheThirdTick() {
        Window w(SmallTree());
        w.tree.SetDragTimerInterval(300);
        w.StartDrag(Qt::LeftButton, "Loans", w.At("Cards"));
        QCOMPARE(w.tree.HoverCount(), 0);
        QTRY_COMPARE(w.tree.HoverCount(), 2);
        QVERIFY(!w.Item("Cards")->isExpanded());
        QTRY_VERIFY(w.Item("Cards")->isExpanded());
        QCOMPARE(w.tree.HoverCount(), 0);
        QCOMPARE(w.host.folders.FolderAt(1)->Expanded(), 1);
        QCOMPARE(w.tree.DropHighlight(), w.Item("Cards"));
        QTest::keyClick(&w.tree, Qt::Key_Escape);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, w.At("Cards"));
    }

    void pointerNearAnEdgeScrolls() {
        std::vector<FolderDef> many;
        for (int i = 0; i < 40; ++i) {
            many.push_back({"F" + std::to_string(100 + i)});
        }
        Window w(many, {200, 200});
        QTRY_VERIFY(w.tree.verticalScrollBar()->maximum() > 0);
        w.tree.SetDragTimerInterval(30);
        const QPoint bottom(30, w.View()->height() - 3);
        w.StartDrag(Qt::LeftButton, "F100", bottom);
        QTRY_VERIFY(w.tree.verticalScrollBar()->value() >= 3);
        QTreeWidgetItem* highlighted = w.tree.DropHighlight();
        QVERIFY(highlighted != nullptr);
        QVERIFY(w.tree.visualItemRect(highlighted).bottom() >= w.View()->height() - 30);

        QTest::mouseMove(w.View(), QPoint(30, 2));
        QTRY_COMPARE(w.tree.verticalScrollBar()->value(), 0);
        QTRY_COMPARE(w.tree.DropHighlight(), w.tree.RootItem());
        QTest::keyClick(&w.tree, Qt::Key_Escape);
        QTest::mouseRelease(w.View(), Qt::LeftButton, {}, QPoint(30, 2));
        QCOMPARE(w.host.changes, 0);
    }

    // ---- the bar ----

    void folderBar() {
        FakeHost host;
        CFolderBar bar(host);
        QCOMPARE(bar.windowTitle(), QStringLiteral("Folders"));
        QCOMPARE(bar.objectName(), QStringLiteral("FolderBar"));
        QCOMPARE(bar.widget(), static_cast<QWidget*>(bar.Tree()));
        QVERIFY(bar.sizeHint().width() >= 190 && bar.sizeHint().width() <= 240);
    }
};

QTEST_MAIN(FolderTreeTest)
#include "folder_tree_test.moc"
