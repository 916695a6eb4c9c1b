// The options tree on the offscreen platform: item kinds and images, the label form of edit
// items, toggling by mouse and keyboard, the in-place edit's ways of closing, data exchange.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "controls/options_tree.h"

using namespace zelvant::controls;

namespace {

// A page like the options dialog's: a tree with a button beside it that can take the focus.
struct Page {
    QWidget window;
    CTreeOptionsCtrl* tree = new CTreeOptionsCtrl;
    QPushButton* ok = new QPushButton(QStringLiteral("OK"));
    QTreeWidgetItem* tray = nullptr;
    QTreeWidgetItem* trayIcon = nullptr;
    QTreeWidgetItem* trayMinimize = nullptr;
    QTreeWidgetItem* action = nullptr;
    QTreeWidgetItem* clipboard = nullptr;
    QTreeWidgetItem* timedClear = nullptr;
    QTreeWidgetItem* password = nullptr;

    Page() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(tree);
        layout->addWidget(ok);
        tray = tree->InsertGroup("System Tray Icon", 13);
        trayIcon = tree->InsertCheckBox("Place icon in the System Tray", tray, true);
        trayMinimize = tree->InsertCheckBox("Minimize to System Tray", tray, false);
        action = tree->InsertGroup("Action when System Tray icon is double clicked", 14);
        tree->InsertRadioButton("Show/hide Main Window", action, true);
        tree->InsertRadioButton("Show/hide Password Popup Box", action, false);
        clipboard = tree->InsertGroup("Clipboard operations", 15);
        timedClear = tree->InsertGroup("Clear Clipboard if idle for (mins):", 11, clipboard);
        tree->AddEditBox(timedClear, {.upDown = true, .minimum = 0, .maximum = 100});
        tree->SetEditText(timedClear, "3");
        password = tree->InsertEdit("Enter password:", 14, clipboard, "", {});
        tree->expandAll();
        window.resize(420, 360);
    }

    bool Show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    void Click(QTreeWidgetItem* item, QPoint at = {}) {
        const QRect rect = tree->visualItemRect(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          at.isNull() ? QPoint(rect.right() - 4, rect.center().y()) : at);
    }
    QTreeWidgetItem* Radio(int index) const { return action->child(index); }
    QWidget* Focus() const { return QApplication::focusWidget(); }
};

}  // namespace

class OptionsTreeTest : public QObject {
    Q_OBJECT

  private slots:
    // ---- building and the data model

    void InsertsKeepOrderAndImages() {
        CTreeOptionsCtrl tree;
        QTreeWidgetItem* group = tree.InsertGroup("Files", 13);
        QTreeWidgetItem* first = tree.InsertCheckBox("A", group, true);
        QTreeWidgetItem* last = tree.InsertCheckBox("C", group, false);
        tree.InsertCheckBox("B", group, false, first);
        QCOMPARE(group->childCount(), 3);
        QCOMPARE(group->child(0)->text(0), "A");
        QCOMPARE(group->child(1)->text(0), "B");
        QCOMPARE(group->child(2), last);
        QCOMPARE(CTreeOptionsCtrl::Kind(group), OptionKind::kGroup);
        QCOMPARE(CTreeOptionsCtrl::Image(group), 13);
        QCOMPARE(CTreeOptionsCtrl::Kind(first), OptionKind::kCheckBox);
        QCOMPARE(CTreeOptionsCtrl::Image(first), kImageCheckOn);
        QCOMPARE(CTreeOptionsCtrl::Image(last), kImageCheckOff);
        QVERIFY(first->flags() & Qt::ItemIsUserCheckable);
        // A second top-level group after the first, then one placed between them.
        QTreeWidgetItem* end = tree.InsertGroup("End", 16);
        tree.InsertGroup("Middle", 14, nullptr, group);
        QCOMPARE(tree.topLevelItem(1)->text(0), "Middle");
        QCOMPARE(tree.topLevelItem(2), end);
    }

