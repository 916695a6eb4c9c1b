#include "ui/zelvant_view.h"

#include <QDrag>
#include <QMimeData>
#include <QPalette>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/icons.h"
#include "ui/query_dlg.h"
#include "ui/record_drag.h"
#include "ui/results_list.h"

namespace zelvant::ui {

using controls::ColumnDefinition;

CZelvantView::CZelvantView(IViewHost& host, std::unique_ptr<report::IDateFormatter> dates,
                           QWidget* parent)
    : QWidget(parent), host_(host), dates_(std::move(dates)), source_(*dates_) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    list_ = new controls::CReportCtrl(this);
    list_->setObjectName(QStringLiteral("RecordList"));
    list_->SetSource(&source_);
    layout->addWidget(list_);
    setFocusProxy(list_);
    results_ = new CResultsList(*dates_, this);
    results_->hide();
    layout->addWidget(results_);
    connect(results_, &CResultsList::RecordActivated, this, &CZelvantView::ResultActivated);
    connect(results_, &controls::CReportCtrl::RightButtonReleased, this,
            [this](int row, QPoint globalPos) {
                if (row >= 0) {
                    emit RecordMenuRequested(globalPos);
                }
            });

    connect(list_, &controls::CReportCtrl::ItemDoubleClicked, this, [this](int row) {
        if (list_->ItemAt(row) >= 0 && CurrentRecord() >= 0) {
            emit PropertiesRequested(CurrentRecord());
        }
    });
    connect(list_, &controls::CReportCtrl::RightButtonReleased, this,
            [this](int row, QPoint globalPos) {
                if (row >= 0) {
                    emit RecordMenuRequested(globalPos);
                }
            });
    connect(list_, &controls::CReportCtrl::BeginDrag, this, &CZelvantView::RecordDragRequested);
    connect(list_, &controls::CReportCtrl::DragStartRequested, this,
            [this](int button) { StartRecordDrag(button); });

    dragStarter_ = [this](std::unique_ptr<QMimeData> mime, Qt::DropActions allowed) {
        QPointer<QDrag> drag = new QDrag(list_->viewport());
        drag->setMimeData(mime.release());
        const Qt::DropAction action = drag->exec(allowed, Qt::CopyAction);
        if (drag != nullptr) {
            drag->deleteLater();
        }
        return action;
    };
}

CZelvantView::~CZelvantView() {
    // The list asks the source for cells until it is gone.
    list_->SetSource(nullptr);
}

void CZelvantView::DefineColumns() {
    QList<QIcon> images;
    for (int i = 0; i < kRecordImageCount; ++i) {
        images.append(QIcon());
    }
    images[kImageExpiredHeader] = ZelvantIcon("expired-header");
    images[kImageBlank] = ZelvantIcon("blank");
    images[kImageExpired] = ZelvantIcon("expired");
    images[kImageNotesHeader] = ZelvantIcon("notes-header");
    images[kImageNotes] = ZelvantIcon("notes");
    for (controls::CReportCtrl* list : {list_, static_cast<controls::CReportCtrl*>(results_)}) {
        list->SetImages(images);
        list->SetColor(0, QColor(192, 216, 192));
        list->SetColor(1, palette().color(QPalette::Disabled, QPalette::Text));
        list->SetColor(2, QColor(192, 192, 208));
        list->SetColor(3, QColor(0, 64, 128));
    }

    for (const RecordColumn& column : RecordColumns()) {
        ColumnDefinition definition;
        definition.title =
            QString::fromUtf8(column.caption.data(), static_cast<qsizetype>(column.caption.size()));
        definition.size = column.width;
        definition.format = controls::kFormatLeft | controls::kFormatHeaderTip;
        if (column.subitem == kExpiredColumn || column.subitem == kNotesColumn) {
            // The header shows the picture; the title still names the column in tips and in
            // the field chooser.
            definition.format |= controls::kFormatImage | controls::kFormatIconCells;
            definition.image =
                column.subitem == kExpiredColumn ? kImageExpiredHeader : kImageNotesHeader;
            definition.size = 28;
        } else {
            definition.format |= controls::kFormatString;
        }
        list_->DefineColumn(column.subitem, definition, false);
    }
    columnsDefined_ = true;
}

void CZelvantView::AttachFieldChooser(controls::CReportOptionsCtrl* chooser) {
    list_->AttachOptionsCtrl(chooser);
}

