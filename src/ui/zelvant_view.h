#pragma once
// The main window's record list: the records of the folder chosen in the folder tree, one row
// each, in the columns the user arranged; deletes records and asks for their properties.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "controls/report_ctrl.h"
#include "report/date_format.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "store/document_search.h"
#include "store/folder_sequence.h"
#include "ui/record_list.h"

class QMimeData;

namespace zelvant::ui {

class CResultsList;

// What the view needs of the window that owns the document.
class IViewHost {
  public:
    virtual ~IViewHost() = default;
    virtual CFolderSequence& Folders() = 0;
    virtual settings::AppSettings& Settings() = 0;
    // Records were added, removed or changed: the document is modified, the popup refreshed.
    virtual void RecordsChanged() = 0;
};

class CZelvantView : public QWidget {
    Q_OBJECT
  public:
    CZelvantView(IViewHost& host, std::unique_ptr<report::IDateFormatter> dates,
                 QWidget* parent = nullptr);
    ~CZelvantView() override;

    controls::CReportCtrl& List() { return *list_; }
    const CRecordListSource& Source() const { return source_; }

    // Defines the columns once, then arranges them from `layout` (the file's, or the stored
    // one of an untitled document) or, when that is refused, in the default order.
    void InitialUpdate(const std::string& layout);
    void AttachFieldChooser(controls::CReportOptionsCtrl* chooser);
    // Grid, alternate colours, bold rows and masks from the settings.
    void ApplyDisplaySettings();

    // kTopLevel (or a folder that does not exist) empties the list.
    void ShowFolder(FolderIndex folder);
    // Records of any folders (search results) in place of the folder's; ShowFolder brings the
    // folder list back.
    void ShowResults(std::vector<RecordRef> records);
    bool ShowingResults() const { return showingResults_; }
    CResultsList& Results() { return *results_; }
    FolderIndex FolderOnShow() const { return source_.Folder(); }
    void RefreshRecord(int record);
    // The first selected record in record order; -1 when none.
    int CurrentRecord() const;
    void SelectRecord(int record);
    bool ListHasFocus() const;

    // Asks unless the user said not to, then removes exactly the selected records.
    void DeleteRecords();

    // Runs a drag of the data with the allowed actions and returns the action it ended with. The
    // default is Qt's drag loop; tests put in their own to see the data.
    using RecordDragStarter =
        std::function<Qt::DropAction(std::unique_ptr<QMimeData> mime, Qt::DropActions allowed)>;
    // The run's private format name; until it is set, no record drag starts.
    void SetRecordDragFormat(const QString& runName);
    QString RecordDragFormat() const { return dragFormat_; }
    void SetRecordDragStarter(RecordDragStarter starter);
    // Drags the selected records of the folder on show (button 1 left, 2 right) towards the
    // folder tree. False when nothing could be dragged.
    bool StartRecordDrag(int button);

  signals:
    // Open the properties of a record of the folder on show.
    void PropertiesRequested(int record);
    void RecordMenuRequested(QPoint globalPos);
    // A press selected records with the left (1) or right (2) button; drags start here.
    void RecordDragRequested(int button, int selectedCount);
    // Enter or a double-click on a search result.
    void ResultActivated(zelvant::RecordRef ref);
    // The results gave way to a folder's records, whoever asked for the folder.
    void ResultsClosed();

  private:
    void DefineColumns();

    IViewHost& host_;
    std::unique_ptr<report::IDateFormatter> dates_;
    CRecordListSource source_;
    controls::CReportCtrl* list_ = nullptr;
    CResultsList* results_ = nullptr;
    bool showingResults_ = false;
    bool columnsDefined_ = false;
    QString dragFormat_;
    RecordDragStarter dragStarter_;
    bool dragging_ = false;
};

}  // namespace zelvant::ui
