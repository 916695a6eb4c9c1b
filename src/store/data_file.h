#pragma once
// Loading and saving a whole data file: signature, version, column layout, then the folders in
// sequence order, each followed by its records.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/file_protection.h"
#include "store/folder_sequence.h"
#include "store/messages.h"
#include "store/value_stream.h"

namespace zelvant {

struct LoadResult {
    bool ok = false;
    std::int32_t version = 0;
    std::string columnLayout;  // empty for files older than the current version
    bool modified = false;     // an older version was read: the next save rewrites it
};

// Appends the file's folders to `folders` (the caller clears it before and after a failure;
// folders read before a failure stay). Failures are told through `messages`.
// `name` names the file in messages about read errors. The file is read in the key's form; a
// sealed file is checked whole before anything of it is appended.
LoadResult LoadData(IByteSource& source, const DocumentKey& key, CFolderSequence& folders,
                    IMessageSink& messages, std::string_view name = "the file");
LoadResult LoadDataFile(const std::string& path, const DocumentKey& key, CFolderSequence& folders,
                        IMessageSink& messages);

// The plaintext bytes of the item sequence: what a sealed file's payload holds.
std::uint64_t PlainSize(const CFolderSequence& folders, std::string_view columnLayout);

// Writes in the key's form; a sealed file gets `nonce`, or a fresh random one when null.
bool SaveData(IByteSink& sink, const DocumentKey& key, const CFolderSequence& folders,
              std::string_view columnLayout, const Nonce* nonce = nullptr);
std::vector<std::uint8_t> SaveDataToMemory(const DocumentKey& key, const CFolderSequence& folders,
                                           std::string_view columnLayout,
                                           const Nonce* nonce = nullptr);

// Writes the file in place (creating or truncating it).
bool SaveDataFile(const std::string& path, const DocumentKey& key, const CFolderSequence& folders,
                  std::string_view columnLayout, IMessageSink& messages);

// Never leaves the user without a good copy: writes a new file beside `path`, flushes it to disk,
// then renames it over `path`. A new file is readable by its owner only; a replaced file keeps its
// permissions. On failure the temporary file is removed and `path` is untouched.
bool SaveDataFileSafely(const std::string& path, const DocumentKey& key,
                        const CFolderSequence& folders, std::string_view columnLayout,
                        IMessageSink& messages);

enum class SaveStep { None, Write, Backup, Replace };

struct SafeSaveResult {
    SaveStep failed = SaveStep::None;
    int error = 0;  // errno of a failed backup or replace step
    bool Ok() const { return failed == SaveStep::None; }
};

// SaveDataFileSafely that also keeps the file found at `path` as `backupPath` (none when empty,
// when no regular file is there, or when the backup name is the file itself). The backup is taken
// only once the new content is on disk, as a hard link (or a flushed copy) renamed over any older
// backup, so the old or the new file is always complete at `path`. Write failures are reported
// through `messages`; a failed backup or replace is only returned, for the caller to word.
// Temporaries are named "." + file name + ".tmp-" + 6 characters; a process killed mid-save
// cannot remove its own, so each successful save removes such leftovers older than a minute.
SafeSaveResult SaveDataFileWithBackup(const std::string& path, const std::string& backupPath,
                                      const DocumentKey& key, const CFolderSequence& folders,
                                      std::string_view columnLayout, IMessageSink& messages);

// What the first bytes of the file at `path` say: its form, and a sealed file's header. A sealed
// file whose header cannot be read is refused here, before any key is derived, with the message
// for a damaged file; so is a file that cannot be read at all, with the system's message.
enum class FileCheck { Legacy, Sealed, Failed };
FileCheck CheckDataFile(const std::string& path, SealedHeader& header, IMessageSink& messages);

}  // namespace zelvant
