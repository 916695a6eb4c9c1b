#pragma once
// File > Import...: another program's export, chosen with its format in the file dialog, is read
// as a whole, its records are added to the document, and a summary says what came in and what
// was skipped and why. The reading and adding are the store's (store/import/import.h).

#include <QString>

#include "store/folder_sequence.h"
#include "store/import/import.h"

class QWidget;

namespace zelvant::ui {

inline constexpr char kImportCaption[] = "Import";
// Exports larger than this are refused rather than read into memory.
inline constexpr qint64 kMaxImportBytes = 64LL * 1024 * 1024;

struct ImportOutcome {
    bool added = false;                   // folders or records came in: the document changed
    FolderIndex firstFolder = kTopLevel;  // where the first record went
};

// The file dialog's filter for a format, "Bitwarden JSON export (*.json)".
QString ImportFilter(ImportFormat format);
// The first filter, for any export whose format is told by its contents.
inline constexpr char kAnyExportFilter[] = "Any export Zelvant reads (*.csv *.json)";

// Asks for the file, then imports it. `directory` is where the dialog opens.
ImportOutcome RunImportDialog(QWidget* parent, CFolderSequence& folders, const QString& directory);

// Reads and adds one export, telling the user the outcome (or what is wrong with the file).
// Without a format the file's contents tell it.
ImportOutcome ImportExportFile(QWidget* parent, CFolderSequence& folders, const QString& path,
                               std::optional<ImportFormat> format);

}  // namespace zelvant::ui
