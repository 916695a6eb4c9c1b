#include "store/folder.h"

#include <new>

#include "store/record_arena.h"
#include "store/secure.h"

namespace zelvant {

CFolder::~CFolder() {
    RemoveAllRecords();
    WipeString(name_);
}

void CFolder::SetName(std::string_view name) {
    SecureWipe(name_.data(), name_.capacity());
    name_.assign(name);
}

CRecord* CFolder::RecordAt(int index) {
    return index >= 0 && index < RecordCount() ? records_[static_cast<std::size_t>(index)].get()
                                               : nullptr;
}

const CRecord* CFolder::RecordAt(int index) const {
    return const_cast<CFolder*>(this)->RecordAt(index);
}

void CFolder::RecordDeleter::operator()(CRecord* record) const noexcept {
    if (arena == nullptr) {
        delete record;
        return;
    }
    record->~CRecord();
    CRecordArena::MarkDead(record, sizeof(CRecord));
}

CRecord* CFolder::InsertAt(std::size_t pos, DateTimeValue now) {
    try {
        RecordPtr record(new CRecord(now));
        CRecord* raw = record.get();
        records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(record));
        return raw;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CRecord* CFolder::AppendRecord(DateTimeValue now, CRecordArena& arena) {
    try {
        void* place = arena.Allocate(sizeof(CRecord), alignof(CRecord));
        RecordPtr record(new (place) CRecord(now), RecordDeleter{&arena});
        records_.push_back(std::move(record));
        return records_.back().get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CRecord* CFolder::AppendRecord() {
    return AppendRecord(NowLocal());
}

CRecord* CFolder::AppendRecord(DateTimeValue now) {
    return InsertAt(records_.size(), now);
}

CRecord* CFolder::InsertRecord(int index) {
    if (index < 0 || index > RecordCount()) {
        return nullptr;
    }
    return InsertAt(static_cast<std::size_t>(index), NowLocal());
}

bool CFolder::RemoveRecord(int index) {
    if (index < 0 || index >= RecordCount()) {
        return false;
    }
    records_.erase(records_.begin() + index);
    return true;
}

void CFolder::RemoveAllRecords() {
    while (!records_.empty()) {
        records_.pop_back();
    }
}

void CFolder::RemoveAllRecordsBeforeTheirArenas() {
    for (RecordPtr& record : records_) {
        if (record.get_deleter().arena != nullptr) {
            record->ForgetLentTexts();
        }
    }
    RemoveAllRecords();
}

}  // namespace zelvant
