#include "store/folder_ops.h"

#include <new>
#include <utility>
#include <vector>

#include "store/messages.h"

namespace zelvant {

namespace {

// Parents stand before their children, so one forward pass marks the whole sub-tree.
std::vector<bool> SubtreeMask(const CFolderSequence& folders, FolderIndex root) {
    std::vector<bool> mask(static_cast<std::size_t>(folders.Count()), false);
    mask[static_cast<std::size_t>(root)] = true;
    for (FolderIndex j = root + 1; j < folders.Count(); ++j) {
        const FolderIndex p = ShownParent(folders, j);
        mask[static_cast<std::size_t>(j)] = p >= root && mask[static_cast<std::size_t>(p)];
    }
    return mask;
}

}  // namespace

FolderIndex NewFolder(CFolderSequence& folders, FolderIndex selected, std::string_view name) {
    const FolderIndex parent = folders.FolderAt(selected) != nullptr ? selected : kTopLevel;
    return folders.AddChildFolder(name, parent);
}

FolderContents CountContents(const CFolderSequence& folders, FolderIndex index) {
    FolderContents contents;
    if (folders.FolderAt(index) == nullptr) {
        return contents;
    }
    const std::vector<bool> mask = SubtreeMask(folders, index);
    for (FolderIndex j = index; j < folders.Count(); ++j) {
        if (mask[static_cast<std::size_t>(j)]) {
            contents.records += folders.FolderAt(j)->RecordCount();
            contents.folders += j != index ? 1 : 0;
        }
    }
    return contents;
}

bool DeleteFolder(CFolderSequence& folders, FolderIndex index) {
    return folders.DeleteFolderWithSubtree(index);
}

FolderIndex SelectionAfterDelete(const CFolderSequence& folders, FolderIndex deleted) {
    if (folders.Count() == 0 || deleted < 0) {
        return kTopLevel;
    }
    return deleted < folders.Count() ? deleted : folders.Count() - 1;
}

bool InSubtree(const CFolderSequence& folders, FolderIndex root, FolderIndex index) {
    if (folders.FolderAt(root) == nullptr || folders.FolderAt(index) == nullptr) {
        return false;
    }
    // Each step goes to a lower index, so the walk ends even in a damaged sequence.
    for (FolderIndex i = index; i >= root; i = ShownParent(folders, i)) {
        if (i == root) {
            return true;
        }
    }
    return false;
}

FolderIndex ShownParent(const CFolderSequence& folders, FolderIndex index) {
    const CFolder* folder = folders.FolderAt(index);
    if (folder == nullptr) {
        return kTopLevel;
    }
    const FolderIndex p = folder->Parent();
    return p >= 0 && p < index ? p : kTopLevel;
}

CopyOutcome CopyFolder(CFolderSequence& folders, FolderIndex source, FolderIndex target, bool move,
                       CopyDetails* details) {
    CopyDetails local;
    CopyDetails& out = details != nullptr ? *details : local;
    out = CopyDetails{};
    if (folders.FolderAt(source) == nullptr ||
        (target != kTopLevel && folders.FolderAt(target) == nullptr) ||
        (move && InSubtree(folders, source, target))) {
        return CopyOutcome::Refused;
    }

    const FolderIndex copyRoot = folders.Count();
    int subtreeSize = 0;
    std::string_view shortOf = msg::kNoMemoryFolder;
    try {
        // The sub-tree is listed before anything is appended: a copy placed below the source
        // must not be found again as one of the folders still to copy.
        const std::vector<bool> mask = SubtreeMask(folders, source);
        std::vector<std::vector<FolderIndex>> children(
            static_cast<std::size_t>(folders.Count() - source));
        for (FolderIndex j = source + 1; j < folders.Count(); ++j) {
            if (mask[static_cast<std::size_t>(j)]) {
                const FolderIndex p = ShownParent(folders, j);
                children[static_cast<std::size_t>(p - source)].push_back(j);
            }
        }

        // Depth first with each folder's children in sequence order; an explicit stack, as a
        // long chain of folders must not exhaust the native one.
        std::vector<std::pair<FolderIndex, FolderIndex>> pending{{source, target}};
        while (!pending.empty()) {
            const auto [original, newParent] = pending.back();
            pending.pop_back();
            shortOf = msg::kNoMemoryFolder;
            CFolder* copy = folders.AppendFolder();
            if (copy == nullptr) {
                out.noMemoryText = shortOf;
                return CopyOutcome::CopyFailed;
            }
            const FolderIndex copyIndex = folders.Count() - 1;
            if (out.copy < 0) {
                out.copy = copyIndex;
            }
            copy->SetName(folders.FolderAt(original)->Name());
            copy->SetParent(newParent);
            ++subtreeSize;

            shortOf = msg::kNoMemoryRecord;
            const int records = folders.FolderAt(original)->RecordCount();
            for (int r = 0; r < records; ++r) {
                if (!folders.CopyRecord(original, r, copyIndex)) {
                    out.noMemoryText = shortOf;
                    return CopyOutcome::CopyFailed;
                }
            }

            shortOf = msg::kNoMemoryFolder;
            const auto& kids = children[static_cast<std::size_t>(original - source)];
            for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
                pending.emplace_back(*it, copyIndex);
            }
        }
    } catch (const std::bad_alloc&) {
        out.noMemoryText = shortOf;
        return CopyOutcome::CopyFailed;
    }

    if (move) {
        if (!folders.DeleteFolderWithSubtree(source)) {
            return CopyOutcome::DeleteFailed;
        }
        // The whole source sub-tree stood before the copy.
        out.copy = copyRoot - subtreeSize;
    }
    return CopyOutcome::Done;
}

bool IsValidDropTarget(const CFolderSequence& folders, FolderIndex dragged, FolderIndex target) {
    if (folders.FolderAt(dragged) == nullptr ||
        (target != kTopLevel && folders.FolderAt(target) == nullptr)) {
        return false;
    }
    return target != ShownParent(folders, dragged) && !InSubtree(folders, dragged, target);
}

}  // namespace zelvant
