// The drag rules the text fields share, on hand-made drag events.

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>

#include "ui/field_drag.h"

using namespace zelvant::ui;

class FieldDragTest : public QObject {
    Q_OBJECT

  private slots:
    void onlyTargetsTakeText() {
        QMimeData text;
        text.setText(QStringLiteral("abc"));
        QMimeData image;
        image.setImageData(QColor(Qt::red));
        CFieldDrag drag;
        drag.SetMode(kDragSource);
        QDragEnterEvent enter({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!drag.Enter(&enter) && !enter.isAccepted() && !drag.Accepting());

        drag.SetMode(kDropTarget);
        QDragEnterEvent other({1, 1}, Qt::CopyAction, &image, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(!drag.Enter(&other) && !other.isAccepted());
        // Without Ctrl a move is asked for; a source offering only copies gets a copy.
        QDragEnterEvent copyOnly({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(drag.Enter(&copyOnly) && copyOnly.isAccepted() && drag.Accepting());
        QCOMPARE(copyOnly.dropAction(), Qt::CopyAction);
        QDragMoveEvent both({1, 1}, Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                            Qt::NoModifier);
        QCOMPARE(drag.Move(&both, 0), CFieldDrag::Over::Elsewhere);
        QCOMPARE(both.dropAction(), Qt::MoveAction);
        QDragMoveEvent ctrl({1, 1}, Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                            Qt::ControlModifier);
        QCOMPARE(drag.Move(&ctrl, 0), CFieldDrag::Over::Elsewhere);
        QCOMPARE(ctrl.dropAction(), Qt::CopyAction);
    }

    void ownTextIsNoPlaceToDrop() {
        QMimeData text;
        text.setText(QStringLiteral("cde"));
        CFieldDrag drag;
        drag.SetMode(kDragBoth);
        drag.Begin(2, 5);
        QDragEnterEvent enter({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(drag.Enter(&enter));
        for (const int at : {2, 3, 5}) {
            QDragMoveEvent over({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
            QCOMPARE(drag.Move(&over, at), CFieldDrag::Over::OwnText);
            QVERIFY(!over.isAccepted());
        }
        QDropEvent onOwn({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(drag.Drop(&onOwn, 4).isEmpty());
        QVERIFY(!onOwn.isAccepted() && !drag.Accepting() && !drag.DroppedOnSelf());

        QDropEvent beside({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCOMPARE(drag.Drop(&beside, 6), QStringLiteral("cde"));
        QVERIFY(beside.isAccepted() && drag.DroppedOnSelf());
        // Once the drag is over, the same span takes drops again.
        drag.End();
        QDragEnterEvent again({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(drag.Enter(&again));
        QDragMoveEvent later({1, 1}, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCOMPARE(drag.Move(&later, 3), CFieldDrag::Over::Elsewhere);
    }

    void dragStartsOutsideTheSquare() {
        CFieldDrag drag;
        drag.HoldPress({10, 10});
        QVERIFY(drag.PressHeld());
        QVERIFY(!drag.LeftDragSquare({15, 5}) && !drag.LeftDragSquare({5, 15}));
        QVERIFY(drag.LeftDragSquare({16, 10}) && drag.LeftDragSquare({10, 4}));
    }
};

QTEST_MAIN(FieldDragTest)
#include "field_drag_test.moc"
