#include "ui/field_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QTextCursor>
#include <array>
#include <functional>

#include "ui/clipboard.h"

namespace zelvant::ui {
namespace {

// Platform styles mask with a bullet; masked fields show one '*' per character, at once.
class CAsteriskStyle final : public QProxyStyle {
  public:
    explicit CAsteriskStyle(QObject* owner) : QProxyStyle(QApplication::style()->name()) {
        setParent(owner);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        switch (hint) {
            case SH_LineEdit_PasswordCharacter:
                return '*';
            case SH_LineEdit_PasswordMaskDelay:
                return 0;
            default:
                return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }
};

// Dragged and copied lines are joined with CR LF, which every target program understands.
QString WithCrLf(QString text) {
    text.replace(QChar::ParagraphSeparator, QChar::LineFeed);
    text.replace(QChar::LineSeparator, QChar::LineFeed);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar::LineFeed, QStringLiteral("\r\n"));
    return text;
}

// Qt copies every selection made in a text field to the X selection, unmarked and out of reach of
// the clearing rules. Whatever the field's own handling puts there is taken back at once, before
// the event loop can answer another program's request for it.
class CSelectionGuard {
  public:
    CSelectionGuard() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) {
            watch_ =
                QObject::connect(clipboard, &QClipboard::changed, [this](QClipboard::Mode mode) {
                    changed_ = changed_ || mode == QClipboard::Selection;
                });
        }
    }
    CSelectionGuard(const CSelectionGuard&) = delete;
    CSelectionGuard& operator=(const CSelectionGuard&) = delete;
    ~CSelectionGuard() {
        if (!watch_) {
            return;
        }
        QObject::disconnect(watch_);
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (changed_ && clipboard->ownsSelection()) {
            clipboard->clear(QClipboard::Selection);
        }
    }

  private:
    QMetaObject::Connection watch_;
    bool changed_ = false;
};

// Undo, Redo | Cut, Copy, Paste, Delete | Select All, as Qt's own menu has them, with the
// field's secret copy and cut.
struct FieldMenuState {
    bool undo = false;
    bool redo = false;
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool remove = false;
    bool selectAll = false;
};

QMenu* BuildFieldMenu(QWidget* field, const FieldMenuState& state,
                      const std::array<std::function<void()>, 7>& run) {
    auto* menu = new QMenu(field);
    const auto add = [&](const QString& text, QKeySequence::StandardKey key, bool enabled,
                         std::size_t index) {
        QAction* action = menu->addAction(text);
        if (key != QKeySequence::UnknownKey) {
            action->setShortcut(key);
        }
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, field, run[index]);
    };
    add(QObject::tr("&Undo"), QKeySequence::Undo, state.undo, 0);
    add(QObject::tr("&Redo"), QKeySequence::Redo, state.redo, 1);
    menu->addSeparator();
    add(QObject::tr("Cu&t"), QKeySequence::Cut, state.cut, 2);
    add(QObject::tr("&Copy"), QKeySequence::Copy, state.copy, 3);
    add(QObject::tr("&Paste"), QKeySequence::Paste, state.paste, 4);
    add(QObject::tr("Delete"), QKeySequence::UnknownKey, state.remove, 5);
    menu->addSeparator();
    add(QObject::tr("Select All"), QKeySequence::SelectAll, state.selectAll, 6);
    return menu;
}

bool ClipboardHasText() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasText();
}

}  // namespace

// ---- CFieldEdit ----

CFieldEdit::CFieldEdit(QWidget* parent) : QLineEdit(parent) {
    // Qt's own drag would offer a move and refuse masked text; ours does neither.
    setDragEnabled(false);
    setAcceptDrops(false);
    setMouseTracking(true);
    setStyle(new CAsteriskStyle(this));
}

void CFieldEdit::SetDragMode(int mode) {
    drag_.SetMode(mode);
    setAcceptDrops(drag_.IsTarget());
}

void CFieldEdit::SetMasked(bool masked) {
    setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
}

bool CFieldEdit::Masked() const {
    return echoMode() == QLineEdit::Password;
}

