#include "ui/record_list.h"

#include "store/display.h"
#include "store/text_codec.h"

namespace zelvant::ui {

const std::array<RecordColumn, kRecordColumnCount>& RecordColumns() {
    using RF = RecordField;
    static const std::array<RecordColumn, kRecordColumnCount> columns = {{
        {0, RF::SiteName, "Site Name/Description", 175},
        {kExpiredColumn, RF::Reserved, "Expired", -1},
        {kNotesColumn, RF::Reserved, "Notes Available", -1},
        {3, RF::Location, "Location", 100},
        {4, RF::Email, "Email", 100},
        {5, RF::AccountName, "Account Name", 150},
        {6, RF::AccountNumber, "Account Number", 100},
        {7, RF::UserName, "Username/ID", 100},
        {8, RF::Password, "Password", 100},
        {9, RF::Pin, "Pin Number", 100},
        {10, RF::Created, "Created", 100},
        {11, RF::Modified, "Last Modified", 100},
        {12, RF::ExpiresOn, "Expires On", 100},
        {13, RF::Notes, "Notes", 150},
    }};
    return columns;
}

const std::array<int, kRecordColumnCount>& DefaultColumnOrder() {
    static const std::array<int, kRecordColumnCount> order = {
        kExpiredColumn, kNotesColumn, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    return order;
}

QString MaskText(std::string_view stored, bool masked) {
    if (stored.empty()) {
        return {};
    }
    if (masked) {
        return QString(static_cast<qsizetype>(CharacterCount(stored)), QLatin1Char('*'));
    }
    return QString::fromStdString(DisplayText(stored));
}

void CRecordListSource::Show(const CFolderSequence* folders, FolderIndex folder,
                             DateTimeValue now) {
    folders_ = folders;
    folder_ = folders != nullptr && folders->FolderAt(folder) != nullptr ? folder : kTopLevel;
    showsRecords_ = false;
    records_.clear();
    now_ = now;
}

void CRecordListSource::ShowRecords(const CFolderSequence* folders, std::vector<RecordRef> records,
                                    DateTimeValue now) {
    folders_ = folders;
    folder_ = kTopLevel;
    showsRecords_ = true;
    records_ = std::move(records);
    now_ = now;
}

RecordRef CRecordListSource::RefAt(int item) const {
    if (showsRecords_) {
        return item >= 0 && item < static_cast<int>(records_.size())
                   ? records_[static_cast<std::size_t>(item)]
                   : RecordRef{};
    }
    return RecordAt(item) != nullptr ? RecordRef{folder_, item} : RecordRef{};
}

void CRecordListSource::SetDisplay(const settings::FieldFlags& masks, bool bold) {
    masks_ = masks;
    bold_ = bold;
}

int CRecordListSource::Count() const {
    if (showsRecords_) {
        return static_cast<int>(records_.size());
    }
    const CFolder* folder = folders_ != nullptr ? folders_->FolderAt(folder_) : nullptr;
    return folder != nullptr ? folder->RecordCount() : 0;
}

const CRecord* CRecordListSource::RecordAt(int item) const {
    if (showsRecords_) {
        const RecordRef ref = RefAt(item);
        const CFolder* owner = folders_ != nullptr ? folders_->FolderAt(ref.folder) : nullptr;
        return owner != nullptr ? owner->RecordAt(ref.record) : nullptr;
    }
    const CFolder* folder = folders_ != nullptr ? folders_->FolderAt(folder_) : nullptr;
    return folder != nullptr ? folder->RecordAt(item) : nullptr;
}

QString CRecordListSource::DateText(DateTimeValue value, bool withTime) const {
    const auto civil = ToCivil(value);
    if (!civil) {
        return {};
    }
    std::string text = dates_.LongDate(*civil);
    if (text.empty()) {
        return {};
    }
    if (withTime) {
        text += ", ";
        text += dates_.Time(*civil);
    }
    return QString::fromStdString(text);
}

QString CRecordListSource::CellText(int item, int subitem) const {
    const CRecord* record = RecordAt(item);
    if (record != nullptr && subitem == kFolderColumn && showsRecords_) {
        return QString::fromStdString(DisplayFolderPath(*folders_, RefAt(item).folder));
    }
    if (record == nullptr || subitem < 0 || subitem >= kRecordColumnCount) {
        return {};
    }
    const RecordField field = RecordColumns()[static_cast<std::size_t>(subitem)].field;
    switch (subitem) {
        case kExpiredColumn:
            return CellImage(item, subitem) == kImageExpired ? QStringLiteral("Record expired")
                                                             : QString();
        case kNotesColumn:
            return record->GetText(RecordField::Notes).empty() ? QString()
                                                               : QStringLiteral("Notes available");
        default:
            break;
    }
    const bool masked = masks_.Get(field) != 0;
    QString text;
    switch (field) {
        case RecordField::Created:
        case RecordField::Modified:
            text = DateText(record->GetDate(field), true);
            break;
        case RecordField::ExpiresOn:
            if (record->GetInt(RecordField::HasExpiry) == 0) {
                return {};
            }
            text = DateText(record->GetDate(field), false);
            break;
        default:
            return MaskText(record->GetText(field), masked);
    }
    return masked && !text.isEmpty() ? QString(text.size(), QLatin1Char('*')) : text;
}

int CRecordListSource::CellImage(int item, int subitem) const {
    const CRecord* record = RecordAt(item);
    if (record == nullptr) {
        return -1;
    }
    if (subitem == kExpiredColumn) {
        const bool expired = record->GetInt(RecordField::HasExpiry) != 0 &&
                             record->GetDate(RecordField::ExpiresOn).oa < now_.oa;
        return expired ? kImageExpired : kImageBlank;
    }
    if (subitem == kNotesColumn) {
        return record->GetText(RecordField::Notes).empty() ? kImageBlank : kImageNotes;
    }
    return -1;
}

bool CRecordListSource::ItemBold(int) const {
    return bold_;
}

}  // namespace zelvant::ui