void CZelvantView::InitialUpdate(const std::string& layout) {
    if (!columnsDefined_) {
        DefineColumns();
    }
    list_->DeactivateAllColumns();
    if (!list_->SetColumnLayout(layout)) {
        list_->DeactivateAllColumns();
        int position = 0;
        for (int subitem : DefaultColumnOrder()) {
            list_->ActivateColumn(subitem, position++);
        }
    }
    ApplyDisplaySettings();
    ShowFolder(kTopLevel);
}

void CZelvantView::ApplyDisplaySettings() {
    const settings::AppSettings& s = host_.Settings();
    for (controls::CReportCtrl* list : {list_, static_cast<controls::CReportCtrl*>(results_)}) {
        list->SetGridLines(s.gridHoriz != 0, s.gridVert != 0);
        list->SetAlternateColors(s.alternateColors != 0);
        list->viewport()->update();
    }
    source_.SetDisplay(s.display, s.boldText != 0);
    results_->Source().SetDisplay(s.display, s.boldText != 0);
}

void CZelvantView::ShowFolder(FolderIndex folder) {
    if (showingResults_) {
        showingResults_ = false;
        results_->ShowRecords(nullptr, {}, NowLocal());
        results_->hide();
        list_->show();
        setFocusProxy(list_);
        emit ResultsClosed();
    }
    source_.Show(&host_.Folders(), folder, NowLocal());
    list_->SetItems(source_.Count());
}

void CZelvantView::ShowResults(std::vector<RecordRef> records) {
    // The user's arrangement of the results holds while they stay on show.
    if (!showingResults_) {
        results_->ArrangeLike(*list_);
    }
    results_->ShowRecords(&host_.Folders(), std::move(records), NowLocal());
    if (!showingResults_) {
        showingResults_ = true;
        const bool focused = list_->hasFocus();
        list_->hide();
        results_->show();
        setFocusProxy(results_);
        if (focused) {
            results_->setFocus();
        }
    }
}

void CZelvantView::RefreshRecord(int record) {
    list_->RefreshItem(record);
}

int CZelvantView::CurrentRecord() const {
    const std::vector<int> selected = list_->SelectedItems();
    return selected.empty() ? -1 : selected.front();
}

void CZelvantView::SelectRecord(int record) {
    const int row = list_->RowOf(record);
    if (row >= 0) {
        list_->SelectItem(row);
    }
}

bool CZelvantView::ListHasFocus() const {
    return list_->HasFocus();
}

void CZelvantView::DeleteRecords() {
    settings::AppSettings& s = host_.Settings();
    if (!CQueryDlg::Ask(this, tr("Are you sure you want to delete the selected record(s)?"),
                        s.noQueryDelRecord)) {
        return;
    }
    const FolderIndex folderIndex = FolderOnShow();
    std::vector<int> selected = list_->SelectedItems();
    CFolder* folder = host_.Folders().FolderAt(folderIndex);
    if (selected.empty() || folder == nullptr) {
        return;
    }
    // The first selected row on screen keeps its place once the records are gone.
    const int firstRow = list_->GetFirstSelectedItem();
    // From the highest position down, so the positions still to go stay valid.
    std::sort(selected.rbegin(), selected.rend());
    for (int record : selected) {
        folder->RemoveRecord(record);
    }
    ShowFolder(folderIndex);
    host_.RecordsChanged();
    const int count = list_->GetItemCount();
    if (count > 0) {
        list_->SelectItem(std::min(firstRow, count - 1));
    }
}

void CZelvantView::SetRecordDragFormat(const QString& runName) {
    dragFormat_ = runName;
}

void CZelvantView::SetRecordDragStarter(RecordDragStarter starter) {
    dragStarter_ = std::move(starter);
}

bool CZelvantView::StartRecordDrag(int button) {
    const FolderIndex folderIndex = FolderOnShow();
    const CFolder* folder = host_.Folders().FolderAt(folderIndex);
    if (dragging_ || dragFormat_.isEmpty() || !dragStarter_ || folder == nullptr ||
        (button != 1 && button != 2)) {
        return false;
    }
    RecordDragPayload payload{button, folderIndex, list_->SelectedItems()};
    if (payload.records.empty()) {
        return false;
    }
    const int countBefore = folder->RecordCount();
    dragging_ = true;
    dragStarter_(MakeRecordDragData(dragFormat_, payload), Qt::CopyAction | Qt::MoveAction);
    dragging_ = false;
    // Records that moved away leave stale rows behind. A copy or a drag that ended nowhere leaves
    // the folder as it was, so the selection and sort order stay.
    const CFolder* after = host_.Folders().FolderAt(folderIndex);
    if (FolderOnShow() == folderIndex &&
        (after == nullptr || after->RecordCount() != countBefore)) {
        ShowFolder(folderIndex);
    }
    return true;
}

}  // namespace zelvant::ui