void CFieldEdit::CopyToClipboard() {
    selectAll();
    // text() is the real text even while the field shows asterisks.
    PutSecretTextOnClipboard(text());
}

Qt::DropAction CFieldEdit::StartDrag(QMimeData* mime, Qt::DropActions allowed) {
    return CFieldDrag::Run(this, mime, allowed);
}

bool CFieldEdit::InsideSelection(const QPoint& pos) {
    if (!hasSelectedText()) {
        return false;
    }
    const int at = cursorPositionAt(pos);
    return at >= selectionStart() && at <= selectionEnd();
}

void CFieldEdit::BeginDrag() {
    drag_.ForgetPress();
    const QString selected = selectedText();
    if (selected.isEmpty()) {
        return;
    }
    drag_.Begin(selectionStart(), selectionStart() + static_cast<int>(selected.size()));
    const QPointer<CFieldEdit> alive(this);
    const Qt::DropAction action = StartDrag(MakeSecretMimeData(selected), kFieldDragActions);
    if (alive.isNull()) {
        return;
    }
    drag_.End();
    if (action == Qt::IgnoreAction) {
        // Nobody took it: end as a click where the pointer was let go.
        setCursorPosition(cursorPositionAt(mapFromGlobal(QCursor::pos())));
    } else if (!drag_.DroppedOnSelf()) {
        // Passing over this field moved the caret; the text was only copied out.
        SelectDragged();
    }
}

void CFieldEdit::SelectDragged() {
    setSelection(drag_.Start(), drag_.Finish() - drag_.Start());
}

void CFieldEdit::InsertDropped(int at, const QString& dropped) {
    const auto before = text().size();
    setCursorPosition(at);
    // Works on read-only fields too: a drop onto the popup shows there until the next refresh,
    // the record itself is never touched.
    insert(dropped);
    // maxLength may have cut the drop short.
    setSelection(at, static_cast<int>(text().size() - before));
}

// Masked fields refuse to copy a selection, as Qt's own do.
bool CFieldEdit::CanCopySelection() const {
    return echoMode() == QLineEdit::Normal && hasSelectedText();
}

void CFieldEdit::CopySelection() {
    if (CanCopySelection()) {
        PutSecretTextOnClipboard(selectedText());
    }
}

void CFieldEdit::CutSelection() {
    if (CanCopySelection() && !isReadOnly()) {
        PutSecretTextOnClipboard(selectedText());
        del();
    }
}

void CFieldEdit::keyPressEvent(QKeyEvent* event) {
    // Qt's copy would bypass the secret marker.
    if (CanCopySelection() && event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    if (CanCopySelection() && !isReadOnly() && event->matches(QKeySequence::Cut)) {
        CutSelection();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool CFieldEdit::event(QEvent* event) {
    const CSelectionGuard guard;
    return QLineEdit::event(event);
}

QMenu* CFieldEdit::CreateFieldMenu() {
    const bool editable = !isReadOnly();
    FieldMenuState state;
    state.undo = editable && isUndoAvailable();
    state.redo = editable && isRedoAvailable();
    state.cut = editable && CanCopySelection();
    state.copy = CanCopySelection();
    state.paste = editable && ClipboardHasText();
    state.remove = editable && hasSelectedText();
    state.selectAll = !text().isEmpty();
    return BuildFieldMenu(this, state,
                          {[this] { undo(); }, [this] { redo(); }, [this] { CutSelection(); },
                           [this] { CopySelection(); }, [this] { paste(); }, [this] { del(); },
                           [this] { selectAll(); }});
}

void CFieldEdit::contextMenuEvent(QContextMenuEvent* event) {
    // The field, and the menu with it, may be gone when exec returns (the lock closes dialogs).
    const QPointer<QMenu> menu = CreateFieldMenu();
    menu->exec(event->globalPos());
    delete menu.data();
}

void CFieldEdit::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_.IsSource() && event->button() == Qt::LeftButton &&
        !event->modifiers().testFlag(Qt::ShiftModifier) && InsideSelection(pos)) {
        drag_.HoldPress(pos);
        event->accept();
        return;
    }
    drag_.ForgetPress();
    QLineEdit::mousePressEvent(event);
}

void CFieldEdit::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_.PressHeld() && event->buttons().testFlag(Qt::LeftButton)) {
        if (drag_.LeftDragSquare(pos)) {
            BeginDrag();
        }
        event->accept();
        return;
    }
    drag_.ForgetPress();
    QLineEdit::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton) {
        const bool overDraggable = drag_.IsSource() && InsideSelection(pos);
        setCursor(overDraggable || isReadOnly() ? Qt::ArrowCursor : Qt::IBeamCursor);
    }
}

void CFieldEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_.PressHeld() && event->button() == Qt::LeftButton) {
        // Let go without dragging: the click the press would have been.
        drag_.ForgetPress();
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CFieldEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (drag_.Enter(event)) {
        setFocus(Qt::OtherFocusReason);
    }
}

void CFieldEdit::dragMoveEvent(QDragMoveEvent* event) {
    const int at = cursorPositionAt(event->position().toPoint());
    switch (drag_.Move(event, at)) {
        case CFieldDrag::Over::Refused:
            break;
        case CFieldDrag::Over::OwnText:
            SelectDragged();
            break;
        case CFieldDrag::Over::Elsewhere:
            setCursorPosition(at);
            break;
    }
}

void CFieldEdit::dragLeaveEvent(QDragLeaveEvent* event) {
    drag_.Leave(event);
}

void CFieldEdit::dropEvent(QDropEvent* event) {
    const int at = cursorPositionAt(event->position().toPoint());
    const QString dropped = drag_.Drop(event, at);
    if (!dropped.isEmpty()) {
        InsertDropped(at, dropped);
    }
}

// ---- CFieldTextEdit ----

CFieldTextEdit::CFieldTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    viewport()->setMouseTracking(true);
}

void CFieldTextEdit::SetDragMode(int mode) {
    drag_.SetMode(mode);
    setAcceptDrops(drag_.IsTarget());
    viewport()->setAcceptDrops(drag_.IsTarget());
}

void CFieldTextEdit::CopyToClipboard() {
    selectAll();
    ensureCursorVisible();
    PutSecretTextOnClipboard(WithCrLf(textCursor().selectedText()));
}

Qt::DropAction CFieldTextEdit::StartDrag(QMimeData* mime, Qt::DropActions allowed) {
    return CFieldDrag::Run(this, mime, allowed);
}

QMimeData* CFieldTextEdit::createMimeDataFromSelection() const {
    return MakeSecretMimeData(WithCrLf(textCursor().selectedText()));
}

bool CFieldTextEdit::InsideSelection(const QPoint& pos) const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        return false;
    }
    const int at = cursorForPosition(pos).position();
    return at >= cursor.selectionStart() && at <= cursor.selectionEnd();
}

void CFieldTextEdit::BeginDrag() {
    drag_.ForgetPress();
    const QTextCursor cursor = textCursor();
    const QString selected = WithCrLf(cursor.selectedText());
    if (selected.isEmpty()) {
        return;
    }
    drag_.Begin(cursor.selectionStart(), cursor.selectionEnd());
    const QPointer<CFieldTextEdit> alive(this);
    const Qt::DropAction action = StartDrag(MakeSecretMimeData(selected), kFieldDragActions);
    if (alive.isNull()) {
        return;
    }
    drag_.End();
    if (action == Qt::IgnoreAction) {
        setTextCursor(cursorForPosition(viewport()->mapFromGlobal(QCursor::pos())));
    } else if (!drag_.DroppedOnSelf()) {
        SelectDragged();
    }
}

void CFieldTextEdit::SelectDragged() {
    QTextCursor cursor = textCursor();
    cursor.setPosition(drag_.Start());
    cursor.setPosition(drag_.Finish(), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void CFieldTextEdit::CopySelection() {
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        PutSecretTextOnClipboard(WithCrLf(cursor.selectedText()));
    }
}

void CFieldTextEdit::CutSelection() {
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection() && !isReadOnly()) {
        PutSecretTextOnClipboard(WithCrLf(cursor.selectedText()));
        cursor.removeSelectedText();
        setTextCursor(cursor);
    }
}

