#pragma once
// Records brought in from other password managers' and browsers' exports. Each format has a
// small parser that reads the file as its exporter writes it; the whole file is read before
// anything reaches the document, so a file that cannot be read as a whole imports nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/date_time.h"
#include "store/folder_sequence.h"
#include "store/record.h"

namespace zelvant {

enum class ImportFormat { KeePassXcCsv, BitwardenJson, BitwardenCsv, ChromeCsv, FirefoxCsv };

struct ImportFormatInfo {
    ImportFormat format;
    std::string_view name;       // as the command line names it: "bitwarden-json"
    std::string_view title;      // as menus name it: "Bitwarden JSON export"
    std::string_view source;     // the program it comes from: "Bitwarden"
    std::string_view extension;  // "csv" or "json"
};

const std::array<ImportFormatInfo, 5>& ImportFormats();
const ImportFormatInfo& FormatInfo(ImportFormat format);
std::optional<ImportFormat> ImportFormatNamed(std::string_view name);

// One record as the source has it. Texts are UTF-8; the record wipes them when it goes.
struct ImportedEntry {
    explicit ImportedEntry(DateTimeValue now) : record(now) {}
    std::vector<std::string> folder;  // names from the top level down; empty: the import's folder
    CRecord record;
};

// Something the source holds that does not become a record, and why.
struct ImportSkip {
    std::string where;  // "line 7", "item 3"
    std::string reason;
};

struct ImportBatch {
    // Every folder the source names, also those it leaves empty.
    std::vector<std::vector<std::string>> folders;
    std::vector<ImportedEntry> entries;
    std::vector<ImportSkip> skipped;
};

// The format an export is in, told by its first row of column names (CSV) or its "items"
// (Bitwarden JSON); none when it is none of them.
std::optional<ImportFormat> DetectImportFormat(std::string_view text);

// Reads a whole export. `now` dates the records whose source gives no dates. False, with `error`
// naming the line or item and leaving `batch` empty, when the text is not such an export.
bool ParseImport(ImportFormat format, std::string_view text, DateTimeValue now, ImportBatch& batch,
                 std::string& error);

struct ImportSummary {
    int folders = 0;  // folders created
    int records = 0;
    std::vector<ImportSkip> skipped;
    FolderIndex firstFolder = kTopLevel;  // where the first record went
};

// The folder that takes the records of a source without folders: "Chrome import 2026-05-14".
std::string ImportFolderName(ImportFormat format, DateTimeValue now);

// Adds the batch to the document. A folder the source names is the document's folder of that
// path (by the names shown, from the top level) when there is one, else it is created; records
// without a folder go into a new top-level folder named `ownFolder` (with " (2)" and so on added
// when that name is taken), made only when needed. New folders are appended, so the folders
// already there keep their indexes.
ImportSummary ApplyImport(const ImportBatch& batch, CFolderSequence& folders,
                          std::string_view ownFolder);

// "Imported 12 records and 3 new folders from the Firefox logins CSV export.", then one line per
// skipped entry with its reason, at most `listed` of them and a line for the rest.
std::string ImportSummaryText(const ImportSummary& summary, ImportFormat format,
                              std::size_t listed = SIZE_MAX);

}  // namespace zelvant
