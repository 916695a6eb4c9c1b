// The Customize sheet's own handling: drops on a toolbar's buttons, moves counted the way a
// drop indicator shows them, a taken key kept when the user says no, and the tool limit.

#include <QApplication>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "ui/commands.h"
#include "ui/customize_dlg.h"
#include "ui/message_box.h"

using namespace zelvant;
using namespace zelvant::ui;

namespace {

std::vector<int> Buttons(const CCustomizeSheet& sheet) {
    return sheet.State().FindToolbar(sheet.SelectedToolbar())->commands;
}

void Drop(CButtonList& list, int command, int fromRow, QPoint at) {
    QMimeData mime;
    mime.setData(QString::fromLatin1(kCommandMimeType),
                 QStringLiteral("%1 %2").arg(command).arg(fromRow).toLatin1());
    // As a drag arrives: it enters, moves and is dropped.
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &move);
    QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &drop);
}

}  // namespace

class CustomizeDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() {
        SetDialogHookForTests({});
        SetMessageBoxHookForTests({});
    }

    void buttonsDroppedAndMovedLandWhereTheyWereDropped() {
        CBarCustomization state;
        const int bar = state.AddToolbar(QStringLiteral("Mine"));
        for (int id : {cmd::kNew, cmd::kOpen, cmd::kSave}) {
            state.InsertButton(bar, 9, id);
        }
        CCustomizeSheet sheet(state);
        sheet.show();
        sheet.SelectToolbar(bar);
        auto* list = sheet.findChild<CButtonList*>(QStringLiteral("buttonList"));
        QCOMPARE(list->count(), 3);

        // New dragged below Open: in front of Save once New is out of the way.
        sheet.MoveButtonTo(0, 2);
        QCOMPARE(Buttons(sheet), (std::vector<int>{cmd::kOpen, cmd::kNew, cmd::kSave}));
        sheet.MoveButtonTo(2, 0);
        QCOMPARE(Buttons(sheet), (std::vector<int>{cmd::kSave, cmd::kOpen, cmd::kNew}));

        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        list->doItemsLayout();
        // A command from the list dropped on the upper half of the first button goes first.
        const QRect first = list->visualItemRect(list->item(0));
        Drop(*list, cmd::kPasswordPopup, -1, first.topLeft() + QPoint(2, 1));
        QCOMPARE(Buttons(sheet).front(), cmd::kPasswordPopup);
        // Below every button: the end.
        Drop(*list, 0, -1, QPoint(5, list->viewport()->height() - 2));
        QCOMPARE(Buttons(sheet).back(), 0);
        QCOMPARE(list->count(), 5);
        // A button dragged off the list.
        emit list->DraggedOff(0);
        QCOMPARE(Buttons(sheet), (std::vector<int>{cmd::kSave, cmd::kOpen, cmd::kNew, 0}));

        // The sheet worked on a copy.
        QCOMPARE(state.FindToolbar(bar)->commands.size(), std::size_t(3));
    }

    void aTakenKeyStaysWhenTheUserSaysNo() {
        CCustomizeSheet sheet{CBarCustomization()};
        QStringList asked;
        SetDialogHookForTests([&asked](QDialog& dialog) {
            asked << qobject_cast<QMessageBox*>(&dialog)->text();
            return int(QMessageBox::No);
        });
        QStringList told;
        SetMessageBoxHookForTests(
            [&told](const QString& text, QMessageBox::Icon) { told << text; });
        const QKeySequence ctrlO(QStringLiteral("Ctrl+O"));
        QVERIFY(!sheet.AssignKey(cmd::kFind, ctrlO));
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.front().contains(QStringLiteral("\"Open...\"")));
        QCOMPARE(sheet.State().ShortcutOwner(ctrlO), cmd::kOpen);

        QVERIFY(!sheet.AssignKey(cmd::kFind, QKeySequence(Qt::Key_Escape)));
        QCOMPARE(told.size(), 1);
        // A free key needs no question.
        QVERIFY(sheet.AssignKey(cmd::kFind, QKeySequence(QStringLiteral("Ctrl+Shift+F"))));
        QCOMPARE(asked.size(), 1);
    }

    void noMoreThanTenTools() {
        CCustomizeSheet sheet{CBarCustomization()};
        auto* add = sheet.findChild<QPushButton*>(QStringLiteral("newTool"));
        for (int i = 0; i < kMaxUserTools; ++i) {
            QVERIFY(add->isEnabled());
            add->click();
        }
        QCOMPARE(int(sheet.State().Tools().size()), kMaxUserTools);
        QVERIFY(!add->isEnabled());
    }
};

QTEST_MAIN(CustomizeDlgTest)
#include "customize_dlg_test.moc"
