#pragma once
// Scripted password dialogs and a scratch folder for the document tests.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/data_file.h"
#include "store/zelvant_doc.h"
#include "support/cheap_sealing.h"

namespace zelvant::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Each answer is used once; none left means Cancel.
class ScriptedPrompt : public IPasswordPrompt {
  public:
    bool AskPassword(const std::string& caption, FileForm form, SecretText& password) override {
        captions.push_back(caption);
        forms.push_back(form);
        if (passwords.empty()) {
            return false;
        }
        password.text = passwords.front().c_str();
        passwords.pop_front();
        return true;
    }
    bool AskNewPassword(FileForm form, SecretText& password, SecretText& confirmation) override {
        ++newAsked;
        newForms.push_back(form);
        if (newPasswords.empty()) {
            return false;
        }
        password.text = newPasswords.front().first.c_str();
        confirmation.text = newPasswords.front().second.c_str();
        newPasswords.pop_front();
        return true;
    }
    void New(const std::string& pw) { newPasswords.emplace_back(pw, pw); }

    std::deque<std::string> passwords;
    std::deque<std::pair<std::string, std::string>> newPasswords;
    std::vector<std::string> captions;
    std::vector<FileForm> forms;     // of each file password asked for
    std::vector<FileForm> newForms;  // of each new password asked for
    int newAsked = 0;
};

inline void AppendTopLevel(CFolderSequence& folders, const std::string& name) {
    CFolder* folder = folders.AppendFolder();
    folder->SetName(name);
    folder->SetParent(kTopLevel);
}

// A fresh folder for each test, named after it, removed afterwards.
class ScratchFolder {
  public:
    ScratchFolder() {
        path_ = fs::temp_directory_path() /
                ("zelvant-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);  // a test may have locked it
        fs::remove_all(path_, ec);
    }

    const fs::path& Path() const { return path_; }
    // The names in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    fs::path path_;
};

class DocFixture : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<std::string> Entries() const { return scratch_.Entries(); }
    void AddFolder(const std::string& name) {
        AppendTopLevel(folders_, name);
        doc_.SetModifiedFlag();
    }
    // Writes a file as another program (or session) would.
    void WriteFile(const std::string& name, const std::string& password,
                   const std::vector<std::string>& folderNames) {
        CFolderSequence other;
        for (const auto& n : folderNames) {
            AppendTopLevel(other, n);
        }
        CMessageLog log;
        ASSERT_TRUE(SaveDataFileSafely(PathOf(name), MakeFileKey(password), other, "", log));
    }
    // Reads a file of either form as another program would (sealed ones with the cheap
    // derivation the document uses).
    std::optional<std::vector<std::string>> Load(const std::string& name,
                                                 const std::string& password) const {
        CFolderSequence back;
        CMessageLog log;
        SealedHeader header;
        const FileCheck check = CheckDataFile(PathOf(name), header, log);
        if (check == FileCheck::Failed ||
            !LoadDataFile(PathOf(name),
                          KeyForFile(check, header, password, cheap_.Services().derive), back, log)
                 .ok) {
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (int i = 0; i < back.Count(); ++i) {
            names.push_back(back.FolderAt(i)->Name());
        }
        return names;
    }

    // Whether the file starts with the sealed form's magic.
    bool IsSealed(const std::string& name) const {
        const Bytes b = ReadBytes(PathOf(name));
        return b.size() >= 8 && std::equal(kSealedMagic.begin(), kSealedMagic.end(), b.begin());
    }

    ScratchFolder scratch_;
    const fs::path& dir_ = scratch_.Path();
    CFolderSequence folders_;
    ScriptedPrompt prompt_;
    CMessageLog log_;
    CheapSealing cheap_;
    CZelvantDoc doc_{folders_, prompt_, log_};

    void SetUp() override { doc_.SetSealing(cheap_.Services()); }
};

}  // namespace zelvant::testing
