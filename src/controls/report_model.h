#pragma once
// The parts of the report list that its users never see: the table model that asks the owner's
// source for the cells on screen, and the header that sorts, reorders and takes columns from the
// field chooser.

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QIcon>
#include <QList>
#include <QMimeData>
#include <vector>

#include "controls/report_ctrl.h"

namespace zelvant::controls {

// Model columns are the defined subitems; model rows are display rows, each naming an item.
class CReportModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    CReportModel(const CColumnSet& columns, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void SetSource(const IReportSource* source);
    const IReportSource* Source() const { return source_; }
    void SetImages(QList<QIcon> images);
    QIcon Image(int index) const;

    // Wrap a change to the column definitions so that the header follows.
    void BeginInsertColumn(int subitem);
    void EndInsertColumn();

    void Reset(int count);
    // Puts the rows in a new order (a permutation of the items); selection and current index stay
    // with their items.
    void Reorder(std::vector<int> order);
    const std::vector<int>& Order() const { return order_; }
    int ItemAt(int row) const;
    int RowOf(int item) const;
    void RefreshRow(int row);

  private:
    const CColumnSet& columns_;
    const IReportSource* source_ = nullptr;
    QList<QIcon> images_;
    std::vector<int> order_;  // row -> item
    std::vector<int> rows_;   // item -> row
};

class CReportHeader final : public QHeaderView {
  public:
    explicit CReportHeader(CReportCtrl* list);

    // Where a column dropped at x would go, as a position among the shown columns, and the x of
    // the insertion mark.
    int DropPosition(int x, int* markX) const;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    bool OnSectionEdge(int x) const;
    void SetMark(int x);

    CReportCtrl* list_;
    int pressedSection_ = -1;  // a press that may become a section move
    QPoint pressPos_;
    bool moving_ = false;
    int markX_ = -1;
};

// The subitem carried by a column drag, or -1.
int ColumnFromMime(const QMimeData* data);
QMimeData* MakeColumnMime(int subitem);

}  // namespace zelvant::controls
