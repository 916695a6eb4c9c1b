#include "sample_document.h"

#include <array>
#include <cstdint>
#include <string>

namespace zelvant::bench {
namespace {

// SplitMix64: tiny, and the same sequence on every platform and standard library.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in lo..hi inclusive (the slight bias does not matter here).
    int Between(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

  private:
    std::uint64_t state_;
};

constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kPasswordChars =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#$%&*+-.:;=?@_~";

std::string Word(Random& rng, int length) {
    std::string s;
    s.reserve(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        s += kLetters[static_cast<std::size_t>(rng.Between(0, 25))];
    }
    return s;
}

// Words and spaces, exactly `length` bytes.
std::string Phrase(Random& rng, int length) {
    std::string s;
    while (static_cast<int>(s.size()) < length) {
        if (!s.empty()) {
            s += rng.Chance(8) ? '\n' : ' ';
        }
        s += Word(rng, rng.Between(2, 9));
    }
    s.resize(static_cast<std::size_t>(length));
    return s;
}

std::string Password(Random& rng, int length) {
    std::string s;
    for (int i = 0; i < length; ++i) {
        s += kPasswordChars[static_cast<std::size_t>(
            rng.Between(0, static_cast<int>(kPasswordChars.size()) - 1))];
    }
    return s;
}

std::string Digits(Random& rng, int length) {
    std::string s;
    for (int i = 0; i < length; ++i) {
        s += static_cast<char>('0' + rng.Between(0, 9));
    }
    return s;
}

struct FolderPlan {
    std::string_view name;
    FolderIndex parent;
    int percent;  // share of the records
};

constexpr std::array<FolderPlan, 20> kFolders = {{
    {"Banking", -1, 8},  {"Cards", 0, 6},      {"Loans", 0, 3},       {"Work", -1, 10},
    {"Servers", 3, 6},   {"Production", 4, 7}, {"Staging", 4, 4},     {"Email", -1, 5},
    {"Shopping", -1, 9}, {"Social", -1, 7},    {"Travel", -1, 4},     {"Airlines", 10, 3},
    {"Hotels", 10, 3},   {"Utilities", -1, 4}, {"Government", -1, 3}, {"Health", -1, 3},
    {"Games", -1, 4},    {"Family", -1, 3},    {"Kids", 17, 2},       {"Archive", -1, 6},
}};

void FillRecord(Random& rng, CRecord& r) {
    const std::string site = Word(rng, rng.Between(3, 14));
    r.SetText(RecordField::SiteName, site + " " + Phrase(rng, rng.Between(1, 24)));
    r.SetText(RecordField::Location,
              "https://www." + site + ".example/" + Word(rng, rng.Between(0, 12)));
    r.SetText(RecordField::UserName, Word(rng, rng.Between(5, 20)));
    r.SetText(RecordField::Password, Password(rng, rng.Between(8, 32)));
    if (rng.Chance(70)) {
        r.SetText(RecordField::Email, Word(rng, rng.Between(4, 16)) + "@mail.example");
    }
    if (rng.Chance(40)) {
        r.SetText(RecordField::AccountName, Phrase(rng, rng.Between(5, 30)));
    }
    if (rng.Chance(30)) {
        r.SetText(RecordField::AccountNumber, Digits(rng, rng.Between(8, 22)));
    }
    if (rng.Chance(20)) {
        r.SetText(RecordField::Pin, Digits(rng, rng.Between(4, 6)));
    }
    const int notes = rng.Between(1, 100);
    if (notes <= 12) {
        r.SetText(RecordField::Notes, Phrase(rng, rng.Between(150, 600)));
    } else if (notes <= 35) {
        r.SetText(RecordField::Notes, Phrase(rng, rng.Between(5, 40)));
    }
    // Dates between 2005 and 2025, with a time of day.
    const double created = 38353.0 + rng.Between(0, 7300) + rng.Between(0, 86399) / 86400.0;
    r.SetDate(RecordField::Created, {created, 0});
    r.SetDate(RecordField::Modified,
              {created + rng.Between(0, 900) + rng.Between(0, 86399) / 86400.0, 0});
    if (rng.Chance(10)) {
        r.SetInt(RecordField::HasExpiry, 1);
        r.SetDate(RecordField::ExpiresOn, {created + 365.0 * rng.Between(1, 5), 0});
    } else {
        r.SetDate(RecordField::ExpiresOn, {static_cast<double>(static_cast<long>(created)), 0});
    }
    if (rng.Chance(1)) {
        r.SetInt(RecordField::Reserved, 3);
    }
}

}  // namespace

void BuildSampleDocument(CFolderSequence& folders, int records) {
    Random rng(20240611);
    int placed = 0;
    for (std::size_t i = 0; i < kFolders.size(); ++i) {
        const FolderPlan& plan = kFolders[i];
        CFolder* folder = folders.AppendFolder();
        folder->SetName(plan.name);
        folder->SetParent(plan.parent);
        folder->SetExpanded(plan.parent == kTopLevel ? 1 : 0);
        const int count =
            i + 1 == kFolders.size()
                ? records - placed
                : static_cast<int>(static_cast<long long>(records) * plan.percent / 100);
        folder->ReserveRecords(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            FillRecord(rng, *folder->AppendRecord(DateTimeValue{45000.5, 0}));
        }
        placed += count;
    }
}

}  // namespace zelvant::bench
