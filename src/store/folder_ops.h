#pragma once
// The folder commands of the tree as plain operations on the folder sequence, so that they can be
// checked without a window. The tree adds the dialogs, messages and redrawing around them.

#include <string_view>

#include "store/folder_sequence.h"

namespace zelvant {

// Inserts a folder directly behind `selected` (at the front when `selected` is not a folder),
// as its child, and opens the parent. Returns the new index, -1 when memory runs out.
FolderIndex NewFolder(CFolderSequence& folders, FolderIndex selected, std::string_view name);

struct FolderContents {
    int records = 0;  // of the folder and of every folder below it
    int folders = 0;  // below it at any depth
};
FolderContents CountContents(const CFolderSequence& folders, FolderIndex index);

// Removes the folder with its whole sub-tree and their records. False when there is no folder.
bool DeleteFolder(CFolderSequence& folders, FolderIndex index);

// The folder to select once `deleted` is gone: the same position, or the last folder when the
// position is now past the end; -1 when no folder is left.
FolderIndex SelectionAfterDelete(const CFolderSequence& folders, FolderIndex deleted);

// True when `index` is `root` or lies anywhere below it.
bool InSubtree(const CFolderSequence& folders, FolderIndex root, FolderIndex index);

// The parent the tree shows the folder under: -1 also for a parent that does not stand before it.
FolderIndex ShownParent(const CFolderSequence& folders, FolderIndex index);

enum class CopyOutcome {
    Done,
    CopyFailed,    // a folder or record of the copy could not be made; the source is untouched
    DeleteFailed,  // the copy is whole but the source could not be removed
    Refused,       // nothing changed: a folder is missing, or a move into the source's own sub-tree
};

struct CopyDetails {
    // The copy of the source itself; after a move, its position once the source has gone.
    FolderIndex copy = -1;
    // msg::kNoMemoryFolder or msg::kNoMemoryRecord when the copy ran out of memory.
    std::string_view noMemoryText;
};

// Appends a copy of the source's whole sub-tree under `target` (-1: top level), records included,
// and with `move` removes the source afterwards. A copy may go below the source itself: only the
// folders that existed before the copy began are copied.
CopyOutcome CopyFolder(CFolderSequence& folders, FolderIndex source, FolderIndex target, bool move,
                       CopyDetails* details = nullptr);

// Whether `dragged` may be dropped on `target` (-1: the root item). Not on its own parent, nor on
// itself or anything below it.
bool IsValidDropTarget(const CFolderSequence& folders, FolderIndex dragged, FolderIndex target);

}  // namespace zelvant
