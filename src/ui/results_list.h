#pragma once
// The record list as it shows search results and the expiry bar's records: records of any
// folders, in the columns the user arranged for the folder list, with the folder in front.

#include <vector>

#include "controls/report_ctrl.h"
#include "report/date_format.h"
#include "store/document_search.h"
#include "ui/record_list.h"

namespace zelvant::ui {

class CResultsList : public controls::CReportCtrl {
    Q_OBJECT
  public:
    explicit CResultsList(const report::IDateFormatter& dates, QWidget* parent = nullptr);
    ~CResultsList() override;

    // The folder list's columns, sizes and order, with "Folder" added in front.
    void ArrangeLike(const controls::CReportCtrl& list);
    void ShowRecords(const CFolderSequence* folders, std::vector<RecordRef> records,
                     DateTimeValue now);

    CRecordListSource& Source() { return source_; }
    const CRecordListSource& Source() const { return source_; }
    // The first selected record in list order; {kTopLevel, -1} when none.
    RecordRef CurrentRef() const;
    std::vector<RecordRef> SelectedRefs() const;
    // Selects and shows the record's row; false when it is not listed.
    bool SelectRef(RecordRef ref);

  signals:
    // Enter or a double-click on a record.
    void RecordActivated(zelvant::RecordRef ref);
    // The selection changed, and with it what the record commands act on.
    void SelectionChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

  private:
    CRecordListSource source_;
};

}  // namespace zelvant::ui
