#include "ui/folder_tree.h"
#include "ui/logo_menu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <optional>
#include <utility>

#include "store/folder_ops.h"
#include "store/messages.h"
#include "store/text_codec.h"
#include "ui/folder_name_dlg.h"
#include "ui/icons.h"
#include "ui/message_box.h"
#include "ui/query_dlg.h"
#include "ui/record_drag.h"

namespace zelvant::ui {

namespace {

enum class TreeIcon { Root, Folder };

// The bundled drawings, so that the tree looks alike everywhere; the theme's or the style's icons
// only if the bundle lacks one. The folder icon opens when its item is selected (or drop-
// highlighted).
QIcon LoadTreeIcon(TreeIcon kind, const QStyle* style) {
    const auto pick = [style](std::string_view name, const char* theme, QStyle::StandardPixmap sp) {
        QIcon icon = ZelvantIcon(name);
        return !icon.isNull() ? icon
                              : QIcon::fromTheme(QLatin1String(theme), style->standardIcon(sp));
    };
    if (kind == TreeIcon::Root) {
        return pick("root", "drive-harddisk", QStyle::SP_DriveHDIcon);
    }
    const QIcon closed = pick("folder", "folder", QStyle::SP_DirClosedIcon);
    const QIcon open = pick("folder-open", "folder-open", QStyle::SP_DirOpenIcon);
    QIcon icon;
    for (const int extent : {16, 22, 32}) {
        icon.addPixmap(closed.pixmap(extent), QIcon::Normal);
        icon.addPixmap(open.pixmap(extent), QIcon::Selected);
    }
    return icon;
}

// Qt has no "no drop, but copying" cursor: the forbidden sign with a small plus beside it.
QCursor MakeForbiddenCopyCursor() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 5));
    painter.drawEllipse(QRectF(3.5, 3.5, 17, 17));
    painter.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
    painter.setPen(QPen(QColor(200, 0, 0), 2.5));
    painter.drawEllipse(QRectF(3.5, 3.5, 17, 17));
    painter.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(20.5, 20.5, 10, 10));
    painter.drawLine(QPointF(25.5, 22.5), QPointF(25.5, 28.5));
    painter.drawLine(QPointF(22.5, 25.5), QPointF(28.5, 25.5));
    painter.end();
    return QCursor(pixmap, 12, 12);
}

// While a drag is under way the drop target is drawn as the selection, and the real selection
// is drawn plain, so that only one item looks chosen.
class DropHighlightDelegate : public QStyledItemDelegate {
  public:
    explicit DropHighlightDelegate(CFolderTree* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QModelIndex drop = tree_->DropHighlightIndex();
        if (!drop.isValid()) {
            return;
        }
        if (index == drop) {
            option->state |= QStyle::State_Selected;
        } else {
            option->state &= ~QStyle::State_Selected;
        }
    }

  private:
    CFolderTree* tree_;
};

int RunDragMenu(QWidget* parent, const QPoint& globalPos) {
    CLogoMenu menu(QString(), parent);
    menu.addAction(CFolderTree::tr("Copy Folder"))->setData(kCopyFolderCommand);
    menu.addAction(CFolderTree::tr("Move Folder"))->setData(kMoveFolderCommand);
    menu.addAction(CFolderTree::tr("Cancel"))->setData(kCancelDragCommand);
    const QAction* chosen = menu.exec(globalPos);
    return chosen != nullptr ? chosen->data().toInt() : kCancelDragCommand;
}

int RunRecordDragMenu(QWidget* parent, const QPoint& globalPos) {
    CLogoMenu menu(QString(), parent);
    menu.addAction(CFolderTree::tr("Copy Record(s)"))->setData(kCopyRecordsCommand);
    menu.addAction(CFolderTree::tr("Move Record(s)"))->setData(kMoveRecordsCommand);
    menu.addAction(CFolderTree::tr("Cancel"))->setData(kCancelDragCommand);
    const QAction* chosen = menu.exec(globalPos);
    return chosen != nullptr ? chosen->data().toInt() : kCancelDragCommand;
}

}  // namespace

