// The folder commands of the tree on the folder sequence alone.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "store/folder_ops.h"

namespace zelvant {
namespace {

struct FolderDef {
    std::string name;
    FolderIndex parent = kTopLevel;
    int expanded = 0;
    int records = 0;
};

// Replaces the contents. Records are named "<folder>.<n>" so that copies can be traced back.
void Fill(CFolderSequence& folders, const std::vector<FolderDef>& defs) {
    folders.Clear();
    for (const FolderDef& def : defs) {
        CFolder* folder = folders.AppendFolder();
        folder->SetName(def.name);
        folder->SetParent(def.parent);
        folder->SetExpanded(def.expanded);
        for (int r = 0; r < def.records; ++r) {
            CRecord* record = folder->AppendRecord();
            record->SetText(RecordField::SiteName, def.name + "." + std::to_string(r));
            record->SetInt(RecordField::Reserved, 7);
        }
    }
}

std::string Name(const CFolderSequence& folders, FolderIndex i) {
    const CFolder* f = folders.FolderAt(i);
    return f != nullptr ? std::string(f->Name()) : "<top>";
}

std::string ParentName(const CFolderSequence& folders, FolderIndex i) {
    return Name(folders, folders.FolderAt(i)->Parent());
}

// A folder with its records and, in sequence order, its sub-folders, as one text.
std::string Shape(const CFolderSequence& folders, FolderIndex index) {
    const CFolder* folder = folders.FolderAt(index);
    std::string out = Name(folders, index) + "[";
    for (int r = 0; r < folder->RecordCount(); ++r) {
        out += std::string(folder->RecordAt(r)->GetText(RecordField::SiteName)) + ",";
    }
    out += "]{";
    for (FolderIndex j = index + 1; j < folders.Count(); ++j) {
        out += ShownParent(folders, j) == index ? Shape(folders, j) + ";" : std::string();
    }
    return out + "}";
}

// name(parent,expanded,records) per position, with "!" where a parent stands behind its child.
std::string Dump(const CFolderSequence& folders) {
    std::string out;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const CFolder* f = folders.FolderAt(i);
        const bool misplaced = f->Parent() < kTopLevel || f->Parent() >= i;
        out += Name(folders, i) + "(" + std::to_string(f->Parent()) + "," +
               std::to_string(f->Expanded()) + "," + std::to_string(f->RecordCount()) + ")" +
               (misplaced ? "! " : " ");
    }
    return out;
}

// Bank{Cards{Visa}, Loans}, Mail{Work}
const std::vector<FolderDef> kSmallTree = {{"Bank", -1, 1, 1}, {"Cards", 0, 0, 2},
                                           {"Visa", 1, 0, 1},  {"Loans", 0, 0, 0},
                                           {"Mail", -1, 0, 1}, {"Work", 4, 0, 3}};

// Src (1) with three levels below it, records at every level, and a sibling behind a gap (A2).
const std::vector<FolderDef> kThreeLevels = {
    {"Other", -1, 0, 1}, {"Src", -1, 1, 2}, {"A", 1, 0, 1},    {"A1", 2, 0, 2},
    {"B", 1, 0, 0},      {"A2", 2, 0, 1},   {"B1", 4, 0, 1},   {"C", 1, 1, 3},
    {"C1", 7, 0, 0},     {"C1a", 8, 0, 2},  {"Tail", -1, 0, 0}};

TEST(FolderOps, NewFolderPlacementShiftsParents) {
    CFolderSequence folders;
    Fill(folders, kSmallTree);
    EXPECT_EQ(NewFolder(folders, 1, ""), 2);  // behind Cards, which it opens
    EXPECT_EQ(Dump(folders), std::string("Bank(-1,1,1) Cards(0,1,2) (1,0,0) Visa(1,0,1) "
                                         "Loans(0,0,0) Mail(-1,0,1) Work(5,0,3) "));
    // Nothing selected, or an index without a folder: first at top level.
    EXPECT_EQ(NewFolder(folders, kTopLevel, "New"), 0);
    EXPECT_EQ(NewFolder(folders, 42, "Newer"), 0);
    EXPECT_EQ(Dump(folders), std::string("Newer(-1,0,0) New(-1,0,0) Bank(-1,1,1) Cards(2,1,2) "
                                         "(3,0,0) Visa(3,0,1) Loans(2,0,0) Mail(-1,0,1) "
                                         "Work(7,0,3) "));
}

TEST(FolderOps, CountAndDelete) {
    CFolderSequence folders;
    Fill(folders, kThreeLevels);
    EXPECT_TRUE(CountContents(folders, 1).folders == 8 && CountContents(folders, 1).records == 12);
    EXPECT_TRUE(CountContents(folders, 9).folders == 0 && CountContents(folders, 9).records == 2);

    Fill(folders, kSmallTree);
    EXPECT_TRUE(DeleteFolder(folders, 1));  // Cards with Visa
    EXPECT_EQ(Dump(folders), std::string("Bank(-1,1,1) Loans(0,0,0) Mail(-1,0,1) Work(2,0,3) "));
    EXPECT_FALSE(DeleteFolder(folders, 9));
    EXPECT_FALSE(DeleteFolder(folders, -1));
    // The same position is selected next, the new last one past the end, nothing once empty.
    EXPECT_TRUE(SelectionAfterDelete(folders, 1) == 1 && SelectionAfterDelete(folders, 4) == 3);
    EXPECT_EQ(SelectionAfterDelete(CFolderSequence(), 0), kTopLevel);
}

TEST(FolderOps, CopyKeepsTheShapeRecordsAndSource) {
    CFolderSequence folders;
    Fill(folders, kThreeLevels);
    const std::string before = Dump(folders);
    const std::string shape = Shape(folders, 1);
    CopyDetails details;
    EXPECT_EQ(CopyFolder(folders, 1, 10, false, &details), CopyOutcome::Done);
    EXPECT_EQ(Dump(folders).substr(0, before.size()), before);
    EXPECT_EQ(details.copy, 11);
    EXPECT_EQ(Shape(folders, 11), shape);
    // Depth first, children in sequence order, all collapsed.
    EXPECT_EQ(Dump(folders).substr(before.size()),
              std::string("Src(10,0,2) A(11,0,1) A1(12,0,2) A2(12,0,1) B(11,0,0) "
                          "B1(15,0,1) C(11,0,3) C1(17,0,0) C1a(18,0,2) "));
    // Record copies clear Reserved.
    EXPECT_EQ(folders.FolderAt(13)->RecordAt(1)->GetInt(RecordField::Reserved), 0);

    // Below its own descendant: the new folders are not copied again.
    Fill(folders, kThreeLevels);
    EXPECT_EQ(CopyFolder(folders, 1, 9, false, &details), CopyOutcome::Done);
    EXPECT_EQ(folders.Count(), 11 + 9);
    EXPECT_EQ(ParentName(folders, details.copy), std::string("C1a"));
    EXPECT_EQ(Shape(folders, details.copy), shape);
}

TEST(FolderOps, MoveLeavesExactlyOneSubtree) {
    CFolderSequence folders;
    Fill(folders, kThreeLevels);
    const std::string shape = Shape(folders, 1);
    const std::string before = Dump(folders);
    // Into itself or its sub-tree, or with a folder missing.
    for (const auto& [from, to] :
         {std::pair{1, 1}, std::pair{1, 2}, std::pair{1, 9}, std::pair{42, 0}, std::pair{1, 42}}) {
        EXPECT_EQ(CopyFolder(folders, from, to, true), CopyOutcome::Refused);
    }
    EXPECT_EQ(Dump(folders), before);

    CopyDetails details;
    EXPECT_EQ(CopyFolder(folders, 1, 0, true, &details), CopyOutcome::Done);
    EXPECT_EQ(folders.Count(), 11);
    EXPECT_EQ(Shape(folders, details.copy), shape);
    EXPECT_EQ(Dump(folders).substr(0, 33), std::string("Other(-1,0,1) Tail(-1,0,0) Src(0,"));
}

TEST(FolderOps, RandomCopiesAndMovesKeepTheTreeWhole) {
    std::mt19937 rng(77);
    const auto pick = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    for (int round = 0; round < 300; ++round) {
        CFolderSequence folders;
        std::vector<FolderDef> defs;
        std::vector<std::string> parentOf;  // by the number in the name
        for (int j = 0; j <= round % 20; ++j) {
            const int p = pick(-1, j - 1);
            defs.push_back({"F" + std::to_string(j), p, j % 2, pick(0, 2)});
            parentOf.push_back(p < 0 ? "<top>" : "F" + std::to_string(p));
        }
        Fill(folders, defs);
        const int count = folders.Count();
        const FolderIndex source = pick(0, count - 1);
        const FolderIndex target = pick(-1, count - 1);
        const bool move = round % 2 == 1;
        const std::string shape = Shape(folders, source);
        const int added = move ? 0 : CountContents(folders, source).folders + 1;
        const std::string targetName = Name(folders, target);
        const bool refused = move && InSubtree(folders, source, target);

        CopyDetails details;
        EXPECT_EQ(CopyFolder(folders, source, target, move, &details),
                  refused ? CopyOutcome::Refused : CopyOutcome::Done);
        EXPECT_EQ(Dump(folders).find('!'), std::string::npos);
        EXPECT_EQ(folders.Count(), count + added);
        if (refused) {
            continue;
        }
        EXPECT_EQ(Shape(folders, details.copy), shape);
        // After a move every other folder keeps its parent, which checks the renumbering.
        for (FolderIndex i = move ? 0 : details.copy; i < folders.Count(); ++i) {
            EXPECT_EQ(
                ParentName(folders, i),
                i == details.copy ? targetName : parentOf[std::stoul(Name(folders, i).substr(1))]);
        }
    }
}

TEST(FolderOps, DropTargets) {
    CFolderSequence folders;
    Fill(folders, kSmallTree);
    // Cards (1): not on its parent Bank (0), itself, or Visa (2) below it; a top-level
    // folder not on the root; nothing for missing folders.
    const std::pair<int, int> refused[] = {{1, 0}, {1, 1}, {1, 2}, {0, 2}, {0, -1}, {9, 0}, {1, 9}};
    for (const auto& [dragged, target] : refused) {
        EXPECT_FALSE(IsValidDropTarget(folders, dragged, target));
    }
    // The root, a sibling, a grandparent.
    EXPECT_TRUE(IsValidDropTarget(folders, 1, kTopLevel) && IsValidDropTarget(folders, 1, 3) &&
                IsValidDropTarget(folders, 2, 0));

    // A parent that does not stand before its child counts as top level.
    Fill(folders, {{"a"}, {"b", 5}, {"c", 1}});
    EXPECT_EQ(ShownParent(folders, 1), kTopLevel);
    EXPECT_FALSE(IsValidDropTarget(folders, 1, kTopLevel));
    EXPECT_TRUE(InSubtree(folders, 1, 2) && !InSubtree(folders, 0, 1));
}
}  // namespace
}  // namespace zelvant
