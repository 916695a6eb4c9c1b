#include "store/import/import_support.h"

#include <algorithm>
#include <charconv>

#include "store/text_codec.h"

namespace zelvant::importers {
namespace {

std::string FoldedName(std::string_view name) {
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.remove_suffix(1);
    }
    return FoldCaseText(name);
}

// Reads `count` digits at s[pos] into value.
bool Digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool Expect(std::string_view s, std::size_t pos, char c) {
    return pos < s.size() && s[pos] == c;
}

// The columns that tell each CSV export from the others, in the order they are tried.
struct CsvSignature {
    ImportFormat format;
    std::initializer_list<std::string_view> columns;
};
const CsvSignature kCsvSignatures[] = {
    {ImportFormat::KeePassXcCsv, {"group", "title", "username", "password", "url", "notes"}},
    {ImportFormat::BitwardenCsv, {"type", "name", "login_uri", "login_username", "login_password"}},
    {ImportFormat::ChromeCsv, {"name", "url", "username", "password"}},
    {ImportFormat::FirefoxCsv, {"url", "username", "password", "httprealm"}},
};

std::optional<ImportFormat> FormatOfHeader(const std::vector<std::string>& names) {
    for (const CsvSignature& signature : kCsvSignatures) {
        bool all = true;
        for (std::string_view column : signature.columns) {
            all = all && std::find(names.begin(), names.end(), column) != names.end();
        }
        if (all) {
            return signature.format;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImportFormat> CsvFormatOf(std::string_view text) {
    CCsvExport csv;
    std::string error;
    // The last format is the one with fewest columns; any of them will do to read the names.
    if (!csv.Read(text, ImportFormat::FirefoxCsv, {}, error)) {
        return std::nullopt;
    }
    return csv.Format();
}

std::optional<ImportFormat> CCsvExport::Format() const {
    return FormatOfHeader(names_);
}

bool CCsvExport::Read(std::string_view text, ImportFormat format,
                      std::initializer_list<std::string_view> required, std::string& error) {
    if (!ReadCsv(text, rows_, error)) {
        return false;
    }
    const std::string_view title = FormatInfo(format).title;
    if (rows_.empty()) {
        error = "the file is empty; a " + std::string(title) + " starts with a row of column names";
        return false;
    }
    names_.clear();
    for (const WipedString& name : rows_.front().fields) {
        names_.push_back(FoldedName(std::string_view(name)));
    }
    std::string missing;
    for (std::string_view column : required) {
        if (!Has(column)) {
            missing += (missing.empty() ? "" : ", ") + std::string(column);
        }
    }
    if (!missing.empty()) {
        error = "line 1: this is not a " + std::string(title) + ": it has no column " + missing;
        if (const auto other = FormatOfHeader(names_)) {
            error += "; it looks like a " + std::string(FormatInfo(*other).title);
        }
        rows_.clear();
        return false;
    }
    return true;
}

bool CCsvExport::CheckWidths(std::string& error) const {
    for (std::size_t i = 1; i < rows_.size(); ++i) {
        if (rows_[i].fields.size() != names_.size()) {
            error = Where("line", static_cast<std::size_t>(rows_[i].line)) + ": " +
                    std::to_string(rows_[i].fields.size()) + " fields where the first row names " +
                    std::to_string(names_.size()) + " columns";
            return false;
        }
    }
    return true;
}

bool CCsvExport::Has(std::string_view column) const {
    return std::find(names_.begin(), names_.end(), FoldedName(column)) != names_.end();
}

std::string_view CCsvExport::Get(const CsvRow& row, std::string_view column) const {
    const auto it = std::find(names_.begin(), names_.end(), FoldedName(column));
    const auto index = static_cast<std::size_t>(it - names_.begin());
    if (it == names_.end() || index >= row.fields.size()) {
        return {};
    }
    return std::string_view(row.fields[index]);
}

std::string Where(std::string_view kind, std::size_t number) {
    return std::string(kind) + " " + std::to_string(number);
}

std::vector<std::string> SplitFolderPath(std::string_view path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        if (slash > start) {
            names.emplace_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    return names;
}

void NoteFolder(ImportBatch& batch, const std::vector<std::string>& path) {
    if (!path.empty() &&
        std::find(batch.folders.begin(), batch.folders.end(), path) == batch.folders.end()) {
        batch.folders.push_back(path);
    }
}

std::string HostOf(std::string_view url) {
    std::string_view rest = url;
    if (const std::size_t scheme = rest.find("://"); scheme != std::string_view::npos) {
        rest.remove_prefix(scheme + 3);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        rest.remove_prefix(at + 1);
    }
    if (rest.starts_with('[')) {
        rest = rest.substr(0, rest.find(']') + 1);  // an IPv6 address keeps its brackets
    } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        rest = rest.substr(0, colon);
    }
    return std::string(rest.empty() ? url : rest);
}

void SetField(CRecord& record, RecordField field, std::string_view text) {
    if (field != RecordField::Notes || text.find('\r') == std::string_view::npos) {
        record.SetText(field, text);
        return;
    }
    SecretText lf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lf.text += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            lf.text += text[i];
        }
    }
    record.SetText(field, std::string_view(lf.text));
}

void CNoteExtras::Add(std::string_view label, std::string_view value) {
    if (value.empty()) {
        return;
    }
    if (!lines_.text.empty()) {
        lines_.text += '\n';
    }
    if (!label.empty()) {
        lines_.text += label;
        lines_.text += ": ";
    }
    lines_.text += value;
}

void CNoteExtras::AddTo(CRecord& record) const {
    if (lines_.text.empty()) {
        return;
    }
    SecretText notes;
    notes.text.assign(record.GetText(RecordField::Notes));
    if (!notes.text.empty()) {
        notes.text += notes.text.back() == '\n' ? "\n" : "\n\n";
    }
    notes.text += lines_.text;
    SetField(record, RecordField::Notes, std::string_view(notes.text));
}

std::optional<DateTimeValue> DateFromIso(std::string_view s) {
    CivilDateTime c;
    if (!Digits(s, 0, 4, c.year) || !Expect(s, 4, '-') || !Digits(s, 5, 2, c.month) ||
        !Expect(s, 7, '-') || !Digits(s, 8, 2, c.day) ||
        !(Expect(s, 10, 'T') || Expect(s, 10, ' ')) || !Digits(s, 11, 2, c.hour) ||
        !Expect(s, 13, ':') || !Digits(s, 14, 2, c.minute) || !Expect(s, 16, ':') ||
        !Digits(s, 17, 2, c.second)) {
        return std::nullopt;
    }
    std::size_t pos = 19;
    if (Expect(s, pos, '.')) {
        ++pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            ++pos;
        }
    }
    int offset = 0;  // seconds east of UTC
    if (Expect(s, pos, 'Z')) {
        ++pos;
    } else if (Expect(s, pos, '+') || Expect(s, pos, '-')) {
        const int sign = s[pos] == '-' ? -1 : 1;
        int hours = 0;
        int minutes = 0;
        const bool colon = Expect(s, pos + 3, ':');
        if (!Digits(s, pos + 1, 2, hours) || !Digits(s, pos + (colon ? 4 : 3), 2, minutes)) {
            return std::nullopt;
        }
        offset = sign * (hours * 3600 + minutes * 60);
        pos += colon ? 6 : 5;
    }
    if (pos != s.size() || c.second > 59 || !FromCivil(c)) {
        return std::nullopt;
    }
    return FromUnixTimeLocal(UnixTimeOfUtc(c) - offset);
}

std::optional<DateTimeValue> DateFromUnixMillis(std::string_view text) {
    std::int64_t ms = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || ms < 0) {
        return std::nullopt;
    }
    return FromUnixTimeLocal(ms / 1000);
}

void SetDates(CRecord& record, std::optional<DateTimeValue> created,
              std::optional<DateTimeValue> modified) {
    if (!created) {
        created = modified;
    }
    if (!modified) {
        modified = created;
    }
    if (created) {
        record.SetDate(RecordField::Created, *created);
        record.SetDate(RecordField::Modified, *modified);
    }
}

}  // namespace zelvant::importers
