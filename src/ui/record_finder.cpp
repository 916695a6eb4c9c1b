#include "ui/record_finder.h"

#include <QKeyEvent>
#include <algorithm>
#include <map>

#include "ui/query_dlg.h"
#include "ui/record_props.h"
#include "ui/results_list.h"
#include "ui/zelvant_view.h"

namespace zelvant::ui {

CSearchBox::CSearchBox(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("FindBox"));
    setPlaceholderText(tr(kFindPlaceholder));
    setClearButtonEnabled(true);
    setAccessibleName(tr("Find records"));
    setToolTip(
        tr("Lists the records of every folder whose site name, location, e-mail, user "
           "name, account name or notes hold this text. Esc goes back to the folder."));
    setMaximumWidth(fontMetrics().averageCharWidth() * 36);
}

bool CSearchBox::event(QEvent* event) {
    // Esc belongs to the box while it has something to undo, not to the window's Esc command.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !text().isEmpty()) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void CSearchBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            emit Cancelled();
            return;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit ResultsWanted();
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

CRecordFinder::CRecordFinder(CZelvantView& view, CFolderSequence& folders,
                             settings::AppSettings& settings, Hooks hooks, QWidget* parent)
    : QObject(parent),
      view_(view),
      folders_(folders),
      settings_(settings),
      hooks_(std::move(hooks)),
      box_(new CSearchBox(parent)) {
    connect(box_, &QLineEdit::textChanged, this, &CRecordFinder::Find);
    connect(box_, &CSearchBox::Cancelled, this, [this] { Leave(true); });
    connect(box_, &CSearchBox::ResultsWanted, this, [this] {
        if (!view_.ShowingResults()) {
            return;
        }
        CResultsList& results = view_.Results();
        results.setFocus(Qt::ShortcutFocusReason);
        if (results.SelectedItems().empty() && results.GetItemCount() > 0) {
            results.SelectItem(0);
        }
    });
    connect(&view_, &CZelvantView::ResultActivated, this,
            [this, parent](RecordRef ref) { OpenRecord(ref, parent); });
    // A folder shown by any command (New Record, a drop on the tree) ends the search.
    connect(&view_, &CZelvantView::ResultsClosed, this, &CRecordFinder::Dismiss);
}

void CRecordFinder::Focus() {
    box_->setFocus(Qt::ShortcutFocusReason);
    box_->selectAll();
}

void CRecordFinder::Find(const QString& text) {
    if (text.isEmpty()) {
        if (query_ == Query::Text) {
            Leave(false);
        }
        return;
    }
    query_ = Query::Text;
    text_ = text;
    Run();
}

void CRecordFinder::ShowExpiring(int days) {
    query_ = Query::Expiring;
    days_ = days;
    box_->blockSignals(true);
    box_->clear();
    box_->blockSignals(false);
    Run();
    view_.Results().setFocus(Qt::OtherFocusReason);
}

void CRecordFinder::Run() {
    std::vector<RecordRef> found;
    if (query_ == Query::Text) {
        found = FindRecords(folders_, text_.toStdString());
    } else if (query_ == Query::Expiring) {
        found = ScanExpiry(folders_, NowLocal(), days_).records;
    }
    view_.ShowResults(std::move(found));
}

void CRecordFinder::Dismiss() {
    query_ = Query::None;
    text_.clear();
    box_->blockSignals(true);
    box_->clear();
    box_->blockSignals(false);
}

void CRecordFinder::Leave(bool focusList) {
    Dismiss();
    view_.ShowFolder(hooks_.selectedFolder ? hooks_.selectedFolder() : kTopLevel);
    if (focusList) {
        view_.setFocus(Qt::OtherFocusReason);
    }
}

void CRecordFinder::Refresh() {
    if (!Active()) {
        return;
    }
    const RecordRef current = view_.Results().CurrentRef();
    Run();
    if (current.record >= 0) {
        view_.Results().SelectRef(current);
    }
}

bool CRecordFinder::OwnsRecordCommands() const {
    return Active() && view_.ShowingResults() && view_.Results().HasFocus() &&
           view_.Results().CurrentRef().record >= 0;
}

void CRecordFinder::EditCurrent(QWidget* parent) {
    OpenRecord(view_.Results().CurrentRef(), parent);
}

void CRecordFinder::OpenRecord(RecordRef ref, QWidget* parent) {
    if (ref.record < 0 || !CRecordProps::EditRecord(parent, folders_, ref.folder, ref.record)) {
        return;
    }
    if (hooks_.recordsChanged) {
        hooks_.recordsChanged();
    }
    Refresh();
    view_.Results().SelectRef(ref);
}

void CRecordFinder::DeleteSelected() {
    std::vector<RecordRef> selected = view_.Results().SelectedRefs();
    if (selected.empty() ||
        !CQueryDlg::Ask(&view_, tr("Are you sure you want to delete the selected record(s)?"),
                        settings_.noQueryDelRecord)) {
        return;
    }
    // Within each folder from the highest position down, so the positions still to go hold.
    std::sort(selected.begin(), selected.end(), [](const RecordRef& a, const RecordRef& b) {
        return a.folder != b.folder ? a.folder < b.folder : a.record > b.record;
    });
    for (const RecordRef& ref : selected) {
        folders_.RemoveRecord(ref.folder, ref.record);
    }
    Refresh();
    if (hooks_.recordsChanged) {
        hooks_.recordsChanged();
    }
    if (view_.Results().GetItemCount() > 0) {
        view_.Results().SelectItem(0);
    }
}

}  // namespace zelvant::ui
