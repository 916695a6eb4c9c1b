// Saves that fail or are killed part way must leave the user's file whole.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "doc_test_support.h"

namespace zelvant::testing {
namespace {

using Names = std::vector<std::string>;

class SaveFaultTest : public DocFixture {
  protected:
    // An open, modified document over an existing file, with a backup asked for.
    void OpenModified() {
        WriteFile("bank.zvd", "pw", {"Bank"});
        prompt_.passwords = {"pw"};
        ASSERT_TRUE(doc_.OnOpenDocument(PathOf("bank.zvd")));
        doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1});
        AddFolder("Cards");
        before_ = ReadBytes(PathOf("bank.zvd"));
    }
    void ExpectAbandoned(const std::string& text) {
        EXPECT_TRUE(doc_.IsModified());
        ASSERT_EQ(log_.messages.size(), 2u);
        EXPECT_EQ(log_.messages[0].caption, "Error");
        EXPECT_EQ(log_.messages[0].icon, MessageIcon::Information);
        EXPECT_FALSE(log_.messages[0].text.empty());
        EXPECT_EQ(log_.messages[1].text, text);
        EXPECT_EQ(log_.messages[1].icon, MessageIcon::Information);
    }
    Bytes before_;
};

TEST_F(SaveFaultTest, DirectoryAtThePathFailsTheReplaceAndLeavesNoTemporary) {
    OpenModified();
    fs::create_directories(dir_ / "taken.zvd" / "inside");
    EXPECT_FALSE(doc_.Save(PathOf("taken.zvd")));
    ExpectAbandoned("Save abandoned - unable to copy to file\n" + PathOf("taken.zvd"));
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.zvd" / "inside"));
    EXPECT_EQ(doc_.PathName(), PathOf("bank.zvd"));
    EXPECT_EQ(Entries(), (Names{"bank.zvd", "taken.zvd"}));
}

TEST_F(SaveFaultTest, BackupThatCannotBeMadeAbandonsTheSaveBeforeTheFileIsTouched) {
    OpenModified();
    fs::create_directories(dir_ / "bank.zvb" / "inside");
    EXPECT_FALSE(doc_.Save(PathOf("bank.zvd")));
    ExpectAbandoned("Save abandoned - unable to create backup file\n" + PathOf("bank.zvb"));
    EXPECT_EQ(ReadBytes(PathOf("bank.zvd")), before_);
    EXPECT_EQ(Entries(), (Names{"bank.zvb", "bank.zvd"}));
    EXPECT_FALSE(doc_.ChangedOnDisk());

    // Once the obstacle is gone the same document saves.
    fs::remove_all(dir_ / "bank.zvb");
    log_.messages.clear();
    ASSERT_TRUE(doc_.Save(PathOf("bank.zvd")));
    EXPECT_EQ(ReadBytes(PathOf("bank.zvb")), before_);
    EXPECT_EQ(Load("bank.zvd", "pw"), (Names{"Bank", "Cards"}));
}

// The size limit binds root too; SIGXFSZ is ignored so the write fails instead.
TEST_F(SaveFaultTest, DiskFullWhileWritingLeavesFileBackupAndFolderAsTheyWere) {
    OpenModified();
    for (int i = 0; i < 50; ++i) {
        folders_.FolderAt(1)->AppendRecord()->SetText(RecordField::Notes, std::string(300, 'n'));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t cap = before_.size() + 100;
        const rlimit limit{cap, cap};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        log_.messages.clear();
        const bool saved = doc_.Save(PathOf("bank.zvd"));
        const bool told = log_.messages.size() == 1 &&
                          log_.messages[0].icon == MessageIcon::Exclamation && doc_.IsModified();
        ::_exit(saved ? 1 : told ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save claimed success, 2: wrong report";
    EXPECT_EQ(ReadBytes(PathOf("bank.zvd")), before_);
    EXPECT_EQ(Entries(), Names{"bank.zvd"});
}

// A save killed at any moment leaves the old or the new complete file, never a mixture.
TEST_F(SaveFaultTest, KilledSavesAlwaysLeaveACompleteFile) {
    for (int i = 0; i < 3000; ++i) {
        folders_.AppendFolder()->SetName("F" + std::to_string(i % 7));
        folders_.FolderAt(i)->SetParent(kTopLevel);
    }
    const FileKey key = MakeFileKey("pw");
    folders_.RememberedKey() = key;
    doc_.SetSettings({.rememberPass = 1, .alwaysBackup = 1, .legacyNewFiles = 1});
    const Bytes a = SaveDataToMemory(key, folders_, "a");
    const Bytes b = SaveDataToMemory(key, folders_, "b");
    const std::string path = PathOf("bank.zvd");
    doc_.SetLayoutSource([] { return std::string("a"); });
    ASSERT_TRUE(doc_.Save(path));

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (bool useB = true;; useB = !useB) {
                doc_.SetLayoutSource([useB] { return std::string(useB ? "b" : "a"); });
                doc_.Save(path);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const Bytes now = ReadBytes(path);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        if (fs::exists(PathOf("bank.zvb"))) {
            const Bytes backup = ReadBytes(PathOf("bank.zvb"));
            ASSERT_TRUE(backup == a || backup == b) << "round " << round;
        }
    }
    // What a killed save leaves has its own name pattern; young leftovers may belong to a running
    // save, old ones go with the next successful save.
    std::vector<fs::path> leftovers;
    for (const auto& e : fs::directory_iterator(dir_)) {
        const std::string name = e.path().filename().string();
        if (name != "bank.zvd" && name != "bank.zvb") {
            EXPECT_TRUE(name.starts_with(".bank.zvd.tmp-") || name.starts_with(".bank.zvb.tmp-"))
                << name;
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));
            leftovers.push_back(e.path());
        }
    }
    const fs::path young = dir_ / ".bank.zvd.tmp-young1";
    std::ofstream(young).put('x');
    ASSERT_TRUE(doc_.Save(path));
    for (const fs::path& p : leftovers) {
        EXPECT_FALSE(fs::exists(p)) << p;
    }
    EXPECT_TRUE(fs::exists(young));
}

}  // namespace
}  // namespace zelvant::testing
