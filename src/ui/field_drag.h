#pragma once
// The drag-and-drop rules both text fields follow, over positions in their text: a press inside
// the selection that may become a drag of it, the span such a drag carries, and text dragged in
// from anywhere. The fields turn pointer positions into text positions and move their own caret.

#include <QPoint>
#include <QString>
#include <Qt>

class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;
class QWidget;

namespace zelvant::ui {

// Bits of a field's drag mode.
enum FieldDragMode {
    kDragSource = 1,  // selected text can be dragged out
    kDropTarget = 2,  // dropped text is inserted
    kDragBoth = kDragSource | kDropTarget,
};

// Pixels the pointer must move from the press, on any side, before a drag begins.
inline constexpr int kFieldDragDistance = 5;

// Text leaves a field as a copy only: the field keeps its text whatever the target wants.
inline constexpr Qt::DropActions kFieldDragActions = Qt::CopyAction;

class CFieldDrag {
  public:
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }
    bool IsSource() const { return (mode_ & kDragSource) != 0; }
    bool IsTarget() const { return (mode_ & kDropTarget) != 0; }

    // A left press inside the selection is held until it turns into a drag or a click.
    void HoldPress(const QPoint& pos);
    void ForgetPress() { pressHeld_ = false; }
    bool PressHeld() const { return pressHeld_; }
    // The pointer, still down, has left the square around the held press.
    bool LeftDragSquare(const QPoint& pos) const;

    // A drag of the text between start and end out of the field begins / is over.
    void Begin(int start, int end);
    void End() { dragging_ = false; }
    bool Dragging() const { return dragging_; }
    int Start() const { return start_; }
    int Finish() const { return end_; }
    // The drag that just ended was dropped back into the field.
    bool DroppedOnSelf() const { return droppedOnSelf_; }

    // Drags over the field. Enter is false, with the event refused, for a drag the field does
    // not take; the field then takes the focus.
    bool Enter(QDragEnterEvent* event);
    enum class Over {
        Refused,   // no drag the field took is under way
        OwnText,   // over the text being dragged out: nowhere to drop, show it selected
        Elsewhere  // put the caret at the position
    };
    // `at` is the text position under the pointer; the event is accepted only Elsewhere.
    Over Move(QDragMoveEvent* event, int at);
    void Leave(QDragLeaveEvent* event);
    // The text to insert at `at`; empty, with the event refused, when nothing is to be inserted.
    QString Drop(QDropEvent* event, int at);
    bool Accepting() const { return accepting_; }

    // Runs the drag of `mime` from `source`, which owns it, and returns what the target did.
    static Qt::DropAction Run(QWidget* source, QMimeData* mime, Qt::DropActions allowed);

  private:
    bool OverOwnText(int at) const { return dragging_ && at >= start_ && at <= end_; }

    int mode_ = 0;
    bool pressHeld_ = false;
    QPoint pressPos_;
    bool dragging_ = false;
    bool accepting_ = false;
    int start_ = 0;
    int end_ = 0;
    bool droppedOnSelf_ = false;
};

}  // namespace zelvant::ui
