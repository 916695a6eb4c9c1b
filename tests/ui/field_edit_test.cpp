// Text fields on the offscreen platform. QDrag::exec blocks, so the fields run their drags through
// a StartDrag that records what was offered and may play the drag over the field itself.

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QMenu>
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
    // "text|secret|allowed actions" of every drag started; 1 is copy only.
    QStringList offers;
    // Plays the drag and gives its outcome; without it the drag is taken elsewhere as a copy.
    std::function<Qt::DropAction(const QMimeData&)> during;

  protected:
    Qt::DropAction StartDrag(QMimeData* mime, Qt::DropActions actions) override {
        const std::unique_ptr<QMimeData> owned(mime);
        const QString secret = IsMarkedSecret(*owned) ? "|secret|" : "|";
        offers << owned->text() + secret + QString::number(int(actions));
        return during ? during(*owned) : Qt::CopyAction;
    }
};

// Left button only; moves are made with it held.
void Mouse(QWidget* target, QEvent::Type type, const QPoint& pos) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const auto held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, held, {});
    QApplication::sendEvent(target, &event);
}

// The middle of the pixels whose nearest caret position is `at`.
QPoint PointAt(QLineEdit& edit, int at) {
    QList<int> xs;
    for (int x = 0; x < edit.width(); ++x) {
        if (edit.cursorPositionAt(QPoint(x, edit.height() / 2)) == at) {
            xs << x;
        }
    }
    return {(xs.front() + xs.back()) / 2, edit.height() / 2};
}

QPoint PointOn(QPlainTextEdit& edit, int at) {
    QTextCursor cursor(edit.document());
    cursor.setPosition(at);
    return edit.cursorRect(cursor).center();
}