CFolderTree::CFolderTree(IFolderHost& host, QWidget* parent) : QTreeWidget(parent), host_(host) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    // Folders are dragged by the tree's own mouse handling; only records come through Qt's
    // drag and drop, and the handlers below take nothing else.
    setAcceptDrops(true);
    // One step of the drag timer's scrolling is one line.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new DropHighlightDelegate(this));

    rootIcon_ = LoadTreeIcon(TreeIcon::Root, style());
    folderIcon_ = LoadTreeIcon(TreeIcon::Folder, style());

    dragTimer_.setInterval(kDefaultDragInterval);
    connect(&dragTimer_, &QTimer::timeout, this, &CFolderTree::OnDragTimer);
    dragMenu_ = [this](const QPoint& globalPos) { return RunDragMenu(this, globalPos); };
    recordMenu_ = [this](const QPoint& globalPos) { return RunRecordDragMenu(this, globalPos); };

    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!building_) {
            emit FolderSelected(FolderOf(current));
        }
    });
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { OnExpandedChanged(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { OnExpandedChanged(item, false); });
}

CFolderTree::~CFolderTree() {
    EndDrag();
}

QSize CFolderTree::sizeHint() const {
    return {kDefaultWidth, QTreeWidget::sizeHint().height()};
}

// ---- building and selection ----

void CFolderTree::Rebuild() {
    RebuildAndSelect(CurrentId());
}

void CFolderTree::RebuildAndSelect(FolderIndex select) {
    CancelDrag();
    // Records may still be dragged over the tree; the highlighted item is about to go.
    SetDropHighlight(nullptr);
    ++generation_;
    building_ = true;
    clear();
    items_.clear();
    const CFolderSequence& folders = host_.Folders();
    items_.resize(static_cast<std::size_t>(folders.Count()), nullptr);

    root_ = new QTreeWidgetItem(this);
    root_->setText(0, host_.DocumentTitle());
    root_->setIcon(0, rootIcon_);
    root_->setData(0, kFolderRole, kTopLevel);

    // The store's display order puts each folder after its parent with siblings already sorted,
    // so appending each item as the last child gives the sorted tree.
    for (const FolderNode& node : DisplayOrder(folders)) {
        const FolderIndex parent = ShownParent(folders, node.index);
        QTreeWidgetItem* parentItem = parent == kTopLevel ? root_ : ItemOf(parent);
        auto* item = new QTreeWidgetItem(parentItem != nullptr ? parentItem : root_);
        item->setText(0, Label(folders.FolderAt(node.index)->Name()));
        item->setIcon(0, folderIcon_);
        item->setData(0, kFolderRole, node.index);
        items_[static_cast<std::size_t>(node.index)] = item;
    }
    root_->setExpanded(true);
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        items_[static_cast<std::size_t>(i)]->setExpanded(folders.FolderAt(i)->Expanded() == 1);
    }

    QTreeWidgetItem* selected = ItemFor(select);
    setCurrentItem(selected);
    if (selected == nullptr) {
        clearSelection();
    }
    building_ = false;
    // Opening the parents of the selection counts as the user's expanding.
    if (selected != nullptr) {
        scrollToItem(selected);
    }
    emit FolderSelected(SelectedFolder());
}

QTreeWidgetItem* CFolderTree::ItemOf(FolderIndex index) const {
    return index >= 0 && index < static_cast<FolderIndex>(items_.size())
               ? items_[static_cast<std::size_t>(index)]
               : nullptr;
}

QTreeWidgetItem* CFolderTree::ItemFor(FolderIndex id) const {
    return id == kTopLevel ? root_ : ItemOf(id);
}

FolderIndex CFolderTree::FolderOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kFolderRole).toInt() : kTopLevel;
}

FolderIndex CFolderTree::CurrentId() const {
    return currentItem() != nullptr ? FolderOf(currentItem()) : kNoItem;
}

FolderIndex CFolderTree::SelectedFolder() const {
    return FolderOf(currentItem());
}

bool CFolderTree::RootSelected() const {
    return root_ != nullptr && currentItem() == root_;
}

