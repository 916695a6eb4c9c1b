#include "controls/report_model.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFont>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <numeric>
#include <utility>

namespace zelvant::controls {

namespace {

// As an int: that is what views and delegates read back from the alignment role.
int AlignmentOf(std::uint32_t format) {
    switch (format & 0x3u) {
        case kFormatRight:
            return (Qt::AlignRight | Qt::AlignVCenter).toInt();
        case kFormatCenter:
            return (Qt::AlignHCenter | Qt::AlignVCenter).toInt();
        default:
            return (Qt::AlignLeft | Qt::AlignVCenter).toInt();
    }
}

}  // namespace

int ColumnFromMime(const QMimeData* data) {
    const QString type = QString::fromLatin1(kColumnMimeType.data(), kColumnMimeType.size());
    if (data == nullptr || !data->hasFormat(type)) {
        return -1;
    }
    bool ok = false;
    const int subitem = data->data(type).toInt(&ok);
    return ok && subitem >= 0 ? subitem : -1;
}

QMimeData* MakeColumnMime(int subitem) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kColumnMimeType.data(), kColumnMimeType.size()),
                  QByteArray::number(subitem));
    return data;
}

// ---------------------------------------------------------------------------------------------

CReportModel::CReportModel(const CColumnSet& columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(columns) {}

int CReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int CReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_.DefinedCount();
}

QVariant CReportModel::data(const QModelIndex& index, int role) const {
    if (source_ == nullptr || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount()) {
        return {};
    }
    const int item = order_[static_cast<std::size_t>(index.row())];
    const int subitem = index.column();
    const bool iconCells = (columns_.Definition(subitem).format & kFormatIconCells) != 0;
    switch (role) {
        case Qt::DisplayRole:
            if (iconCells) {
                return {};
            }
            return source_->CellText(item, subitem);
        case Qt::ToolTipRole:
            if (iconCells) {
                const QString text = source_->CellText(item, subitem);
                return text.isEmpty() ? QVariant() : QVariant(text);
            }
            return {};
        case Qt::DecorationRole: {
            const QIcon icon = Image(source_->CellImage(item, subitem));
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
        case Qt::FontRole:
            if (source_->ItemBold(item)) {
                QFont font;
                font.setBold(true);
                return font;
            }
            return {};
        case Qt::TextAlignmentRole:
            return AlignmentOf(columns_.Definition(subitem).format);
        default:
            return {};
    }
}

QVariant CReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    const ColumnDefinition& definition = columns_.Definition(section);
    switch (role) {
        case Qt::DisplayRole:
            if ((definition.format & kFormatString) != 0) {
                return definition.title;
            }
            return {};
        case Qt::DecorationRole:
            if ((definition.format & kFormatImage) != 0) {
                const QIcon icon = Image(definition.image);
                return icon.isNull() ? QVariant() : QVariant(icon);
            }
            return {};
        case Qt::ToolTipRole:
            if ((definition.format & kFormatHeaderTip) != 0) {
                return QString::fromUtf8(kHeaderTipFormat.data(),
                                         static_cast<qsizetype>(kHeaderTipFormat.size()))
                    .replace(QLatin1String("%s"), definition.title);
            }
            return {};
        case Qt::TextAlignmentRole:
            return AlignmentOf(definition.format);
        default:
            return {};
    }
}

Qt::ItemFlags CReportModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CReportModel::SetSource(const IReportSource* source) {
    source_ = source;
    if (!order_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void CReportModel::SetImages(QList<QIcon> images) {
    images_ = std::move(images);
    if (columnCount() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (!order_.empty()) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                             {Qt::DecorationRole});
        }
    }
}

QIcon CReportModel::Image(int index) const {
    return index >= 0 && index < images_.size() ? images_[index] : QIcon();
}

void CReportModel::BeginInsertColumn(int subitem) {
    beginInsertColumns({}, subitem, subitem);
}

void CReportModel::EndInsertColumn() {
    endInsertColumns();
}

void CReportModel::Reset(int count) {
    beginResetModel();
    order_.resize(static_cast<std::size_t>(std::max(count, 0)));
    std::iota(order_.begin(), order_.end(), 0);
    rows_ = order_;
    endResetModel();
}

void CReportModel::Reorder(std::vector<int> order) {
    if (order.size() != order_.size()) {
        return;
    }
    // The selection model keeps one persistent index per selected row under this hint.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> rows(order.size());
    for (std::size_t row = 0; row < order.size(); ++row) {
        rows[static_cast<std::size_t>(order[row])] = static_cast<int>(row);
    }
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from) {
        const int item = order_[static_cast<std::size_t>(old.row())];
        to.append(index(rows[static_cast<std::size_t>(item)], old.column()));
    }
    order_ = std::move(order);
    rows_ = std::move(rows);
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int CReportModel::ItemAt(int row) const {
    return row >= 0 && row < rowCount() ? order_[static_cast<std::size_t>(row)] : -1;
}