    void RadioInsertedOnTurnsSiblingsOff() {
        CTreeOptionsCtrl tree;
        QTreeWidgetItem* group = tree.InsertGroup("Action", 14);
        QTreeWidgetItem* a = tree.InsertRadioButton("A", group, true);
        QTreeWidgetItem* b = tree.InsertRadioButton("B", group, false);
        QCOMPARE(CTreeOptionsCtrl::Image(a), kImageRadioOn);
        QCOMPARE(CTreeOptionsCtrl::Image(b), kImageRadioOff);
        QCOMPARE(tree.GetRadioButton(group), 0);
        QTreeWidgetItem* c = tree.InsertRadioButton("C", group, true);
        QCOMPARE(CTreeOptionsCtrl::Image(a), kImageRadioOff);
        QCOMPARE(CTreeOptionsCtrl::Image(c), kImageRadioOn);
        QCOMPARE(tree.GetRadioButton(group), 2);
        QCOMPARE(tree.GetCheckedRadioButton(group), c);
        // Another group's radios are not siblings.
        QTreeWidgetItem* other = tree.InsertGroup("Other", 14);
        tree.InsertRadioButton("X", other, true);
        QCOMPARE(tree.GetRadioButton(group), 2);
        QCOMPARE(tree.GetRadioButton(tree.InsertGroup("Empty", 14)), -1);
    }

    void EditLabelIsCaptionColonValue() {
        CTreeOptionsCtrl tree;
        QTreeWidgetItem* minutes = tree.InsertEdit("Clear Clipboard if idle for (mins):", 11,
                                                   nullptr, "5", {.upDown = true});
        QCOMPARE(minutes->text(0), "Clear Clipboard if idle for (mins):: 5");
        QCOMPARE(tree.GetEditText(minutes), "5");
        tree.SetEditText(minutes, "12");
        QCOMPARE(minutes->text(0), "Clear Clipboard if idle for (mins):: 12");
        QCOMPARE(CTreeOptionsCtrl::Caption(minutes), "Clear Clipboard if idle for (mins):");

        QTreeWidgetItem* empty = tree.InsertEdit("Enter password:", 14, nullptr, "");
        QCOMPARE(empty->text(0), "Enter password:: ");
        QCOMPARE(tree.GetEditText(empty), "");
        // Only the first ": " separates; the value may hold more of them.
        tree.SetEditText(empty, "a: b");
        QCOMPARE(tree.GetEditText(empty), "a: b");
        tree.SetEditText(empty, "c");
        QCOMPARE(empty->text(0), "Enter password:: c");

        // A label without ": " has no value yet.
        QTreeWidgetItem* plain = tree.InsertGroup("Name", 11);
        tree.AddEditBox(plain);
        QCOMPARE(tree.GetEditText(plain), "");
        QCOMPARE(CTreeOptionsCtrl::Kind(plain), OptionKind::kEdit);
    }

    void EditNumberReadsLeadingDigits() {
        CTreeOptionsCtrl tree;
        QTreeWidgetItem* item = tree.InsertEdit("Minutes:", 11, nullptr, "");
        const std::pair<const char*, int> cases[] = {{"abc", 0}, {"", 0},   {" 12 minutes", 12},
                                                     {"-2", -2}, {"+7", 7}, {"250", 250}};
        for (const auto& [text, number] : cases) {
            tree.SetEditText(item, text);
            QCOMPARE(tree.GetEditNumber(item), number);
        }
        tree.SetEditNumber(item, 42);
        QCOMPARE(item->text(0), "Minutes:: 42");
    }

