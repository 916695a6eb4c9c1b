// Other programs' exports, CSV and JSON. The first byte chooses the format, the rest is the
// file. A failed import says why and yields nothing; a successful one adds exactly its entries
// to a document whose folders still form a tree and which saves and opens again unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "load_check.h"
#include "store/import/import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelvant;
    if (size == 0) {
        return 0;
    }
    const auto& formats = ImportFormats();
    const ImportFormat format = formats[data[0] % formats.size()].format;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const DateTimeValue now{46000.5, 0};

    // Telling the format reads the text too; whatever it says must read as that format or fail
    // with a reason, as any import does.
    if (const auto told = DetectImportFormat(text)) {
        ImportBatch other;
        std::string why;
        fuzz::Require(ParseImport(*told, text, now, other, why) || !why.empty(),
                      "a told format imports or says why");
    }

    ImportBatch batch;
    std::string error;
    if (!ParseImport(format, text, now, batch, error)) {
        fuzz::Require(!error.empty(), "a failed import says why");
        fuzz::Require(batch.entries.empty() && batch.folders.empty() && batch.skipped.empty(),
                      "a failed import yields nothing");
        return 0;
    }
    CFolderSequence folders;
    folders.AppendFolder()->SetName("Existing");
    const ImportSummary summary = ApplyImport(batch, folders, ImportFolderName(format, now));
    fuzz::Require(summary.records == static_cast<int>(batch.entries.size()),
                  "every entry becomes a record");
    fuzz::Require(summary.skipped.size() == batch.skipped.size(), "every skip is reported");
    int records = 0;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const FolderIndex parent = folders.FolderAt(i)->Parent();
        fuzz::Require(parent >= kTopLevel && parent < i, "a parent comes before its children");
        records += folders.FolderAt(i)->RecordCount();
    }
    fuzz::Require(records == summary.records, "the records are all in the document");
    fuzz::Require(!ImportSummaryText(summary, format).empty(), "the summary says something");

    const std::vector<std::uint8_t> file = SaveDataToMemory(fuzz::Key(), folders, "");
    fuzz::CheckLoad(file);
    return 0;
}
