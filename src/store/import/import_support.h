#pragma once
// What the format parsers share: finding CSV columns by name, dates, addresses and notes.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/import/csv_reader.h"
#include "store/import/import.h"

namespace zelvant::importers {

bool ParseKeePassXcCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                       std::string& error);
bool ParseBitwardenJson(std::string_view text, DateTimeValue now, ImportBatch& batch,
                        std::string& error);
bool ParseBitwardenCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                       std::string& error);
bool ParseChromeCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                    std::string& error);
bool ParseFirefoxCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                     std::string& error);

// The rows of a CSV export and its columns, found by their names in the first row (letter case
// and surrounding blanks ignored), whatever their order; columns the parser does not know are
// left alone.
class CCsvExport {
  public:
    // False with `error` when the text is no CSV, has no rows, or lacks a required column.
    bool Read(std::string_view text, ImportFormat format,
              std::initializer_list<std::string_view> required, std::string& error);

    // The data rows, after the header.
    std::size_t RowCount() const { return rows_.empty() ? 0 : rows_.size() - 1; }
    const CsvRow& Row(std::size_t i) const { return rows_[i + 1]; }
    // False with `error` when a row has another number of fields than the header.
    bool CheckWidths(std::string& error) const;

    bool Has(std::string_view column) const;
    // The export whose columns the first row names; none when it matches none.
    std::optional<ImportFormat> Format() const;
    // The row's text in that column; empty when the export has no such column.
    std::string_view Get(const CsvRow& row, std::string_view column) const;

  private:
    std::vector<CsvRow> rows_;
    std::vector<std::string> names_;  // folded header names, by position
};

// The CSV format whose columns the text's first row names; none for another file.
std::optional<ImportFormat> CsvFormatOf(std::string_view text);

std::string Where(std::string_view kind, std::size_t number);  // "line 7", "item 3"

// Folder names of a path written with "/"; empty names are dropped.
std::vector<std::string> SplitFolderPath(std::string_view path);
// Adds a path to the batch's folders unless it is empty or listed already.
void NoteFolder(ImportBatch& batch, const std::vector<std::string>& path);

// The host of a web address ("https://user@www.example.com:8443/x" gives "www.example.com"), or
// the text itself when it has no scheme.
std::string HostOf(std::string_view url);

// Sets a text field; notes have their line ends made LF, as the program's own notes have them.
void SetField(CRecord& record, RecordField field, std::string_view text);
// What the source has that no field holds ("TOTP: ...", further addresses), added below the
// source's own notes after a blank line, one "label: value" (or a bare value) per line.
class CNoteExtras {
  public:
    void Add(std::string_view label, std::string_view value);
    void AddTo(CRecord& record) const;

  private:
    SecretText lines_;
};

// "2024-03-01T10:20:30Z" (fraction and offset optional) as local time; none when unreadable.
std::optional<DateTimeValue> DateFromIso(std::string_view text);
// Milliseconds since 1970 in decimal as local time; none when unreadable.
std::optional<DateTimeValue> DateFromUnixMillis(std::string_view text);
// Sets Created and Modified from the source where it has them.
void SetDates(CRecord& record, std::optional<DateTimeValue> created,
              std::optional<DateTimeValue> modified);

}  // namespace zelvant::importers
