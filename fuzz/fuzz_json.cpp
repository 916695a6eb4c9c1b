// Arbitrary text as a JSON document. Whatever imports must export, and that export must import
// again to the same document; it must also survive being saved as a data file and opened again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "load_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelvant;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CFolderSequence folders;
    const JsonImportResult first = ImportJson(text, folders);
    if (!first.ok) {
        fuzz::Require(!first.error.empty(), "a failed import says why");
        fuzz::Require(folders.Count() == 0, "a failed import leaves no folders behind");
        return 0;
    }
    const std::string exported = ExportJson(folders, first.columnLayout, kFileVersion);
    CFolderSequence again;
    const JsonImportResult second = ImportJson(exported, again);
    fuzz::Require(second.ok, "an export imports");
    fuzz::Require(second.columnLayout == first.columnLayout &&
                      ExportJson(again, second.columnLayout, kFileVersion) == exported,
                  "export, import and export again give the same text");

    const std::vector<std::uint8_t> file =
        SaveDataToMemory(fuzz::Key(), folders, first.columnLayout);
    CMemorySource source(file);
    CFolderSequence loaded;
    CMessageLog log;
    const LoadResult opened = LoadData(source, fuzz::Key(), loaded, log);
    fuzz::Require(opened.ok, "an imported document saves to a file that opens");
    fuzz::Require(ExportJson(loaded, opened.columnLayout, kFileVersion) == exported,
                  "an imported document survives a save unchanged");
    return 0;
}
