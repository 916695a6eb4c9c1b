#include "ui/results_list.h"

#include <QKeyEvent>

namespace zelvant::ui {

CResultsList::CResultsList(const report::IDateFormatter& dates, QWidget* parent)
    : CReportCtrl(parent), source_(dates) {
    setObjectName(QStringLiteral("ResultsList"));
    SetSource(&source_);
    connect(this, &CReportCtrl::ItemDoubleClicked, this, [this](int row) {
        if (ItemAt(row) >= 0 && CurrentRef().record >= 0) {
            emit RecordActivated(CurrentRef());
        }
    });
}

CResultsList::~CResultsList() {
    SetSource(nullptr);
}

void CResultsList::ArrangeLike(const controls::CReportCtrl& list) {
    const controls::CColumnSet& theirs = list.Columns();
    if (Columns().DefinedCount() == 0) {
        for (int subitem = 0; subitem < theirs.DefinedCount(); ++subitem) {
            DefineColumn(subitem, theirs.Definition(subitem), false);
        }
        controls::ColumnDefinition folder;
        folder.title = QString::fromLatin1(kFolderColumnCaption);
        folder.size = 150;
        folder.format = controls::kFormatLeft | controls::kFormatString |
                        controls::kFormatHeaderTip | controls::kFormatNotOffered;
        DefineColumn(kFolderColumn, folder, false);
    }
    std::string sizes;
    for (int subitem = 0; subitem < theirs.DefinedCount(); ++subitem) {
        sizes += " " + std::to_string(theirs.Size(subitem));
    }
    sizes += " " + std::to_string(Columns().Size(kFolderColumn));
    std::string shown = " " + std::to_string(kFolderColumn);
    for (int subitem : theirs.Shown()) {
        shown += " " + std::to_string(subitem);
    }
    SetColumnLayout("(" + std::to_string(theirs.DefinedCount() + 1) + "," +
                    std::to_string(theirs.Shown().size() + 1) + ")" + sizes + shown);
}

void CResultsList::ShowRecords(const CFolderSequence* folders, std::vector<RecordRef> records,
                               DateTimeValue now) {
    source_.ShowRecords(folders, std::move(records), now);
    SetItems(source_.Count());
}

RecordRef CResultsList::CurrentRef() const {
    const std::vector<int> selected = SelectedItems();
    return selected.empty() ? RecordRef{} : source_.RefAt(selected.front());
}

std::vector<RecordRef> CResultsList::SelectedRefs() const {
    std::vector<RecordRef> refs;
    for (int item : SelectedItems()) {
        refs.push_back(source_.RefAt(item));
    }
    return refs;
}

bool CResultsList::SelectRef(RecordRef ref) {
    for (int item = 0; item < source_.Count(); ++item) {
        if (source_.RefAt(item) == ref) {
            clearSelection();
            SelectItem(RowOf(item));
            return true;
        }
    }
    return false;
}

void CResultsList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        CurrentRef().record >= 0) {
        emit RecordActivated(CurrentRef());
        return;
    }
    CReportCtrl::keyPressEvent(event);
}

void CResultsList::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
    CReportCtrl::selectionChanged(selected, deselected);
    emit SelectionChanged();
}

}  // namespace zelvant::ui
