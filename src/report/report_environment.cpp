#include "report/report_environment.h"

#include <array>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "store/display.h"
#include "store/text_codec.h"

namespace zelvant::report {
namespace {

constexpr std::string_view kNoRecord = "????";

std::string FolderDisplayPath(const CFolderSequence& folders, FolderIndex index) {
    std::string path = DisplayFolderPath(folders, index);
    std::string out;
    for (char ch : path) {
        if (ch == '/') {
            out += " / ";
        } else {
            out += ch;
        }
    }
    return out;
}

enum class NameKind {
    NextFolder,
    NextRecord,
    Field,
    Print,
    Title,
    Html,
    FolderName,
    FolderPath,
    StrVal,
    DocTitle,
    Template,
    FolderTotal,
    RecordTotal,
    SysDate,
    SysDateTime,
};

struct NameEntry {
    NameKind kind;
    RecordField field = RecordField::Reserved;
};

// The names in a fixed order, so that a name's position is the number a run resolves it to.
struct NameTable {
    std::vector<NameEntry> entries;
    std::unordered_map<std::string_view, int> positions;
};

const NameTable& Names() {
    static const NameTable table = [] {
        std::vector<std::pair<std::string_view, NameEntry>> named = {
            {"nextfolder", {NameKind::NextFolder}},
            {"nextrecord", {NameKind::NextRecord}},
            {"html", {NameKind::Html}},
            {"foldername", {NameKind::FolderName}},
            {"folderpath", {NameKind::FolderPath}},
            {"strval", {NameKind::StrVal}},
            {"doctitle", {NameKind::DocTitle}},
            {"template", {NameKind::Template}},
            {"foldertotal", {NameKind::FolderTotal}},
            {"recordtotal", {NameKind::RecordTotal}},
            {"sysdate", {NameKind::SysDate}},
            {"sysdatetime", {NameKind::SysDateTime}},
        };
        for (const FieldInfo& info : AllFields()) {
            if (!info.reportVar.empty()) {
                named.emplace_back(info.reportVar, NameEntry{NameKind::Field, info.field});
            }
        }
        for (const PrintFlagInfo& flag : PrintFlagFields()) {
            named.emplace_back(flag.printName, NameEntry{NameKind::Print, flag.field});
            named.emplace_back(flag.titleName, NameEntry{NameKind::Title, flag.field});
        }
        NameTable t;
        for (const auto& [name, entry] : named) {
            t.positions.emplace(name, static_cast<int>(t.entries.size()));
            t.entries.push_back(entry);
        }
        return t;
    }();
    return table;
}

int FindName(std::string_view name) {
    const NameTable& t = Names();
    const auto it = t.positions.find(name);
    return it == t.positions.end() ? CEnvironment::kByName : it->second;
}

// Asked for on every `env` expression: the table is found once.
const std::vector<NameEntry>& kEntries = Names().entries;

const NameEntry* EntryAt(int number) {
    return number >= 0 && static_cast<std::size_t>(number) < kEntries.size()
               ? &kEntries[static_cast<std::size_t>(number)]
               : nullptr;
}

// The names asked for less often than once per record.
CValue OtherValue(const ReportContext& c, const NameEntry* entry, std::string_view name,
                  COutputStream& out, std::span<const CValue> args);

// A date as one value: the long date, then ", " and the time.
[[gnu::noinline]] CValue DateValue(const IDateFormatter& dates, DateTimeValue value,
                                   bool withTime) {
    std::string date;
    std::string time;
    if (!ReportDateParts(dates, value, withTime, date, time)) {
        return CValue::View({});
    }
    return withTime ? CValue::Join({date, ", ", time}) : CValue::String(date);
}

// Bytes that HTML escaping looks at twice.
constexpr std::array<bool, 256> kHtmlSpecial = [] {
    std::array<bool, 256> t{};
    for (unsigned char c : std::string_view("&<>\"'\r")) {
        t[c] = true;
    }
    return t;
}();

// Hands the escaped text to `sink` in pieces: runs of plain bytes and entities.
template <class Sink>
void EscapeHtml(std::string_view text, Sink&& sink) {
    std::size_t run = 0;  // start of the bytes not yet handed on
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!kHtmlSpecial[static_cast<unsigned char>(text[i])]) {
            continue;
        }
        std::string_view entity;
        switch (text[i]) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = "&quot;";
                break;
            case '\'':
                entity = "&#39;";
                break;
            default:
                // CR LF is one line break; renderers that honour both would show two.
                if (i + 1 < text.size() && text[i + 1] == '\n') {
                    break;  // dropped: the entity stays empty
                }
                continue;
        }
        if (i > run) {
            sink(text.substr(run, i - run));
        }
        if (!entity.empty()) {
            sink(entity);
        }
        run = i + 1;
    }
    if (run < text.size()) {
        sink(text.substr(run));
    }
}

}  // namespace