void CFolderTree::SelectFolder(FolderIndex index) {
    QTreeWidgetItem* item = ItemFor(index);
    setCurrentItem(item);
    if (item != nullptr) {
        scrollToItem(item);
    } else {
        clearSelection();
    }
}

void CFolderTree::SetRootTitle(const QString& title) {
    if (root_ != nullptr) {
        root_->setText(0, title);
    }
}

QString CFolderTree::Label(const std::string& stored) const {
    return QString::fromStdString(DisplayText(stored));
}

void CFolderTree::OnExpandedChanged(QTreeWidgetItem* item, bool expanded) {
    if (building_) {
        return;
    }
    // The flag travels with the file; it is not a change the user must save for.
    if (CFolder* folder = host_.Folders().FolderAt(FolderOf(item))) {
        folder->SetExpanded(expanded ? 1 : 0);
    }
}

// ---- commands ----

void CFolderTree::NewFolder() {
    const FolderIndex parent = SelectedFolder();
    CFolderNameDlg dialog(QString(), 0, 0, this);
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const QByteArray name = dialog.Name().toUtf8();
    const FolderIndex added = zelvant::NewFolder(
        host_.Folders(), parent,
        std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
    if (added < 0) {
        host_.ShowMessage(QString::fromUtf8(msg::kNoMemoryFolder.data(),
                                            static_cast<qsizetype>(msg::kNoMemoryFolder.size())),
                          QMessageBox::Critical);
        return;
    }
    host_.FoldersChanged();
    RebuildAndSelect(added);
}

void CFolderTree::FolderProperties() {
    const FolderIndex index = SelectedFolder();
    const CFolder* folder = host_.Folders().FolderAt(index);
    if (folder == nullptr) {
        return;
    }
    const FolderContents contents = CountContents(host_.Folders(), index);
    const QString shown = Label(folder->Name());
    CFolderNameDlg dialog(shown, contents.records, contents.folders, this);
    if (ExecDialog(dialog) != QDialog::Accepted) {
        return;
    }
    CFolder* renamed = host_.Folders().FolderAt(index);
    if (renamed == nullptr) {
        return;
    }
    // A name from an older file keeps its stored bytes unless the user really changed it.
    if (dialog.Name() != shown) {
        const QByteArray name = dialog.Name().toUtf8();
        renamed->SetName(std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
    }
    host_.FoldersChanged();
    // Left where it is: the order is corrected by the next rebuild.
    if (QTreeWidgetItem* item = ItemOf(index)) {
        item->setText(0, Label(renamed->Name()));
    }
}

void CFolderTree::DeleteFolder() {
    const FolderIndex index = SelectedFolder();
    if (host_.Folders().FolderAt(index) == nullptr) {
        return;
    }
    if (!CQueryDlg::Ask(this,
                        tr("Are you sure you want to delete the selected folder and its contents?"),
                        host_.Settings().noQueryDelFolder)) {
        return;
    }
    if (!zelvant::DeleteFolder(host_.Folders(), index)) {
        return;
    }
    host_.FoldersChanged();
    const FolderIndex next = SelectionAfterDelete(host_.Folders(), index);
    RebuildAndSelect(next >= 0 ? next : kNoItem);
}

void CFolderTree::CopyOrMoveFolder(FolderIndex source, FolderIndex target, bool move) {
    CopyDetails details;
    const CopyOutcome outcome = CopyFolder(host_.Folders(), source, target, move, &details);
    FolderIndex select = details.copy;
    switch (outcome) {
        case CopyOutcome::Refused:
            return;
        case CopyOutcome::Done:
            break;
        case CopyOutcome::CopyFailed:
            if (!details.noMemoryText.empty()) {
                host_.ShowMessage(
                    QString::fromUtf8(details.noMemoryText.data(),
                                      static_cast<qsizetype>(details.noMemoryText.size())),
                    QMessageBox::Critical);
            }
            host_.ShowMessage(
                tr("There was a problem copying a folder,\nthe copy process wasn't completed"),
                QMessageBox::Warning);
            if (details.copy < 0) {
                return;  // nothing was made
            }
            select = CurrentId();  // appending moved nothing
            break;
        case CopyOutcome::DeleteFailed:
            host_.ShowMessage(
                tr("There was a problem deleting the source folders,\nthe deletion wasn't "
                   "completed"),
                QMessageBox::Warning);
            break;
    }
    host_.FoldersChanged();
    RebuildAndSelect(select);
}

// ---- dragging ----

void CFolderTree::SetDragTimerInterval(int ms) {
    dragTimer_.setInterval(ms);
}

void CFolderTree::SetDragMenuRunner(DragMenuRunner runner) {
    dragMenu_ = std::move(runner);
}

QModelIndex CFolderTree::DropHighlightIndex() const {
    return dropItem_ != nullptr ? indexFromItem(dropItem_) : QModelIndex();
}

bool CFolderTree::event(QEvent* event) {
    // Esc ends a drag before any shortcut of the window can take it.
    if (event->type() == QEvent::ShortcutOverride && state_ == DragState::Dragging &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QTreeWidget::event(event);
}

// A release the tree never saw (the button let go over another window after a grab was broken)
// leaves a stale press behind; the buttons of any later event tell.
bool CFolderTree::PressLost(const QMouseEvent* event) {
    if (state_ == DragState::Idle || state_ == DragState::AwaitingMenu) {
        return false;
    }
    const bool pressedAgain = event->type() != QEvent::MouseMove && event->button() == pressButton_;
    if (!pressedAgain && event->buttons().testFlag(pressButton_)) {
        return false;
    }
    EndDrag();
    setState(QAbstractItemView::NoState);
    return true;
}

void CFolderTree::mousePressEvent(QMouseEvent* event) {
    PressLost(event);
    if (state_ != DragState::Idle) {
        event->accept();  // a second button during a press or drag changes nothing
        return;
    }
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    // The indentation with the expand button is not the item.
    const bool onItem = item != nullptr && visualItemRect(item).contains(pos);
    const FolderIndex id = onItem ? FolderOf(item) : kNoItem;

    if (event->button() == Qt::RightButton) {
        // The base view would select at once; a right drag must leave the selection alone.
        state_ = DragState::Pressed;
        pressButton_ = Qt::RightButton;
        pressPos_ = pos;
        pressId_ = id;
        event->accept();
        return;
    }
    const unsigned generation = generation_;
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && onItem && generation == generation_) {
        state_ = DragState::Pressed;
        pressButton_ = Qt::LeftButton;
        pressPos_ = pos;
        pressId_ = id;
    }
}

void CFolderTree::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    PressLost(event);
    switch (state_) {
        case DragState::Idle:
            QTreeWidget::mouseMoveEvent(event);
            return;
        case DragState::Pressed:
            if ((pos - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
                if (pressId_ >= 0) {
                    ctrlHeld_ = event->modifiers().testFlag(Qt::ControlModifier);
                    BeginDrag(pos);
                } else {
                    state_ = DragState::Swallowing;  // the root and empty space do not drag
                }
            }
            break;
        case DragState::Dragging:
            ctrlHeld_ = event->modifiers().testFlag(Qt::ControlModifier);
            TrackPointer(pos);
            break;
        case DragState::Swallowing:
        case DragState::AwaitingMenu:
            break;
    }
    event->accept();
}

void CFolderTree::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (state_) {
        case DragState::Idle:
            QTreeWidget::mouseReleaseEvent(event);
            return;
        case DragState::AwaitingMenu:
            break;
        case DragState::Pressed:
            if (event->button() != pressButton_) {
                break;
            }
            state_ = DragState::Idle;
            if (pressButton_ == Qt::LeftButton) {
                QTreeWidget::mouseReleaseEvent(event);
                return;
            }
            if (QTreeWidgetItem* item = ItemFor(pressId_)) {
                setCurrentItem(item);
                emit FolderMenuRequested(event->globalPosition().toPoint());
            }
            break;
        case DragState::Dragging:
            if (event->button() == pressButton_) {
                FinishDrag(pos, event->globalPosition().toPoint());
            }
            break;
        case DragState::Swallowing:
            if (event->button() == pressButton_) {
                state_ = DragState::Idle;
                setState(QAbstractItemView::NoState);
            }
            break;
    }
    event->accept();
}

void CFolderTree::mouseDoubleClickEvent(QMouseEvent* event) {
    // Only the left button opens and closes folders; another button's second click is a click.
    if (event->button() != Qt::LeftButton || state_ != DragState::Idle) {
        mousePressEvent(event);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void CFolderTree::keyPressEvent(QKeyEvent* event) {
    if (state_ == DragState::Dragging) {
        if (event->key() == Qt::Key_Escape) {
            CancelDrag();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Control) {
            ctrlHeld_ = true;
            UpdateDragCursor();
            event->accept();
            return;
        }
    }
    QTreeWidget::keyPressEvent(event);
}

void CFolderTree::keyReleaseEvent(QKeyEvent* event) {
    if (state_ == DragState::Dragging && event->key() == Qt::Key_Control) {
        ctrlHeld_ = false;
        UpdateDragCursor();
        event->accept();
        return;
    }
    QTreeWidget::keyReleaseEvent(event);
}

void CFolderTree::contextMenuEvent(QContextMenuEvent* event) {
    // Right clicks are handled on release, so that a right drag can start; the keyboard's menu key
    // shows nothing. Accepting keeps the main window's own bar menu away.
    event->accept();
}

void CFolderTree::focusOutEvent(QFocusEvent* event) {
    // Another window took over (a dialog, the window switcher): the drag cannot go on.
    if (state_ == DragState::Dragging) {
        CancelDrag();
    }
    QTreeWidget::focusOutEvent(event);
}

QItemSelectionModel::SelectionFlags CFolderTree::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    // The record list always follows a folder, so Ctrl+click must not leave the tree without a
    // selection.
    QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, event);
    if (index.isValid() && flags.testFlag(QItemSelectionModel::Deselect)) {
        flags = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    }
    return flags;
}

void CFolderTree::BeginDrag(const QPoint& pos) {
    state_ = DragState::Dragging;
    dragFolder_ = pressId_;
    rightDrag_ = pressButton_ == Qt::RightButton;
    hoverCount_ = 0;
    lastPos_ = pos;
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    cursorOverridden_ = true;
    dragTimer_.start();
    TrackPointer(pos);
}

void CFolderTree::TrackPointer(const QPoint& pos) {
    lastPos_ = pos;
    SetDropHighlight(viewport()->rect().contains(pos) ? itemAt(pos) : nullptr);
    UpdateDragCursor();
}

void CFolderTree::FinishDrag(const QPoint& pos, const QPoint& globalPos) {
    if (pos != lastPos_) {
        TrackPointer(pos);
    }
    const bool inside = viewport()->rect().contains(pos);
    const FolderIndex dragged = dragFolder_;
    const FolderIndex target = dropItem_ != nullptr ? FolderOf(dropItem_) : kNoItem;
    const bool right = rightDrag_;
    EndDrag();
    setState(QAbstractItemView::NoState);
    if (!inside) {
        return;
    }
    CFolderSequence& folders = host_.Folders();
    if (!right) {
        if (target != kNoItem && IsValidDropTarget(folders, dragged, target)) {
            CopyOrMoveFolder(dragged, target, true);
        }
        return;
    }
    if (target == dragged) {
        return;
    }
    state_ = DragState::AwaitingMenu;
    const unsigned generation = generation_;
    const int command = dragMenu_ ? dragMenu_(globalPos) : kCancelDragCommand;
    state_ = DragState::Idle;
    if (generation != generation_ || target == kNoItem ||
        (command != kCopyFolderCommand && command != kMoveFolderCommand) ||
        !IsValidDropTarget(folders, dragged, target)) {
        return;
    }
    CopyOrMoveFolder(dragged, target, command == kMoveFolderCommand);
}

void CFolderTree::CancelDrag() {
    switch (state_) {
        case DragState::Dragging:
            EndDrag();
            // The button is still down: what is left of the press must not select anything.
            state_ = DragState::Swallowing;
            break;
        case DragState::Pressed:
            state_ = DragState::Swallowing;
            break;
        case DragState::Idle:
        case DragState::Swallowing:
        case DragState::AwaitingMenu:
            break;
    }
}

void CFolderTree::EndDrag() {
    dragTimer_.stop();
    if (cursorOverridden_) {
        QGuiApplication::restoreOverrideCursor();
        cursorOverridden_ = false;
    }
    SetDropHighlight(nullptr);
    state_ = DragState::Idle;
    dragFolder_ = kNoItem;
    rightDrag_ = false;
    hoverCount_ = 0;
}

void CFolderTree::OnDragTimer() {
    if (state_ != DragState::Dragging && !recordDrag_) {
        return;
    }
    const int rowHeight = RowHeight();
    if (lastPos_.y() < 2 * rowHeight) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        SetTimerHighlight(FirstVisibleItem());
    } else if (lastPos_.y() > viewport()->height() - 2 * rowHeight) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        SetTimerHighlight(LastVisibleItem());
    }
    // The counter survives moves to other items, so a slow drag across several folders opens the
    // one it rests on sooner; that is how the tree has always behaved.
    if (hoverCount_ >= 2) {
        hoverCount_ = 0;
        if (dropItem_ != nullptr) {
            dropItem_->setExpanded(true);
        }
    }
    if (dropItem_ != nullptr && dropItem_->childCount() > 0 && !dropItem_->isExpanded()) {
        ++hoverCount_;
    }
    UpdateDragCursor();
}

