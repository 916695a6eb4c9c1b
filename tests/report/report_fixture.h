#pragma once
// A small document with nested folders, shared by the report tests.
//
// Sequence (index: name, parent)   Display order
//   0: Zeta, top                     alpha
//   1: alpha, top                      Aardvark
//   2: beta, under alpha               beta
//   3: Aardvark, under alpha         Empty
//   4: Empty, top                    Zeta
//   5: Sub, under Zeta                 Sub

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "report/date_format.h"
#include "report/report_environment.h"
#include "store/folder_sequence.h"

namespace zelvant::report::testing {

inline DateTimeValue At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *FromCivil({y, mo, d, h, mi, s});
}

inline CRecord* AddRecord(CFolderSequence& folders, FolderIndex folder, std::string_view site) {
    CRecord* r = folders.FolderAt(folder)->AppendRecord(At(2023, 1, 2, 3, 4, 5));
    r->SetText(RecordField::SiteName, site);
    r->SetText(RecordField::UserName, std::string(site) + "-user");
    r->SetText(RecordField::Password, std::string(site) + "-secret");
    return r;
}

inline void BuildDocument(CFolderSequence& folders) {
    for (auto [name, parent] : {std::pair<const char*, int>{"Zeta", -1},
                                {"alpha", -1},
                                {"beta", 1},
                                {"Aardvark", 1},
                                {"Empty", -1},
                                {"Sub", 0}}) {
        CFolder* f = folders.AppendFolder();
        f->SetName(name);
        f->SetParent(parent);
    }
    AddRecord(folders, 0, "Z1");
    CRecord* a1 = AddRecord(folders, 1, "A1");
    a1->SetInt(RecordField::HasExpiry, 1);
    a1->SetDate(RecordField::ExpiresOn, At(2024, 3, 5, 14, 5, 9));
    a1->SetDate(RecordField::Created, At(2024, 3, 5, 14, 5, 9));
    a1->SetText(RecordField::Notes, "line one\nline two");
    AddRecord(folders, 1, "<b>Tom & Jerry's \"shop\"</b>");
    AddRecord(folders, 2, "B1");
    AddRecord(folders, 3, "M\xFCnchen");  // Windows-1252, as older files hold it
    AddRecord(folders, 5, "S1");
}

// A new folder of its own under the system's temporary one, removed with the object.
struct TempFolder {
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zelvant-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path path;
};

// Everything one run needs, with fixed dates and clock.
struct Report {
    explicit Report(PrintFlags flags = PrintFlags::Defaults(), std::string name = "Test") {
        BuildDocument(folders);
        cursor.Reset(folders, std::move(name));
        env = std::make_unique<CReportEnvironment>(ReportContext{
            folders, cursor, flags, "bank.zvd", dates, [] { return At(2025, 12, 24, 18, 30, 0); }});
    }
    CFolderSequence folders;
    CReportCursor cursor;
    CFixedDateFormatter dates;
    std::unique_ptr<CReportEnvironment> env;
};

}  // namespace zelvant::report::testing
