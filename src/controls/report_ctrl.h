#pragma once
// A multi-column list over rows that its owner describes on demand: the control asks for the
// cells of the rows on screen and, when sorting, for one column of every row. Columns are defined
// once and shown or hidden by the user; their arrangement travels as a short layout text.

#include <QColor>
#include <QIcon>
#include <QList>
#include <QListWidget>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTreeView>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"

namespace zelvant::controls {

// Low 16 bits: how the header entry looks; higher bits: the control's own column options.
enum ColumnFormat : std::uint32_t {
    kFormatLeft = 0x0000,
    kFormatRight = 0x0001,
    kFormatCenter = 0x0002,
    kFormatImage = 0x0800,        // the header shows the definition's image
    kFormatString = 0x4000,       // the header shows the title
    kFormatHeaderTip = 0x10000,   // the header entry's tip is "Sort by: <title>"
    kFormatIconCells = 0x20000,   // cells draw their image only; their text becomes the cell's tip
    kFormatNotOffered = 0x40000,  // never listed in the field chooser
};

inline constexpr int kDefaultColumnSize = 200;
inline constexpr std::string_view kEmptyListText = "There are no items to show in this view.";
inline constexpr std::string_view kHeaderTipFormat = "Sort by: %s";
// Drags of a column between the field chooser and the header carry its subitem in decimal.
inline constexpr std::string_view kColumnMimeType = "application/x-zelvant-column";

struct ColumnDefinition {
    std::uint32_t format = kFormatLeft | kFormatString;
    int size = -1;  // negative: kDefaultColumnSize
    int image = -1;
    QString title;
};

// Which columns exist and which are shown, in what order and size; no widgets. The layout text is
// "(N,S)" then the N sizes in definition order, then the S shown subitems left to right, each
// number after one space.
class CColumnSet {
  public:
    // Inserts at the subitem's place; later definitions move up and shown entries that named
    // them are renumbered.
    void Define(int subitem, ColumnDefinition definition);
    int DefinedCount() const { return static_cast<int>(definitions_.size()); }
    const ColumnDefinition& Definition(int subitem) const;
    int Size(int subitem) const;
    void SetSize(int subitem, int size);

    // False when already shown or not defined. Positions past the end append.
    bool Activate(int subitem, int position);
    // False when not shown.
    bool Deactivate(int subitem);
    void DeactivateAll();
    bool IsShown(int subitem) const;
    // Moves a shown column to another header position.
    bool Move(int subitem, int position);
    const std::vector<int>& Shown() const { return shown_; }

    std::string Layout() const;
    // Refused as a whole (nothing changes) when the text is empty, names another number of
    // defined columns, shows none, or cannot be read.
    bool SetLayout(std::string_view text);

  private:
    std::vector<ColumnDefinition> definitions_;
    std::vector<int> sizes_;
    std::vector<int> shown_;
};

// Orders two cells as the list sorts them: texts (cut to 255 bytes) byte by byte when either has
// one, else the images. Returns -1, 0 or 1.
int CompareCells(std::string_view leftText, int leftImage, std::string_view rightText,
                 int rightImage);

// The owner's rows, by item number (0..count-1, the order the owner keeps them in).
class IReportSource {
  public:
    virtual ~IReportSource() = default;
    virtual QString CellText(int item, int subitem) const = 0;
    virtual int CellImage(int item, int subitem) const = 0;  // -1: none
    virtual bool ItemBold(int item) const = 0;
};

class CReportCtrl;

// The field chooser: one entry per defined, offered column that is not shown. Entries are dragged
// onto the list's header to show them; header entries dragged here are hidden again.
class CReportOptionsCtrl : public QListWidget {
    Q_OBJECT
  public:
    explicit CReportOptionsCtrl(QWidget* parent = nullptr);
    void Fill(const CReportCtrl& list);
    CReportCtrl* List() const { return list_; }

  protected:
    void startDrag(Qt::DropActions actions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    friend class CReportCtrl;
    CReportCtrl* list_ = nullptr;
};

class CReportModel;
class CReportHeader;

class CReportCtrl : public QTreeView {
    Q_OBJECT
  public:
    explicit CReportCtrl(QWidget* parent = nullptr);
    ~CReportCtrl() override;