void CFolderTree::SetTimerHighlight(QTreeWidgetItem* item) {
    if (recordDrag_ && !RecordTargetValid(item, recordSource_)) {
        item = nullptr;
    }
    SetDropHighlight(item);
}

void CFolderTree::SetDropHighlight(QTreeWidgetItem* item) {
    if (item != dropItem_) {
        dropItem_ = item;
        viewport()->update();
    }
}

bool CFolderTree::DropTargetValid() const {
    return dropItem_ != nullptr &&
           IsValidDropTarget(host_.Folders(), dragFolder_, FolderOf(dropItem_));
}

void CFolderTree::UpdateDragCursor() {
    if (!cursorOverridden_) {
        return;
    }
    QCursor cursor;
    if (DropTargetValid()) {
        cursor = ctrlHeld_ ? QCursor(Qt::DragCopyCursor) : QCursor(Qt::ArrowCursor);
    } else if (ctrlHeld_) {
        if (!haveForbiddenCopyCursor_) {
            forbiddenCopyCursor_ = MakeForbiddenCopyCursor();
            haveForbiddenCopyCursor_ = true;
        }
        cursor = forbiddenCopyCursor_;
    } else {
        cursor = QCursor(Qt::ForbiddenCursor);
    }
    QGuiApplication::changeOverrideCursor(cursor);
}

