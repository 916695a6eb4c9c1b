// Text fields on the offscreen platform: dragging selected text out as a marked copy, taking
// drops at the pointer, masking, and the clipboard that only ever clears its own text.
// QDrag::exec blocks, so the fields here run their drags through a StartDrag that records the
// offered data and may deliver drag events to the field itself, as a real drag over it would.

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <memory>

#include "ui/clipboard.h"
#include "ui/field_edit.h"

using namespace zelvant::ui;

namespace {

template <class Field>
class Recording : public Field {
  public:
    using Field::Field;
    int starts = 0;
    QString dragged;
    bool secret = false;
    Qt::DropActions allowed;
    // Runs during the drag (events over the field itself, moving the pointer) and gives the
    // drag's outcome; without it the drag is taken elsewhere as a copy.
    std::function<Qt::DropAction(const QMimeData&)> during;

  protected:
    Qt::DropAction StartDrag(QMimeData* mime, Qt::DropActions actions) override {
        const std::unique_ptr<QMimeData> owned(mime);
        ++starts;
        dragged = owned->text();
        secret = IsMarkedSecret(*owned);
        allowed = actions;
        return during ? during(*owned) : Qt::CopyAction;
    }
};
using TestFieldEdit = Recording<CFieldEdit>;
using TestFieldTextEdit = Recording<CFieldTextEdit>;

void Mouse(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void Press(QWidget* target, const QPoint& pos) {
    Mouse(target, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}
void MoveHeld(QWidget* target, const QPoint& pos) {
    Mouse(target, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}
void Hover(QWidget* target, const QPoint& pos) {
    Mouse(target, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
}
void Release(QWidget* target, const QPoint& pos) {
    Mouse(target, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

// The middle of the pixels whose nearest caret position is `at`.
QPoint PointAt(CFieldEdit& edit, int at) {
    const int y = edit.height() / 2;
    int first = -1;
    int last = -1;
    for (int x = 0; x < edit.width(); ++x) {
        if (edit.cursorPositionAt(QPoint(x, y)) == at) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    return {(first + last) / 2, y};
}

// Caret position `at`, in viewport coordinates.
QPoint PointOn(CFieldTextEdit& edit, int at) {
    QTextCursor cursor(edit.document());
    cursor.setPosition(at);
    return edit.cursorRect(cursor).center();
}

struct DropOutcome {
    bool entered = false;
    bool dropped = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// One drag entering the target and dropping at pos.
DropOutcome DropAt(QWidget* target, const QPoint& pos, const QMimeData& mime,
                   Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction,
                   Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    DropOutcome outcome;
    QDragEnterEvent enter(pos, possible, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &enter);
    outcome.entered = enter.isAccepted();
    if (!outcome.entered) {
        return outcome;
    }
    QDragMoveEvent move(pos, possible, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(pos), possible, &mime, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &drop);
    outcome.dropped = drop.isAccepted();
    outcome.action = drop.dropAction();
    return outcome;
}

std::unique_ptr<QMimeData> TextData(const QString& text) {
    auto mime = std::make_unique<QMimeData>();
    mime->setText(text);
    return mime;
}

QString ClipboardText() {
    return QGuiApplication::clipboard()->text();
}

}  // namespace

class FieldEditTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    TestFieldEdit* field_ = nullptr;
    TestFieldEdit* other_ = nullptr;
    TestFieldTextEdit* notes_ = nullptr;

    // Presses at caret position `at` of the field and moves the pointer by `by`.
    void PressAndMove(int at, const QPoint& by) {
        Press(field_, PointAt(*field_, at));
        MoveHeld(field_, PointAt(*field_, at) + by);
    }

  private slots:
    void init() {
        window_ = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window_.get());
        field_ = new TestFieldEdit(window_.get());
        other_ = new TestFieldEdit(window_.get());
        notes_ = new TestFieldTextEdit(window_.get());
        for (TestFieldEdit* edit : {field_, other_}) {
            edit->SetDragMode(kDragBoth);
            edit->setFixedWidth(400);
            layout->addWidget(edit);
        }
        notes_->SetDragMode(kDragBoth);
        notes_->setFixedSize(400, 200);
        layout->addWidget(notes_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        field_->setText(QStringLiteral("abcdefghij"));
        QGuiApplication::clipboard()->clear();
    }

    void cleanup() { window_.reset(); }

    // ---- dragging text out ----

    void dragOffersTheSelectedPartOfAMaskedFieldAsACopy() {
        field_->setText(QStringLiteral("correct horse"));
        field_->SetMasked(true);
        field_->setSelection(8, 5);
        PressAndMove(10, QPoint(6, 0));
        QCOMPARE(field_->starts, 1);
        QCOMPARE(field_->dragged, QStringLiteral("horse"));
        QVERIFY(field_->secret);
        QCOMPARE(field_->allowed, Qt::DropActions(Qt::CopyAction));
        // Taken elsewhere: the source is as it was, selection included.
        QCOMPARE(field_->text(), QStringLiteral("correct horse"));
        QCOMPARE(field_->selectedText(), QStringLiteral("horse"));
        QCOMPARE(field_->selectionStart(), 8);
        QVERIFY(!field_->Dragging());
    }

    void dragWaitsUntilThePointerLeavesTheFivePixelSquare() {
        field_->selectAll();
        const QPoint start = PointAt(*field_, 5);
        Press(field_, start);
        for (const QPoint step : {QPoint(5, 5), QPoint(-5, -5), QPoint(5, -5), QPoint(-5, 0)}) {
            MoveHeld(field_, start + step);
        }
        QCOMPARE(field_->starts, 0);
        // Let go there: a click, caret under the pointer.
        Release(field_, PointAt(*field_, 4));
        QVERIFY(!field_->hasSelectedText());
        QCOMPARE(field_->cursorPosition(), 4);

        field_->selectAll();
        PressAndMove(5, QPoint(0, 6));
        QCOMPARE(field_->starts, 1);
        PressAndMove(5, QPoint(-6, 0));
        QCOMPARE(field_->starts, 2);
    }

    void pressOutsideOrWithoutSelectionSelectsAsUsual() {
        field_->setSelection(0, 3);
        PressAndMove(6, PointAt(*field_, 9) - PointAt(*field_, 6));
        QCOMPARE(field_->selectedText(), QStringLiteral("ghi"));
        Release(field_, PointAt(*field_, 9));

        field_->deselect();
        PressAndMove(2, PointAt(*field_, 8) - PointAt(*field_, 2));
        QCOMPARE(field_->selectedText(), QStringLiteral("cdefgh"));
        Release(field_, PointAt(*field_, 8));

        // Without the source bit a press inside the selection selects as well.
        field_->SetDragMode(kDropTarget);
        field_->selectAll();
        PressAndMove(4, PointAt(*field_, 7) - PointAt(*field_, 4));
        QCOMPARE(field_->selectedText(), QStringLiteral("efg"));
        QCOMPARE(field_->starts, 0);
    }

    void unacceptedDragLeavesTheCaretUnderThePointer() {
        field_->setSelection(5, 4);
        field_->during = [this](const QMimeData&) {
            QCursor::setPos(field_->mapToGlobal(PointAt(*field_, 2)));
            return Qt::IgnoreAction;
        };
        PressAndMove(7, QPoint(0, 8));
        QCOMPARE(field_->starts, 1);
        QVERIFY(!field_->hasSelectedText());
        QCOMPARE(field_->cursorPosition(), 2);
        QCOMPARE(field_->text(), QStringLiteral("abcdefghij"));
    }

    void arrowCursorOnlyOverADraggableSelection() {
        field_->setSelection(0, 4);
        Hover(field_, PointAt(*field_, 2));
        QCOMPARE(field_->cursor().shape(), Qt::ArrowCursor);
        Hover(field_, PointAt(*field_, 8));
        QCOMPARE(field_->cursor().shape(), Qt::IBeamCursor);
        field_->SetDragMode(kDropTarget);
        Hover(field_, PointAt(*field_, 2));
        QCOMPARE(field_->cursor().shape(), Qt::IBeamCursor);
    }

    // ---- drops ----

    void dropInsertsAtThePointerSelectedAndUndoesInOneStep() {
        field_->setText(QString());
        QTest::keyClicks(field_, QStringLiteral("abcdef"));
        other_->setFocus();
        const auto mime = TextData(QStringLiteral("XYZ"));
        QDragEnterEvent enter(PointAt(*field_, 3), Qt::CopyAction, mime.get(), Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(field_, &enter);
        QVERIFY(field_->Accepting());
        QCOMPARE(window_->focusWidget(), field_);
        QDragLeaveEvent leave;
        QApplication::sendEvent(field_, &leave);
        QVERIFY(!field_->Accepting());

        QVERIFY(DropAt(field_, PointAt(*field_, 3), *mime).dropped);
        QCOMPARE(field_->text(), QStringLiteral("abcXYZdef"));
        QCOMPARE(field_->selectedText(), QStringLiteral("XYZ"));
        QCOMPARE(field_->selectionStart(), 3);
        field_->undo();
        QCOMPARE(field_->text(), QStringLiteral("abcdef"));

        // The popup's read-only fields show a drop too, and stay read-only.
        field_->setReadOnly(true);
        QVERIFY(DropAt(field_, PointAt(*field_, 6), *mime).dropped);
        QCOMPARE(field_->text(), QStringLiteral("abcdefXYZ"));
        QVERIFY(field_->isReadOnly());
    }

    void dropActionFollowsCtrlAndWhatTheSourceAllows() {
        const auto mime = TextData(QStringLiteral("q"));
        const QPoint at = PointAt(*field_, 1);
        const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
        QCOMPARE(DropAt(field_, at, *mime, both).action, Qt::MoveAction);
        QCOMPARE(DropAt(field_, at, *mime, both, Qt::ControlModifier).action, Qt::CopyAction);
        // Drags from our fields only ever offer a copy.
        QCOMPARE(DropAt(field_, at, *mime, Qt::CopyAction).action, Qt::CopyAction);
        QCOMPARE(DropAt(field_, at, *mime, Qt::MoveAction, Qt::ControlModifier).action,
                 Qt::MoveAction);
        field_->setText(QStringLiteral("abc"));
        QVERIFY(!DropAt(field_, at, *mime, Qt::LinkAction).dropped);
        QCOMPARE(field_->text(), QStringLiteral("abc"));
    }

    void dataWithoutTextAndFieldsWithoutTheDropBitAreRefused() {
        QMimeData binary;
        binary.setData(QStringLiteral("application/octet-stream"), QByteArray("xyz"));
        QVERIFY(!DropAt(field_, PointAt(*field_, 1), binary).entered);
        QDropEvent drop(QPointF(PointAt(*field_, 1)), Qt::CopyAction, &binary, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(field_, &drop);
        QVERIFY(!drop.isAccepted());

        field_->SetDragMode(kDragSource);
        QVERIFY(!field_->acceptDrops());
        QVERIFY(!DropAt(field_, PointAt(*field_, 1), *TextData(QStringLiteral("q"))).dropped);
        QCOMPARE(field_->text(), QStringLiteral("abcdefghij"));
    }

    void ownDragIsRefusedOverItsSelectionAndCopiedElsewhereInIt() {
        field_->setSelection(2, 3);  // "cde"
        field_->during = [this](const QMimeData& mime) {
            QCursor::setPos(field_->mapToGlobal(PointAt(*field_, 3)));
            const DropOutcome outcome = DropAt(field_, PointAt(*field_, 3), mime, Qt::CopyAction);
            return outcome.dropped ? outcome.action : Qt::IgnoreAction;
        };
        PressAndMove(3, QPoint(0, 7));
        QCOMPARE(field_->text(), QStringLiteral("abcdefghij"));
        QVERIFY(!field_->hasSelectedText());
        QCOMPARE(field_->cursorPosition(), 3);

        // Passing over itself moves the caret; dropped elsewhere, the selection comes back.
        field_->setSelection(2, 3);
        bool caretFollowed = false;
        field_->during = [this, &caretFollowed](const QMimeData& mime) {
            QDragEnterEvent enter(PointAt(*field_, 8), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(field_, &enter);
            QDragMoveEvent move(PointAt(*field_, 8), Qt::CopyAction, &mime, Qt::LeftButton,
                                Qt::NoModifier);
            QApplication::sendEvent(field_, &move);
            caretFollowed = field_->cursorPosition() == 8 && !field_->hasSelectedText();
            QDragLeaveEvent leave;
            QApplication::sendEvent(field_, &leave);
            return Qt::CopyAction;
        };
        PressAndMove(3, QPoint(9, 0));
        QVERIFY(caretFollowed);
        QCOMPARE(field_->selectedText(), QStringLiteral("cde"));

        field_->during = [this](const QMimeData& mime) {
            return DropAt(field_, PointAt(*field_, 9), mime, Qt::CopyAction).action;
        };
        PressAndMove(3, QPoint(0, 7));
        QCOMPARE(field_->text(), QStringLiteral("abcdefghicdej"));
        QCOMPARE(field_->selectedText(), QStringLiteral("cde"));
        QCOMPARE(field_->selectionStart(), 9);
    }

    // ---- masking and the clipboard ----

    void maskedFieldShowsAsterisksAndCopiesItsRealText() {
        const QString secret = QStringLiteral("p\u00e4ss w\u20acrd");
        const QString stars(secret.size(), QLatin1Char('*'));
        field_->setText(secret);
        field_->SetMasked(true);
        QVERIFY(field_->Masked());
        QCOMPARE(field_->displayText(), stars);
        field_->CopyToClipboard();
        QCOMPARE(ClipboardText(), secret);
        QVERIFY(IsMarkedSecret(*QGuiApplication::clipboard()->mimeData()));
        QVERIFY(ClipboardHoldsOurText());
        QCOMPARE(field_->selectedText(), secret);
        QCOMPARE(field_->displayText(), stars);

        // The keyboard copies marked text from a plain field, nothing from a masked one.
        other_->setText(QStringLiteral("user@example"));
        other_->selectAll();
        QTest::keySequence(other_, QKeySequence::Copy);
        QCOMPARE(ClipboardText(), QStringLiteral("user@example"));
        QVERIFY(ClipboardHoldsOurText());
        QTest::keySequence(field_, QKeySequence::Copy);
        QCOMPARE(ClipboardText(), QStringLiteral("user@example"));
    }

    void clearingRemovesOnlyOurOwnText() {
        PutSecretTextOnClipboard(QStringLiteral("hunter2"));
        QVERIFY(ClipboardHoldsOurText());
        QVERIFY(ClearOurClipboardText());
        QVERIFY(ClipboardText().isEmpty());
        QVERIFY(!ClipboardHoldsOurText());

        // The user copied something since: it stays.
        PutSecretTextOnClipboard(QStringLiteral("hunter2"));
        QGuiApplication::clipboard()->setText(QStringLiteral("shopping list"));
        QVERIFY(!ClipboardHoldsOurText());
        QVERIFY(!ClearOurClipboardText());
        QCOMPARE(ClipboardText(), QStringLiteral("shopping list"));

        // The same text from another program carries no marker; another instance's differs.
        PutSecretTextOnClipboard(QStringLiteral("hunter2"));
        QGuiApplication::clipboard()->setText(QStringLiteral("hunter2"));
        QVERIFY(!ClipboardHoldsOurText());
        PutSecretTextOnClipboard(QStringLiteral("first"));
        QGuiApplication::clipboard()->setMimeData(MakeSecretMimeData(QStringLiteral("second")));
        QVERIFY(!ClipboardHoldsOurText());

        PutSecretTextOnClipboard(QString());
        QVERIFY(!ClipboardHoldsOurText());
    }

    // ---- the multi-line field ----

    void notesDragTheirSelectionWithCrLfAndRefuseItOverItself() {
        notes_->setPlainText(QStringLiteral("first line\nsecond line\nthird"));
        QTextCursor cursor = notes_->textCursor();
        cursor.setPosition(6);
        cursor.setPosition(17, QTextCursor::KeepAnchor);  // "line\nsecond"
        notes_->setTextCursor(cursor);
        QWidget* viewport = notes_->viewport();
        const QPoint start = PointOn(*notes_, 8);
        Hover(viewport, start);
        QCOMPARE(viewport->cursor().shape(), Qt::ArrowCursor);
        notes_->during = [this, viewport](const QMimeData& mime) {
            QCursor::setPos(viewport->mapToGlobal(PointOn(*notes_, 1)));
            const DropOutcome outcome = DropAt(viewport, PointOn(*notes_, 9), mime);
            return outcome.dropped ? outcome.action : Qt::IgnoreAction;
        };
        Press(viewport, start);
        MoveHeld(viewport, start + QPoint(5, -5));
        QCOMPARE(notes_->starts, 0);
        MoveHeld(viewport, start + QPoint(6, -5));
        QCOMPARE(notes_->starts, 1);
        QCOMPARE(notes_->dragged, QStringLiteral("line\r\nsecond"));
        QVERIFY(notes_->secret);
        QCOMPARE(notes_->allowed, Qt::DropActions(Qt::CopyAction));
        QCOMPARE(notes_->toPlainText(), QStringLiteral("first line\nsecond line\nthird"));
        QVERIFY(!notes_->textCursor().hasSelection());
        QCOMPARE(notes_->textCursor().position(), 1);
    }

    void notesTakeADropAtThePointerAsOneUndoStep() {
        notes_->setPlainText(QStringLiteral("alpha\nomega"));
        const auto mime = TextData(QStringLiteral("one\r\ntwo"));
        QVERIFY(DropAt(notes_->viewport(), PointOn(*notes_, 2), *mime).dropped);
        QCOMPARE(notes_->toPlainText(), QStringLiteral("alone\ntwopha\nomega"));
        QCOMPARE(notes_->textCursor().selectedText(), QStringLiteral("one\u2029two"));
        notes_->undo();
        QCOMPARE(notes_->toPlainText(), QStringLiteral("alpha\nomega"));

        QMimeData binary;
        binary.setData(QStringLiteral("image/png"), QByteArray("png"));
        QVERIFY(!DropAt(notes_->viewport(), PointOn(*notes_, 2), binary).entered);
    }

    void notesCopyEverythingWithCrLf() {
        notes_->setPlainText(QStringLiteral("pin 1234\npuk 5678"));
        notes_->CopyToClipboard();
        QCOMPARE(ClipboardText(), QStringLiteral("pin 1234\r\npuk 5678"));
        QVERIFY(ClipboardHoldsOurText());
        QCOMPARE(notes_->textCursor().selectedText().size(), notes_->toPlainText().size());
    }
};

QTEST_MAIN(FieldEditTest)
#include "field_edit_test.moc"
