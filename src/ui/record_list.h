#pragma once
// What each cell of the record list shows: the records of one folder, texts masked as the user
// asked, dates in the locale's words, and the expired and notes marks as images.

#include <QString>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "controls/report_ctrl.h"
#include "report/date_format.h"
#include "settings/app_settings.h"
#include "store/document_search.h"
#include "store/folder_sequence.h"

namespace zelvant::ui {

// Images of the record list, by index.
enum RecordImage {
    kImageExpiredHeader = 0,
    kImageBlank = 1,
    kImageExpired = 2,
    kImageNotesHeader = 7,
    kImageNotes = 8,
    kRecordImageCount = 9,
};

inline constexpr int kExpiredColumn = 1;
inline constexpr int kNotesColumn = 2;
inline constexpr int kRecordColumnCount = 14;
// Only lists of records from many folders (search results) have it.
inline constexpr int kFolderColumn = 14;
inline constexpr char kFolderColumnCaption[] = "Folder";

struct RecordColumn {
    int subitem;
    RecordField field;  // Reserved for the two image columns
    std::string_view caption;
    int width;  // -1 for the image columns, which take the list's own default
};

// By subitem number.
const std::array<RecordColumn, kRecordColumnCount>& RecordColumns();
// Expired, Notes Available, then every text column in subitem order.
const std::array<int, kRecordColumnCount>& DefaultColumnOrder();

// One "*" per character when masked; an empty text stays empty.
QString MaskText(std::string_view stored, bool masked);

class CRecordListSource : public controls::IReportSource {
  public:
    explicit CRecordListSource(const report::IDateFormatter& dates) : dates_(dates) {}

    // `now` decides which records count as expired until the next call.
    void Show(const CFolderSequence* folders, FolderIndex folder, DateTimeValue now);
    // Records of any folders, in the order given, in place of one folder's; the column
    // kFolderColumn shows each one's folder.
    void ShowRecords(const CFolderSequence* folders, std::vector<RecordRef> records,
                     DateTimeValue now);
    bool ShowsRecords() const { return showsRecords_; }
    // The record of an item; {kTopLevel, -1} for none.
    RecordRef RefAt(int item) const;
    void SetDisplay(const settings::FieldFlags& masks, bool bold);

    int Count() const;
    FolderIndex Folder() const { return folder_; }
    const CRecord* RecordAt(int item) const;

    QString CellText(int item, int subitem) const override;
    int CellImage(int item, int subitem) const override;
    bool ItemBold(int item) const override;

  private:
    QString DateText(DateTimeValue value, bool withTime) const;

    const report::IDateFormatter& dates_;
    const CFolderSequence* folders_ = nullptr;
    FolderIndex folder_ = kTopLevel;
    bool showsRecords_ = false;
    std::vector<RecordRef> records_;
    DateTimeValue now_;
    settings::FieldFlags masks_;
    bool bold_ = false;
};

}  // namespace zelvant::ui