int CFolderTree::RowHeight() const {
    const QTreeWidgetItem* first = FirstVisibleItem();
    const int height = first != nullptr ? visualItemRect(first).height() : 0;
    return height > 0 ? height : fontMetrics().height();
}

QTreeWidgetItem* CFolderTree::FirstVisibleItem() const {
    return itemAt(QPoint(0, 0));
}

QTreeWidgetItem* CFolderTree::LastVisibleItem() const {
    if (QTreeWidgetItem* bottom = itemAt(QPoint(0, viewport()->height() - 1))) {
        return bottom;
    }
    // The items end above the bottom edge: the last one shown.
    QTreeWidgetItem* item = FirstVisibleItem();
    while (item != nullptr) {
        QTreeWidgetItem* next = itemBelow(item);
        if (next == nullptr) {
            break;
        }
        item = next;
    }
    return item;
}

// ---- records dropped from the record list ----

void CFolderTree::SetRecordDragFormat(const QString& runName) {
    recordFormat_ = runName;
}

void CFolderTree::SetRecordDragMenuRunner(DragMenuRunner runner) {
    recordMenu_ = std::move(runner);
}

bool CFolderTree::RecordTargetValid(const QTreeWidgetItem* item, FolderIndex source) const {
    if (item == nullptr || item == root_) {
        return false;
    }
    // The selected folder is the one whose records the list shows, so it is the source.
    const FolderIndex target = FolderOf(item);
    return target != source && target != SelectedFolder() &&
           host_.Folders().FolderAt(target) != nullptr;
}

