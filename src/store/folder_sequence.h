#pragma once
// The folders of a document as one flat sequence in file order; each folder names its parent
// by position (FolderIndex), and a parent always stands before its children.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/file_protection.h"
#include "store/folder.h"
#include "store/record_arena.h"

namespace zelvant {

using FolderIndex = std::int32_t;
inline constexpr FolderIndex kTopLevel = -1;

class CFolderSequence {
  public:
    CFolderSequence() = default;
    CFolderSequence(const CFolderSequence&) = delete;
    CFolderSequence& operator=(const CFolderSequence&) = delete;
    ~CFolderSequence();

    int Count() const { return static_cast<int>(folders_.size()); }
    // None for an index outside 0..count-1.
    CFolder* FolderAt(FolderIndex index);
    const CFolder* FolderAt(FolderIndex index) const;

    // None when memory runs out.
    CFolder* AppendFolder();
    CFolder* InsertFolder(FolderIndex index);
    // The folder's records must already be gone.
    void RemoveFolder(FolderIndex index);

    // Removes the folder, every folder below it and all their records; parent indexes of the
    // remaining folders are renumbered so that each still names the same folder.
    // Returns false when there is no folder at index.
    bool DeleteFolderWithSubtree(FolderIndex index);

    // Inserts a folder directly behind its parent (or at the front for the top level, or when the
    // parent does not exist) and returns its index, or -1 when it cannot be created.
    FolderIndex AddChildFolder(std::string_view name, FolderIndex parent);

    // Every folder whose parent is at least `from` gets parent + 1 (up) or parent - 1 (down).
    void ShiftParentsUp(FolderIndex from);
    void ShiftParentsDown(FolderIndex from);

    // Appends a copy of a record to another folder. The copy keeps Created and the contents but
    // takes a fresh Modified and Reserved 0. False when anything is missing.
    bool CopyRecord(FolderIndex source, int recordIndex, FolderIndex target);

    // False when the folder is missing or the index out of range.
    bool RemoveRecord(FolderIndex folder, int recordIndex);

    int TotalRecordCount() const;

    // Removes every folder with its records, last first, and forgets the remembered key.
    void Clear();

    // Replaces this sequence's folders with those of `other`, which is left empty. The
    // remembered key stays: the document is the same, only its contents change.
    void TakeFolders(CFolderSequence& other);

    // Memory for the records and texts of a file being read into this sequence. It lives as long
    // as the folders do: Clear frees it after them and TakeFolders moves it with them.
    CRecordArena& NewArena(std::size_t firstBlock);

    // The key of the open file, kept so later saves need not ask for the password.
    DocumentKey& RememberedKey() { return rememberedKey_; }
    const DocumentKey& RememberedKey() const { return rememberedKey_; }

  private:
    std::vector<std::unique_ptr<CFolder>> folders_;
    std::vector<std::unique_ptr<CRecordArena>> arenas_;
    DocumentKey rememberedKey_;
};

// One folder in the order the folder tree shows it.
struct FolderNode {
    FolderIndex index;
    int depth;  // 0 for a top-level folder
};

// Depth first, each folder before its sub-folders, siblings sorted by name without regard to case
// (equal names keep their sequence order). A folder whose parent does not stand before it is
// shown at the top level. The folder tree, the popup, reports and the CLI all list folders so.
std::vector<FolderNode> DisplayOrder(const CFolderSequence& folders);

// The names from the top level down to the folder, joined by "/" (stored bytes, unconverted).
std::string FolderPath(const CFolderSequence& folders, FolderIndex index);

// The sub-folders of one folder (kTopLevel for the top) in display order.
std::vector<FolderIndex> ChildFolders(const CFolderSequence& folders, FolderIndex parent);

}  // namespace zelvant
