// The editing and everyday commands of the real zelvant-cli on real files: add, edit, rm, rmdir,
// mkdir, mv, search, generate, clip and import from other programs' exports.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/cli_fixture.h"

namespace {

using namespace zelvant::clitest;

const std::string kData = std::string(ZELVANT_TEST_DATA) + "/";

class EverydayCliTest : public CliFixture {
  protected:
    void SetUp() override {
        CliFixture::SetUp();
        ImportSample();
    }

    // One field of `show --reveal`.
    std::string Field(const std::string& record, const std::string& label) {
        const Result r = RunPw({"show", "s.zvd", record, "--reveal"});
        const std::size_t at = r.out.find("\n" + label + ":");
        if (at == std::string::npos) {
            return "<no record: " + r.err + ">";
        }
        const std::size_t start = at + label.size() + 2;
        const std::size_t end = r.out.find('\n', start);
        return r.out.substr(start + (start < end ? 1 : 0), end - start - (start < end ? 1 : 0));
    }
};

TEST_F(EverydayCliTest, AddMakesMissingFoldersAndTakesThePasswordFromTheSecondLine) {
    const Result added = RunPw({"add", "s.zvd", "Shops/Books/example.org", "--user", "anna",
                                "--notes", "two\nlines", "--expires", "2030-02-28"},
                               "Sh3lf-Life\n");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "#1/0\n");  // a new top-level folder goes first, its child after it
    EXPECT_EQ(Field("Shops/Books/example.org", "Password"), "Sh3lf-Life");
    EXPECT_EQ(Field("#1/0", "Username/ID"), "anna");
    EXPECT_EQ(Field("#1/0", "Expires On"), "2030-02-28");
    EXPECT_EQ(Field("#1/0", "Created"), Field("#1/0", "Last Modified"));

    // Into an existing folder, at its end, with a generated password.
    const Result generated = RunPw({"add", "s.zvd", "Banking/New bank", "--generate"});
    ASSERT_EQ(generated.status, 0) << generated.err;
    EXPECT_EQ(generated.out, "#3/2\n");
    EXPECT_EQ(Field("Banking/New bank", "Password").size(), 20u);

    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"add", "s.zvd", "nofolder"}, "give the folder and the site name as FOLDER/SITE"},
             {{"add", "s.zvd", "A/b", "--expires", "2030-13-01"},
              "--expires takes a date as YYYY-MM-DD, or never"}}) {
        const Result r = Run(args, kPw);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}

TEST_F(EverydayCliTest, EditSetsTheModifiedDateAndKeepsWhatItWasNotAsked) {
    const std::string created = Field("Work/Intranet", "Created");
    ASSERT_EQ(Field("Work/Intranet", "Last Modified"), "2026-12-06 12:00:00");
    const Result r = RunPw({"edit", "s.zvd", "Work/Intranet", "--site", "Intranet portal",
                            "--email", "it@example.com", "--new-password"},
                           "N3w-portal-pass\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Field("#0/0", "Site Name/Description"), "Intranet portal");
    EXPECT_EQ(Field("#0/0", "Email"), "it@example.com");
    EXPECT_EQ(Field("#0/0", "Password"), "N3w-portal-pass");
    EXPECT_EQ(Field("#0/0", "Created"), created);
    EXPECT_NE(Field("#0/0", "Last Modified"), "2026-12-06 12:00:00");
    EXPECT_EQ(Field("Work/VPN", "Last Modified"), "2026-12-06 12:00:00");

    EXPECT_EQ(Run({"edit", "s.zvd", "Work/VPN"}, kPw).status, 2);
    EXPECT_EQ(Run({"edit", "s.zvd", "Work/VPN", "--generate", "--new-password"}, kPw).status, 2);
    const Result missing = RunPw({"edit", "s.zvd", "Work/Nope", "--user", "x"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zelvant-cli: no record \"Work/Nope\"\n");
}

// Saves go the desktop program's way: with AlwaysBackup the previous file is the backup.
TEST_F(EverydayCliTest, RmRmdirMkdirAndMvSaveWithTheStoredBackupSetting) {
    StoreSettings("AlwaysBackup=1\n");
    const std::string before = Slurp(dir / "s.zvd");
    ASSERT_EQ(RunPw({"rm", "s.zvd", "Banking/Credit card"}).status, 0);
    EXPECT_EQ(Slurp(dir / "s.zvb"), before);
    EXPECT_NE(Field("Banking/Credit card", "Password").find("no record"), std::string::npos);

    const Result refused = RunPw({"rmdir", "s.zvd", "Work"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "zelvant-cli: folder \"Work\" holds 2 records and 1 folders; use --recursive to "
              "remove them with it\n");
    EXPECT_EQ(RunPw({"rmdir", "s.zvd", "Empty folder"}).status, 0);

    EXPECT_EQ(RunPw({"mkdir", "s.zvd", "Archive/2026"}).status, 0);
    EXPECT_EQ(RunPw({"mkdir", "s.zvd", "Archive"}).err,
              "zelvant-cli: folder \"Archive\" exists already\n");
    const std::string created = Field("Work/VPN", "Created");
    ASSERT_EQ(RunPw({"mv", "s.zvd", "Work/VPN", "Archive/2026"}).status, 0);
    EXPECT_EQ(Field("Archive/2026/VPN", "Created"), created);
    EXPECT_EQ(Field("Archive/2026/VPN", "Password"), "correct-horse-battery");
    EXPECT_NE(Field("Archive/2026/VPN", "Last Modified"), "2026-12-06 12:00:00");

    EXPECT_EQ(RunPw({"rmdir", "s.zvd", "Work", "--recursive"}).status, 0);
    EXPECT_EQ(RunPw({"ls", "s.zvd"}).out,
              "Archive/\n  2026/\n    VPN\nBanking/\n  Example Bank\n  Cards/\n    Loyalty card\n");
    EXPECT_EQ(Run({"rm", "s.zvd", "Work/VPN", "--password-stdin"}, "wrong\n").status, 1);
}

TEST_F(EverydayCliTest, SearchListsMatchesButNeverLooksAtPasswords) {
    const Result found = RunPw({"search", "s.zvd", "CARD"});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, "#1/1 Banking/Credit card\n#2/0 Banking/Cards/Loyalty card\n");
    // "Tr0ub4dor&3" is the intranet's password.
    const Result none = RunPw({"search", "s.zvd", "tr0ub4dor"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "zelvant-cli: no record holds \"tr0ub4dor\"\n");
}

TEST_F(EverydayCliTest, GenerateMakesPasswordsAndPassphrasesToOrder) {
    const Result p = Run({"generate", "--length", "32", "--no-symbols", "--no-lookalikes"});
    ASSERT_EQ(p.status, 0);
    ASSERT_EQ(p.out.size(), 33u);
    EXPECT_EQ(p.out.find_first_of("!#$%&*+-0O1Il"), std::string::npos) << p.out;
    EXPECT_NE(Run({"generate"}).out, Run({"generate"}).out);
    const Result words = Run({"generate", "--words", "6", "--separator", "."});
    ASSERT_EQ(words.status, 0);
    EXPECT_EQ(std::count(words.out.begin(), words.out.end(), '.'), 5);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"generate", "--length", "x"},
          {"generate", "--length", "200"},
          {"generate", "--words", "5", "--length", "10"},
          {"generate", "--separator", "-"}}) {
        EXPECT_EQ(Run(bad).status, 2) << bad[1];
    }
}

