#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "report/template_files.h"
#include "report_fixture.h"

namespace zelvant::report::testing {
namespace {

namespace fs = std::filesystem;

class EnvTest : public ::testing::Test {
  protected:
    CValue Get(std::string_view name, std::vector<CValue> args = {}) {
        return r.env->Value(name, out, args);
    }
    std::string Text(std::string_view name) { return Get(name).ToText(); }
    std::string RunText(std::string_view name) {
        CStringOutput o;
        r.env->Run(name, o, {});
        return o.text;
    }

    Report r;
    CStringOutput out;
};

TEST_F(EnvTest, FoldersComeInTreeOrderAndRecordsInStoredOrder) {
    std::vector<std::string> walk;
    while (Get("nextfolder").IsTrue()) {
        std::string line = Text("foldername") + "(" + Text("folderpath") + "):";
        EXPECT_EQ(Text("sitename"), "????");
        const std::string name = Text("foldername");
        bool any = false;
        while (Get("nextrecord").IsTrue()) {
            line += " " + Text("sitename");
            any = true;
        }
        // Running out of records leaves the folder; a folder without records is not left.
        EXPECT_EQ(Text("foldername"), any ? "????" : name);
        EXPECT_EQ(Text("sitename"), "????");
        EXPECT_EQ(Text("created"), "????");
        EXPECT_EQ(Text("expiry"), "????");
        walk.push_back(line);
    }
    EXPECT_EQ(walk, (std::vector<std::string>{
                        "alpha(alpha): A1 <b>Tom & Jerry's \"shop\"</b>",
                        "Aardvark(alpha / Aardvark): M\u00FCnchen", "beta(alpha / beta): B1",
                        "Empty(Empty):", "Zeta(Zeta): Z1", "Sub(Zeta / Sub): S1"}));
    // The walk stays at its end.
    EXPECT_EQ(Get("nextfolder"), CValue::Long(0));
    EXPECT_EQ(Get("nextrecord"), CValue::Long(0));
    EXPECT_EQ(Text("foldername"), "????");
    EXPECT_TRUE(out.text.empty());
}

TEST_F(EnvTest, RecordFieldsAndDates) {
    EXPECT_EQ(Text("foldername"), "????");
    ASSERT_TRUE(Get("nextfolder").IsTrue());
    ASSERT_TRUE(Get("nextrecord").IsTrue());
    EXPECT_EQ(Text("sitename"), "A1");
    EXPECT_EQ(Text("username"), "A1-user");
    EXPECT_EQ(Text("password"), "A1-secret");
    EXPECT_EQ(Text("notes"), "line one\nline two");
    EXPECT_EQ(Text("pin"), "");
    EXPECT_EQ(Text("created"), "Tuesday, 5 March 2024, 14:05:09");
    EXPECT_EQ(Text("modified"), "Monday, 2 January 2023, 03:04:05");
    EXPECT_EQ(Text("expiry"), "Tuesday, 5 March 2024");
    ASSERT_TRUE(Get("nextrecord").IsTrue());
    EXPECT_EQ(Text("expiry"), "");  // HasExpiry is 0

    // An invalid date cannot be shown.
    r.folders.FolderAt(1)->RecordAt(1)->SetDate(RecordField::Modified, {0.0, 1});
    EXPECT_EQ(Text("modified"), "");
    EXPECT_EQ(Text("sysdate"), "Wednesday, 24 December 2025");
    EXPECT_EQ(Text("sysdatetime"), "Wednesday, 24 December 2025, 18:30:00");
}

TEST_F(EnvTest, DocumentNamesTotalsAndCaptions) {
    EXPECT_EQ(Get("foldertotal"), CValue::Long(6));
    EXPECT_EQ(Get("recordtotal"), CValue::Long(6));
    EXPECT_EQ(Text("doctitle"), "bank.zvd");
    EXPECT_EQ(Text("template"), "Test");
    EXPECT_EQ(Text("strval"), "a new string");
    EXPECT_EQ(Text("titlesitename"), "Site Name/Description");
    EXPECT_EQ(Text("titleaccnum"), "Account Number");
    EXPECT_EQ(Text("titleexpired"), "Expires On");
    EXPECT_EQ(Text("titlemodified"), "Last Modified");

    CFolderSequence none;
    CReportCursor cursor;
    cursor.Reset(none, "x");
    CFixedDateFormatter dates;
    CReportEnvironment empty({none, cursor, PrintFlags::Defaults(), "Untitled", dates, {}});
    EXPECT_EQ(empty.Value("nextfolder", out, {}), CValue::Long(0));
    EXPECT_EQ(empty.Value("recordtotal", out, {}), CValue::Long(0));
    EXPECT_EQ(empty.Value("foldertotal", out, {}), CValue::Long(0));
}

TEST_F(EnvTest, PrintFlagsAreOneOnlyWhenExactlyOne) {
    const char* names[] = {"printsitename", "printlocation", "printemail",    "printaccname",
                           "printaccnum",   "printusername", "printpassword", "printpin",
                           "printcreated",  "printmodified", "printexpired",  "printnotes"};
    std::string got;
    for (const char* n : names) {
        got += Text(n);
    }
    EXPECT_EQ(got, "111111100000");

    PrintFlags odd = PrintFlags::All(0);
    odd.Set(RecordField::Pin, 2);  // only 1 means ticked
    odd.Set(RecordField::Notes, 1);
    Report other(odd);
    EXPECT_EQ(other.env->Value("printpin", out, {}), CValue::Long(0));
    EXPECT_EQ(other.env->Value("printnotes", out, {}), CValue::Long(1));

    // Flags and captions are answered once per run, with what they answer when asked.
    for (const char* n : {"printpin", "printnotes", "titlenotes", "titlesitename"}) {
        CValue once;
        EXPECT_TRUE(other.env->Constant(other.env->Resolve(n), once)) << n;
        EXPECT_EQ(once, other.env->Value(n, out, {})) << n;
    }
    CValue none;
    EXPECT_FALSE(other.env->Constant(other.env->Resolve("sitename"), none));
    EXPECT_FALSE(other.env->Constant(other.env->Resolve("nextrecord"), none));
}

TEST_F(EnvTest, UnknownNamesOutputAndChildren) {
    EXPECT_EQ(Get("nosuch"), CValue::Long(0));
    EXPECT_EQ(out.text, " nosuch: command unknown ");
    EXPECT_EQ(RunText("nosuch"), " nosuch: command unknown 0");
    EXPECT_EQ(RunText("output"), "output only");
    EXPECT_EQ(RunText("foldertotal"), "6");
    EXPECT_EQ(r.env->Child("a", out, {}), nullptr);
}

TEST_F(EnvTest, HtmlEscapesMarkupAndConvertsNumbers) {
    EXPECT_EQ(Text("html"), "");
    EXPECT_EQ(Get("html", {CValue::String("<a href='x'>Tom & \"J\"</a>")}).StringValue(),
              "&lt;a href=&#39;x&#39;&gt;Tom &amp; &quot;J&quot;&lt;/a&gt;");
    EXPECT_EQ(Get("html", {CValue::Long(5), CValue::String("<")}), CValue::String("5"));
    EXPECT_EQ(Get("html", {CValue::String("M\u00FCnchen")}), CValue::String("M\u00FCnchen"));
    EXPECT_EQ(Get("html", {CValue::String("a\r\nb\rc\r")}), CValue::String("a\nb\rc\r"));
}

TEST(PrintFlagsTest, ParsingNamesAllAndNone) {
    PrintFlags flags = PrintFlags::Defaults();
    std::string error;
    ASSERT_TRUE(ParsePrintFlags("none", flags, error));
    EXPECT_EQ(flags.values, PrintFlags::All(0).values);
    ASSERT_TRUE(ParsePrintFlags("ALL", flags, error));
    EXPECT_EQ(flags.values, PrintFlags::All(1).values);
    ASSERT_TRUE(ParsePrintFlags("RecordName, password,Expired", flags, error));
    EXPECT_TRUE(flags.Prints(RecordField::SiteName));
    EXPECT_TRUE(flags.Prints(RecordField::Password));
    EXPECT_TRUE(flags.Prints(RecordField::ExpiresOn));
    EXPECT_FALSE(flags.Prints(RecordField::UserName));

    const PrintFlags before = flags;
    EXPECT_FALSE(ParsePrintFlags("Password,Colour", flags, error));
    EXPECT_EQ(error, "unknown print field 'Colour'");
    EXPECT_FALSE(ParsePrintFlags("Password,", flags, error));
    EXPECT_EQ(flags.values, before.values);
}

TEST(DateFormatTest, SystemLocaleGivesOneDateAndOneTimeWithoutZone) {
    const auto f = MakeSystemDateFormatter();
    const std::string text = FormatReportDate(*f, At(2024, 3, 5, 14, 5, 9), true);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.find("2024"), std::string::npos);
    EXPECT_EQ(text.find("UTC"), std::string::npos);
    EXPECT_EQ(FormatReportDate(*f, {45000.0, 2}, false), "");
    EXPECT_EQ(FormatReportDate(*f, {1e9, 0}, true), "");  // beyond year 9999
}

TEST(TemplateFilesTest, ListsZvtFilesOfAnyCaseSortedWithoutExtension) {
    const TempFolder temp;
    const fs::path& dir = temp.path;
    for (const char* name : {"b.ZVT", "Letters.zvt", "a.Zvt", "notes.txt", "c.zvt.bak", ".ZVT"}) {
        std::ofstream(dir / name) << "x";
    }
    fs::create_directory(dir / "folder.ZVT");
    EXPECT_EQ(ListTemplates(dir.string()), (std::vector<std::string>{"a", "b", "Letters"}));
    EXPECT_EQ(TemplateFilePath(dir.string(), "Letters"), (dir / "Letters.zvt").string());
    EXPECT_EQ(TemplateFilePath(dir.string(), "b"), (dir / "b.ZVT").string());
    EXPECT_EQ(TemplateFilePath(dir.string(), "gone"), (dir / "gone.ZVT").string());
    EXPECT_EQ(MissingTemplateFileMessage("/t/x.ZVT").text, "Cannot find template file\n/t/x.ZVT");
    fs::remove_all(dir);
    EXPECT_TRUE(ListTemplates(dir.string()).empty());
    EXPECT_EQ(TemplatesFolder("/opt/zelvant"), "/opt/zelvant/templates");
}

// Each folder as "path", or "path (user)" for the user's own.
std::vector<std::string> Folders(const std::string& program,
                                 const std::map<std::string, std::string>& env) {
    const auto lookup = [&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    std::vector<std::string> out;
    for (const TemplateFolder& f : TemplateFolders(program, lookup)) {
        out.push_back(f.path + (f.user ? " (user)" : ""));
    }
    return out;
}

TEST(TemplateFilesTest, FoldersGoFromTheUserToTheSystemToTheProgram) {
    const std::string installed =
        (fs::path("/opt/z/bin") / ZELVANT_DATA_FROM_BIN / "templates").lexically_normal().string();
    EXPECT_EQ(
        Folders("/opt/z/bin", {{"HOME", "/home/u"}}),
        (std::vector<std::string>{
            "/home/u/.local/share/zelvant/templates (user)", "/usr/local/share/zelvant/templates",
            "/usr/share/zelvant/templates", installed, "/opt/z/bin/templates"}));
    // Relative entries would mean the current folder: left out. So are repeats.
    EXPECT_EQ(
        Folders(
            "/opt/z/bin",
            {{"HOME", "/home/u"}, {"XDG_DATA_HOME", "/data"}, {"XDG_DATA_DIRS", "/a:rel::/b/:/a"}}),
        (std::vector<std::string>{"/data/zelvant/templates (user)", "/a/zelvant/templates",
                                  "/b/zelvant/templates", installed, "/opt/z/bin/templates"}));
    EXPECT_EQ(Folders("rel/bin", {{"XDG_DATA_HOME", "data"}, {"XDG_DATA_DIRS", "/s"}}),
              (std::vector<std::string>{"/s/zelvant/templates"}));
    // The installed folder named again as a system data folder keeps its first place.
    const std::string share = fs::path(installed).parent_path().parent_path().string();
    EXPECT_EQ(Folders("/opt/z/bin", {{"XDG_DATA_DIRS", share}}),
              (std::vector<std::string>{installed, "/opt/z/bin/templates"}));
}

TEST(TemplateFilesTest, EarlierFoldersHideLaterNamesAndNamesStayInTheirFolders) {
    const TempFolder temp;
    const fs::path& dir = temp.path;
    for (const char* sub : {"user", "system"}) {
        fs::create_directory(dir / sub);
    }
    for (const char* file : {"user/Summary.zvt", "user/mine.ZVT", "system/Summary.ZVT",
                             "system/Full listing.ZVT", "system/summary.ZVT", "outside.ZVT"}) {
        std::ofstream(dir / file) << "x";
    }
    const std::vector<TemplateFolder> folders = {{(dir / "user").string(), true},
                                                 {(dir / "missing").string(), false},
                                                 {(dir / "system").string(), false}};
    std::vector<std::string> listed;
    for (const TemplateEntry& e : FindTemplates(folders)) {
        listed.push_back(e.name + "|" + fs::path(e.path).lexically_relative(dir).string() + "|" +
                         (e.user ? "user" : "system"));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "Full listing|system/Full listing.ZVT|system", "mine|user/mine.ZVT|user",
                          "Summary|user/Summary.zvt|user", "summary|system/summary.ZVT|system"}));

    const auto found = FindTemplate(folders, "Full listing");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path, (dir / "system" / "Full listing.ZVT").string());
    EXPECT_FALSE(found->user);
    EXPECT_EQ(FindTemplate(folders, "Summary")->path, (dir / "user" / "Summary.zvt").string());
    EXPECT_FALSE(FindTemplate(folders, "gone").has_value());
    EXPECT_FALSE(FindTemplate(folders, "../outside").has_value());
    EXPECT_FALSE(FindTemplate(folders, "").has_value());
}

}  // namespace
}  // namespace zelvant::report::testing
