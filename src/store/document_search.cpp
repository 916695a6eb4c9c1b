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

bool IsAscii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) {
            return false;
        }
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

// An ASCII needle (already lower case) in any stored text: bytes of 0x80 and above belong to
// characters that never fold to ASCII, whether the text is UTF-8 or Windows-1252, so comparing
// bytes gives what comparing folded characters would. A letter matches either case by ignoring
// the bit in which its cases differ; no other byte becomes a letter that way.
bool AsciiFoundIn(std::string_view hay, std::string_view needle, const std::string& caseBits) {
    if (needle.size() > hay.size()) {
        return false;
    }
    const auto* h = reinterpret_cast<const unsigned char*>(hay.data());
    const auto* n = reinterpret_cast<const unsigned char*>(needle.data());
    const auto* bits = reinterpret_cast<const unsigned char*>(caseBits.data());
    const std::size_t last = hay.size() - needle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if ((h[i] | bits[0]) != n[0]) {
            continue;
        }
        std::size_t k = 1;
        while (k < needle.size() && (h[i + k] | bits[k]) == n[k]) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
}

void Prefetch(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

template <class Visit>
void ForEachRecord(const CFolderSequence& folders, Visit visit) {
    for (const FolderNode& node : DisplayOrder(folders)) {
        const CFolder& folder = *folders.FolderAt(node.index);
        const int count = folder.RecordCount();
        for (int r = 0; r < count; ++r) {
            // Records and their texts lie all over the heap: ask for them a few records ahead,
            // so that reading them does not wait on memory each time.
            if (r + 8 < count) {
                Prefetch(folder.RecordAt(r + 8));
            }
            if (r + 4 < count) {
                const CRecord& ahead = *folder.RecordAt(r + 4);
                Prefetch(ahead.GetText(RecordField::SiteName).data());
                Prefetch(ahead.GetText(RecordField::Location).data());
            }
            visit(RecordRef{node.index, r}, *folder.RecordAt(r));
        }
    }
}

}  // namespace

const std::array<RecordField, 6>& SearchedFields() {
    return kSearched;
}

CSearchText::CSearchText(std::string_view typedUtf8)
    : folded_(FoldCaseText(typedUtf8)), ascii_(IsAscii(folded_)) {
    for (char c : folded_) {
        caseBits_ += (c >= 'a' && c <= 'z') ? '\x20' : '\0';
    }
}

bool CSearchText::FoundIn(std::string_view stored) const {
    if (folded_.empty()) {
        return false;
    }
    if (ascii_) {
        return AsciiFoundIn(stored, folded_, caseBits_);
    }
    // Other characters never fold to ASCII ones, so plain ASCII text cannot hold this one.
    if (IsAscii(stored)) {
        return false;
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
