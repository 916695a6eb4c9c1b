#include "store/document_search.h"

#include <cstdint>
#include <cstring>

#include "store/secure.h"
#include "store/text_codec.h"

namespace zelvant {
namespace {

constexpr std::array<RecordField, 6> kSearched = {
    RecordField::SiteName, RecordField::Location,    RecordField::Email,
    RecordField::UserName, RecordField::AccountName, RecordField::Notes,
};

unsigned char AsciiLower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

bool IsAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// An ASCII needle (already lower case) in any stored text: bytes of 0x80 and above belong to
// characters that never fold to ASCII, whether the text is UTF-8 or Windows-1252, so comparing
// bytes gives what comparing folded characters would.
bool AsciiFoundIn(std::string_view hay, std::string_view needle) {
    if (needle.size() > hay.size()) {
        return false;
    }
    const auto first = static_cast<unsigned char>(needle.front());
    const unsigned char firstUpper =
        (first >= 'a' && first <= 'z') ? static_cast<unsigned char>(first - 0x20) : first;
    const std::size_t last = hay.size() - needle.size();
    const auto* h = reinterpret_cast<const unsigned char*>(hay.data());
    for (std::size_t i = 0; i <= last; ++i) {
        if (h[i] != first && h[i] != firstUpper) {
            continue;
        }
        std::size_t k = 1;
        while (k < needle.size() && AsciiLower(h[i + k]) == static_cast<unsigned char>(needle[k])) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
}

template <class Visit>
void ForEachRecord(const CFolderSequence& folders, Visit visit) {
    for (const FolderNode& node : DisplayOrder(folders)) {
        const CFolder& folder = *folders.FolderAt(node.index);
        for (int r = 0; r < folder.RecordCount(); ++r) {
            visit(RecordRef{node.index, r}, *folder.RecordAt(r));
        }
    }
}

}  // namespace

const std::array<RecordField, 6>& SearchedFields() {
    return kSearched;
}

CSearchText::CSearchText(std::string_view typedUtf8)
    : folded_(FoldCaseText(typedUtf8)), ascii_(IsAscii(folded_)) {}

bool CSearchText::FoundIn(std::string_view stored) const {
    if (folded_.empty()) {
        return false;
    }
    if (ascii_) {
        return AsciiFoundIn(stored, folded_);
    }
    std::string folded = FoldCaseText(stored);
    const bool found = folded.find(folded_) != std::string::npos;
    WipeString(folded);
    return found;
}

bool CSearchText::Matches(const CRecord& record) const {
    for (RecordField field : kSearched) {
        if (FoundIn(record.GetText(field))) {
            return true;
        }
    }
    return false;
}

std::vector<RecordRef> FindRecords(const CFolderSequence& folders, std::string_view typedUtf8) {
    std::vector<RecordRef> found;
    const CSearchText text(typedUtf8);
    if (text.Empty()) {
        return found;
    }
    ForEachRecord(folders, [&](RecordRef ref, const CRecord& record) {
        if (text.Matches(record)) {
            found.push_back(ref);
        }
    });
    return found;
}

ExpiryScan ScanExpiry(const CFolderSequence& folders, DateTimeValue now, int days) {
    ExpiryScan scan;
    const double horizon = now.oa + static_cast<double>(days < 0 ? 0 : days);
    ForEachRecord(folders, [&](RecordRef ref, const CRecord& record) {
        const DateTimeValue expires = record.GetDate(RecordField::ExpiresOn);
        if (record.GetInt(RecordField::HasExpiry) == 0 || !expires.IsValid() ||
            !(expires.oa <= horizon)) {
            return;
        }
        ++(expires.oa < now.oa ? scan.expired : scan.expiring);
        scan.records.push_back(ref);
    });
    return scan;
}

}  // namespace zelvant
