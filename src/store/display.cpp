#include "store/display.h"

#include <algorithm>
#include <vector>

#include "store/text_codec.h"

namespace zelvant {

std::string DisplayFolderPath(const CFolderSequence& folders, FolderIndex index) {
    std::vector<FolderIndex> chain;
    // The bound keeps a damaged parent chain from looping.
    for (FolderIndex i = index; folders.FolderAt(i) != nullptr &&
                                chain.size() <= static_cast<std::size_t>(folders.Count());) {
        chain.push_back(i);
        const FolderIndex parent = folders.FolderAt(i)->Parent();
        i = parent < i ? parent : kTopLevel;
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin()) {
            path += '/';
        }
        path += DisplayText(folders.FolderAt(*it)->Name());
    }
    return path;
}

const std::array<RecordField, kVisibleFieldCount>& VisibleFields() {
    static const auto fields = [] {
        std::array<RecordField, kVisibleFieldCount> out{};
        std::size_t n = 0;
        for (const auto& info : AllFields()) {
            if (info.columnId >= 0 && n < out.size()) {
                out[n++] = info.field;
            }
        }
        std::sort(out.begin(), out.end(), [](RecordField a, RecordField b) {
            return InfoOf(a).columnId < InfoOf(b).columnId;
        });
        return out;
    }();
    return fields;
}

std::string FieldDisplayText(const CRecord& record, RecordField field, ExpiryForm expiry) {
    switch (InfoOf(field).kind) {
        case FieldKind::Text:
            return DisplayText(record.GetText(field));
        case FieldKind::Integer:
            return std::to_string(record.GetInt(field));
        case FieldKind::Date:
            if (field == RecordField::ExpiresOn) {
                if (record.GetInt(RecordField::HasExpiry) == 0) {
                    return {};
                }
                return FormatIso(record.GetDate(field), expiry == ExpiryForm::DateOnly);
            }
            return FormatIso(record.GetDate(field));
    }
    return {};
}

}  // namespace zelvant
