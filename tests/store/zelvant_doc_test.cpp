#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "doc_test_support.h"
#include "store/file_codec.h"
#include "store/value_stream.h"

namespace zelvant::testing {
namespace {

using Names = std::vector<std::string>;

class ZelvantDocTest : public DocFixture {};

TEST_F(ZelvantDocTest, RememberedKeySavesSilentlyUntilSaveAsAsksAgain) {
    WriteFile("bank.zvd", "old", {"Bank"});
    prompt_.passwords = {"old"};
    ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
    EXPECT_EQ(doc_.Title(), "bank.zvd");
    EXPECT_FALSE(doc_.IsModified());
    EXPECT_FALSE(doc_.CanSave());
    EXPECT_TRUE(doc_.CanSaveAs());
    EXPECT_EQ(folders_.RememberedKey().Legacy(), MakeFileKey("old"));

    AddFolder("Cards");
    EXPECT_TRUE(doc_.CanSave());
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(prompt_.newAsked, 0);
    EXPECT_FALSE(doc_.CanSave());
    EXPECT_EQ(Load("bank.zvd", "old"), (Names{"Bank", "Cards"}));

    prompt_.New("new");
    ASSERT_TRUE(doc_.SaveAs(PathOf("copy.zvd")));
    EXPECT_EQ(prompt_.newAsked, 1);
    EXPECT_EQ(doc_.ForcePasswordPrompt(), 0);
    EXPECT_EQ(doc_.PathName(), PathOf("copy.zvd"));
    EXPECT_EQ(doc_.Title(), "copy.zvd");
    EXPECT_EQ(Load("copy.zvd", "new"), (Names{"Bank", "Cards"}));
    EXPECT_EQ(folders_.RememberedKey().Legacy(), MakeFileKey("new"));
    EXPECT_TRUE(log_.messages.empty());
}

TEST_F(ZelvantDocTest, WithoutRememberPassEverySaveAsksAndNoKeyIsKept) {
    doc_.SetSettings({.rememberPass = 0, .alwaysBackup = 0});
    WriteFile("bank.zvd", "old", {"Bank"});
    prompt_.passwords = {"old"};
    ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
    EXPECT_TRUE(folders_.RememberedKey().Empty());
    prompt_.New("one");
    prompt_.New("two");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(prompt_.newAsked, 2);
    EXPECT_TRUE(Load("bank.zvd", "two").has_value());
    EXPECT_TRUE(folders_.RememberedKey().Empty());
}

TEST_F(ZelvantDocTest, EmptyAndMismatchedPasswordsAreAskedAgainWithTheirMessages) {
    WriteFile("bank.zvd", "pw", {"Bank"});
    prompt_.passwords = {"", "pw"};
    ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
    EXPECT_EQ(prompt_.captions.size(), 2u);

    prompt_.newPasswords = {{"", ""}, {"abc", "abd"}, {"abc", "abc"}};
    AddFolder("More");
    ASSERT_TRUE(doc_.SaveAs(PathOf("new.zvd")));
    EXPECT_EQ(prompt_.newAsked, 3);
    ASSERT_EQ(log_.messages.size(), 3u);
    EXPECT_EQ(log_.messages[0].text, msg::kEmptyPassword);
    EXPECT_EQ(log_.messages[1].text, msg::kEmptyPassword);
    EXPECT_EQ(log_.messages[2].text, msg::kPasswordMismatch);
    for (const Message& m : log_.messages) {
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(Load("new.zvd", "abc").has_value());
}

TEST_F(ZelvantDocTest, CancelledSaveChangesNothing) {
    WriteFile("bank.zvd", "pw", {"Bank"});
    prompt_.passwords = {"pw"};
    ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
    const Bytes before = ReadBytes(PathOf("bank.zvd"));
    AddFolder("Cards");
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1});
    EXPECT_FALSE(doc_.SaveAs(PathOf("bank.zvd")));  // no new password given: cancelled
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(doc_.ForcePasswordPrompt(), 0);
    EXPECT_EQ(ReadBytes(PathOf("bank.zvd")), before);
    EXPECT_EQ(folders_.RememberedKey().Legacy(), MakeFileKey("pw"));
    EXPECT_EQ(Entries(), Names{"bank.zvd"});
    EXPECT_TRUE(log_.messages.empty());
}

TEST_F(ZelvantDocTest, FailedOpenLeavesAnEmptyUntitledDocumentWithoutKey) {
    WriteFile("my file.zvd", "right", {"Bank"});
    AddFolder("Unsaved");
    prompt_.passwords = {"wrong"};
    EXPECT_FALSE(doc_.OnOpenDocument(PathOf("my file.zvd")));
    EXPECT_EQ(prompt_.captions, Names{"File Password:my file.zvd"});
    EXPECT_EQ(doc_.Title(), "Untitled");
    EXPECT_TRUE(doc_.PathName().empty());
    EXPECT_FALSE(doc_.IsModified());
    EXPECT_EQ(folders_.Count(), 0);
    EXPECT_TRUE(folders_.RememberedKey().Empty());
    EXPECT_FALSE(doc_.CanSaveAs());
    ASSERT_EQ(log_.messages.size(), 1u);
    EXPECT_EQ(log_.messages[0].text, msg::kBadFile);

    // A cancelled prompt fails the same way, silently.
    log_.messages.clear();
    EXPECT_FALSE(doc_.OnOpenDocument(PathOf("my file.zvd")));
    EXPECT_TRUE(log_.messages.empty());
    EXPECT_EQ(folders_.Count(), 0);

    // A file that cannot be read at all changes nothing.
    AddFolder("Kept");
    EXPECT_FALSE(doc_.OnOpenDocument(PathOf("absent.zvd")));
    EXPECT_EQ(folders_.Count(), 1);
    EXPECT_EQ(log_.messages.size(), 1u);
}

TEST_F(ZelvantDocTest, OldVersionOpensModifiedAndNewAndCloseEmptyTheDocument) {
    {
        CMemorySink sink;
        const CFileCipher cipher(MakeFileKey("pw"));
        CValueWriter out(cipher, sink);
        ASSERT_TRUE(CFileCodec::WriteSignature(out) && CFileCodec::WriteInt(out, 100) &&
                    CFileCodec::WriteString(out, "junk") && CFileCodec::WriteInt(out, 0) &&
                    out.Flush());
        std::ofstream(PathOf("old.zvd"), std::ios::binary)
            .write(reinterpret_cast<const char*>(sink.bytes.data()),
                   static_cast<std::streamsize>(sink.bytes.size()));
    }
    prompt_.passwords = {"pw"};
    ASSERT_TRUE(doc_.OnOpenDocument(PathOf("old.zvd")));
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_TRUE(doc_.ColumnLayout().empty());

    doc_.SetLayoutSource([] { return std::string("cols"); });
    ASSERT_TRUE(doc_.Save(PathOf("old.zvd")));
    CFolderSequence back;
    const LoadResult r = LoadDataFile(PathOf("old.zvd"), MakeFileKey("pw"), back, log_);
    EXPECT_EQ(r.version, kFileVersion);
    EXPECT_EQ(r.columnLayout, "cols");

    AddFolder("X");
    EXPECT_TRUE(doc_.OnNewDocument());
    EXPECT_EQ(doc_.Title(), "Untitled");
    EXPECT_FALSE(doc_.IsModified());
    EXPECT_EQ(folders_.Count(), 0);
    EXPECT_TRUE(folders_.RememberedKey().Empty());

    // While starting up the sequence is not there to clear.
    AddFolder("Y");
    doc_.SetStartingUp(true);
    doc_.OnCloseDocument();
    EXPECT_EQ(folders_.Count(), 1);
    doc_.SetStartingUp(false);
    doc_.OnCloseDocument();
    EXPECT_EQ(folders_.Count(), 0);
}

TEST_F(ZelvantDocTest, BackupKeepsThePreviousFileAndReplacesAnOlderBackup) {
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1});
    AddFolder("One");
    prompt_.New("pw");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(doc_.BackupPath(), PathOf("bank.zvb"));
    EXPECT_EQ(Entries(), Names{"bank.zvd"});  // nothing was there to keep

    AddFolder("Two");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(Load("bank.zvb", "pw"), Names{"One"});
    AddFolder("Three");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(Load("bank.zvb", "pw"), (Names{"One", "Two"}));
    EXPECT_EQ(Load("bank.zvd", "pw"), (Names{"One", "Two", "Three"}));
    EXPECT_EQ(Entries(), (Names{"bank.zvb", "bank.zvd"}));
    for (const char* name : {"bank.zvb", "bank.zvd"}) {
        EXPECT_EQ(fs::status(PathOf(name)).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write)
            << name;
    }

    // Without AlwaysBackup the old backup stays as it was.
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 0});
    AddFolder("Four");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(Load("bank.zvb", "pw"), (Names{"One", "Two"}));

    // A file named like its own backup is not backed up onto itself.
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1});
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvb")));
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvb")));
    EXPECT_EQ(Load("bank.zvb", "pw")->size(), 4u);
    EXPECT_EQ(Entries(), (Names{"bank.zvb", "bank.zvd"}));
}

TEST_F(ZelvantDocTest, ChangedOnDiskNoticesAnotherWriter) {
    AddFolder("Mine");
    EXPECT_FALSE(doc_.ChangedOnDisk());  // untitled
    prompt_.New("pw");
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_FALSE(doc_.ChangedOnDisk());

    WriteFile("bank.zvd", "other", {"Theirs"});  // a new file renamed over ours
    EXPECT_TRUE(doc_.ChangedOnDisk());
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_FALSE(doc_.ChangedOnDisk());

    std::ofstream(PathOf("bank.zvd"), std::ios::binary | std::ios::app) << 'x';  // in place
    EXPECT_TRUE(doc_.ChangedOnDisk());
    fs::remove(PathOf("bank.zvd"));
    EXPECT_TRUE(doc_.ChangedOnDisk());
}

}  // namespace
}  // namespace zelvant::testing
