#include "store/record.h"

#include <cassert>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "store/record_arena.h"
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

CRecord::CRecord(const CRecord& other)
    : reserved_(other.reserved_),
      hasExpiry_(other.hasExpiry_),
      created_(other.created_),
      modified_(other.modified_),
      expiresOn_(other.expiresOn_) {
    CopyTexts(other);
}

CRecord& CRecord::operator=(const CRecord& other) {
    if (this != &other) {
        CopyTexts(other);
        reserved_ = other.reserved_;
        hasExpiry_ = other.hasExpiry_;
        created_ = other.created_;
        modified_ = other.modified_;
        expiresOn_ = other.expiresOn_;
    }
    return *this;
}

CRecord::~CRecord() {
    for (auto& t : texts_) {
        Release(t);
    }
}

void CRecord::Release(Text& t) noexcept {
    if (t.data == nullptr) {
        return;
    }
    SecureWipe(t.data, t.size);
    if (t.owned) {
        delete[] t.data;
    } else {
        CRecordArena::MarkDead(t.data, t.size);
    }
    t = Text{};
}

void CRecord::Assign(Text& t, std::string_view value) {
    if (value.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("text too long");
    }
    // Copied before the old bytes go: the value may be this very text.
    char* copy = nullptr;
    if (!value.empty()) {
        copy = new char[value.size()];
        std::memcpy(copy, value.data(), value.size());
    }
    Release(t);
    t = {copy, static_cast<std::uint32_t>(value.size()), copy != nullptr};
}

void CRecord::CopyTexts(const CRecord& other) {
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        const Text& from = other.texts_[i];
        Assign(texts_[i], {from.data, from.size});
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

std::string_view CRecord::GetText(RecordField f) const {
    const Text& t = texts_[static_cast<std::size_t>(TextSlot(f))];
    return {t.data, t.size};
}

void CRecord::SetText(RecordField f, std::string_view value) {
    Assign(SlotOf(f), value);
}

void CRecord::AttachText(RecordField f, std::span<char> bytes) {
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("text too long");
    }
    Text& t = SlotOf(f);
    Release(t);
    t = {bytes.empty() ? nullptr : bytes.data(), static_cast<std::uint32_t>(bytes.size()), false};
}

void CRecord::ForgetLentTexts() noexcept {
    for (Text& t : texts_) {
        if (!t.owned) {
            t = Text{};
        }
    }
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
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        const Text& a = texts_[i];
        const Text& b = other.texts_[i];
        if (std::string_view(a.data, a.size) != std::string_view(b.data, b.size)) {
            return false;
        }
    }
    return reserved_ == other.reserved_ && hasExpiry_ == other.hasExpiry_ &&
           created_ == other.created_ && modified_ == other.modified_ &&
           expiresOn_ == other.expiresOn_;
}

}  // namespace zelvant