TEST_F(EverydayCliTest, ClipExplainsThatItNeedsADisplay) {
    const Result r = RunPw({"clip", "s.zvd", "Work/VPN"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("clip needs a display"), std::string::npos) << r.err;
    EXPECT_EQ(Run({"clip", "s.zvd", "Work/VPN", "--field", "secret"}, kPw).status, 2);
    EXPECT_EQ(Run({"clip", "s.zvd", "Work/VPN", "--timeout", "0"}, kPw).status, 2);
}

TEST_F(EverydayCliTest, ImportFromOtherProgramsAddsToTheFileOrCreatesIt) {
    const Result browser = Run({"import", "new.zvd", kData + "import/chrome.csv", "--from",
                                "chrome-csv", "--password-stdin"},
                               "pw\n");
    ASSERT_EQ(browser.status, 0) << browser.err;
    EXPECT_NE(browser.err.find("Imported 3 records and 1 new folder from the Chrome passwords CSV "
                               "export.\nSkipped 1 entry:\nline 6: "),
              std::string::npos)
        << browser.err;
    const Result listed = Run({"ls", "new.zvd", "--password-stdin"}, "pw\n");
    EXPECT_TRUE(listed.out.starts_with("Chrome import ")) << listed.out;

    // Bitwarden's folders join the file's own; its passwords keep their characters.
    const Result bitwarden = RunPw({"import", "s.zvd", "-", "--from", "bitwarden-json"},
                                   Slurp(kData + "import/bitwarden.json"));
    ASSERT_EQ(bitwarden.status, 0) << bitwarden.err;
    EXPECT_EQ(Field("Email/Northwind Mail", "Password"),
              "Gl\xC3\xBC"
              "ck-im-Winkel-42");
    EXPECT_EQ(Field("Work/Servers/Server room door", "Notes"), "Code 4711, then hash.");
    EXPECT_EQ(Field("Work/Intranet", "Password"), "Tr0ub4dor&3");

    // A file that cannot be read as a whole changes nothing.
    const std::string before = Slurp(dir / "s.zvd");
    std::ofstream(dir / "broken.csv") << "name,url,username,password\n\"open,x,y,z\n";
    const Result broken = Run({"import", "s.zvd", "broken.csv", "--from", "chrome-csv"}, kPw);
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.err,
              "zelvant-cli: broken.csv: line 2: a quoted field is not closed; nothing was "
              "imported\n");
    EXPECT_EQ(Slurp(dir / "s.zvd"), before);
    EXPECT_EQ(Run({"import", "s.zvd", "x.csv", "--from", "lastpass"}, kPw).status, 2);
}

}  // namespace
