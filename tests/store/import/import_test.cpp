// The importers, on export files written from the formats' public descriptions
// (tests/data/import) and on small broken ones.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "store/date_time.h"
#include "store/display.h"
#include "store/import/import.h"

namespace zelvant {
namespace {

const DateTimeValue kNow = *FromCivil({2026, 5, 14, 9, 0, 0});

std::string Slurp(const std::string& name) {
    std::ifstream in(std::string(ZELVANT_TEST_DATA) + "/import/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ImportTest : public ::testing::Test {
  protected:
    // The sources' times are UTC; the records hold local time.
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (savedTz_) {
            ::setenv("TZ", savedTz_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

    ImportBatch Parse(ImportFormat format, const std::string& text) {
        ImportBatch batch;
        std::string error;
        EXPECT_TRUE(ParseImport(format, text, kNow, batch, error)) << error;
        return batch;
    }

    std::string ParseError(ImportFormat format, const std::string& text) {
        ImportBatch batch;
        std::string error;
        EXPECT_FALSE(ParseImport(format, text, kNow, batch, error));
        EXPECT_TRUE(batch.entries.empty() && batch.folders.empty() && batch.skipped.empty());
        return error;
    }

  private:
    std::optional<std::string> savedTz_;
};

const ImportedEntry& Named(const ImportBatch& batch, std::string_view site) {
    for (const ImportedEntry& e : batch.entries) {
        if (e.record.GetText(RecordField::SiteName) == site) {
            return e;
        }
    }
    ADD_FAILURE() << "no entry " << site;
    return batch.entries.front();
}

std::string Text(const ImportedEntry& e, RecordField f) {
    return std::string(e.record.GetText(f));
}

std::string Date(const ImportedEntry& e, RecordField f) {
    return FormatIso(e.record.GetDate(f));
}

using Path = std::vector<std::string>;

TEST_F(ImportTest, KeePassXcGroupsBecomeFoldersBelowTheRoot) {
    const ImportBatch b = Parse(ImportFormat::KeePassXcCsv, Slurp("keepassxc.csv"));
    EXPECT_EQ(b.folders, (std::vector<Path>{{"Email"}, {"Work", "Servers"}}));
    ASSERT_EQ(b.entries.size(), 3u);
    EXPECT_EQ(Named(b, "Forum").folder, Path{});
    const ImportedEntry& mail = Named(b, "Northwind Mail");
    EXPECT_EQ(mail.folder, Path{"Email"});
    EXPECT_EQ(Text(mail, RecordField::Password),
              "Gl\xC3\xBC"
              "ck-im-Winkel-42");
    EXPECT_EQ(Text(mail, RecordField::Location), "https://mail.northwind.example");
    EXPECT_EQ(Text(mail, RecordField::Notes),
              "Recovery codes in the safe.\nSecond line with \"quotes\".\n\n"
              "TOTP: otpauth://totp/Northwind?secret=JBSWY3DPEHPK3PXP");
    EXPECT_EQ(Date(mail, RecordField::Created), "2023-11-05 18:45:12");
    EXPECT_EQ(Date(mail, RecordField::Modified), "2024-02-10 09:30:00");
    EXPECT_EQ(Named(b, "Server room door").folder, (Path{"Work", "Servers"}));
}

TEST_F(ImportTest, BitwardenJsonTakesLoginsAndNotesAndSaysWhatItSkips) {
    const ImportBatch b = Parse(ImportFormat::BitwardenJson, Slurp("bitwarden.json"));
    EXPECT_EQ(b.folders, (std::vector<Path>{{"Email"}, {"Work", "Servers"}, {"Empty"}}));
    ASSERT_EQ(b.entries.size(), 3u);
    const ImportedEntry& mail = Named(b, "Northwind Mail");
    EXPECT_EQ(mail.folder, Path{"Email"});
    EXPECT_EQ(Text(mail, RecordField::UserName), "anna@northwind.example");
    EXPECT_EQ(Text(mail, RecordField::Password),
              "Gl\xC3\xBC"
              "ck-im-Winkel-42");
    EXPECT_EQ(Text(mail, RecordField::Location), "https://mail.northwind.example");
    EXPECT_EQ(Text(mail, RecordField::Notes),
              "Recovery codes in the safe.\nSecond line with \"quotes\".\n\n"
              "URL: https://webmail.northwind.example\n"
              "TOTP: otpauth://totp/Northwind?secret=JBSWY3DPEHPK3PXP\nPIN hint: birthday");
    EXPECT_EQ(Date(mail, RecordField::Created), "2023-11-05 18:45:12");
    EXPECT_EQ(Date(mail, RecordField::Modified), "2024-02-10 09:30:00");
    const ImportedEntry& note = Named(b, "Server room door");
    EXPECT_EQ(Text(note, RecordField::Notes), "Code 4711, then hash.");
    EXPECT_EQ(Text(note, RecordField::Password), "");
    EXPECT_EQ(Named(b, "Forum").folder, Path{});
    ASSERT_EQ(b.skipped.size(), 1u);
    EXPECT_EQ(b.skipped[0].where, "item 3");
    EXPECT_EQ(b.skipped[0].reason, "a card (\"Visa\"); only logins and secure notes are imported");
}

TEST_F(ImportTest, BitwardenCsvSplitsAddressesAndNestedFolders) {
    const ImportBatch b = Parse(ImportFormat::BitwardenCsv, Slurp("bitwarden.csv"));
    EXPECT_EQ(b.folders, (std::vector<Path>{{"Email"}, {"Work", "Servers"}}));
    const ImportedEntry& mail = Named(b, "Northwind Mail");
    EXPECT_EQ(Text(mail, RecordField::Location), "https://mail.northwind.example");
    EXPECT_EQ(Text(mail, RecordField::Notes),
              "Line one\nline two\n\nURL: https://webmail.northwind.example\nPIN hint: birthday");
    EXPECT_EQ(Text(Named(b, "Forum"), RecordField::Notes), "TOTP: JBSWY3DPEHPK3PXP");
    EXPECT_EQ(Text(Named(b, "Server room door"), RecordField::Notes), "Code 4711, then hash.");
    // Records without dates in the source were made now.
    EXPECT_EQ(Date(mail, RecordField::Created), "2026-05-14 09:00:00");
}

TEST_F(ImportTest, BrowserExportsNameSitesByTheirHostsAndKeepOddCharacters) {
    const ImportBatch chrome = Parse(ImportFormat::ChromeCsv, Slurp("chrome.csv"));
    ASSERT_EQ(chrome.entries.size(), 3u);
    EXPECT_TRUE(chrome.folders.empty());
    EXPECT_EQ(Text(Named(chrome, "mail.example.org"), RecordField::Password), "pa,ss\"word");
    const ImportedEntry& bank = Named(chrome, "M\xC3\xBCller Bank");
    EXPECT_EQ(Text(bank, RecordField::Password), "K\xC3\xA4sebrot-2");
    EXPECT_EQ(Text(bank, RecordField::Notes), "two\nlines");
    ASSERT_EQ(chrome.skipped.size(), 1u);
    EXPECT_EQ(chrome.skipped[0].where, "line 6");

    const ImportBatch firefox = Parse(ImportFormat::FirefoxCsv, Slurp("firefox.csv"));
    ASSERT_EQ(firefox.entries.size(), 2u);
    const ImportedEntry& account = Named(firefox, "accounts.example.com");
    EXPECT_EQ(Date(account, RecordField::Created), "2021-01-01 00:00:00");
    EXPECT_EQ(Date(account, RecordField::Modified), "2022-01-01 00:00:00");
    const ImportedEntry& router = Named(firefox, "router.home.example");
    EXPECT_EQ(Text(router, RecordField::Location), "https://router.home.example:8443");
    EXPECT_EQ(Text(router, RecordField::Notes), "Realm: Router admin");
}

TEST_F(ImportTest, AFileThatIsNotWhollyReadableImportsNothingAndSaysWhere) {
    EXPECT_EQ(ParseError(ImportFormat::ChromeCsv, Slurp("firefox.csv")),
              "line 1: this is not a Chrome passwords CSV export: it has no column name; it looks "
              "like a Firefox logins CSV export");
    EXPECT_EQ(ParseError(ImportFormat::FirefoxCsv, "url,username,password\na,b,c\nd,e\n"),
              "line 3: 2 fields where the first row names 3 columns");
    EXPECT_EQ(ParseError(ImportFormat::KeePassXcCsv, ""),
              "the file is empty; a KeePassXC CSV export starts with a row of column names");
    EXPECT_EQ(ParseError(ImportFormat::BitwardenJson, "{\"items\": [\n  {\"type\": 1,}]}"),
              "line 2, column 14: expected a key in double quotes");
    EXPECT_EQ(ParseError(ImportFormat::BitwardenJson,
                         R"({"items": [{"type": 2, "name": "ok"}, {"type": 1, "name": 7}]})"),
              "item 2: \"name\" is not a text");
    EXPECT_EQ(ParseError(ImportFormat::BitwardenJson,
                         R"({"encrypted": true, "items": [{"type": 1, "name": "2.abc|def"}]})"),
              "this Bitwarden export is encrypted; export the vault again in the format "
              "\"JSON\", not \"JSON (Encrypted)\"");
    EXPECT_EQ(ParseError(ImportFormat::BitwardenJson, "[]"),
              "this is not a Bitwarden JSON export: it has no \"items\"");
}

TEST_F(ImportTest, TheFormatIsToldByTheColumnsOrTheItems) {
    const std::pair<std::string, std::optional<ImportFormat>> files[] = {
        {"keepassxc.csv", ImportFormat::KeePassXcCsv},
        {"bitwarden.json", ImportFormat::BitwardenJson},
        {"bitwarden.csv", ImportFormat::BitwardenCsv},
        {"chrome.csv", ImportFormat::ChromeCsv},
        {"firefox.csv", ImportFormat::FirefoxCsv}};
    for (const auto& [name, format] : files) {
        EXPECT_EQ(DetectImportFormat(Slurp(name)), format) << name;
    }
    for (const char* other : {"", "{\"format\": \"zelvant-json\"}", "a,b\n1,2\n", "\"open"}) {
        EXPECT_EQ(DetectImportFormat(other), std::nullopt) << other;
    }
}

TEST_F(ImportTest, ApplyReusesFoldersOfTheSamePathAndKeepsIndexes) {
    CFolderSequence folders;
    for (const char* name : {"Email", "Bitwarden import 2026-05-14"}) {
        folders.AppendFolder()->SetName(name);
    }
    folders.FolderAt(0)->AppendRecord(kNow)->SetText(RecordField::SiteName, "Mine");
    const ImportBatch b = Parse(ImportFormat::BitwardenJson, Slurp("bitwarden.json"));
    const ImportSummary s =
        ApplyImport(b, folders, ImportFolderName(ImportFormat::BitwardenJson, kNow));

    EXPECT_EQ(s.records, 3);
    EXPECT_EQ(s.folders, 4);  // Work, Work/Servers, Empty and the import's own folder
    EXPECT_EQ(s.firstFolder, 0);
    std::vector<std::string> paths;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        paths.push_back(DisplayFolderPath(folders, i) + ":" +
                        std::to_string(folders.FolderAt(i)->RecordCount()));
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"Email:2", "Bitwarden import 2026-05-14:0", "Work:0",
                                               "Work/Servers:1", "Empty:0",
                                               "Bitwarden import 2026-05-14 (2):1"}));
    EXPECT_EQ(folders.FolderAt(0)->RecordAt(1)->GetText(RecordField::UserName),
              "anna@northwind.example");
    EXPECT_EQ(ImportSummaryText(s, ImportFormat::BitwardenJson),
              "Imported 3 records and 4 new folders from the Bitwarden JSON export.\n"
              "Skipped 1 entry:\n"
              "item 3: a card (\"Visa\"); only logins and secure notes are imported");
}

}  // namespace
}  // namespace zelvant
