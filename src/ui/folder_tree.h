#pragma once
// The folder window: the document's folders as a tree under one root item named after the file,
// the folder commands, and moving or copying folders by dragging them inside the tree (the left
// button moves; the right button asks with a small menu). Records dragged from the record list
// are dropped onto its folders the same way.

#include <QCursor>
#include <QDockWidget>
#include <QIcon>
#include <QMessageBox>
#include <QModelIndex>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <vector>

#include "settings/app_settings.h"
#include "store/folder_sequence.h"

namespace zelvant::ui {

// What the tree needs from the window that owns the document.
class IFolderHost {
  public:
    virtual ~IFolderHost() = default;
    virtual CFolderSequence& Folders() = 0;
    virtual settings::AppSettings& Settings() = 0;
    virtual QString DocumentTitle() const = 0;
    // Folders or records changed: mark the document modified and refresh the password popup.
    virtual void FoldersChanged() = 0;
    virtual void ShowMessage(const QString& text, QMessageBox::Icon icon) = 0;
};

// The commands of the menu shown when a right-button drag ends.
enum FolderDragCommand {
    kCopyFolderCommand = 32841,
    kMoveFolderCommand = 32842,
    kCancelDragCommand = 32843,
};

// The menu shown when records are dropped with the right button; it cancels with
// kCancelDragCommand.
enum RecordDragCommand {
    kCopyRecordsCommand = 32862,
    kMoveRecordsCommand = 32863,
};

class CFolderTree : public QTreeWidget {
    Q_OBJECT

  public:
    static constexpr int kDefaultDragInterval = 2000;  // ms between auto-scroll/expand steps
    static constexpr int kDefaultWidth = 200;
    static constexpr int kFolderRole = Qt::UserRole;  // item data: FolderIndex, -1 for the root

    // Shows the drag menu at a global position and returns the chosen command; closing the menu
    // counts as kCancelDragCommand.
    using DragMenuRunner = std::function<int(const QPoint& globalPos)>;

    explicit CFolderTree(IFolderHost& host, QWidget* parent = nullptr);
    ~CFolderTree() override;

    // Builds every item again from the folder sequence, keeping the selected position.
    void Rebuild();
    // -1 when nothing or the root is selected.
    FolderIndex SelectedFolder() const;
    bool RootSelected() const;
    // -1 selects the root; an index without a folder selects nothing.
    void SelectFolder(FolderIndex index);
    void SetRootTitle(const QString& title);

    QTreeWidgetItem* RootItem() const { return root_; }
    // None for an index without an item.
    QTreeWidgetItem* ItemOf(FolderIndex index) const;
    // -1 for the root and for no item.
    static FolderIndex FolderOf(const QTreeWidgetItem* item);

    // The folder commands of the main window and the folder menu.
    void NewFolder();
    void FolderProperties();
    void DeleteFolder();
    void CopyOrMoveFolder(FolderIndex source, FolderIndex target, bool move);

    bool Dragging() const { return state_ == DragState::Dragging; }
    bool RightDrag() const { return Dragging() && rightDrag_; }
    QTreeWidgetItem* DropHighlight() const { return dropItem_; }
    QModelIndex DropHighlightIndex() const;
    int HoverCount() const { return hoverCount_; }
    void SetDragTimerInterval(int ms);
    int DragTimerInterval() const { return dragTimer_.interval(); }
    bool DragTimerActive() const { return dragTimer_.isActive(); }
    void SetDragMenuRunner(DragMenuRunner runner);
    // Ends a drag without changing anything.
    void CancelDrag();

    // The run's private format name; until it is set, no records are taken.
    void SetRecordDragFormat(const QString& runName);
    QString RecordDragFormat() const { return recordFormat_; }
    // The runner for the menu of a right-button record drop: kCopyRecordsCommand,
    // kMoveRecordsCommand or kCancelDragCommand.
    void SetRecordDragMenuRunner(DragMenuRunner runner);
    // Records of this run are being dragged over the tree.
    bool RecordDragOver() const { return recordDrag_; }

    QSize sizeHint() const override;

  signals:
    // -1 when the root or nothing is selected. Also sent after every rebuild, since the folder
    // behind a position may have changed.
    void FolderSelected(zelvant::FolderIndex index);
    // A right click on an item, which is selected first.
    void FolderMenuRequested(const QPoint& globalPos);
    // Records of this folder were dropped onto another one (copied or moved, or not at all when
    // memory ran out first); the tree has been rebuilt with the folder selected again.
    void RecordsDropped(zelvant::FolderIndex source);

  protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

  private:
    // Pressed: a button is down but the pointer has not gone far enough to drag. Swallowing: the
    // rest of a press that must not reach the base view (a cancelled drag, a root drag).
    enum class DragState { Idle, Pressed, Dragging, Swallowing, AwaitingMenu };
    static constexpr FolderIndex kNoItem = -2;

    void RebuildAndSelect(FolderIndex select);
    QTreeWidgetItem* ItemFor(FolderIndex id) const;
    FolderIndex CurrentId() const;
    QString Label(const std::string& stored) const;

    void BeginDrag(const QPoint& pos);
    void TrackPointer(const QPoint& pos);
    void FinishDrag(const QPoint& pos, const QPoint& globalPos);
    void EndDrag();
    bool PressLost(const QMouseEvent* event);
    void OnDragTimer();
    void SetDropHighlight(QTreeWidgetItem* item);
    bool DropTargetValid() const;
    void UpdateDragCursor();
    int RowHeight() const;
    QTreeWidgetItem* FirstVisibleItem() const;
    QTreeWidgetItem* LastVisibleItem() const;
    void OnExpandedChanged(QTreeWidgetItem* item, bool expanded);
    // The drag timer's highlight; during a record drag only a valid target is highlighted.
    void SetTimerHighlight(QTreeWidgetItem* item);
    bool RecordTargetValid(const QTreeWidgetItem* item, FolderIndex source) const;
    // Highlights the target under the pointer and answers the event; false off a target.
    bool TrackRecordDrag(QDragMoveEvent* event, FolderIndex source);
    void EndRecordDrag();

    IFolderHost& host_;
    QTreeWidgetItem* root_ = nullptr;
    std::vector<QTreeWidgetItem*> items_;  // by FolderIndex
    bool building_ = false;
    unsigned generation_ = 0;  // counts rebuilds, so stale drag state is noticed
    QIcon rootIcon_;
    QIcon folderIcon_;

    DragState state_ = DragState::Idle;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    QPoint pressPos_;
    FolderIndex pressId_ = kNoItem;
    FolderIndex dragFolder_ = kNoItem;
    bool rightDrag_ = false;
    bool ctrlHeld_ = false;
    QPoint lastPos_;
    QTreeWidgetItem* dropItem_ = nullptr;
    int hoverCount_ = 0;
    QTimer dragTimer_;
    bool cursorOverridden_ = false;
    QCursor forbiddenCopyCursor_;
    bool haveForbiddenCopyCursor_ = false;
    DragMenuRunner dragMenu_;

    QString recordFormat_;
    bool recordDrag_ = false;
    FolderIndex recordSource_ = kNoItem;
    DragMenuRunner recordMenu_;
};

// The docking window "Folders" that holds the tree.
class CFolderBar : public QDockWidget {
    Q_OBJECT

  public:
    explicit CFolderBar(IFolderHost& host, QWidget* parent = nullptr);

    CFolderTree* Tree() const { return tree_; }

  private:
    CFolderTree* tree_ = nullptr;
};

}  // namespace zelvant::ui
