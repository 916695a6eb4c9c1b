#include "report/print_flags.h"

#include <algorithm>
#include <cctype>

namespace zelvant::report {
namespace {

using RF = RecordField;

constexpr std::array<PrintFlagInfo, kPrintFlagCount> kFlags = {{
    {RF::SiteName, "RecordName", "printsitename", "titlesitename"},
    {RF::Location, "Location", "printlocation", "titlelocation"},
    {RF::Email, "Email", "printemail", "titleemail"},
    {RF::AccountName, "AccountName", "printaccname", "titleaccname"},
    {RF::AccountNumber, "AccountNum", "printaccnum", "titleaccnum"},
    {RF::UserName, "UserName", "printusername", "titleusername"},
    {RF::Password, "Password", "printpassword", "titlepassword"},
    {RF::Pin, "Pin", "printpin", "titlepin"},
    {RF::Created, "Created", "printcreated", "titlecreated"},
    {RF::Modified, "Modified", "printmodified", "titlemodified"},
    {RF::ExpiresOn, "Expired", "printexpired", "titleexpired"},
    {RF::Notes, "Notes", "printnotes", "titlenotes"},
}};

// Reports ask for flags once per field of every record: a table by field, not a search.
constexpr std::array<int, kRecordFieldCount> kSlotOfField = [] {
    std::array<int, kRecordFieldCount> t{};
    t.fill(-1);
    for (std::size_t i = 0; i < kFlags.size(); ++i) {
        t[static_cast<std::size_t>(kFlags[i].field)] = static_cast<int>(i);
    }
    return t;
}();

int SlotOf(RecordField field) {
    const auto index = static_cast<std::size_t>(field);
    return index < kSlotOfField.size() ? kSlotOfField[index] : -1;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

const std::array<PrintFlagInfo, kPrintFlagCount>& PrintFlagFields() {
    return kFlags;
}

bool PrintFlags::Prints(RecordField field) const {
    const int slot = SlotOf(field);
    return slot >= 0 && values[static_cast<std::size_t>(slot)] == 1;
}

void PrintFlags::Set(RecordField field, int value) {
    const int slot = SlotOf(field);
    if (slot >= 0) {
        values[static_cast<std::size_t>(slot)] = value;
    }
}

PrintFlags PrintFlags::Defaults() {
    PrintFlags flags = All(1);
    for (RF f : {RF::Pin, RF::Created, RF::Modified, RF::ExpiresOn, RF::Notes}) {
        flags.Set(f, 0);
    }
    return flags;
}

PrintFlags PrintFlags::All(int value) {
    PrintFlags flags;
    flags.values.fill(value);
    return flags;
}

bool ParsePrintFlags(std::string_view text, PrintFlags& flags, std::string& error) {
    const std::string_view whole = Trim(text);
    if (SameNoCase(whole, "all")) {
        flags = PrintFlags::All(1);
        return true;
    }
    if (SameNoCase(whole, "none")) {
        flags = PrintFlags::All(0);
        return true;
    }
    PrintFlags parsed = PrintFlags::All(0);
    std::string_view rest = text;
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view key = Trim(rest.substr(0, comma));
        const auto it = std::find_if(kFlags.begin(), kFlags.end(), [&](const PrintFlagInfo& i) {
            return SameNoCase(i.key, key);
        });
        if (it == kFlags.end()) {
            error = "unknown print field '" + std::string(key) + "'";
            return false;
        }
        parsed.Set(it->field, 1);
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    flags = parsed;
    return true;
}

}  // namespace zelvant::report