void CReportCursor::Reset(const CFolderSequence& folders, std::string templateName) {
    order_ = DisplayOrder(folders);
    position_ = -1;
    folder_ = kTopLevel;
    recordIndex_ = -1;
    recordCount_ = 0;
    record_ = nullptr;
    folderTotal_ = folders.Count();
    // Each top-level folder with everything below it: the display order holds every folder once.
    recordTotal_ = 0;
    for (const FolderNode& node : order_) {
        if (const CFolder* f = folders.FolderAt(node.index)) {
            recordTotal_ += f->RecordCount();
        }
    }
    templateName_ = std::move(templateName);
}

bool CReportCursor::NextFolder(const CFolderSequence& folders) {
    folder_ = kTopLevel;
    record_ = nullptr;
    recordCount_ = 0;
    recordIndex_ = -1;
    const auto end = static_cast<std::ptrdiff_t>(order_.size());
    if (position_ >= end) {
        return false;
    }
    ++position_;
    if (position_ >= end) {
        return false;
    }
    const FolderIndex index = order_[static_cast<std::size_t>(position_)].index;
    const CFolder* folder = folders.FolderAt(index);
    if (folder == nullptr) {
        return false;
    }
    folder_ = index;
    recordCount_ = folder->RecordCount();
    return true;
}

bool CReportCursor::NextRecord(const CFolderSequence& folders) {
    const CFolder* folder = CurrentFolder(folders);
    // An empty folder stays current (its name still shows); only running out of records
    // leaves a folder.
    if (folder == nullptr || recordCount_ < 1) {
        return false;
    }
    ++recordIndex_;
    if (recordIndex_ < recordCount_) {
        record_ = folder->RecordAt(recordIndex_);
        return record_ != nullptr;
    }
    folder_ = kTopLevel;
    record_ = nullptr;
    return false;
}

const CFolder* CReportCursor::CurrentFolder(const CFolderSequence& folders) const {
    return folder_ == kTopLevel ? nullptr : folders.FolderAt(folder_);
}

const CRecord* CReportCursor::CurrentRecord(const CFolderSequence& /*folders*/) const {
    return record_;
}

CReportEnvironment::CReportEnvironment(ReportContext context) : c_(std::move(context)) {}

int CReportEnvironment::Resolve(std::string_view name) {
    return FindName(name);
}

bool CReportEnvironment::Constant(int number, CValue& value) {
    const NameEntry* entry = EntryAt(number);
    if (entry == nullptr) {
        return false;
    }
    switch (entry->kind) {
        case NameKind::Print:
            value = CValue::Long(c_.flags.Prints(entry->field) ? 1 : 0);
            return true;
        case NameKind::Title:
            value = CValue::View(InfoOf(entry->field).label);
            return true;
        default:
            return false;
    }
}

void CReportEnvironment::Run(std::string_view name, COutputStream& out,
                             std::span<const CValue> args) {
    if (name == "output") {
        WriteText(out, "output only");
        return;
    }
    RunResolved(FindName(name), name, out, args);
}

// Any number, kByName for a name not known.
void CReportEnvironment::RunResolved(int number, std::string_view name, COutputStream& out,
                                     std::span<const CValue> args) {
    const NameEntry* entry = EntryAt(number);
    // Escaped text goes straight to the page rather than through a value of its own.
    if (entry != nullptr && entry->kind == NameKind::Html && !args.empty()) {
        const CValue& arg = args[0];
        const auto write = [&out](std::string_view part) { out.Put(part); };
        if (arg.IsString()) {
            EscapeHtml(arg.StringValue(), write);
        } else {
            EscapeHtml(arg.ToText(), write);
        }
        return;
    }
    const CValue v = ValueResolved(number, name, out, args);
    if (v.IsString()) {
        out.Put(v.StringValue());
    } else {
        out.Put(v.ToText());
    }
}