    // Columns.
    void DefineColumn(int subitem, const ColumnDefinition& definition, bool redraw = true);
    bool ActivateColumn(int subitem, int position);
    bool DeactivateColumn(int subitem);
    void DeactivateAllColumns();
    const CColumnSet& Columns() const { return columns_; }
    std::string GetColumnLayout() const;
    bool SetColumnLayout(std::string_view text);
    void WriteColumnLayout(settings::ISettingsStore& store, std::string_view section,
                           std::string_view entry) const;
    bool ReadColumnLayout(settings::ISettingsStore& store, std::string_view section,
                          std::string_view entry);

    // Rows. The source must outlive the rows it describes.
    void SetSource(const IReportSource* source);
    // Replaces every row by items 0..count-1 in item order; selection and sort mark go.
    void SetItems(int count);
    void DeleteAllItems() { SetItems(0); }
    int GetItemCount() const;
    // Cells of one item were changed by the owner.
    void RefreshItem(int item);
    int ItemAt(int row) const;  // -1 outside the rows
    int RowOf(int item) const;  // -1 when not listed

    // Selection, by row (position on screen). -2 when there is none.
    int GetNextSelectedItem(int after) const;
    int GetFirstSelectedItem() const { return GetNextSelectedItem(-2); }
    // The item numbers of the selected rows, ascending.
    std::vector<int> SelectedItems() const;
    void SelectItem(int row, bool select = true);
    bool HasFocus() const { return hasFocus(); }
    void IgnoreNextClick() { ignoreNextClick_ = true; }

    // Sorting by a shown column; a hidden one is ignored.
    void SortBy(int subitem, bool ascending);
    int SortColumn() const { return sortColumn_; }  // -1: none
    bool SortAscending() const { return sortAscending_; }

    // Look. Colour table: 0 alternate row background, 1 the empty-list text, 2 grid lines, 3 the
    // header's insertion mark; an entry never set leaves the palette's colour.
    void SetImages(QList<QIcon> images);
    void SetColor(int index, QColor color);
    QColor Color(int index) const;
    void SetGridLines(bool horizontal, bool vertical);
    void SetAlternateColors(bool on);
    void AttachOptionsCtrl(CReportOptionsCtrl* chooser);
    CReportOptionsCtrl* OptionsCtrl() const { return chooser_; }

  signals:
    void ItemDoubleClicked(int row);
    // A left double click below the last row or beside the columns.
    void EmptySpaceDoubleClicked();
    // Right button released over a row (-1 over no row).
    void RightButtonReleased(int row, QPoint globalPos);
    // A press that selected rows; button 1 left, 2 right.
    void BeginDrag(int button, int selectedCount);
    // After such a press on a selected row, the pointer went beyond the drag distance with the
    // button still down: the owner may start dragging the selection now. The rest of that press
    // (its moves and its release) is the drag's, not the list's.
    void DragStartRequested(int button);
    void ColumnsChanged();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

  private:
    friend class CReportHeader;
    friend class CReportOptionsCtrl;
    void ApplyColumnsToHeader();
    void OnHeaderClicked(int logicalIndex);
    void RefillChooser();
    void OnSectionMoved();
    void OnSectionResized(int logicalIndex, int newSize);
    void ColumnsEdited();
    // A column dropped on the header: shown there, or moved when it already is.
    void DropColumn(int subitem, int position);
    // Remembers a press on a selected row as one that may become a drag.
    void NoteDragPress(const QMouseEvent* event, const QModelIndex& index);
    // Row r is selected when mask[r] != 0.
    std::vector<char> SelectedRowMask() const;

    CColumnSet columns_;
    CReportModel* model_ = nullptr;
    CReportHeader* header_ = nullptr;
    QPointer<CReportOptionsCtrl> chooser_;
    QList<QColor> colors_;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    bool ignoreNextClick_ = false;
    bool swallowingPress_ = false;  // the ignored press's button is still down
    // The press that may become a record drag: its button (none when there is no such press),
    // where it was, and whether the drag was asked for.
    Qt::MouseButton dragButton_ = Qt::NoButton;
    QPoint dragPressPos_;
    bool dragRequested_ = false;
    bool headerSyncSuspended_ = false;
    bool gridHorizontal_ = false;
    bool gridVertical_ = false;
};

}  // namespace zelvant::controls