int CReportModel::RowOf(int item) const {
    return item >= 0 && item < rowCount() ? rows_[static_cast<std::size_t>(item)] : -1;
}

void CReportModel::RefreshRow(int row) {
    if (row >= 0 && row < rowCount() && columnCount() > 0) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
}

// ---------------------------------------------------------------------------------------------

CReportHeader::CReportHeader(CReportCtrl* list) : QHeaderView(Qt::Horizontal, list), list_(list) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

bool CReportHeader::OnSectionEdge(int x) const {
    const int visual = visualIndexAt(x);
    if (visual < 0) {
        return false;
    }
    const int logical = logicalIndex(visual);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int start = sectionViewportPosition(logical);
    return x < start + grip || x > start + sectionSize(logical) - grip;
}

void CReportHeader::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    moving_ = false;
    pressedSection_ = -1;
    if (event->button() == Qt::LeftButton && !OnSectionEdge(x)) {
        pressedSection_ = logicalIndexAt(x);
        pressPos_ = event->position().toPoint();
    }
    QHeaderView::mousePressEvent(event);
}

void CReportHeader::mouseMoveEvent(QMouseEvent* event) {
    if (pressedSection_ >= 0 && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - pressPos_).manhattanLength() >=
            QApplication::startDragDistance()) {
        moving_ = true;
    }
    QHeaderView::mouseMoveEvent(event);
}

void CReportHeader::mouseReleaseEvent(QMouseEvent* event) {
    const int section = pressedSection_;
    const bool moved = moving_;
    pressedSection_ = -1;
    moving_ = false;
    if (event->button() != Qt::LeftButton || !moved ||
        viewport()->rect().contains(event->position().toPoint())) {
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    // Released off the header: the column goes back to the chooser rather than moving.
    list_->headerSyncSuspended_ = true;
    QHeaderView::mouseReleaseEvent(event);
    list_->headerSyncSuspended_ = false;
    if (list_->Columns().Shown().size() > 1) {
        list_->DeactivateColumn(section);
    } else {
        list_->ApplyColumnsToHeader();
    }
}

void CReportHeader::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    if (markX_ < 0) {
        return;
    }
    QPainter painter(viewport());
    QColor color = list_->Color(3);
    if (!color.isValid()) {
        color = palette().color(QPalette::Highlight);
    }
    painter.fillRect(QRect(markX_ - 1, 0, 3, viewport()->height()), color);
}

int CReportHeader::DropPosition(int x, int* markX) const {
    // The insertion point is the nearer edge of the shown section under the pointer.
    int before = -1;  // visual index of the section the column goes in front of
    const int visual = visualIndexAt(x);
    if (visual >= 0) {
        const int logical = logicalIndex(visual);
        const int start = sectionViewportPosition(logical);
        before = x < start + sectionSize(logical) / 2 ? visual : visual + 1;
    } else if (x < 0 || (count() > 0 && x < sectionViewportPosition(logicalIndex(0)))) {
        before = 0;
    }
    int position = 0;
    int mark = 0;
    for (int v = 0; v < count(); ++v) {
        const int logical = logicalIndex(v);
        if (isSectionHidden(logical)) {
            continue;
        }
        if (before >= 0 && v >= before) {
            mark = sectionViewportPosition(logical);
            if (markX != nullptr) {
                *markX = mark;
            }
            return position;
        }
        ++position;
        mark = sectionViewportPosition(logical) + sectionSize(logical);
    }
    if (markX != nullptr) {
        *markX = std::max(mark - 1, 0);
    }
    return position;
}

void CReportHeader::SetMark(int x) {
    if (x != markX_) {
        markX_ = x;
        viewport()->update();
    }
}

// Entering is the first move.
void CReportHeader::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CReportHeader::dragMoveEvent(QDragMoveEvent* event) {
    if (ColumnFromMime(event->mimeData()) < 0) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    int mark = -1;
    DropPosition(event->position().toPoint().x(), &mark);
    SetMark(mark);
}

void CReportHeader::dragLeaveEvent(QDragLeaveEvent* event) {
    SetMark(-1);
    event->accept();
}

void CReportHeader::dropEvent(QDropEvent* event) {
    SetMark(-1);
    const int subitem = ColumnFromMime(event->mimeData());
    if (subitem < 0 || subitem >= list_->Columns().DefinedCount()) {
        event->ignore();
        return;
    }
    const int position = DropPosition(event->position().toPoint().x(), nullptr);
    list_->DropColumn(subitem, position);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

}  // namespace zelvant::controls