// Drags over the target to pos and, if `release`, lets go there; IgnoreAction when refused.
Qt::DropAction DropAt(QWidget* target, const QPoint& pos, const QMimeData& mime,
                      Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction,
                      bool release = true) {
    QDragEnterEvent enter(pos, possible, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, possible, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!enter.isAccepted() || !release) {
        return Qt::IgnoreAction;
    }
    QDropEvent drop(QPointF(pos), possible, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

}  // namespace

class FieldEditTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    Recording<CFieldEdit>* field_ = nullptr;
    Recording<CFieldTextEdit>* notes_ = nullptr;
    QMimeData xyz_;

  private slots:
    void init() {
        window_ = std::make_unique<QWidget>();
        window_->setFixedWidth(400);
        auto* layout = new QVBoxLayout(window_.get());
        layout->addWidget(field_ = new Recording<CFieldEdit>);
        layout->addWidget(notes_ = new Recording<CFieldTextEdit>);
        field_->SetDragMode(kDragBoth);
        notes_->SetDragMode(kDragBoth);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        field_->setText(QStringLiteral("abcdefghij"));
        xyz_.setText(QStringLiteral("XYZ"));
        QGuiApplication::clipboard()->clear();
    }

    void dragOffersTheSelectionAsACopyOnlyBeyondFivePixels() {
        field_->setText(QStringLiteral("correct horse"));
        field_->SetMasked(true);
        field_->setSelection(8, 5);
        const QPoint start = PointAt(*field_, 10);
        Mouse(field_, QEvent::MouseButtonPress, start);
        Mouse(field_, QEvent::MouseMove, start + QPoint(5, -5));
        // Passing over itself on the way out moves the caret; the selection comes back after.
        field_->during = [this](const QMimeData& mime) {
            DropAt(field_, PointAt(*field_, 2), mime, Qt::CopyAction, false);
            return Qt::CopyAction;
        };
        for (const QPoint beyond : {QPoint(0, 6), QPoint(-6, 0)}) {
            Mouse(field_, QEvent::MouseButtonPress, start);
            Mouse(field_, QEvent::MouseMove, start + beyond);
        }
        // Taken elsewhere: the source is as it was, selection included.
        QCOMPARE(field_->text(), QStringLiteral("correct horse"));
        QCOMPARE(field_->selectedText(), QStringLiteral("horse"));

        // Let go inside the selection without dragging, it is a click.
        Mouse(field_, QEvent::MouseButtonPress, PointAt(*field_, 10));
        Mouse(field_, QEvent::MouseButtonRelease, PointAt(*field_, 9));
        QVERIFY(!field_->hasSelectedText());
        QCOMPARE(field_->cursorPosition(), 9);
        QCOMPARE(field_->offers, QStringList(2, QStringLiteral("horse|secret|1")));
    }

    void dropInsertsAtThePointerSelectedAndOnlyText() {
        field_->setText(QStringLiteral("abcdef"));
        // Our own fields offer only a copy, which must be taken.
        QCOMPARE(DropAt(field_, PointAt(*field_, 3), xyz_, Qt::CopyAction), Qt::CopyAction);
        QCOMPARE(field_->text(), QStringLiteral("abcXYZdef"));
        QCOMPARE(field_->selectedText(), QStringLiteral("XYZ"));

        QMimeData binary;
        binary.setData(QStringLiteral("application/octet-stream"), QByteArray("xyz"));
        QCOMPARE(DropAt(field_, PointAt(*field_, 1), binary), Qt::IgnoreAction);
        field_->SetDragMode(kDragSource);
        QCOMPARE(DropAt(field_, PointAt(*field_, 1), xyz_), Qt::IgnoreAction);
        QCOMPARE(field_->text(), QStringLiteral("abcXYZdef"));
    }

    void ownDragIsRefusedOverItsSelectionAndCopiedElsewhereInIt() {
        field_->setSelection(2, 3);  // "cde"
        // Refused, it ends as a click where the pointer was let go.
        field_->during = [this](const QMimeData& mime) {
            QCursor::setPos(field_->mapToGlobal(PointAt(*field_, 7)));
            return DropAt(field_, PointAt(*field_, 3), mime, Qt::CopyAction);
        };
        Mouse(field_, QEvent::MouseButtonPress, PointAt(*field_, 3));
        Mouse(field_, QEvent::MouseMove, PointAt(*field_, 3) + QPoint(0, 7));
        QCOMPARE(field_->text(), QStringLiteral("abcdefghij"));
        QVERIFY(!field_->hasSelectedText());
        QCOMPARE(field_->cursorPosition(), 7);

        field_->setSelection(2, 3);
        field_->during = [this](const QMimeData& mime) {
            return DropAt(field_, PointAt(*field_, 9), mime, Qt::CopyAction);
        };
        Mouse(field_, QEvent::MouseButtonPress, PointAt(*field_, 3));
        Mouse(field_, QEvent::MouseMove, PointAt(*field_, 3) + QPoint(0, 7));
        QCOMPARE(field_->text(), QStringLiteral("abcdefghicdej"));
        QCOMPARE(field_->selectionStart(), 9);
        QCOMPARE(field_->selectedText(), QStringLiteral("cde"));
    }

    void maskedCopyIsMarkedRealTextAndOnlyOurOwnTextIsCleared() {
        // The keyboard copies marked text from a plain field, nothing from a masked one.
        field_->selectAll();
        QTest::keySequence(field_, QKeySequence::Copy);
        QVERIFY(ClipboardHoldsOurText());
        const QString secret = QStringLiteral("p\u00e4ss w\u20acrd");
        field_->setText(secret);
        field_->SetMasked(true);
        field_->selectAll();
        QTest::keySequence(field_, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("abcdefghij"));

        field_->CopyToClipboard();
        QCOMPARE(QGuiApplication::clipboard()->text(), secret);
        QVERIFY(IsMarkedSecret(*QGuiApplication::clipboard()->mimeData()));
        QCOMPARE(field_->selectedText(), secret);
        QCOMPARE(field_->displayText(), QString(secret.size(), QLatin1Char('*')));
        QVERIFY(ClearOurClipboardText());
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
        // Copied by the user since, even the same text: it stays.
        PutSecretTextOnClipboard(QStringLiteral("hunter2"));
        QGuiApplication::clipboard()->setText(QStringLiteral("hunter2"));
        QVERIFY(!ClearOurClipboardText());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("hunter2"));
        // Marked text that we did not put there is not ours either.
        PutSecretTextOnClipboard(QStringLiteral("first"));
        QGuiApplication::clipboard()->setMimeData(MakeSecretMimeData(QStringLiteral("second")));
        QVERIFY(!ClipboardHoldsOurText());
    }

    // The right-click menu's copy and cut are the field's own: marked, ours to clear, and each
    // one reported so that the clearing count starts.
    void menuCopyAndCutAreSecretCopies() {
        int copies = 0;
        SetSecretCopiedHandler([&copies] { ++copies; });
        const auto trigger = [](QMenu* menu, const QString& text) {
            const std::unique_ptr<QMenu> owned(menu);
            for (QAction* action : menu->actions()) {
                if (action->text() == text) {
                    if (!action->isEnabled()) {
                        return false;
                    }
                    action->trigger();
                    return true;
                }
            }
            return false;
        };
        field_->setSelection(2, 3);
        QVERIFY(trigger(field_->CreateFieldMenu(), QStringLiteral("&Copy")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("cde"));
        QVERIFY(ClipboardHoldsOurText());
        QVERIFY(trigger(field_->CreateFieldMenu(), QStringLiteral("Cu&t")));
        QCOMPARE(field_->text(), QStringLiteral("abfghij"));
        QVERIFY(ClipboardHoldsOurText());
        field_->SetMasked(true);
        field_->selectAll();
        QVERIFY(!trigger(field_->CreateFieldMenu(), QStringLiteral("&Copy")));  // as Qt's own

        notes_->setPlainText(QStringLiteral("one\ntwo"));
        notes_->selectAll();
        QVERIFY(trigger(notes_->CreateFieldMenu(), QStringLiteral("&Copy")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("one\r\ntwo"));
        QVERIFY(ClipboardHoldsOurText());
        QCOMPARE(copies, 3);
        SetSecretCopiedHandler({});
    }

    void notesDragWithCrLfAndTakeDropsAtThePointer() {
        notes_->setPlainText(QStringLiteral("first line\nsecond line\nthird"));
        QTextCursor cursor = notes_->textCursor();
        cursor.setPosition(6);
        cursor.setPosition(17, QTextCursor::KeepAnchor);  // "line\nsecond"
        notes_->setTextCursor(cursor);
        QWidget* viewport = notes_->viewport();
        // Dropped back onto its own selection: refused, the caret where the pointer was let go.
        notes_->during = [this, viewport](const QMimeData& mime) {
            QCursor::setPos(viewport->mapToGlobal(PointOn(*notes_, 1)));
            return DropAt(viewport, PointOn(*notes_, 9), mime);
        };
        const QPoint start = PointOn(*notes_, 8);
        Mouse(viewport, QEvent::MouseButtonPress, start);
        Mouse(viewport, QEvent::MouseMove, start + QPoint(6, -5));
        QCOMPARE(notes_->offers, QStringList{QStringLiteral("line\r\nsecond|secret|1")});
        QCOMPARE(notes_->textCursor().position(), 1);
        QVERIFY(!notes_->textCursor().hasSelection());

        notes_->setPlainText(QStringLiteral("alpha\nomega"));
        QVERIFY(DropAt(viewport, PointOn(*notes_, 2), xyz_) != Qt::IgnoreAction);
        QCOMPARE(notes_->toPlainText(), QStringLiteral("alXYZpha\nomega"));
        QCOMPARE(notes_->textCursor().selectedText(), QStringLiteral("XYZ"));
    }
};

QTEST_MAIN(FieldEditTest)
#include "field_edit_test.moc"
