#include "ui/field_drag.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>
#include <cstdlib>

namespace zelvant::ui {
namespace {

// Ctrl asks for a copy, else a move; an action the source does not offer becomes one it does.
Qt::DropAction DropActionFor(Qt::KeyboardModifiers modifiers, Qt::DropActions possible) {
    const Qt::DropAction wanted =
        modifiers.testFlag(Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
    for (const Qt::DropAction action : {wanted, Qt::CopyAction, Qt::MoveAction}) {
        if (possible.testFlag(action)) {
            return action;
        }
    }
    return Qt::IgnoreAction;
}

// Accepts a text drag with the action it will get, or refuses it.
void AcceptTextDrag(QDropEvent* event) {
    const Qt::DropAction action = DropActionFor(event->modifiers(), event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

bool OffersText(const QDropEvent* event) {
    return event->mimeData() != nullptr && event->mimeData()->hasText();
}

}  // namespace

void CFieldDrag::HoldPress(const QPoint& pos) {
    pressHeld_ = true;
    pressPos_ = pos;
}

bool CFieldDrag::LeftDragSquare(const QPoint& pos) const {
    return std::abs(pos.x() - pressPos_.x()) > kFieldDragDistance ||
           std::abs(pos.y() - pressPos_.y()) > kFieldDragDistance;
}

void CFieldDrag::Begin(int start, int end) {
    start_ = start;
    end_ = end;
    droppedOnSelf_ = false;
    dragging_ = true;
}

bool CFieldDrag::Enter(QDragEnterEvent* event) {
    if (!IsTarget() || !OffersText(event)) {
        event->ignore();
        return false;
    }
    accepting_ = true;
    AcceptTextDrag(event);
    return true;
}

CFieldDrag::Over CFieldDrag::Move(QDragMoveEvent* event, int at) {
    if (!accepting_) {
        event->ignore();
        return Over::Refused;
    }
    if (OverOwnText(at)) {
        event->ignore();
        return Over::OwnText;
    }
    AcceptTextDrag(event);
    return Over::Elsewhere;
}

void CFieldDrag::Leave(QDragLeaveEvent* event) {
    accepting_ = false;
    event->accept();
}

QString CFieldDrag::Drop(QDropEvent* event, int at) {
    accepting_ = false;
    const QString dropped = OffersText(event) ? event->mimeData()->text() : QString();
    AcceptTextDrag(event);
    if (!IsTarget() || dropped.isEmpty() || OverOwnText(at) || !event->isAccepted()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return {};
    }
    droppedOnSelf_ = dragging_;
    return dropped;
}

Qt::DropAction CFieldDrag::Run(QWidget* source, QMimeData* mime, Qt::DropActions allowed) {
    // Qt deletes the drag once it is over.
    auto* drag = new QDrag(source);
    drag->setMimeData(mime);
    return drag->exec(allowed, Qt::CopyAction);
}

}  // namespace zelvant::ui
