#pragma once
// Finding records anywhere in the document: by a piece of text in the fields people look things
// up by, and by their expiry dates.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "store/date_time.h"
#include "store/folder_sequence.h"

namespace zelvant {

// A record by its folder's FolderIndex and its position in that folder.
struct RecordRef {
    FolderIndex folder = kTopLevel;
    int record = -1;
    friend bool operator==(const RecordRef&, const RecordRef&) = default;
};

// Site name, location, e-mail, user name, account name and notes: never the password, the PIN or
// the account number, which are secrets of their own.
const std::array<RecordField, 6>& SearchedFields();

// What is looked for, prepared once for many records.
class CSearchText {
  public:
    explicit CSearchText(std::string_view typedUtf8);
    bool Empty() const { return folded_.empty(); }
    // Whether the stored text holds it, case ignored as CompareNoCase ignores it.
    bool FoundIn(std::string_view stored) const;
    bool Matches(const CRecord& record) const;

  private:
    std::string folded_;
    bool ascii_ = true;
    std::string caseBits_;  // 0x20 where folded_ has a letter
};

// Every record holding the text in a searched field, folders in the order the tree shows them,
// records in stored order. An empty text finds nothing.
std::vector<RecordRef> FindRecords(const CFolderSequence& folders, std::string_view typedUtf8);

struct ExpiryScan {
    int expired = 0;                 // the expiry date has passed
    int expiring = 0;                // it comes within the days asked for
    std::vector<RecordRef> records;  // both kinds, in the order FindRecords lists them
};

// Records that have an expiry date earlier than `now` + `days` days; `now` decides which have
// expired already, as the record list decides it.
ExpiryScan ScanExpiry(const CFolderSequence& folders, DateTimeValue now, int days);

}  // namespace zelvant