bool CFolderTree::TrackRecordDrag(QDragMoveEvent* event, FolderIndex source) {
    const QPoint pos = event->position().toPoint();
    lastPos_ = pos;
    QTreeWidgetItem* item = viewport()->rect().contains(pos) ? itemAt(pos) : nullptr;
    const bool valid =
        event->possibleActions().testFlag(Qt::CopyAction) && RecordTargetValid(item, source);
    SetDropHighlight(valid ? item : nullptr);
    if (valid) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    return valid;
}

void CFolderTree::EndRecordDrag() {
    if (!recordDrag_) {
        return;
    }
    recordDrag_ = false;
    recordSource_ = kNoItem;
    dragTimer_.stop();
    SetDropHighlight(nullptr);
    hoverCount_ = 0;
}

void CFolderTree::dragEnterEvent(QDragEnterEvent* event) {
    EndRecordDrag();
    const std::optional<RecordDragPayload> payload =
        state_ == DragState::Idle ? ReadRecordDragData(*event->mimeData(), recordFormat_)
                                  : std::nullopt;
    if (!payload) {
        event->ignore();
        return;
    }
    recordDrag_ = true;
    recordSource_ = payload->folder;
    hoverCount_ = 0;
    dragTimer_.start();
    if (!TrackRecordDrag(event, recordSource_)) {
        // Qt sends the moves only to a widget that took the enter; "no drop here" is the action.
        event->setDropAction(Qt::IgnoreAction);
        event->accept();
    }
}