std::unique_ptr<CEnvironment> CReportEnvironment::Child(std::string_view, COutputStream&,
                                                        std::span<const CValue>) {
    return nullptr;
}

// Texts of the document are handed out without a copy: nothing in a run changes the document,
// and it outlives the run.
CValue CReportEnvironment::RecordValue(RecordField field) const {
    const CRecord* record = c_.cursor.CurrentRecord(c_.folders);
    if (record == nullptr) {
        return CValue::View(kNoRecord);
    }
    switch (field) {
        case RecordField::Created:
        case RecordField::Modified:
            return DateValue(c_.dates, record->GetDate(field), true);
        case RecordField::ExpiresOn:
            return record->GetInt(RecordField::HasExpiry) == 0
                       ? CValue::View({})
                       : DateValue(c_.dates, record->GetDate(field), false);
        default: {
            const std::string_view stored = record->GetText(field);
            return IsValidUtf8(stored) ? CValue::View(stored) : CValue::String(DisplayText(stored));
        }
    }
}

CValue CReportEnvironment::Value(std::string_view name, COutputStream& out,
                                 std::span<const CValue> args) {
    return ValueResolved(FindName(name), name, out, args);
}

// Any number, kByName for a name not known. The names asked for once per record are answered
// here; the others apart, so that these stay quick.
CValue CReportEnvironment::ValueResolved(int number, std::string_view name, COutputStream& out,
                                         std::span<const CValue> args) {
    const NameEntry* entry = EntryAt(number);
    if (entry != nullptr) {
        switch (entry->kind) {
            case NameKind::NextRecord:
                return CValue::Long(c_.cursor.NextRecord(c_.folders) ? 1 : 0);
            case NameKind::Field:
                return RecordValue(entry->field);
            case NameKind::Print:
                return CValue::Long(c_.flags.Prints(entry->field) ? 1 : 0);
            case NameKind::Title:
                return CValue::View(InfoOf(entry->field).label);
            default:
                break;
        }
    }
    return OtherValue(c_, entry, name, out, args);
}

namespace {

[[gnu::noinline]] CValue OtherValue(const ReportContext& c, const NameEntry* entry,
                                    std::string_view name, COutputStream& out,
                                    std::span<const CValue> args) {
    if (entry == nullptr) {
        WriteText(out, " " + std::string(name) + ": command unknown ");
        return CValue::Long(0);
    }
    switch (entry->kind) {
        case NameKind::NextFolder:
            return CValue::Long(c.cursor.NextFolder(c.folders) ? 1 : 0);
        case NameKind::NextRecord:
            return CValue::Long(c.cursor.NextRecord(c.folders) ? 1 : 0);
        case NameKind::Field:
        case NameKind::Print:
        case NameKind::Title:
            break;  // answered by ValueResolved
        case NameKind::Html:
            if (args.empty()) {
                return CValue::View({});
            }
            return CValue::String(
                HtmlEscape(args[0].IsString() ? args[0].StringValue() : args[0].ToText()));
        case NameKind::FolderName:
        case NameKind::FolderPath: {
            const CFolder* folder = c.cursor.CurrentFolder(c.folders);
            if (folder == nullptr) {
                return CValue::View(kNoRecord);
            }
            return CValue::String(
                entry->kind == NameKind::FolderName
                    ? DisplayText(folder->Name())
                    : FolderDisplayPath(c.folders, c.cursor.CurrentFolderIndex()));
        }
        case NameKind::StrVal:
            return CValue::View("a new string");
        case NameKind::DocTitle:
            return CValue::String(c.documentTitle);
        case NameKind::Template:
            return CValue::String(c.cursor.TemplateName());
        case NameKind::FolderTotal:
            return CValue::Long(c.cursor.FolderTotal());
        case NameKind::RecordTotal:
            return CValue::Long(c.cursor.RecordTotal());
        case NameKind::SysDate:
        case NameKind::SysDateTime: {
            const DateTimeValue now = c.now ? c.now() : NowLocal();
            return DateValue(c.dates, now, entry->kind == NameKind::SysDateTime);
        }
    }
    return CValue::Long(0);
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    EscapeHtml(text, [&out](std::string_view part) { out.append(part); });
    return out;
}

}  // namespace zelvant::report
