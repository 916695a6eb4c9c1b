#include "native_listing.h"

#include <array>
#include <charconv>
#include <vector>

#include "report/print_flags.h"
#include "store/display.h"
#include "store/text_codec.h"

namespace zelvant::bench {
namespace {

constexpr std::string_view kHead1 =
    "<!DOCTYPE html>\n"
    "<html lang=\"en\">\n"
    "<head>\n"
    "<meta charset=\"utf-8\">\n"
    "<title>";
constexpr std::string_view kHead2 =
    "</title>\n"
    "<style>\n"
    "body { font-family: \"DejaVu Sans\", Arial, Helvetica, sans-serif; font-size: 10pt; color: "
    "#000; margin: 12mm; }\n"
    "h1 { font-size: 16pt; margin: 0 0 2pt 0; }\n"
    "h2 { font-size: 13pt; margin: 14pt 0 4pt 0; padding-bottom: 2pt; border-bottom: 1px solid "
    "#555; }\n"
    "p.meta { font-size: 9pt; color: #444; margin: 0 0 8pt 0; }\n"
    "p.empty { font-style: italic; color: #555; margin: 2pt 0 6pt 0; }\n"
    "table.record { border-collapse: collapse; border: 1px solid #888; margin: 0 0 8pt 0; "
    "page-break-inside: avoid; }\n"
    "table.record th { background-color: #e4e4e4; text-align: left; font-size: 11pt; padding: "
    "3pt 5pt; }\n"
    "table.record td { border-top: 1px solid #ccc; padding: 2pt 5pt; vertical-align: top; }\n"
    "td.label { width: 30%; font-weight: bold; color: #333; }\n"
    "td.value { font-family: \"DejaVu Sans Mono\", \"Courier New\", monospace; }\n"
    "td.notes { white-space: pre-wrap; }\n"
    "</style>\n"
    "</head>\n"
    "<body>\n"
    "<h1>";
constexpr std::string_view kRecordStart =
    "<table class=\"record\" width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n";

constexpr std::array<bool, 256> kSpecial = [] {
    std::array<bool, 256> t{};
    for (unsigned char c : std::string_view("&<>\"'\r")) {
        t[c] = true;
    }
    return t;
}();

// Runs of plain bytes go in whole; CR LF loses its CR.
void AppendEscaped(std::string& page, std::string_view text) {
    const char* run = text.data();
    const char* const end = text.data() + text.size();
    for (const char* p = run; p != end; ++p) {
        if (!kSpecial[static_cast<unsigned char>(*p)]) {
            continue;
        }
        std::string_view entity;
        switch (*p) {
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
                if (p + 1 == end || p[1] != '\n') {
                    continue;
                }
                break;
        }
        page.append(run, static_cast<std::size_t>(p - run));
        page.append(entity);
        run = p + 1;
    }
    page.append(run, static_cast<std::size_t>(end - run));
}

// Stored texts are shown as they are unless they are not UTF-8.
void AppendStored(std::string& page, std::string_view stored) {
    if (IsValidUtf8(stored)) {
        AppendEscaped(page, stored);
    } else {
        AppendEscaped(page, Cp1252ToUtf8(stored));
    }
}

void AppendNumber(std::string& page, int n) {
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
    page.append(buffer, r.ptr);
}

void RowStart(std::string& page, RecordField field, std::string_view kind) {
    page.append("<tr><td class=\"label\">");
    page.append(InfoOf(field).label);
    page.append("</td><td class=\"");
    page.append(kind);
    page.append("\">");
}

constexpr std::string_view kRowEnd = "</td></tr>\n";

void TextRow(std::string& page, const CRecord& r, RecordField field, std::string_view kind) {
    const std::string_view stored = r.GetText(field);
    if (stored.empty()) {
        return;
    }
    RowStart(page, field, kind);
    AppendStored(page, stored);
    page.append(kRowEnd);
}

// The locale's long date, then ", " and its time; nothing when either part cannot be shown.
bool AppendDate(std::string& page, const report::IDateFormatter& dates, DateTimeValue value,
                bool withTime) {
    const auto civil = ToCivil(value);
    if (!civil) {
        return false;
    }
    const std::string date = dates.LongDate(*civil);
    if (date.empty()) {
        return false;
    }
    AppendEscaped(page, date);
    if (withTime) {
        page.append(", ");
        AppendEscaped(page, dates.Time(*civil));
    }
    return true;
}

void DateRow(std::string& page, const report::IDateFormatter& dates, const CRecord& r,
             RecordField field, bool withTime) {
    const std::size_t mark = page.size();
    RowStart(page, field, "date");
    if (AppendDate(page, dates, r.GetDate(field), withTime)) {
        page.append(kRowEnd);
    } else {
        page.resize(mark);
    }
}

}  // namespace

void WriteNativeListing(const CFolderSequence& folders, const report::IDateFormatter& dates,
                        const ListingHeader& header, std::string& page) {
    page.append(kHead1);
    AppendEscaped(page, header.documentTitle);
    page.append(" - ");
    AppendEscaped(page, header.templateName);
    page.append(kHead2);
    AppendEscaped(page, header.documentTitle);
    page.append("</h1>\n<p class=\"meta\">");
    AppendEscaped(page, header.templateName);
    page.append(" &middot; ");
    AppendDate(page, dates, header.now, true);
    page.append(" &middot; ");
    AppendNumber(page, folders.Count());
    page.append(" folders, ");
    // Folders outside the tree's order (a damaged parent chain) count for nothing, as in the
    // report's own total.
    const std::vector<FolderNode> order = DisplayOrder(folders);
    int records = 0;
    for (const FolderNode& node : order) {
        if (const CFolder* folder = folders.FolderAt(node.index)) {
            records += folder->RecordCount();
        }
    }
    AppendNumber(page, records);
    page.append(" records</p>\n");

    constexpr RecordField kValues[] = {RecordField::Location,    RecordField::Email,
                                       RecordField::AccountName, RecordField::AccountNumber,
                                       RecordField::UserName,    RecordField::Password,
                                       RecordField::Pin};
    for (const FolderNode& node : order) {
        const CFolder* folder = folders.FolderAt(node.index);
        if (folder == nullptr) {
            continue;
        }
        page.append("<h2>");
        // Once per folder: the joined path may as well be a temporary.
        const std::string path = DisplayFolderPath(folders, node.index);
        std::size_t from = 0;
        for (std::size_t slash; (slash = path.find('/', from)) != std::string::npos;
             from = slash + 1) {
            AppendEscaped(page, std::string_view(path).substr(from, slash - from));
            page.append(" / ");
        }
        AppendEscaped(page, std::string_view(path).substr(from));
        page.append("</h2>\n");
        for (int i = 0; i < folder->RecordCount(); ++i) {
            const CRecord& r = *folder->RecordAt(i);
            page.append(kRecordStart);
            page.append("<tr><th colspan=\"2\">");
            AppendStored(page, r.GetText(RecordField::SiteName));
            page.append("</th></tr>\n");
            for (RecordField f : kValues) {
                TextRow(page, r, f, "value");
            }
            DateRow(page, dates, r, RecordField::Created, true);
            DateRow(page, dates, r, RecordField::Modified, true);
            if (r.GetInt(RecordField::HasExpiry) != 0) {
                DateRow(page, dates, r, RecordField::ExpiresOn, false);
            }
            TextRow(page, r, RecordField::Notes, "notes");
            page.append("</table>\n");
        }
        if (folder->RecordCount() == 0) {
            page.append("<p class=\"empty\">No records in this folder.</p>\n");
        }
    }
    if (folders.Count() == 0) {
        page.append("<p class=\"empty\">This document has no folders.</p>\n");
    }
    page.append("</body>\n</html>\n");
}

}  // namespace zelvant::bench
