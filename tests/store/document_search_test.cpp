// Finding records across the document, and the expiry scan behind the expiry bar.

#include <gtest/gtest.h>

#include "store/document_search.h"

namespace zelvant {
namespace {

const DateTimeValue kNoon{46000.5, 0};

// "Bank" (index 1) sorts before "Web" (index 0) in the tree, and "Bank/Cards" (2) sits inside.
struct Document {
    Document() {
        for (const auto& [name, parent] :
             {std::pair{"Web", kTopLevel}, std::pair{"Bank", kTopLevel}, std::pair{"Cards", 1}}) {
            CFolder* f = folders.AppendFolder();
            f->SetName(name);
            f->SetParent(parent);
        }
    }
    CRecord& Add(FolderIndex folder, RecordField field, std::string_view text) {
        CRecord* r = folders.FolderAt(folder)->AppendRecord(kNoon);
        r->SetText(field, text);
        return *r;
    }
    CFolderSequence folders;
};

TEST(DocumentSearch, FindsTextInTheLookedUpFieldsOnlyInTreeOrder) {
    Document d;
    d.Add(0, RecordField::SiteName, "GitHub");
    d.Add(2, RecordField::Notes, "card PIN hint: the GITHUB year");
    d.Add(1, RecordField::Email, "me@github.example");
    d.Add(1, RecordField::Password, "github");
    d.Add(1, RecordField::Pin, "github");
    d.Add(1, RecordField::AccountNumber, "github");
    for (RecordField f : {RecordField::Location, RecordField::UserName, RecordField::AccountName}) {
        d.Add(0, f, "xGitHubx");
    }
    const std::vector<RecordRef> expected = {{1, 0}, {2, 0}, {0, 0}, {0, 1}, {0, 2}, {0, 3}};
    EXPECT_EQ(FindRecords(d.folders, "gItHuB"), expected);
    EXPECT_TRUE(FindRecords(d.folders, "").empty());
    EXPECT_TRUE(FindRecords(d.folders, "githubz").empty());
}

TEST(DocumentSearch, FoldsCaseBeyondAsciiInUtf8AndWindows1252Texts) {
    Document d;
    d.Add(0, RecordField::SiteName,
          "\xC3\x89"
          "cole de Danse");                           // "École" in UTF-8
    d.Add(0, RecordField::SiteName, "Caf\xC9 Noir");  // "CafÉ" in Windows-1252
    d.Add(0, RecordField::SiteName, "Cafe");
    EXPECT_EQ(FindRecords(d.folders,
                          "\xC3\xA9"
                          "cole"),
              (std::vector<RecordRef>{{0, 0}}));
    EXPECT_EQ(FindRecords(d.folders, "caf\xC3\xA9"), (std::vector<RecordRef>{{0, 1}}));
    // An ASCII text never matches part of an accented letter's bytes.
    EXPECT_EQ(FindRecords(d.folders, "caf"), (std::vector<RecordRef>{{0, 1}, {0, 2}}));
    EXPECT_EQ(FindRecords(d.folders, "E DE"), (std::vector<RecordRef>{{0, 0}}));
}

TEST(ExpiryScan, CountsExpiredAndExpiringWithinTheDaysAskedFor) {
    Document d;
    auto expiring = [&](FolderIndex folder, double daysFromNow, int flag = 1) {
        CRecord& r = d.Add(folder, RecordField::SiteName, "x");
        r.SetInt(RecordField::HasExpiry, flag);
        r.SetDate(RecordField::ExpiresOn, {kNoon.oa + daysFromNow, 0});
    };
    expiring(0, -0.001);    // a minute and a half ago
    expiring(0, 14.0);      // exactly at the horizon
    expiring(0, 14.01);     // just beyond it
    expiring(2, -30.0, 0);  // no expiry date, whatever the stored one says
    expiring(1, 3.0);
    CRecord& invalid = d.Add(1, RecordField::SiteName, "bad date");
    invalid.SetInt(RecordField::HasExpiry, 1);
    invalid.SetDate(RecordField::ExpiresOn, {0.0, 1});

    const ExpiryScan scan = ScanExpiry(d.folders, kNoon, 14);
    EXPECT_EQ(scan.expired, 1);
    EXPECT_EQ(scan.expiring, 2);
    EXPECT_EQ(scan.records, (std::vector<RecordRef>{{1, 0}, {0, 0}, {0, 1}}));
    const ExpiryScan today = ScanExpiry(d.folders, kNoon, 0);
    EXPECT_EQ(today.expired, 1);
    EXPECT_EQ(today.expiring, 0);
}

}  // namespace
}  // namespace zelvant
