#pragma once
// Text fields whose text can be dragged into other programs (always as a copy) and which take
// text dropped from anywhere, inserted at the pointer and left selected. Copying puts the whole
// text on the clipboard, the real text even while the field shows asterisks.
//
// Record fields hold secrets: every copy, by key, button or menu, goes through the program's
// clipboard (marked secret, cleared by the rules), and selecting text never leaves it on the X
// selection (PRIMARY), which any program reads with a middle click and nobody clears.

#include <QLineEdit>
#include <QPlainTextEdit>

#include "ui/field_drag.h"

class QMenu;
class QMimeData;

namespace zelvant::ui {

class CFieldEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit CFieldEdit(QWidget* parent = nullptr);

    void SetDragMode(int mode);
    int DragMode() const { return drag_.Mode(); }
    // Shows one "*" per character, or the text.
    void SetMasked(bool masked);
    bool Masked() const;
    // Selects everything and puts the real text on the clipboard, marked as secret.
    void CopyToClipboard();

    // A drag started from this field is under way / a drag is over this field.
    bool Dragging() const { return drag_.Dragging(); }
    bool Accepting() const { return drag_.Accepting(); }

    // The right-click menu, owned by the caller; its copy and cut are the field's secret ones.
    QMenu* CreateFieldMenu();

  protected:
    // Runs the drag of the selected text, owning the data, with the actions the field allows
    // (copy only), and returns what the target did (Qt::IgnoreAction when nothing took it).
    // Tests override it, since QDrag::exec blocks.
    virtual Qt::DropAction StartDrag(QMimeData* mime, Qt::DropActions allowed);

    // Every event runs with the selection guarded (see the top of this file).
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Keyboard copy and cut mark the text as secret too.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    bool InsideSelection(const QPoint& pos);
    void BeginDrag();
    // Selects the text a drag from this field carries.
    void SelectDragged();
    void InsertDropped(int at, const QString& dropped);
    bool CanCopySelection() const;
    void CopySelection();
    void CutSelection();

    CFieldDrag drag_;
};

// The multi-line variant, for notes.
class CFieldTextEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit CFieldTextEdit(QWidget* parent = nullptr);

    void SetDragMode(int mode);
    int DragMode() const { return drag_.Mode(); }
    // As CFieldEdit's; lines are joined with CR LF, here and in drags.
    void CopyToClipboard();

    bool Dragging() const { return drag_.Dragging(); }
    bool Accepting() const { return drag_.Accepting(); }

    // As CFieldEdit's.
    QMenu* CreateFieldMenu();

  protected:
    // As CFieldEdit::StartDrag.
    virtual Qt::DropAction StartDrag(QMimeData* mime, Qt::DropActions allowed);

    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Mouse and drag positions are the viewport's, as Qt delivers them.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    bool InsideSelection(const QPoint& pos) const;
    void BeginDrag();
    void SelectDragged();
    void CopySelection();
    void CutSelection();

    CFieldDrag drag_;
};

}  // namespace zelvant::ui
