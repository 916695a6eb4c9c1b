#pragma once
// What every load of untrusted bytes must hold to, whatever the bytes are.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/data_file.h"
#include "store/document_json.h"
#include "store/file_codec.h"

namespace zelvant::fuzz {

// The password of the sample data file, so that it and its mutations open.
inline constexpr std::string_view kPassword = "correct horse";

inline const FileKey& Key() {
    static const FileKey key = MakeFileKey(kPassword);
    return key;
}

// Stops the run like a crash, naming the property that failed.
inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

// Loads `bytes` under `key` (a sealed file's saves use `nonce`, so that they can be compared). A
// failure must tell the user why. A success must give a document that saves, reloads to the same
// document, goes through JSON without loss, and can be shown as a tree.
inline void CheckLoad(std::span<const std::uint8_t> bytes, const DocumentKey& key = Key(),
                      const Nonce* nonce = nullptr) {
    const auto Save = [&](const CFolderSequence& f, std::string_view layout) {
        return SaveDataToMemory(key, f, layout, nonce);
    };
    CMemorySource source(bytes);
    CFolderSequence folders;
    CMessageLog log;
    const LoadResult loaded = LoadData(source, key, folders, log);
    if (!loaded.ok) {
        Require(!log.messages.empty(), "a failed load tells the user why");
        return;
    }
    Require(log.messages.empty(), "a successful load shows no message");
    Require(loaded.version >= 0 && loaded.version <= kFileVersion, "only known versions load");
    Require(loaded.modified == (loaded.version < kFileVersion),
            "older versions are marked modified");

    const auto order = DisplayOrder(folders);
    Require(static_cast<int>(order.size()) == folders.Count(), "the tree shows every folder once");
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        FolderPath(folders, i);
    }

    const std::vector<std::uint8_t> saved = Save(folders, loaded.columnLayout);
    CMemorySource again(saved);
    CFolderSequence reloaded;
    const LoadResult second = LoadData(again, key, reloaded, log);
    Require(second.ok && second.version == kFileVersion && !second.modified,
            "a saved document opens again");
    Require(second.columnLayout == loaded.columnLayout, "the column layout survives a save");
    Require(reloaded.Count() == folders.Count(), "every folder survives a save");
    Require(Save(reloaded, second.columnLayout) == saved,
            "saving the reopened document gives the same bytes");

    // The JSON document is a faithful image of the file.
    const std::string json = ExportJson(folders, loaded.columnLayout, loaded.version);
    CFolderSequence imported;
    const JsonImportResult fromJson = ImportJson(json, imported);
    Require(fromJson.ok, "the JSON export imports");
    Require(Save(imported, fromJson.columnLayout) == saved, "the document survives JSON unchanged");
}

}  // namespace zelvant::fuzz
