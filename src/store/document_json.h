#pragma once
// The document as JSON (lossless, for scripts and backups) and as CSV (for spreadsheets).
//
// JSON: {"format": "zelvant-json", "version": 1, "fileVersion": 101, "columnLayout": "...",
//        "folders": [{"name", "parent", "expanded", "records": [{every field}]}]}
// Texts are UTF-8 in JSON. A stored text that is not UTF-8 (Windows-1252 from older files) is
// written decoded, and its key is listed in the object's "windows1252" array so that importing
// restores the original bytes.

#include <cstdint>
#include <string>
#include <string_view>

#include "store/folder_sequence.h"

namespace zelvant {

std::string ExportJson(const CFolderSequence& folders, std::string_view columnLayout,
                       std::int32_t fileVersion);

struct JsonImportResult {
    bool ok = false;
    std::string error;  // what is wrong and where, when !ok
    std::string columnLayout;
};

// Appends the document's folders to an empty sequence. Fields that are missing take the values
// of a new folder or record. On failure the sequence is left empty.
JsonImportResult ImportJson(std::string_view json, CFolderSequence& folders);

// One row per record: the folder's path, then the fields as users see them; dates as
// "YYYY-MM-DD HH:MM:SS", an expiry only when the record has one. RFC 4180 quoting, CRLF.
std::string ExportCsv(const CFolderSequence& folders);

}  // namespace zelvant
