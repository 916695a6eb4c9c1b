// The recovery file: unsaved edits written beside the data file with its key when the program has
// to end without asking, never in clear, and offered back at the next open.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "doc_test_support.h"

namespace zelvant::testing {
namespace {

using Names = std::vector<std::string>;

class RecoveryTest : public DocFixture {
  protected:
    void OpenBank(const std::string& password = "pw") {
        WriteFile("bank.zvd", password, {"Bank"});
        prompt_.passwords = {password};
        ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
    }
    // Makes the data file older than anything written after it.
    void AgeDataFile() {
        fs::last_write_time(PathOf("bank.zvd"),
                            fs::last_write_time(PathOf("bank.zvd")) - std::chrono::hours(1));
    }
};

TEST_F(RecoveryTest, EditsGoBesideTheFileWithItsKeyAndNothingElseChanges) {
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1});
    OpenBank();
    const Bytes before = ReadBytes(PathOf("bank.zvd"));
    AddFolder("Cards");
    const auto edits = doc_.EditCount();

    EXPECT_EQ(doc_.SaveRecovery(), RecoveryResult::Written);
    EXPECT_EQ(RecoveryPathFor(PathOf("bank.zvd")), PathOf("bank.recovery.zvd"));
    EXPECT_EQ(Load("bank.recovery.zvd", "pw"), (Names{"Bank", "Cards"}));
    EXPECT_FALSE(Load("bank.recovery.zvd", "other").has_value());  // encrypted, not in clear
    struct stat st {};
    ASSERT_EQ(::stat(PathOf("bank.recovery.zvd").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
    // The user's file, its backup and the document's state are as they were; no password asked.
    EXPECT_EQ(ReadBytes(PathOf("bank.zvd")), before);
    EXPECT_EQ(Entries(), (Names{"bank.recovery.zvd", "bank.zvd"}));
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(doc_.EditCount(), edits);
    EXPECT_EQ(doc_.PathName(), PathOf("bank.zvd"));
    EXPECT_FALSE(doc_.ChangedOnDisk());
    EXPECT_EQ(prompt_.newAsked, 0);
    EXPECT_TRUE(log_.messages.empty());
}

// Without a key nothing can be encrypted, and nothing is written in clear instead.
TEST_F(RecoveryTest, WithoutAKeyNothingIsWritten) {
    AddFolder("Never saved");
    EXPECT_EQ(doc_.SaveRecovery(), RecoveryResult::NoKey);  // untitled

    doc_.SetSettings({.rememberPass = 0, .alwaysBackup = 0});
    OpenBank();
    AddFolder("Cards");
    EXPECT_EQ(doc_.SaveRecovery(), RecoveryResult::NoKey);
    EXPECT_EQ(Entries(), Names{"bank.zvd"});
    EXPECT_EQ(prompt_.newAsked, 0);
}

TEST_F(RecoveryTest, TheNextOpenRestoresOrDiscardsIt) {
    OpenBank();
    AddFolder("Cards");
    AgeDataFile();
    ASSERT_EQ(doc_.SaveRecovery(), RecoveryResult::Written);
    doc_.OnCloseDocument();

    auto found = FindRecovery(PathOf("bank.zvd"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path, PathOf("bank.recovery.zvd"));
    EXPECT_TRUE(found->newerThanFile);
    EXPECT_FALSE(FindRecovery(PathOf("other.zvd")).has_value());

    // A wrong password keeps it for another try.
    prompt_.passwords = {"wrong"};
    EXPECT_FALSE(doc_.OpenRecovery(PathOf("bank.zvd")));
    EXPECT_TRUE(fs::exists(PathOf("bank.recovery.zvd")));

    prompt_.passwords = {"pw"};
    ASSERT_TRUE(doc_.OpenRecovery(PathOf("bank.zvd")));
    EXPECT_EQ(prompt_.captions.back(), "File Password:bank.recovery.zvd");
    EXPECT_EQ(doc_.PathName(), PathOf("bank.zvd"));
    EXPECT_EQ(doc_.Title(), "bank.zvd");
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(folders_.Count(), 2);
    EXPECT_EQ(Entries(), Names{"bank.zvd"});
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(Load("bank.zvd", "pw"), (Names{"Bank", "Cards"}));

    // Discarded, it is gone; one older than the file says so.
    AddFolder("More");
    ASSERT_EQ(doc_.SaveRecovery(), RecoveryResult::Written);
    fs::last_write_time(PathOf("bank.recovery.zvd"),
                        fs::last_write_time(PathOf("bank.zvd")) - std::chrono::hours(1));
    found = FindRecovery(PathOf("bank.zvd"));
    ASSERT_TRUE(found.has_value());
    EXPECT_FALSE(found->newerThanFile);
    EXPECT_TRUE(doc_.DiscardRecovery(PathOf("bank.zvd")));
    EXPECT_EQ(Entries(), Names{"bank.zvd"});
}

}  // namespace
}  // namespace zelvant::testing
