#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "store/folder_sequence.h"

namespace zelvant {
namespace {

// Folders named "0".."n-1" with the given parents, each holding one record named after it.
void Build(CFolderSequence& seq, const std::vector<FolderIndex>& parents) {
    for (std::size_t i = 0; i < parents.size(); ++i) {
        CFolder* f = seq.AppendFolder();
        f->SetName(std::to_string(i));
        f->SetParent(parents[i]);
        f->AppendRecord()->SetText(RecordField::SiteName, "r" + std::to_string(i));
    }
}

std::vector<FolderIndex> Parents(const CFolderSequence& seq) {
    std::vector<FolderIndex> out;
    for (FolderIndex i = 0; i < seq.Count(); ++i) {
        out.push_back(seq.FolderAt(i)->Parent());
    }
    return out;
}

// name -> parent's name ("" at the top level): what the tree shows, whatever the indexes.
std::map<std::string, std::string> Shape(const CFolderSequence& seq) {
    std::map<std::string, std::string> shape;
    for (FolderIndex i = 0; i < seq.Count(); ++i) {
        const FolderIndex p = seq.FolderAt(i)->Parent();
        shape[seq.FolderAt(i)->Name()] = p == kTopLevel ? "" : seq.FolderAt(p)->Name();
    }
    return shape;
}

TEST(RecordTest, NewRecordDefaults) {
    const CRecord r(DateTimeValue{45000.75, 0});
    for (const auto& info : AllFields()) {
        if (info.kind == FieldKind::Text) {
            EXPECT_EQ(r.GetText(info.field), "") << info.label;
        }
    }
    EXPECT_EQ(r.GetInt(RecordField::HasExpiry), 0);
    EXPECT_EQ(r.GetInt(RecordField::Reserved), 0);
    EXPECT_EQ(r.GetDate(RecordField::Created), r.GetDate(RecordField::Modified));
    EXPECT_EQ(r.GetDate(RecordField::ExpiresOn).oa, 45000.0);

    const CRecord now;
    const auto created = ToCivil(now.GetDate(RecordField::Created));
    const auto expires = ToCivil(now.GetDate(RecordField::ExpiresOn));
    ASSERT_TRUE(created && expires);
    EXPECT_EQ(created->day, expires->day);
    EXPECT_EQ(expires->hour + expires->minute + expires->second, 0);
}

TEST(FolderSequenceTest, CopyRecordKeepsCreatedButNotModifiedOrReserved) {
    CFolderSequence seq;
    Build(seq, {-1, -1});
    CRecord& src = *seq.FolderAt(0)->RecordAt(0);
    src.SetText(RecordField::Password, "pw");
    src.SetText(RecordField::Notes, "n");
    src.SetInt(RecordField::Reserved, 9);
    src.SetInt(RecordField::HasExpiry, 1);
    src.SetDate(RecordField::Created, {100.5, 0});
    src.SetDate(RecordField::Modified, {200.5, 0});
    src.SetDate(RecordField::ExpiresOn, {300.0, 0});

    ASSERT_TRUE(seq.CopyRecord(0, 0, 1));
    const CRecord& copy = *seq.FolderAt(1)->RecordAt(1);
    EXPECT_EQ(copy.GetText(RecordField::Password), "pw");
    EXPECT_EQ(copy.GetText(RecordField::SiteName), "r0");
    EXPECT_EQ(copy.GetText(RecordField::Notes), "n");
    EXPECT_EQ(copy.GetInt(RecordField::HasExpiry), 1);
    EXPECT_EQ(copy.GetDate(RecordField::Created).oa, 100.5);
    EXPECT_EQ(copy.GetDate(RecordField::ExpiresOn).oa, 300.0);
    EXPECT_NE(copy.GetDate(RecordField::Modified).oa, 200.5);
    EXPECT_EQ(copy.GetInt(RecordField::Reserved), 0);

    EXPECT_FALSE(seq.CopyRecord(0, 5, 1));
    EXPECT_FALSE(seq.CopyRecord(0, -1, 1));
    EXPECT_FALSE(seq.CopyRecord(7, 0, 1));
    EXPECT_FALSE(seq.CopyRecord(0, 0, 2));
    EXPECT_EQ(seq.FolderAt(1)->RecordCount(), 2);

    EXPECT_FALSE(seq.RemoveRecord(1, 2));
    EXPECT_FALSE(seq.RemoveRecord(5, 0));
    EXPECT_TRUE(seq.RemoveRecord(1, 0));
    EXPECT_EQ(seq.FolderAt(1)->RecordAt(0)->GetText(RecordField::Password), "pw");
}

TEST(FolderSequenceTest, AddChildInsertsBehindParentAndShiftsLaterParents) {
    CFolderSequence seq;
    Build(seq, {-1, 0, -1, 2, 3});
    EXPECT_EQ(seq.AddChildFolder("new", 2), 3);
    EXPECT_EQ(seq.FolderAt(3)->Name(), "new");
    EXPECT_EQ(seq.FolderAt(2)->Expanded(), 1);
    EXPECT_EQ(Parents(seq), (std::vector<FolderIndex>{-1, 0, -1, 2, 2, 4}));

    EXPECT_EQ(seq.AddChildFolder("top", kTopLevel), 0);
    EXPECT_EQ(Parents(seq), (std::vector<FolderIndex>{-1, -1, 1, -1, 3, 3, 5}));
    // A parent that does not exist gives a top-level folder.
    EXPECT_EQ(seq.AddChildFolder("stray", 99), 0);
    EXPECT_EQ(seq.FolderAt(0)->Parent(), kTopLevel);

    CFolderSequence empty;
    EXPECT_EQ(empty.AddChildFolder("first", 3), 0);
    EXPECT_EQ(empty.FolderAt(0)->Parent(), kTopLevel);
}

// On random trees: the subtree goes, with its records, and the rest keeps its shape.
TEST(FolderSequenceTest, DeleteWithSubtreeKeepsEveryOtherParent) {
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + static_cast<int>(rng() % 25);
        std::vector<FolderIndex> parents;
        for (int i = 0; i < n; ++i) {
            parents.push_back(i == 0 || rng() % 4 == 0 ? -1 : static_cast<FolderIndex>(rng() % i));
        }
        CFolderSequence seq;
        Build(seq, parents);
        const auto before = Shape(seq);
        const FolderIndex victim = static_cast<FolderIndex>(rng() % n);

        std::vector<bool> doomed(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            doomed[i] = i == victim || (parents[i] >= 0 && doomed[parents[i]]);
        }
        ASSERT_TRUE(seq.DeleteFolderWithSubtree(victim));

        std::map<std::string, std::string> expected;
        for (int i = 0; i < n; ++i) {
            if (!doomed[i]) {
                expected[std::to_string(i)] = before.at(std::to_string(i));
            }
        }
        ASSERT_EQ(Shape(seq), expected) << "round " << round;
        for (FolderIndex i = 0; i < seq.Count(); ++i) {
            ASSERT_LT(seq.FolderAt(i)->Parent(), i);
            ASSERT_EQ(seq.FolderAt(i)->RecordAt(0)->GetText(RecordField::SiteName),
                      "r" + seq.FolderAt(i)->Name());
        }
    }
    CFolderSequence seq;
    EXPECT_FALSE(seq.DeleteFolderWithSubtree(0));
}

TEST(FolderSequenceTest, ClearEmptiesTheSequenceAndTheRememberedKey) {
    CFolderSequence seq;
    for (const std::vector<FolderIndex>& parents : {std::vector<FolderIndex>{}, {-1, 0}}) {
        Build(seq, parents);
        seq.RememberedKey() = MakeFileKey("pw");
        seq.Clear();
        EXPECT_EQ(seq.Count(), 0);
        EXPECT_TRUE(seq.RememberedKey().Empty());
    }
}

TEST(DisplayOrderTest, SiblingsSortWithoutCaseEachFolderBeforeItsChildren) {
    CFolderSequence seq;
    const char* names[] = {"work", "Banking", "cards", "Zeta", "alpha", "Sub", "Beta", "banking"};
    const FolderIndex parents[] = {-1, -1, 1, -1, -1, 0, 0, -1};
    for (int i = 0; i < 8; ++i) {
        CFolder* f = seq.AppendFolder();
        f->SetName(names[i]);
        f->SetParent(parents[i]);
    }
    std::vector<std::string> shown;
    for (const FolderNode& node : DisplayOrder(seq)) {
        shown.push_back(std::string(node.depth * 2, ' ') + seq.FolderAt(node.index)->Name());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"alpha", "Banking", "  cards", "banking", "work",
                                               "  Beta", "  Sub", "Zeta"}));
    EXPECT_EQ(ChildFolders(seq, 0), (std::vector<FolderIndex>{6, 5}));
    EXPECT_EQ(ChildFolders(seq, kTopLevel), (std::vector<FolderIndex>{4, 1, 7, 0, 3}));
    EXPECT_TRUE(ChildFolders(seq, 42).empty());
    EXPECT_EQ(FolderPath(seq, 2), "Banking/cards");
    EXPECT_EQ(FolderPath(seq, 3), "Zeta");
}

TEST(DisplayOrderTest, DeepChainsAndBrokenParents) {
    CFolderSequence seq;
    const int depth = 200000;
    for (int i = 0; i < depth; ++i) {
        seq.AppendFolder()->SetParent(i - 1);
    }
    const auto order = DisplayOrder(seq);
    ASSERT_EQ(order.size(), static_cast<std::size_t>(depth));
    EXPECT_EQ(order.back().depth, depth - 1);

    // A parent that does not stand before its folder shows the folder at the top level.
    CFolderSequence broken;
    broken.AppendFolder()->SetParent(1);
    broken.AppendFolder()->SetParent(-1);
    const auto shown = DisplayOrder(broken);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].depth, 0);
    EXPECT_EQ(shown[1].depth, 0);
}

}  // namespace
}  // namespace zelvant
