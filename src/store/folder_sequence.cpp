#include "store/folder_sequence.h"

#include <algorithm>
#include <new>

#include "store/text_codec.h"

namespace zelvant {

CFolderSequence::~CFolderSequence() {
    Clear();
}

CFolder* CFolderSequence::FolderAt(FolderIndex index) {
    return index >= 0 && index < Count() ? folders_[static_cast<std::size_t>(index)].get()
                                         : nullptr;
}

const CFolder* CFolderSequence::FolderAt(FolderIndex index) const {
    return const_cast<CFolderSequence*>(this)->FolderAt(index);
}

CFolder* CFolderSequence::AppendFolder() {
    return InsertFolder(Count());
}

CFolder* CFolderSequence::InsertFolder(FolderIndex index) {
    if (index < 0 || index > Count()) {
        return nullptr;
    }
    try {
        auto folder = std::make_unique<CFolder>();
        CFolder* raw = folder.get();
        folders_.insert(folders_.begin() + index, std::move(folder));
        return raw;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void CFolderSequence::RemoveFolder(FolderIndex index) {
    if (index >= 0 && index < Count()) {
        folders_.erase(folders_.begin() + index);
    }
}

bool CFolderSequence::DeleteFolderWithSubtree(FolderIndex index) {
    if (FolderAt(index) == nullptr) {
        return false;
    }
    // Parents stand before their children, so one forward pass finds the whole subtree. Removing
    // from the highest index down keeps every lower index valid, without recursion.
    std::vector<bool> inSubtree(folders_.size(), false);
    inSubtree[static_cast<std::size_t>(index)] = true;
    for (FolderIndex j = index + 1; j < Count(); ++j) {
        const FolderIndex p = folders_[static_cast<std::size_t>(j)]->Parent();
        inSubtree[static_cast<std::size_t>(j)] =
            p >= index && p < j && inSubtree[static_cast<std::size_t>(p)];
    }
    for (FolderIndex j = Count() - 1; j >= index; --j) {
        if (inSubtree[static_cast<std::size_t>(j)]) {
            folders_[static_cast<std::size_t>(j)]->RemoveAllRecords();
            ShiftParentsDown(j);
            RemoveFolder(j);
        }
    }
    return true;
}

FolderIndex CFolderSequence::AddChildFolder(std::string_view name, FolderIndex parent) {
    FolderIndex pos = 0;
    if (!folders_.empty() && parent != kTopLevel && FolderAt(parent) != nullptr) {
        pos = parent + 1;
    } else {
        parent = kTopLevel;
    }
    CFolder* folder = InsertFolder(pos);
    if (folder == nullptr) {
        return -1;
    }
    folder->SetParent(parent);
    if (parent != kTopLevel) {
        FolderAt(parent)->SetExpanded(1);
    }
    folder->SetName(name);
    ShiftParentsUp(pos);
    return pos;
}

void CFolderSequence::ShiftParentsUp(FolderIndex from) {
    for (auto& f : folders_) {
        if (f->Parent() >= from) {
            f->SetParent(f->Parent() + 1);
        }
    }
}

void CFolderSequence::ShiftParentsDown(FolderIndex from) {
    for (auto& f : folders_) {
        if (f->Parent() >= from) {
            f->SetParent(f->Parent() - 1);
        }
    }
}

bool CFolderSequence::CopyRecord(FolderIndex source, int recordIndex, FolderIndex target) {
    const CFolder* from = FolderAt(source);
    CFolder* to = FolderAt(target);
    if (from == nullptr || to == nullptr) {
        return false;
    }
    const CRecord* src = from->RecordAt(recordIndex);
    if (src == nullptr) {
        return false;
    }
    CRecord* copy = to->AppendRecord();
    if (copy == nullptr) {
        return false;
    }
    for (const auto& info : AllFields()) {
        const RecordField f = info.field;
        if (f == RecordField::Modified || f == RecordField::Reserved) {
            continue;
        }
        switch (info.kind) {
            case FieldKind::Text:
                copy->SetText(f, src->GetText(f));
                break;
            case FieldKind::Integer:
                copy->SetInt(f, src->GetInt(f));
                break;
            case FieldKind::Date:
                copy->SetDate(f, src->GetDate(f));
                break;
        }
    }
    return true;
}

bool CFolderSequence::RemoveRecord(FolderIndex folder, int recordIndex) {
    CFolder* f = FolderAt(folder);
    return f != nullptr && f->RemoveRecord(recordIndex);
}

int CFolderSequence::TotalRecordCount() const {
    int total = 0;
    for (const auto& f : folders_) {
        total += f->RecordCount();
    }
    return total;
}

void CFolderSequence::Clear() {
    while (!folders_.empty()) {
        folders_.back()->RemoveAllRecordsBeforeTheirArenas();
        folders_.pop_back();
    }
    arenas_.clear();  // only once nothing in them is left; each wipes all it handed out
    rememberedKey_.Clear();
}

void CFolderSequence::TakeFolders(CFolderSequence& other) {
    const DocumentKey key = rememberedKey_;
    Clear();
    rememberedKey_ = key;
    folders_ = std::move(other.folders_);
    other.folders_.clear();
    arenas_ = std::move(other.arenas_);
    other.arenas_.clear();
}

CRecordArena& CFolderSequence::NewArena(std::size_t firstBlock) {
    arenas_.push_back(std::make_unique<CRecordArena>(firstBlock));
    return *arenas_.back();
}

namespace {

std::vector<std::vector<FolderIndex>> SortedChildren(const CFolderSequence& folders) {
    // Slot 0 holds the top level, slot i + 1 the children of folder i.
    std::vector<std::vector<FolderIndex>> children(static_cast<std::size_t>(folders.Count()) + 1);
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const FolderIndex p = folders.FolderAt(i)->Parent();
        const bool valid = p >= 0 && p < i;
        children[valid ? static_cast<std::size_t>(p) + 1 : 0].push_back(i);
    }
    for (auto& list : children) {
        std::stable_sort(list.begin(), list.end(), [&](FolderIndex a, FolderIndex b) {
            return CompareNoCase(folders.FolderAt(a)->Name(), folders.FolderAt(b)->Name()) < 0;
        });
    }
    return children;
}

}  // namespace

std::vector<FolderNode> DisplayOrder(const CFolderSequence& folders) {
    const auto children = SortedChildren(folders);
    std::vector<FolderNode> order;
    order.reserve(static_cast<std::size_t>(folders.Count()));
    // Explicit stack: a deep chain of folders must not exhaust the native one.
    std::vector<FolderNode> stack;
    for (auto it = children[0].rbegin(); it != children[0].rend(); ++it) {
        stack.push_back({*it, 0});
    }
    while (!stack.empty()) {
        const FolderNode node = stack.back();
        stack.pop_back();
        order.push_back(node);
        const auto& kids = children[static_cast<std::size_t>(node.index) + 1];
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            stack.push_back({*it, node.depth + 1});
        }
    }
    return order;
}

std::string FolderPath(const CFolderSequence& folders, FolderIndex index) {
    std::vector<FolderIndex> chain;
    // Parents stand before children, so the walk up ends; the guard covers damaged sequences.
    for (FolderIndex i = index; folders.FolderAt(i) != nullptr &&
                                chain.size() <= static_cast<std::size_t>(folders.Count());
         i = folders.FolderAt(i)->Parent() < i ? folders.FolderAt(i)->Parent() : kTopLevel) {
        chain.push_back(i);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) {
            path += '/';
        }
        path += folders.FolderAt(*it)->Name();
    }
    return path;
}

std::vector<FolderIndex> ChildFolders(const CFolderSequence& folders, FolderIndex parent) {
    if (parent != kTopLevel && folders.FolderAt(parent) == nullptr) {
        return {};
    }
    auto children = SortedChildren(folders);
    return std::move(children[static_cast<std::size_t>(parent) + 1]);
}

}  // namespace zelvant
