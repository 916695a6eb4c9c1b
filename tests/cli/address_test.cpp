#include "cli/address.h"

#include <gtest/gtest.h>

#include "cli/commands.h"

namespace zelvant::cli {
namespace {

// Top: "Bank" (0) with sub "Cards" (1); "Bank" again (2); "a/b" (3) and "a" (4) with sub "b" (5).
class AddressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Add("Bank", kTopLevel, {"Visa", "Visa", "Amex"});
        Add("Cards", 0, {"Gold"});
        Add("Bank", kTopLevel, {});
        Add("a/b", kTopLevel, {"c"});
        Add("a", kTopLevel, {"b/c"});
        Add("b", 4, {});
        Add("Caf\xE9", kTopLevel, {"M\xFCnchen"});
    }

    void Add(std::string_view name, FolderIndex parent, std::initializer_list<const char*> sites) {
        CFolder* f = seq.AppendFolder();
        f->SetName(name);
        f->SetParent(parent);
        for (const char* s : sites) {
            f->AppendRecord()->SetText(RecordField::SiteName, s);
        }
    }

    CFolderSequence seq;
};

TEST_F(AddressTest, IndexesNameFoldersAndRecords) {
    EXPECT_EQ(ResolveFolder(seq, "#1").folder, 1);
    const Resolved r = ResolveRecord(seq, "#0/2");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.folder, 0);
    EXPECT_EQ(r.record, 2);
    EXPECT_EQ(FormatAddress(3), "#3");
    EXPECT_EQ(FormatAddress(3, 0), "#3/0");

    EXPECT_EQ(ResolveFolder(seq, "#9").error, "no folder #9");
    EXPECT_EQ(ResolveRecord(seq, "#1/1").error, "folder #1 has no record 1");
    EXPECT_EQ(ResolveRecord(seq, "#99999999999/0").error, "no record \"#99999999999/0\"");
    EXPECT_FALSE(ResolveRecord(seq, "#1").ok);
    EXPECT_FALSE(ResolveFolder(seq, "#1/0").ok);
}

TEST_F(AddressTest, PathsMatchShownNamesExactly) {
    const Resolved gold = ResolveRecord(seq, "Bank/Cards/Gold");
    ASSERT_TRUE(gold.ok) << gold.error;
    EXPECT_EQ(gold.folder, 1);
    EXPECT_EQ(ResolveFolder(seq, "Bank/Cards").folder, 1);
    EXPECT_EQ(ResolveFolder(seq, "Bank/Cards/").folder, 1);
    EXPECT_EQ(ResolveRecord(seq, "Bank/Amex").record, 2);
    EXPECT_EQ(ResolveRecord(seq, "Caf\xC3\xA9/M\xC3\xBCnchen").folder, 6);
    EXPECT_EQ(ResolveFolder(seq, "bank/cards").error, "no folder \"bank/cards\"");
    EXPECT_EQ(ResolveRecord(seq, "Bank/Cards").error, "no record \"Bank/Cards\"");
}

TEST_F(AddressTest, AmbiguousPathsListTheirCandidates) {
    EXPECT_EQ(ResolveRecord(seq, "Bank/Visa").error,
              "\"Bank/Visa\" names more than one record: #0/0, #0/1; use one of these addresses "
              "instead");
    EXPECT_TRUE(ResolveFolder(seq, "Bank")
                    .error.starts_with("\"Bank\" names more than one folder: #0, #2;"));
    // Slashes inside names make both "a/b" + "c" and "a" + "b/c" fit.
    EXPECT_NE(ResolveRecord(seq, "a/b/c").error.find("#3/0, #4/0"), std::string::npos);
    EXPECT_NE(ResolveFolder(seq, "a/b").error.find("#3, #5"), std::string::npos);
    EXPECT_NE(ResolveFolder(seq, "a/b/").error.find("#3, #5"), std::string::npos);
}

TEST_F(AddressTest, ListingShowsSubtreesAndAddresses) {
    EXPECT_EQ(ListTree(seq, 0, false), "Visa\nVisa\nAmex\nCards/\n  Gold\n");
    EXPECT_EQ(ListTree(seq, 4, true), "#4/0 b/c\n#5 b/\n");
}

TEST(TerminalSafe, ControlCharactersCannotDriveTheTerminal) {
    EXPECT_EQ(TerminalSafe("a\x1b[2Jb\x07\x7f\xC2\x9B"
                           "c\td\xC2\xA0"),
              "a?[2Jb???c\td\xC2\xA0");
    EXPECT_EQ(TerminalSafe("one\r\ntwo\rthree\n"), "one??two?three?");
    EXPECT_EQ(TerminalSafe("one\r\ntwo\rthree\n", true), "one\ntwo\nthree\n");
}

}  // namespace
}  // namespace zelvant::cli
