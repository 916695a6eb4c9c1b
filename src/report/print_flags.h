#pragma once
// Which record fields a report prints: one flag per field the user can tick, 1 meaning printed.

#include <array>
#include <string>
#include <string_view>

#include "store/record.h"

namespace zelvant::report {

inline constexpr int kPrintFlagCount = 12;

struct PrintFlagInfo {
    RecordField field;
    std::string_view key;        // settings key, also what `--print` takes
    std::string_view printName;  // "print..." in templates
    std::string_view titleName;  // "title..." in templates
};

// In the order the print dialog lists the fields.
const std::array<PrintFlagInfo, kPrintFlagCount>& PrintFlagFields();

struct PrintFlags {
    std::array<int, kPrintFlagCount> values{};

    // Only a flag of exactly 1 counts as ticked.
    bool Prints(RecordField field) const;
    void Set(RecordField field, int value);

    static PrintFlags Defaults();
    static PrintFlags All(int value);
};

// "all", "none" or a comma list of keys (RecordName,Password,...; case ignored); the fields
// listed are printed, the others not. False with `error` naming the first unknown key.
bool ParsePrintFlags(std::string_view text, PrintFlags& flags, std::string& error);

}  // namespace zelvant::report
