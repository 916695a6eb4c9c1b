#pragma once
// Naming folders and records on the command line: a path of shown names joined by "/" as the
// tree lists them ("Banking/Cards/Visa"), or an index: "#3" is folder 3 of the sequence and
// "#3/5" record 5 of that folder, both counted from 0.

#include <string>
#include <string_view>

#include "store/folder_sequence.h"

namespace zelvant::cli {

struct Resolved {
    bool ok = false;
    FolderIndex folder = kTopLevel;
    int record = -1;
    std::string error;  // says what was not found, or lists the candidates of an ambiguous path
};

Resolved ResolveFolder(const CFolderSequence& folders, std::string_view address);
Resolved ResolveRecord(const CFolderSequence& folders, std::string_view address);

// "#3", or "#3/5" for a record.
std::string FormatAddress(FolderIndex folder, int record = -1);

}  // namespace zelvant::cli
