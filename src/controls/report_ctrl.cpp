#include "controls/report_ctrl.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "controls/report_model.h"

namespace zelvant::controls {

namespace {

constexpr std::size_t kSortKeyLength = 255;
constexpr int kMaxColorIndex = 255;
// Icon columns are narrower than the style's default minimum, which leaves room for a sort mark.
constexpr int kMinimumSectionSize = 8;

// Hoare partitioning around the value at the centre of each range. The larger half waits on the
// stack while the smaller one is sorted first, so the stack stays logarithmic whatever the keys.
template <typename Compare>
void QuickSortRows(std::vector<int>& rows, const Compare& compare, bool ascending) {
    if (rows.size() < 2) {
        return;
    }
    const int direction = ascending ? 1 : -1;
    std::vector<std::pair<int, int>> pending;
    pending.emplace_back(0, static_cast<int>(rows.size()) - 1);
    while (!pending.empty()) {
        auto [low, high] = pending.back();
        pending.pop_back();
        while (low < high) {
            const int pivot = rows[static_cast<std::size_t>(low + (high - low) / 2)];
            int left = low;
            int right = high;
            while (left <= right) {
                while (direction * compare(rows[static_cast<std::size_t>(left)], pivot) < 0) {
                    ++left;
                }
                while (direction * compare(rows[static_cast<std::size_t>(right)], pivot) > 0) {
                    --right;
                }
                if (left <= right) {
                    std::swap(rows[static_cast<std::size_t>(left)],
                              rows[static_cast<std::size_t>(right)]);
                    ++left;
                    --right;
                }
            }
            if (right - low < high - left) {
                pending.emplace_back(left, high);
                high = right;
            } else {
                pending.emplace_back(low, right);
                low = left;
            }
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Field chooser

CReportOptionsCtrl::CReportOptionsCtrl(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void CReportOptionsCtrl::Fill(const CReportCtrl& list) {
    clear();
    const CColumnSet& columns = list.Columns();
    for (int subitem = 0; subitem < columns.DefinedCount(); ++subitem) {
        const ColumnDefinition& definition = columns.Definition(subitem);
        if (columns.IsShown(subitem) || (definition.format & kFormatNotOffered) != 0) {
            continue;
        }
        auto* entry = new QListWidgetItem(definition.title, this);
        entry->setData(Qt::UserRole, subitem);
    }
}

void CReportOptionsCtrl::startDrag(Qt::DropActions /*actions*/) {
    QListWidgetItem* entry = currentItem();
    if (entry == nullptr || list_ == nullptr) {
        return;
    }
    const QRect area = visualItemRect(entry);
    auto* drag = new QDrag(this);
    drag->setMimeData(MakeColumnMime(entry->data(Qt::UserRole).toInt()));
    drag->setPixmap(viewport()->grab(area));
    drag->setHotSpot(viewport()->mapFromGlobal(QCursor::pos()) - area.topLeft());
    // A successful drop refills this list, so the entry must not be touched afterwards.
    drag->exec(Qt::MoveAction);
}

void CReportOptionsCtrl::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CReportOptionsCtrl::dragMoveEvent(QDragMoveEvent* event) {
    const int subitem = ColumnFromMime(event->mimeData());
    if (event->source() != this && list_ != nullptr && list_->Columns().IsShown(subitem)) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CReportOptionsCtrl::dropEvent(QDropEvent* event) {
    const int subitem = ColumnFromMime(event->mimeData());
    // The last column stays: a list without columns could not be given one back by dragging.
    if (event->source() == this || list_ == nullptr || list_->Columns().Shown().size() < 2 ||
        !list_->DeactivateColumn(subitem)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// The list

CReportCtrl::CReportCtrl(QWidget* parent) : QTreeView(parent) {
    header_ = new CReportHeader(this);
    setHeader(header_);
    model_ = new CReportModel(columns_, this);
    setModel(model_);
    // The view's own sorting would reset the header's clickability; the list sorts by itself.
    setSortingEnabled(false);

    header_->setSectionsMovable(true);
    header_->setFirstSectionMovable(true);
    header_->setSectionsClickable(true);
    header_->setHighlightSections(false);
    header_->setStretchLastSection(false);
    header_->setMinimumSectionSize(kMinimumSectionSize);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setSortIndicatorShown(true);
    header_->setSortIndicator(-1, Qt::AscendingOrder);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);

    connect(header_, &QHeaderView::sectionClicked, this, &CReportCtrl::OnHeaderClicked);
    connect(header_, &QHeaderView::sectionMoved, this, [this] { OnSectionMoved(); });
    connect(header_, &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { OnSectionResized(logical, size); });
}

CReportCtrl::~CReportCtrl() {
    if (chooser_ != nullptr) {
        chooser_->list_ = nullptr;
        chooser_->clear();
    }
}

// --- Columns ---------------------------------------------------------------------------------

void CReportCtrl::DefineColumn(int subitem, const ColumnDefinition& definition, bool redraw) {
    subitem = std::clamp(subitem, 0, columns_.DefinedCount());
    model_->BeginInsertColumn(subitem);
    columns_.Define(subitem, definition);
    model_->EndInsertColumn();
    if (sortColumn_ >= subitem) {
        ++sortColumn_;
        header_->setSortIndicator(sortColumn_,
                                  sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
    ApplyColumnsToHeader();
    if (redraw) {
        RefillChooser();
    }
    emit ColumnsChanged();
}

bool CReportCtrl::ActivateColumn(int subitem, int position) {
    if (!columns_.Activate(subitem, position)) {
        return false;
    }
    ColumnsEdited();
    return true;
}

bool CReportCtrl::DeactivateColumn(int subitem) {
    if (!columns_.Deactivate(subitem)) {
        return false;
    }
    ColumnsEdited();
    return true;
}

void CReportCtrl::DeactivateAllColumns() {
    columns_.DeactivateAll();
    ColumnsEdited();
}

std::string CReportCtrl::GetColumnLayout() const {
    return columns_.Layout();
}

bool CReportCtrl::SetColumnLayout(std::string_view text) {
    if (!columns_.SetLayout(text)) {
        return false;
    }
    ColumnsEdited();
    return true;
}

void CReportCtrl::WriteColumnLayout(settings::ISettingsStore& store, std::string_view section,
                                    std::string_view entry) const {
    store.WriteString(section, entry, GetColumnLayout());
}

bool CReportCtrl::ReadColumnLayout(settings::ISettingsStore& store, std::string_view section,
                                   std::string_view entry) {
    const std::string text = store.ReadString(section, entry, {});
    return !text.empty() && SetColumnLayout(text);
}

void CReportCtrl::ColumnsEdited() {
    if (sortColumn_ >= 0 && !columns_.IsShown(sortColumn_)) {
        sortColumn_ = -1;
        header_->setSortIndicator(-1, Qt::AscendingOrder);
    }
    ApplyColumnsToHeader();
    RefillChooser();
    emit ColumnsChanged();
}

void CReportCtrl::ApplyColumnsToHeader() {
    if (header_->count() != columns_.DefinedCount()) {
        return;
    }
    const bool suspended = headerSyncSuspended_;
    headerSyncSuspended_ = true;
    for (int subitem = 0; subitem < columns_.DefinedCount(); ++subitem) {
        if (columns_.IsShown(subitem)) {
            header_->showSection(subitem);
            header_->resizeSection(subitem, columns_.Size(subitem));
        } else {
            header_->hideSection(subitem);
        }
    }
    const std::vector<int>& shown = columns_.Shown();
    for (int position = 0; position < static_cast<int>(shown.size()); ++position) {
        const int from = header_->visualIndex(shown[static_cast<std::size_t>(position)]);
        if (from != position) {
            header_->moveSection(from, position);
        }
    }
    headerSyncSuspended_ = suspended;
}

void CReportCtrl::OnSectionMoved() {
    if (headerSyncSuspended_) {
        return;
    }
    int position = 0;
    for (int visual = 0; visual < header_->count(); ++visual) {
        const int subitem = header_->logicalIndex(visual);
        if (!header_->isSectionHidden(subitem) && columns_.Move(subitem, position)) {
            ++position;
        }
    }
    RefillChooser();
    emit ColumnsChanged();
}

void CReportCtrl::OnSectionResized(int logicalIndex, int newSize) {
    if (headerSyncSuspended_ || header_->isSectionHidden(logicalIndex) ||
        !columns_.IsShown(logicalIndex)) {
        return;
    }
    columns_.SetSize(logicalIndex, newSize);
    emit ColumnsChanged();
}

void CReportCtrl::DropColumn(int subitem, int position) {
    if (!columns_.IsShown(subitem)) {
        ActivateColumn(subitem, position);
        return;
    }
    const std::vector<int>& shown = columns_.Shown();
    const int current =
        static_cast<int>(std::find(shown.begin(), shown.end(), subitem) - shown.begin());
    // The position was counted with the column still in its old place.
    if (position > current) {
        --position;
    }
    if (position != current && columns_.Move(subitem, position)) {
        ColumnsEdited();
    }
}

void CReportCtrl::RefillChooser() {
    if (chooser_ != nullptr) {
        chooser_->Fill(*this);
    }
}

void CReportCtrl::AttachOptionsCtrl(CReportOptionsCtrl* chooser) {
    if (chooser_ == chooser) {
        RefillChooser();
        return;
    }
    if (chooser_ != nullptr) {
        chooser_->list_ = nullptr;
        chooser_->clear();
    }
    if (chooser != nullptr && chooser->list_ != nullptr) {
        chooser->list_->AttachOptionsCtrl(nullptr);
    }
    chooser_ = chooser;
    if (chooser_ != nullptr) {
        chooser_->list_ = this;
        RefillChooser();
    }
}

// --- Rows ------------------------------------------------------------------------------------

void CReportCtrl::SetSource(const IReportSource* source) {
    model_->SetSource(source);
}

void CReportCtrl::SetItems(int count) {
    sortColumn_ = -1;
    header_->setSortIndicator(-1, Qt::AscendingOrder);
    model_->Reset(count);
    ApplyColumnsToHeader();
}

int CReportCtrl::GetItemCount() const {
    return model_->rowCount();
}

void CReportCtrl::RefreshItem(int item) {
    model_->RefreshRow(model_->RowOf(item));
}

int CReportCtrl::ItemAt(int row) const {
    return model_->ItemAt(row);
}

int CReportCtrl::RowOf(int item) const {
    return model_->RowOf(item);
}

// --- Selection -------------------------------------------------------------------------------

std::vector<char> CReportCtrl::SelectedRowMask() const {
    std::vector<char> mask(static_cast<std::size_t>(GetItemCount()), 0);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (!range.isValid()) {
            continue;
        }
        const int last = std::min(range.bottom(), GetItemCount() - 1);
        for (int row = std::max(range.top(), 0); row <= last; ++row) {
            mask[static_cast<std::size_t>(row)] = 1;
        }
    }
    return mask;
}

int CReportCtrl::GetNextSelectedItem(int after) const {
    const int start = std::max(after + 1, 0);
    int next = -2;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (!range.isValid() || range.bottom() < start) {
            continue;
        }
        const int row = std::max(range.top(), start);
        if (next == -2 || row < next) {
            next = row;
        }
    }
    return next < GetItemCount() ? next : -2;
}

std::vector<int> CReportCtrl::SelectedItems() const {
    const std::vector<char> mask = SelectedRowMask();
    std::vector<int> items;
    for (std::size_t row = 0; row < mask.size(); ++row) {
        if (mask[row] != 0) {
            items.push_back(model_->ItemAt(static_cast<int>(row)));
        }
    }
    std::sort(items.begin(), items.end());
    return items;
}

void CReportCtrl::SelectItem(int row, bool select) {
    if (row < 0 || row >= GetItemCount()) {
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    if (!select) {
        selectionModel()->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        return;
    }
    selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

// --- Sorting ---------------------------------------------------------------------------------

void CReportCtrl::OnHeaderClicked(int logicalIndex) {
    if (logicalIndex < 0) {
        return;
    }
    SortBy(logicalIndex, logicalIndex == sortColumn_ ? !sortAscending_ : true);
}

void CReportCtrl::SortBy(int subitem, bool ascending) {
    if (!columns_.IsShown(subitem)) {
        return;
    }
    sortColumn_ = subitem;
    sortAscending_ = ascending;
    header_->setSortIndicator(subitem, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    const IReportSource* source = model_->Source();
    const int count = GetItemCount();
    if (count == 0 || source == nullptr) {
        return;
    }
    const QModelIndex current = currentIndex();
    const int currentItem = current.isValid() ? model_->ItemAt(current.row()) : -1;

    // One fetch per row; the comparisons then work on bytes only.
    std::vector<std::string> texts(static_cast<std::size_t>(count));
    std::vector<int> images(static_cast<std::size_t>(count));
    for (int item = 0; item < count; ++item) {
        const QByteArray text = source->CellText(item, subitem).toUtf8();
        const auto length = std::min(static_cast<std::size_t>(text.size()), kSortKeyLength);
        texts[static_cast<std::size_t>(item)].assign(text.constData(), length);
        images[static_cast<std::size_t>(item)] = source->CellImage(item, subitem);
    }
    std::vector<int> order = model_->Order();
    QuickSortRows(
        order,
        [&texts, &images](int left, int right) {
            const auto l = static_cast<std::size_t>(left);
            const auto r = static_cast<std::size_t>(right);
            return CompareCells(texts[l], images[l], texts[r], images[r]);
        },
        ascending);
    model_->Reorder(std::move(order));

    if (currentItem >= 0) {
        const QModelIndex moved = model_->index(model_->RowOf(currentItem), current.column());
        selectionModel()->setCurrentIndex(moved, QItemSelectionModel::NoUpdate);
        scrollTo(moved);
    }
    viewport()->update();
}

// --- Mouse -----------------------------------------------------------------------------------

void CReportCtrl::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    dragButton_ = Qt::NoButton;
    dragRequested_ = false;
    if (event->button() == Qt::LeftButton && ignoreNextClick_) {
        ignoreNextClick_ = false;
        swallowingPress_ = true;
        event->accept();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        if (index.isValid()) {
            const bool extending =
                (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
            // A selected row keeps the whole selection, so that the menu acts on all of it.
            if (!extending && !selectionModel()->isRowSelected(index.row(), {})) {
                selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            } else if (!extending) {
                selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
            }
            const std::vector<char> mask = SelectedRowMask();
            emit BeginDrag(2, static_cast<int>(std::count(mask.begin(), mask.end(), 1)));
            NoteDragPress(event, index);
        }
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid()) {
        const std::vector<char> mask = SelectedRowMask();
        emit BeginDrag(1, static_cast<int>(std::count(mask.begin(), mask.end(), 1)));
        NoteDragPress(event, index);
    }
}

void CReportCtrl::NoteDragPress(const QMouseEvent* event, const QModelIndex& index) {
    // A receiver of BeginDrag may have refilled the list.
    if (index.model() == model() && index.isValid() &&
        selectionModel()->isRowSelected(index.row(), {})) {
        dragButton_ = event->button();
        dragPressPos_ = event->position().toPoint();
    }
}

void CReportCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (swallowingPress_) {
        if ((event->buttons() & Qt::LeftButton) != 0) {
            event->accept();
            return;
        }
        swallowingPress_ = false;
    }
    if (dragButton_ != Qt::NoButton && (event->buttons() & dragButton_) != 0) {
        // Pressing on the selection drags it; it never starts a drag-selection.
        if (!dragRequested_ && (event->position().toPoint() - dragPressPos_).manhattanLength() >=
                                   QApplication::startDragDistance()) {
            dragRequested_ = true;
            emit DragStartRequested(dragButton_ == Qt::RightButton ? 2 : 1);
        }
        event->accept();
        return;
    }
    if (!dragRequested_) {
        dragButton_ = Qt::NoButton;  // released where the list could not see it
    }
    QTreeView::mouseMoveEvent(event);
}

void CReportCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (swallowingPress_ && event->button() == Qt::LeftButton) {
        swallowingPress_ = false;
        event->accept();
        return;
    }
    if (dragButton_ != Qt::NoButton && event->button() == dragButton_) {
        const bool dragged = dragRequested_;
        dragButton_ = Qt::NoButton;
        dragRequested_ = false;
        // The release that ends a drag (handed back by the platform once the drag is over) must
        // neither collapse the selection nor open the record menu.
        if (dragged) {
            event->accept();
            return;
        }
    }
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        const QModelIndex index = indexAt(event->position().toPoint());
        emit RightButtonReleased(index.isValid() ? index.row() : -1,
                                 event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

void CReportCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && index.isValid()) {
        emit ItemDoubleClicked(index.row());
    } else if (event->button() == Qt::LeftButton) {
        emit EmptySpaceDoubleClicked();
    }
}

// --- Look ------------------------------------------------------------------------------------

void CReportCtrl::SetImages(QList<QIcon> images) {
    model_->SetImages(std::move(images));
}

void CReportCtrl::SetColor(int index, QColor color) {
    if (index < 0 || index > kMaxColorIndex) {
        return;
    }
    if (index >= colors_.size()) {
        colors_.resize(index + 1);
    }
    colors_[index] = color;
    if (index == 0 && color.isValid()) {
        QPalette colors = palette();
        colors.setColor(QPalette::AlternateBase, color);
        setPalette(colors);
    }
    viewport()->update();
    header_->viewport()->update();
}

QColor CReportCtrl::Color(int index) const {
    return index >= 0 && index < colors_.size() ? colors_[index] : QColor();
}

void CReportCtrl::SetGridLines(bool horizontal, bool vertical) {
    gridHorizontal_ = horizontal;
    gridVertical_ = vertical;
    viewport()->update();
}

void CReportCtrl::SetAlternateColors(bool on) {
    setAlternatingRowColors(on);
}

void CReportCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (!gridHorizontal_ && !gridVertical_) {
        return;
    }
    QColor color = Color(2);
    if (!color.isValid()) {
        color = palette().color(QPalette::Mid);
    }
    const int right = std::min(header_->length() - header_->offset(), viewport()->width()) - 1;
    painter->save();
    painter->setPen(color);
    if (gridHorizontal_) {
        painter->drawLine(0, option.rect.bottom(), right, option.rect.bottom());
    }
    if (gridVertical_) {
        for (int visual = 0; visual < header_->count(); ++visual) {
            const int logical = header_->logicalIndex(visual);
            if (header_->isSectionHidden(logical)) {
                continue;
            }
            const int x =
                header_->sectionViewportPosition(logical) + header_->sectionSize(logical) - 1;
            painter->drawLine(x, option.rect.top(), x, option.rect.bottom());
        }
    }
    painter->restore();
}

void CReportCtrl::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (GetItemCount() != 0) {
        return;
    }
    const QFontMetrics metrics(font());
    const int margin = metrics.height() / 2;
    const QRect line(margin, margin, viewport()->width() - 2 * margin, metrics.height());
    if (line.width() <= 0) {
        return;
    }
    const QString text = metrics.elidedText(
        QString::fromUtf8(kEmptyListText.data(), static_cast<qsizetype>(kEmptyListText.size())),
        Qt::ElideRight, line.width());
    QColor color = Color(1);
    if (!color.isValid()) {
        color = palette().color(QPalette::PlaceholderText);
    }
    QPainter painter(viewport());
    painter.setPen(color);
    painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop, text);
}

}  // namespace zelvant::controls