    void ItemsAreFoundByCaptionAndDescribeTheirState() {
        Page page;
        QCOMPARE(page.tree->FindItem("Minimize to System Tray"), page.trayMinimize);
        QCOMPARE(page.tree->FindItem("Clear Clipboard if idle for (mins):"), page.timedClear);
        QCOMPARE(page.tree->FindItem("nothing"), nullptr);
        QCOMPARE(page.trayIcon->data(0, Qt::AccessibleTextRole).toString(),
                 "Place icon in the System Tray");
        QCOMPARE(page.trayIcon->data(0, Qt::AccessibleDescriptionRole).toString(),
                 "check box, checked");
        QCOMPARE(page.trayIcon->checkState(0), Qt::Checked);
        page.tree->SetCheckBoxEnable(page.trayMinimize, false);
        QCOMPARE(page.trayMinimize->data(0, Qt::AccessibleDescriptionRole).toString(),
                 "check box, not checked, disabled");
        QCOMPARE(page.Radio(1)->checkState(0), Qt::Unchecked);
        QCOMPARE(page.timedClear->data(0, Qt::AccessibleDescriptionRole).toString(), "edit: 3");
    }

    // ---- check boxes and radio buttons by call

    void CheckBoxStateSurvivesEnabling() {
        CTreeOptionsCtrl tree;
        QTreeWidgetItem* box = tree.InsertCheckBox("Box", nullptr, true);
        QSignalSpy changed(&tree, &CTreeOptionsCtrl::CheckChanged);
        tree.SetCheckBoxEnable(box, false);
        QCOMPARE(CTreeOptionsCtrl::Image(box), kImageCheckOnDisabled);
        QVERIFY(tree.GetCheckBox(box));
        QVERIFY(!tree.GetCheckBoxEnable(box));
        tree.SetCheckBox(box, false);  // the program may still change a disabled box
        QCOMPARE(CTreeOptionsCtrl::Image(box), kImageCheckOffDisabled);
        tree.SetCheckBoxEnable(box, true);
        QCOMPARE(CTreeOptionsCtrl::Image(box), kImageCheckOff);
        tree.SetCheckBox(box, false);  // no change, no signal
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][1].toBool(), false);
        // Check calls on other kinds change nothing.
        QTreeWidgetItem* group = tree.InsertGroup("G", 13);
        tree.SetCheckBox(group, true);
        QCOMPARE(CTreeOptionsCtrl::Image(group), 13);
        QVERIFY(!tree.GetCheckBox(group));
    }

    void ParentCheckFollowsAndSetsItsChildren() {
        CTreeOptionsCtrl tree;
        QTreeWidgetItem* parent = tree.InsertCheckBox("All", nullptr, false);
        QTreeWidgetItem* a = tree.InsertCheckBox("A", parent, false);
        QTreeWidgetItem* b = tree.InsertCheckBox("B", parent, false);
        tree.SetCheckBox(a, true);
        QCOMPARE(CTreeOptionsCtrl::Image(parent), kImageCheckPartly);
        QVERIFY(tree.GetCheckBox(parent));
        QCOMPARE(parent->checkState(0), Qt::PartiallyChecked);
        tree.SetCheckBoxEnable(parent, false);
        QCOMPARE(CTreeOptionsCtrl::Image(parent), kImageCheckPartlyDisabled);
        tree.SetCheckBoxEnable(parent, true);
        tree.SetCheckBox(b, true);
        QCOMPARE(CTreeOptionsCtrl::Image(parent), kImageCheckOn);
        tree.SetCheckBox(a, false);
        tree.SetCheckBox(b, false);
        QCOMPARE(CTreeOptionsCtrl::Image(parent), kImageCheckOff);

        // Space on the parent sets every child alike: partly on goes off, then all on.
        tree.SetCheckBox(a, true);
        tree.resize(300, 200);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.setCurrentItem(parent);
        QTest::keyClick(&tree, Qt::Key_Space);
        QVERIFY(!tree.GetCheckBox(a));
        QVERIFY(!tree.GetCheckBox(b));
        QCOMPARE(CTreeOptionsCtrl::Image(parent), kImageCheckOff);
        QTest::keyClick(&tree, Qt::Key_Space);
        QVERIFY(tree.GetCheckBox(a) && tree.GetCheckBox(b));
        QCOMPARE(CTreeOptionsCtrl::Image(parent), kImageCheckOn);
    }

    void RadioSelectionByIndexAndSignals() {
        Page page;
        QSignalSpy radio(page.tree, &CTreeOptionsCtrl::RadioChanged);
        page.tree->SetRadioButton(page.action, 1);
        QCOMPARE(page.tree->GetRadioButton(page.action), 1);
        QCOMPARE(CTreeOptionsCtrl::Image(page.Radio(0)), kImageRadioOff);
        QCOMPARE(radio.count(), 1);
        QCOMPARE(radio[0][0].value<QTreeWidgetItem*>(), page.action);
        QCOMPARE(radio[0][1].toInt(), 1);
        page.tree->SetRadioButton(page.action, 1);
        page.tree->SetRadioButton(page.action, 7);  // out of range: ignored
        QCOMPARE(radio.count(), 1);
        // Disabled radios keep their disabled look when a sibling is checked.
        page.tree->SetRadioButtonEnable(page.Radio(0), false);
        page.tree->SetRadioButton(page.Radio(0));
        QCOMPARE(CTreeOptionsCtrl::Image(page.Radio(0)), kImageRadioOnDisabled);
        page.tree->SetRadioButton(page.Radio(1));
        QCOMPARE(CTreeOptionsCtrl::Image(page.Radio(0)), kImageRadioOffDisabled);
    }

    // ---- mouse and keyboard

    void ClickAndSpaceToggleEnabledItemsOnly() {
        Page page;
        QVERIFY(page.Show());
        QSignalSpy changed(page.tree, &CTreeOptionsCtrl::CheckChanged);
        page.Click(page.trayIcon);
        QVERIFY(!page.tree->GetCheckBox(page.trayIcon));
        QTest::keyClick(page.tree, Qt::Key_Space);
        QVERIFY(page.tree->GetCheckBox(page.trayIcon));
        QCOMPARE(changed.count(), 2);

        page.tree->SetCheckBoxEnable(page.trayMinimize, false);
        page.Click(page.trayMinimize);
        QCOMPARE(page.tree->currentItem(), page.trayMinimize);  // selectable all the same
        QTest::keyClick(page.tree, Qt::Key_Space);
        QCOMPARE(CTreeOptionsCtrl::Image(page.trayMinimize), kImageCheckOffDisabled);
        QCOMPARE(changed.count(), 2);

        // Space on a group does nothing to the check boxes beneath it.
        page.Click(page.tray);
        QTest::keyClick(page.tree, Qt::Key_Space);
        QVERIFY(page.tree->GetCheckBox(page.trayIcon));
    }

    void ClickingRadiosKeepsExactlyOneOn() {
        Page page;
        QVERIFY(page.Show());
        page.Click(page.Radio(0));  // already on: stays on
        QCOMPARE(page.tree->GetRadioButton(page.action), 0);
        page.Click(page.Radio(1));
        QCOMPARE(page.tree->GetRadioButton(page.action), 1);
        QCOMPARE(CTreeOptionsCtrl::Image(page.Radio(0)), kImageRadioOff);
        page.tree->setCurrentItem(page.Radio(0));
        QTest::keyClick(page.tree, Qt::Key_Space);
        QCOMPARE(page.tree->GetRadioButton(page.action), 0);
        QTest::keyClick(page.tree, Qt::Key_Space);
        QCOMPARE(page.tree->GetRadioButton(page.action), 0);
        page.tree->SetRadioButtonEnable(page.Radio(1), false);
        page.Click(page.Radio(1));
        QCOMPARE(page.tree->GetRadioButton(page.action), 0);
    }

    void StrictModeActsOnTheIndicatorOnly() {
        Page page;
        QVERIFY(page.Show());
        page.tree->SetToggleOnIndicatorOnly(true);
        page.Click(page.trayIcon);  // right of the label
        QVERIFY(page.tree->GetCheckBox(page.trayIcon));
        const QRect indicator = page.tree->IndicatorRect(page.trayIcon);
        QVERIFY(indicator.isValid());
        QVERIFY(page.tree->visualItemRect(page.trayIcon).contains(indicator.center()));
        page.Click(page.trayIcon, indicator.center());
        QVERIFY(!page.tree->GetCheckBox(page.trayIcon));
    }

    // ---- in-place editing

    void SelectingAnEditItemOpensItWithTheValue() {
        Page page;
        QVERIFY(page.Show());
        page.tree->setCurrentItem(page.timedClear);
        QCOMPARE(page.tree->InPlaceItem(), page.timedClear);
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):");
        QLineEdit* edit = page.tree->InPlaceEdit();
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->objectName(), kEditObjectName);
        QCOMPARE(page.tree->InPlaceControl()->objectName(), kUpDownObjectName);
        QCOMPARE(edit->text(), "3");
        QVERIFY(page.tree->InPlaceControl()->isVisible());
        // Keyboard selection leaves the focus in the tree; Right moves it into the edit.
        QCOMPARE(page.Focus(), page.tree);
        QTest::keyClick(page.tree, Qt::Key_Right);
        QVERIFY(page.tree->InPlaceControl()->isAncestorOf(page.Focus()) ||
                page.Focus() == page.tree->InPlaceControl());
        // The edit sits right of the caption and keeps to the tree.
        const QRect geometry = page.tree->InPlaceControl()->geometry();
        QVERIFY(geometry.left() > page.tree->visualItemRect(page.timedClear).left());
        QVERIFY(geometry.right() < page.tree->viewport()->width());
        QVERIFY(geometry.width() >= kMinimumEditWidth);
    }

    void SelectingAnotherItemWritesBack() {
        Page page;
        QVERIFY(page.Show());
        QSignalSpy edited(page.tree, &CTreeOptionsCtrl::EditTextChanged);
        page.Click(page.timedClear);
        QVERIFY(page.tree->InPlaceControl() != nullptr);
        QCOMPARE(page.Focus(), page.tree->InPlaceControl());  // a click edits at once
        page.tree->InPlaceEdit()->selectAll();
        QTest::keyClicks(page.Focus(), "17");
        QCOMPARE(page.tree->GetEditText(page.timedClear), "17");  // live while open
        page.Click(page.trayIcon);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):: 17");
        QCOMPARE(edited.count(), 1);
        QCOMPARE(edited[0][1].toString(), "17");
        // The click that closed the edit still toggled its item.
        QVERIFY(!page.tree->GetCheckBox(page.trayIcon));
        // Moving from one edit item to another closes the first and opens the second.
        page.Click(page.timedClear);
        page.Click(page.password);
        QCOMPARE(page.tree->InPlaceItem(), page.password);
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):: 17");
        QCOMPARE(edited.count(), 1);  // unchanged value, no signal
    }

    void FocusToAButtonWritesBack() {
        Page page;
        QVERIFY(page.Show());
        page.Click(page.password);
        QTest::keyClicks(page.Focus(), "s3cret");
        // Pressing OK at once: the button takes the focus before the page is read.
        QTest::mouseClick(page.ok, Qt::LeftButton);
        QCOMPARE(page.Focus(), page.ok);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.password->text(0), "Enter password:: s3cret");
        // The tree itself losing the focus closes an edit opened from the keyboard too.
        page.tree->setFocus();
        page.tree->setCurrentItem(page.timedClear);
        QVERIFY(page.tree->InPlaceItem() != nullptr);
        page.ok->setFocus();
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):: 3");
    }

    void EnterAndTabWriteBackAndReturnToTheTreeEscapeDoesNot() {
        Page page;
        QVERIFY(page.Show());
        page.tree->setFocus();
        page.tree->setCurrentItem(page.password);
        QTest::keyClick(page.tree, Qt::Key_F2);
        QCOMPARE(page.Focus(), page.tree->InPlaceEdit());
        QTest::keyClicks(page.Focus(), "abc");
        QTest::keyClick(page.Focus(), Qt::Key_Return);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.Focus(), page.tree);
        QCOMPARE(page.password->text(0), "Enter password:: abc");

        // Enter on a closed edit item opens it again; Tab leaves it.
        QTest::keyClick(page.tree, Qt::Key_Return);
        QCOMPARE(page.tree->InPlaceItem(), page.password);
        QTest::keyClick(page.Focus(), Qt::Key_End);
        QTest::keyClicks(page.Focus(), "d");
        QTest::keyClick(page.Focus(), Qt::Key_Tab);
        QCOMPARE(page.Focus(), page.tree);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.password->text(0), "Enter password:: abcd");

        // Escape neither reverts nor closes.
        page.Click(page.password);
        page.tree->InPlaceEdit()->selectAll();
        QTest::keyClicks(page.Focus(), "xy");
        QTest::keyClick(page.Focus(), Qt::Key_Escape);
        QCOMPARE(page.tree->InPlaceItem(), page.password);
        QCOMPARE(page.tree->InPlaceEdit()->text(), "xy");
        page.tree->CloseInPlaceEdit();
        QCOMPARE(page.password->text(0), "Enter password:: xy");
    }

    void UpDownStepsWithinRangeButAcceptsAnyTyping() {
        Page page;
        QVERIFY(page.Show());
        page.Click(page.timedClear);
        QWidget* spin = page.Focus();
        QCOMPARE(spin, page.tree->InPlaceControl());
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(page.tree->InPlaceEdit()->text(), "4");
        page.tree->InPlaceEdit()->setText("0");
        QTest::keyClick(spin, Qt::Key_Down);
        QCOMPARE(page.tree->InPlaceEdit()->text(), "0");
        page.tree->InPlaceEdit()->setText("99");
        QTest::keyClick(spin, Qt::Key_Up);
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(page.tree->InPlaceEdit()->text(), "100");
        // Typed values outside the range or not numbers at all are kept for the page to judge.
        page.tree->InPlaceEdit()->selectAll();
        QTest::keyClicks(spin, "250");
        QCOMPARE(page.tree->InPlaceEdit()->text(), "250");
        page.tree->InPlaceEdit()->selectAll();
        QTest::keyClicks(spin, "abc");
        page.tree->CloseInPlaceEdit();
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):: abc");
        QCOMPARE(page.tree->GetEditNumber(page.timedClear), 0);
        // Stepping from a large typed number brings it into range, without separators.
        auto updown = std::make_unique<CInPlaceUpDown>(0, 5000);
        updown->SetText("1234x");
        updown->stepBy(1);
        QCOMPARE(updown->Text(), "1235");
    }

    void NarrowerVariantTakesPixelsOff() {
        Page page;
        QTreeWidgetItem* narrow = page.tree->InsertEdit("Narrow:", 11, page.clipboard, "1",
                                                        {.upDown = false, .narrower = 70});
        QVERIFY(page.Show());
        page.tree->setCurrentItem(page.password);
        const int full = page.tree->InPlaceControl()->geometry().right();
        page.tree->setCurrentItem(narrow);
        QCOMPARE(page.tree->InPlaceControl()->geometry().right(), full - 70);
    }

    void ScrollingWheelAndCollapseClose() {
        Page page;
        for (int i = 0; i < 40; ++i) {
            page.tree->InsertCheckBox(QStringLiteral("Filler %1").arg(i), nullptr, false);
        }
        QVERIFY(page.Show());
        page.Click(page.password);
        QTest::keyClicks(page.Focus(), "one");
        page.tree->verticalScrollBar()->setValue(page.tree->verticalScrollBar()->value() + 1);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.password->text(0), "Enter password:: one");
        QCOMPARE(page.Focus(), page.tree);

        page.tree->verticalScrollBar()->setValue(0);
        page.Click(page.password);
        QTest::keyClicks(page.Focus(), "two");
        QWheelEvent wheel(QPointF(10, 10), page.tree->viewport()->mapToGlobal(QPointF(10, 10)), {},
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(page.tree->viewport(), &wheel);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.password->text(0), "Enter password:: onetwo");

        page.tree->verticalScrollBar()->setValue(0);
        page.tree->setCurrentItem(page.timedClear);
        page.tree->collapseItem(page.clipboard);
        QCOMPARE(page.tree->InPlaceItem(), nullptr);
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):: 3");
    }

    void DestroyingTheTreeWritesBackAndDeletingTheItemIsSafe() {
        QString written;
        {
            CTreeOptionsCtrl tree;
            QTreeWidgetItem* item = tree.InsertEdit("Name:", 11, nullptr, "old");
            tree.show();
            QVERIFY(QTest::qWaitForWindowExposed(&tree));
            tree.setCurrentItem(item);
            tree.InPlaceEdit()->setText("new");
            QObject::connect(&tree, &CTreeOptionsCtrl::EditTextChanged,
                             [&written](QTreeWidgetItem*, const QString& v) { written = v; });
        }
        QCOMPARE(written, "new");

        CTreeOptionsCtrl tree;
        QTreeWidgetItem* item = tree.InsertEdit("Name:", 11, nullptr, "old");
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.setCurrentItem(item);
        QVERIFY(tree.InPlaceItem() == item);
        delete item;
        QCOMPARE(tree.InPlaceItem(), nullptr);
        QCOMPARE(tree.InPlaceControl(), nullptr);
        tree.InsertEdit("Other:", 11, nullptr, "v");
        tree.setCurrentItem(tree.topLevelItem(0));
        tree.clear();
        QCOMPARE(tree.InPlaceItem(), nullptr);
    }

    // ---- data exchange

    void ExchangeLoadsAndSavesAPage() {
        struct Members {
            int trayIcon = 0;
            int trayMinimize = 1;
            int trayAction = 1;
            int timedClear = 25;
            std::string password = "pw";
            QString text = "t";
        } members;
        Page page;
        QTreeWidgetItem* text = page.tree->InsertEdit("Text:", 11, page.clipboard, "");
        const auto exchange = [&](Exchange direction) {
            DDX_TreeCheck(direction, *page.tree, page.trayIcon, members.trayIcon);
            DDX_TreeCheck(direction, *page.tree, page.trayMinimize, members.trayMinimize);
            DDX_TreeRadio(direction, *page.tree, page.action, members.trayAction);
            DDX_TreeEditNumber(direction, *page.tree, page.timedClear, members.timedClear);
            DDX_TreeEdit(direction, *page.tree, page.password, members.password);
            DDX_TreeEdit(direction, *page.tree, text, members.text);
        };
        exchange(Exchange::kLoad);
        QVERIFY(!page.tree->GetCheckBox(page.trayIcon));
        QVERIFY(page.tree->GetCheckBox(page.trayMinimize));
        QCOMPARE(page.tree->GetRadioButton(page.action), 1);
        QCOMPARE(page.timedClear->text(0), "Clear Clipboard if idle for (mins):: 25");
        QCOMPARE(page.password->text(0), "Enter password:: pw");
        QCOMPARE(text->text(0), "Text:: t");

        QVERIFY(page.Show());
        page.tree->SetCheckBox(page.trayIcon, true);
        page.tree->SetCheckBoxEnable(page.trayMinimize, false);  // disabled still reads its state
        page.Click(page.Radio(0));
        page.Click(page.password);
        page.tree->InPlaceEdit()->setText("typed");  // still open when the page is read
        exchange(Exchange::kSave);
        QCOMPARE(members.trayIcon, 1);
        QCOMPARE(members.trayMinimize, 1);
        QCOMPARE(members.trayAction, 0);
        QCOMPARE(members.timedClear, 25);
        QCOMPARE(members.password, "typed");
        QCOMPARE(members.text, "t");

        bool flag = false;
        DDX_TreeCheck(Exchange::kLoad, *page.tree, page.trayIcon, flag);
        flag = true;
        DDX_TreeCheck(Exchange::kSave, *page.tree, page.trayIcon, flag);
        QVERIFY(!flag);
    }
};

QTEST_MAIN(OptionsTreeTest)
#include "options_tree_test.moc"
