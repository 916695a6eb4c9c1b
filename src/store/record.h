#pragma once
// One record: a login or identity with a fixed set of fields.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store/date_time.h"

namespace zelvant {

// In declaration order; other orders (the file's, the list's) come from the table below.
enum class RecordField {
    Reserved,
    SiteName,
    Location,
    Email,
    AccountNumber,
    AccountName,
    UserName,
    Password,
    Pin,
    Created,
    Modified,
    HasExpiry,
    ExpiresOn,
    Notes,
};
inline constexpr int kRecordFieldCount = 14;

enum class FieldKind { Text, Integer, Date };

struct FieldInfo {
    RecordField field;
    FieldKind kind;
    std::string_view label;      // the caption users see; empty for fields they never see
    std::string_view jsonKey;    // key in the JSON document
    int filePosition;            // 1-based position inside a record in the data file
    int columnId;                // record list column, -1 when not shown there
    std::string_view reportVar;  // name in report templates, empty when not exposed
};

const FieldInfo& InfoOf(RecordField f);
const std::array<FieldInfo, kRecordFieldCount>& AllFields();
// The fields in the order a record's values follow each other in the data file.
const std::array<RecordField, kRecordFieldCount>& FileFieldOrder();
std::optional<RecordField> FieldFromJsonKey(std::string_view key);

class CRecord {
  public:
    // Defaults of a new record: Created and Modified are `now`, ExpiresOn is that day at 00:00.
    explicit CRecord(DateTimeValue now);
    // A new record made at the current local time.
    CRecord();
    // A copy owns its texts, wherever the original's live.
    CRecord(const CRecord& other);
    CRecord& operator=(const CRecord& other);
    virtual ~CRecord();

    // Valid until the text is replaced or the record goes.
    std::string_view GetText(RecordField f) const;
    // Replaces a text; the old bytes are wiped first.
    void SetText(RecordField f, std::string_view value);
    // For loading: the text becomes `bytes` in place, memory the record does not own and that
    // outlives it (the arena of the document being read). The record still wipes them when the
    // text is replaced or the record goes.
    void AttachText(RecordField f, std::span<char> bytes);
    // Lets go of the texts lent to the record without wiping them: only for memory about to be
    // wiped in whole.
    void ForgetLentTexts() noexcept;

    std::int32_t GetInt(RecordField f) const;
    void SetInt(RecordField f, std::int32_t value);

    DateTimeValue GetDate(RecordField f) const;
    void SetDate(RecordField f, DateTimeValue value);

    bool SameContent(const CRecord& other) const;

  private:
    // Texts are counted bytes, either owned (edited, new, copied) or lent by an arena (loaded).
    struct Text {
        char* data = nullptr;
        std::uint32_t size = 0;
        bool owned = false;
    };

    static int TextSlot(RecordField f);
    Text& SlotOf(RecordField f) { return texts_[static_cast<std::size_t>(TextSlot(f))]; }
    static void Release(Text& t) noexcept;
    static void Assign(Text& t, std::string_view value);
    void CopyTexts(const CRecord& other);

    std::array<Text, 9> texts_{};
    std::int32_t reserved_ = 0;
    std::int32_t hasExpiry_ = 0;
    DateTimeValue created_;
    DateTimeValue modified_;
    DateTimeValue expiresOn_;
};

}  // namespace zelvant