void CFieldTextEdit::keyPressEvent(QKeyEvent* event) {
    const bool selected = textCursor().hasSelection();
    if (selected && event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    if (selected && !isReadOnly() && event->matches(QKeySequence::Cut)) {
        CutSelection();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool CFieldTextEdit::event(QEvent* event) {
    const CSelectionGuard guard;
    return QPlainTextEdit::event(event);
}

bool CFieldTextEdit::viewportEvent(QEvent* event) {
    const CSelectionGuard guard;
    return QPlainTextEdit::viewportEvent(event);
}

QMenu* CFieldTextEdit::CreateFieldMenu() {
    const bool editable = !isReadOnly();
    const bool selected = textCursor().hasSelection();
    FieldMenuState state;
    state.undo = editable && document()->isUndoAvailable();
    state.redo = editable && document()->isRedoAvailable();
    state.cut = editable && selected;
    state.copy = selected;
    state.paste = editable && canPaste();
    state.remove = editable && selected;
    state.selectAll = !document()->isEmpty();
    return BuildFieldMenu(this, state,
                          {[this] { undo(); }, [this] { redo(); }, [this] { CutSelection(); },
                           [this] { CopySelection(); }, [this] { paste(); },
                           [this] {
                               QTextCursor cursor = textCursor();
                               cursor.removeSelectedText();
                               setTextCursor(cursor);
                           },
                           [this] { selectAll(); }});
}

void CFieldTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    // The field, and the menu with it, may be gone when exec returns (the lock closes dialogs).
    const QPointer<QMenu> menu = CreateFieldMenu();
    menu->exec(event->globalPos());
    delete menu.data();
}

void CFieldTextEdit::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool plainLeft =
        event->button() == Qt::LeftButton && !event->modifiers().testFlag(Qt::ShiftModifier);
    if (plainLeft && InsideSelection(pos)) {
        if (drag_.IsSource()) {
            drag_.HoldPress(pos);
            event->accept();
            return;
        }
        // Without the source bit the press must not start Qt's own (moving) drag either.
        QTextCursor cursor = textCursor();
        cursor.clearSelection();
        setTextCursor(cursor);
    }
    drag_.ForgetPress();
    QPlainTextEdit::mousePressEvent(event);
}

void CFieldTextEdit::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_.PressHeld() && event->buttons().testFlag(Qt::LeftButton)) {
        if (drag_.LeftDragSquare(pos)) {
            BeginDrag();
        }
        event->accept();
        return;
    }
    drag_.ForgetPress();
    QPlainTextEdit::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton) {
        const bool overDraggable = drag_.IsSource() && InsideSelection(pos);
        viewport()->setCursor(overDraggable ? Qt::ArrowCursor : Qt::IBeamCursor);
    }
}

void CFieldTextEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_.PressHeld() && event->button() == Qt::LeftButton) {
        drag_.ForgetPress();
        setTextCursor(cursorForPosition(event->position().toPoint()));
        event->accept();
        return;
    }
    QPlainTextEdit::mouseReleaseEvent(event);
}

void CFieldTextEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (drag_.Enter(event)) {
        setFocus(Qt::OtherFocusReason);
    }
}

void CFieldTextEdit::dragMoveEvent(QDragMoveEvent* event) {
    const QTextCursor under = cursorForPosition(event->position().toPoint());
    switch (drag_.Move(event, under.position())) {
        case CFieldDrag::Over::Refused:
            break;
        case CFieldDrag::Over::OwnText:
            SelectDragged();
            break;
        case CFieldDrag::Over::Elsewhere:
            setTextCursor(under);
            break;
    }
}

void CFieldTextEdit::dragLeaveEvent(QDragLeaveEvent* event) {
    drag_.Leave(event);
}

void CFieldTextEdit::dropEvent(QDropEvent* event) {
    QTextCursor cursor = cursorForPosition(event->position().toPoint());
    const int at = cursor.position();
    const QString dropped = drag_.Drop(event, at);
    if (dropped.isEmpty()) {
        return;
    }
    cursor.insertText(dropped);
    const int end = cursor.position();
    cursor.setPosition(at);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

}  // namespace zelvant::ui
