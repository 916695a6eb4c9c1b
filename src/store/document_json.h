#pragma once
// The document as JSON (lossless, for scripts and backups) and as CSV (for spreadsheets).
//
// JSON: {"format": "zelvant-json", "version": 1, "fileVersion": 101, "columnLayout": "...",
//        "folders": [{"name", "parent", "expanded", "records": [{every field}]}]}
// Texts are UTF-8 in JSON. A stored text that is not UTF-8 (Windows-1252 from older files) is
// written decoded, and its key is listed in the object's "windows1252" array so that importing
// restores the original bytes.
// A date is {"oa": days, "status": n}. JSON has no numbers for the doubles that are not finite,
// so those are written as the strings "Infinity", "-Infinity" and "NaN:0x" followed by the 16 hex
// digits of the value's bits; import also takes a plain "NaN".

#include <cstdint>
#include <string>
#include <string_view>

#include "store/folder_sequence.h"

namespace zelvant {

// The result holds every secret of the document in clear: wipe it after use.
std::string ExportJson(const CFolderSequence& folders, std::string_view columnLayout,
                       std::int32_t fileVersion);

struct JsonImportResult {
    bool ok = false;
    std::string error;  // what is wrong and where, when !ok
    std::string columnLayout;
};

// Appends the document's folders to the sequence (normally empty; parents are taken relative to
// the first folder appended). Fields that are missing take the values of a new folder or record.
// On failure every folder appended is removed again.
JsonImportResult ImportJson(std::string_view json, CFolderSequence& folders);

// One row per record, folders in tree order: the folder's path, then the fields as users see
// them, in the record list's order; dates as "YYYY-MM-DD HH:MM:SS", an expiry only when the
// record has one. Every field quoted (RFC 4180), rows end in CRLF, no byte order mark.
std::string ExportCsv(const CFolderSequence& folders);

}  // namespace zelvant
