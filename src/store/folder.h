#pragma once
// A folder: a name, its place in the tree and the records it owns, in stored order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/record.h"

namespace zelvant {

class CRecordArena;

class CFolder {
  public:
    CFolder() = default;
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;
    virtual ~CFolder();

    const std::string& Name() const { return name_; }
    void SetName(std::string_view name);
    std::int32_t Parent() const { return parent_; }
    void SetParent(std::int32_t parent) { parent_ = parent; }
    std::int32_t Expanded() const { return expanded_; }
    void SetExpanded(std::int32_t expanded) { expanded_ = expanded; }

    int RecordCount() const { return static_cast<int>(records_.size()); }
    // None for an index outside 0..count-1.
    CRecord* RecordAt(int index);
    const CRecord* RecordAt(int index) const;

    // None when memory runs out; the caller tells the user.
    CRecord* AppendRecord();
    CRecord* AppendRecord(DateTimeValue now);
    // For loading: the record is made in `arena`, which must outlive it (the folder sequence
    // that holds this folder keeps it).
    CRecord* AppendRecord(DateTimeValue now, CRecordArena& arena);
    CRecord* InsertRecord(int index);
    bool RemoveRecord(int index);
    // From the last to the first.
    void RemoveAllRecords();
    // The same when every arena the records were loaded into goes next and wipes itself: their
    // loaded texts are not wiped one by one first.
    void RemoveAllRecordsBeforeTheirArenas();
    void ReserveRecords(std::size_t n) { records_.reserve(n); }

  private:
    // Frees a record where it was made: on the heap, or in an arena that frees it later.
    struct RecordDeleter {
        CRecordArena* arena = nullptr;
        void operator()(CRecord* record) const noexcept;
    };
    using RecordPtr = std::unique_ptr<CRecord, RecordDeleter>;

    CRecord* InsertAt(std::size_t pos, DateTimeValue now);

    std::string name_;
    std::int32_t parent_ = -1;
    std::int32_t expanded_ = 0;
    std::vector<RecordPtr> records_;
};

}  // namespace zelvant