void CFolderTree::dragMoveEvent(QDragMoveEvent* event) {
    if (!recordDrag_) {
        event->ignore();
        return;
    }
    TrackRecordDrag(event, recordSource_);
}

void CFolderTree::dragLeaveEvent(QDragLeaveEvent* event) {
    EndRecordDrag();
    event->accept();
}

void CFolderTree::dropEvent(QDropEvent* event) {
    EndRecordDrag();
    const std::optional<RecordDragPayload> payload =
        state_ == DragState::Idle ? ReadRecordDragData(*event->mimeData(), recordFormat_)
                                  : std::nullopt;
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = viewport()->rect().contains(pos) ? itemAt(pos) : nullptr;
    if (!payload || !event->possibleActions().testFlag(Qt::CopyAction) ||
        !RecordTargetValid(item, payload->folder)) {
        event->ignore();
        return;
    }
    const FolderIndex source = payload->folder;
    const FolderIndex target = FolderOf(item);
    bool move = true;
    if (payload->button == 2) {
        const unsigned generation = generation_;
        const int command =
            recordMenu_ ? recordMenu_(viewport()->mapToGlobal(pos)) : kCancelDragCommand;
        if (generation != generation_ ||
            (command != kCopyRecordsCommand && command != kMoveRecordsCommand)) {
            event->ignore();
            return;
        }
        move = command == kMoveRecordsCommand;
    }

    const RecordTransfer transfer = CopyOrMoveRecords(host_.Folders(), *payload, target, move);
    if (transfer.refused) {
        event->ignore();
        return;
    }
    // Any moving was done here; the drag's source must remove nothing, so the drag reports a copy.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (transfer.outOfMemory) {
        host_.ShowMessage(QString::fromUtf8(msg::kNoMemoryRecord.data(),
                                            static_cast<qsizetype>(msg::kNoMemoryRecord.size())),
                          QMessageBox::Critical);
    }
    if (transfer.copied > 0 || transfer.removed > 0) {
        host_.FoldersChanged();
    }
    RebuildAndSelect(source);
    emit RecordsDropped(source);
}

// ---- the bar ----

CFolderBar::CFolderBar(IFolderHost& host, QWidget* parent) : QDockWidget(parent) {
    setWindowTitle(tr("Folders"));
    setObjectName(QStringLiteral("FolderBar"));
    tree_ = new CFolderTree(host, this);
    setWidget(tree_);
}

}  // namespace zelvant::ui
