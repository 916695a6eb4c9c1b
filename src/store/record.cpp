#include "store/record.h"

#include <cassert>
#include <stdexcept>

#include "store/secure.h"

namespace zelvant {
namespace {

using RF = RecordField;
using FK = FieldKind;

constexpr std::array<FieldInfo, kRecordFieldCount> kFields = {{
    {RF::Reserved, FK::Integer, "", "reserved", 2, -1, ""},
    {RF::SiteName, FK::Text, "Site Name/Description", "siteName", 12, 0, "sitename"},
    {RF::Location, FK::Text, "Location", "location", 13, 3, "location"},
    {RF::Email, FK::Text, "Email", "email", 10, 4, "email"},
    {RF::AccountNumber, FK::Text, "Account Number", "accountNumber", 9, 6, "accnum"},
    {RF::AccountName, FK::Text, "Account Name", "accountName", 8, 5, "accname"},
    {RF::UserName, FK::Text, "Username/ID", "userName", 14, 7, "username"},
    {RF::Password, FK::Text, "Password", "password", 11, 8, "password"},
    {RF::Pin, FK::Text, "Pin Number", "pin", 1, 9, "pin"},
    {RF::Created, FK::Date, "Created", "created", 3, 10, "created"},
    {RF::Modified, FK::Date, "Last Modified", "modified", 5, 11, "modified"},
    {RF::HasExpiry, FK::Integer, "", "hasExpiry", 4, -1, ""},
    {RF::ExpiresOn, FK::Date, "Expires On", "expiresOn", 7, 12, "expiry"},
    {RF::Notes, FK::Text, "Notes", "notes", 6, 13, "notes"},
}};

constexpr std::array<RecordField, kRecordFieldCount> MakeFileOrder() {
    std::array<RecordField, kRecordFieldCount> order{};
    for (const auto& info : kFields) {
        order[static_cast<std::size_t>(info.filePosition - 1)] = info.field;
    }
    return order;
}
constexpr auto kFileOrder = MakeFileOrder();

}  // namespace

const FieldInfo& InfoOf(RecordField f) {
    return kFields[static_cast<std::size_t>(f)];
}

const std::array<FieldInfo, kRecordFieldCount>& AllFields() {
    return kFields;
}

const std::array<RecordField, kRecordFieldCount>& FileFieldOrder() {
    return kFileOrder;
}

std::optional<RecordField> FieldFromJsonKey(std::string_view key) {
    for (const auto& info : kFields) {
        if (info.jsonKey == key) {
            return info.field;
        }
    }
    return std::nullopt;
}

CRecord::CRecord(DateTimeValue now) : created_(now), modified_(now), expiresOn_(DateOnly(now)) {}

CRecord::CRecord() : CRecord(NowLocal()) {}

CRecord::~CRecord() {
    for (auto& t : texts_) {
        WipeString(t);
    }
}

int CRecord::TextSlot(RecordField f) {
    switch (f) {
        case RF::SiteName:
            return 0;
        case RF::Location:
            return 1;
        case RF::Email:
            return 2;
        case RF::AccountNumber:
            return 3;
        case RF::AccountName:
            return 4;
        case RF::UserName:
            return 5;
        case RF::Password:
            return 6;
        case RF::Pin:
            return 7;
        case RF::Notes:
            return 8;
        default:
            throw std::logic_error("not a text field");
    }
}

const std::string& CRecord::GetText(RecordField f) const {
    return texts_[static_cast<std::size_t>(TextSlot(f))];
}

std::string& CRecord::TextRef(RecordField f) {
    return texts_[static_cast<std::size_t>(TextSlot(f))];
}

void CRecord::SetText(RecordField f, std::string_view value) {
    std::string& t = TextRef(f);
    // Zero the old bytes in place so a reallocation frees nothing readable.
    SecureWipe(t.data(), t.capacity());
    t.assign(value);
}

std::int32_t CRecord::GetInt(RecordField f) const {
    switch (f) {
        case RF::Reserved:
            return reserved_;
        case RF::HasExpiry:
            return hasExpiry_;
        default:
            throw std::logic_error("not an integer field");
    }
}

void CRecord::SetInt(RecordField f, std::int32_t value) {
    switch (f) {
        case RF::Reserved:
            reserved_ = value;
            break;
        case RF::HasExpiry:
            hasExpiry_ = value;
            break;
        default:
            throw std::logic_error("not an integer field");
    }
}

DateTimeValue CRecord::GetDate(RecordField f) const {
    switch (f) {
        case RF::Created:
            return created_;
        case RF::Modified:
            return modified_;
        case RF::ExpiresOn:
            return expiresOn_;
        default:
            throw std::logic_error("not a date field");
    }
}

void CRecord::SetDate(RecordField f, DateTimeValue value) {
    switch (f) {
        case RF::Created:
            created_ = value;
            break;
        case RF::Modified:
            modified_ = value;
            break;
        case RF::ExpiresOn:
            expiresOn_ = value;
            break;
        default:
            throw std::logic_error("not a date field");
    }
}

bool CRecord::SameContent(const CRecord& other) const {
    return texts_ == other.texts_ && reserved_ == other.reserved_ &&
           hasExpiry_ == other.hasExpiry_ && created_ == other.created_ &&
           modified_ == other.modified_ && expiresOn_ == other.expiresOn_;
}

}  // namespace zelvant
