#pragma once
// What users see of folders and records, for the exports and the command-line tool.

#include <array>
#include <string>

#include "store/folder_sequence.h"
#include "store/record.h"

namespace zelvant {

// The shown names from the top level down to the folder, joined by "/". Each name is decoded on
// its own, since one folder may hold UTF-8 and its parent Windows-1252.
std::string DisplayFolderPath(const CFolderSequence& folders, FolderIndex index);

inline constexpr int kVisibleFieldCount = 12;
// The fields that have a caption, in the record list's column order.
const std::array<RecordField, kVisibleFieldCount>& VisibleFields();

enum class ExpiryForm { DateAndTime, DateOnly };

// Texts as DisplayText; dates as "YYYY-MM-DD HH:MM:SS"; Expires On is empty unless the record
// has an expiry date.
std::string FieldDisplayText(const CRecord& record, RecordField field,
                             ExpiryForm expiry = ExpiryForm::DateAndTime);

}  // namespace zelvant
