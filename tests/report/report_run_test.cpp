
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "report/report_run.h"
#include "report_fixture.h"

namespace zelvant::report::testing {
namespace {

namespace fs = std::filesystem;

const std::string kTemplates = ZELVANT_TEMPLATES;

class RunTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, std::string_view text) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    // Runs a template file over the fixture; the page, or "" with the message in `log`.
    std::string Page(const std::string& path, Report& report) {
        CStringOutput page;
        if (!RunReport(path, page, *report.env, diagnostics, log, RunOptions{.runCommand = {}})) {
            return {};
        }
        return page.text;
    }

    TempFolder temp;
    const fs::path& dir = temp.path;
    CStringOutput diagnostics;
    CMessageLog log;
};

TEST_F(RunTest, FailuresAreToldWithThePath) {
    Report r;
    const std::string missing = (dir / "gone.ZVT").string();
    EXPECT_EQ(Page(missing, r), "");
    EXPECT_EQ(Page(dir.string(), r), "");
    const std::string other = Write("other.ZVT", "<# other #>x<# endtmpl #>");
    EXPECT_EQ(Page(other, r), "");
    ASSERT_EQ(log.messages.size(), 3u);
    EXPECT_EQ(log.messages[0].text, "Cannot open " + missing);
    EXPECT_EQ(log.messages[1].text, "Cannot open " + dir.string());
    EXPECT_EQ(log.messages[2].text, "Cannot find template in " + other);
    for (const Message& m : log.messages) {
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
}

TEST_F(RunTest, StartRunsEvenWhenALaterTemplateFailsToCompile) {
    Report r;
    const std::string path = Write("t.ZVT",
                                   "<# start #><# env.foldertotal #>|<# env.output #>|"
                                   "<# env.nosuch #>|<# x := env.nosuch #>|<# env.a.b #>"
                                   "<# endtmpl #><# broken #><# if #><# endtmpl #>");
    EXPECT_EQ(Page(path, r), "6|output only| nosuch: command unknown 0| nosuch: command unknown |");
    EXPECT_NE(diagnostics.text.find("template broken, line 1: if lacks expression"),
              std::string::npos);
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(RunTest, PageFileIsPrivate) {
    Report r;
    const std::string path = Write("t.ZVT", "<# start #><# env.password #><# endtmpl #>");
    const std::string page = (dir / "zvrep.htm").string();
    Write("zvrep.htm", "old and longer");
    fs::permissions(page, fs::perms::all);
    ASSERT_TRUE(RunReportToFile(path, page, *r.env, diagnostics, log));
    std::ifstream in(page);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "????");
    EXPECT_EQ(fs::status(page).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(
        RunReportToFile(path, (dir / "no" / "page.htm").string(), *r.env, diagnostics, log));

    // A page of many blocks, with writes both smaller and larger than a block, arrives whole.
    const std::string big = Write("big.ZVT",
                                  "<# start #><# sys.looplimit(100000); s := 'x' #>"
                                  "<# while s < 100000, s := s $ s #><# endwhile #>"
                                  "<# i := 0; while i < 30000, i++ #><# i #>,<# endwhile #>"
                                  "<# s #><# endtmpl #>");
    ASSERT_TRUE(RunReportToFile(big, page, *r.env, diagnostics, log));
    std::ifstream bigIn(page);
    const std::string written(std::istreambuf_iterator<char>(bigIn), {});
    EXPECT_GT(written.size(), 250000u);
    EXPECT_EQ(written, Page(big, r));
}

// Every opening tag of these elements is closed, in order.
void ExpectBalanced(const std::string& page) {
    std::vector<std::string> open;
    const std::regex tag(
        "<(/?)(html|head|body|table|thead|tbody|tr|th|td|h1|h2|p|style|title)"
        "[ >]");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), tag);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[2];
        if ((*it)[1].length() == 0) {
            open.push_back(name);
        } else {
            ASSERT_FALSE(open.empty()) << "stray </" << name << ">";
            ASSERT_EQ(open.back(), name);
            open.pop_back();
        }
    }
    EXPECT_TRUE(open.empty());
}

TEST_F(RunTest, ShippedTemplatesMakeCompleteEscapedPages) {
    const auto names = ListTemplates(kTemplates);
    ASSERT_GE(names.size(), 3u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Report r(PrintFlags::All(1), name);
        const std::string page = Page(TemplateFilePath(kTemplates, name), r);
        EXPECT_TRUE(diagnostics.text.empty()) << diagnostics.text;
        EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n")) << page.substr(0, 80);
        EXPECT_TRUE(page.ends_with("</html>\n"));
        EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(page.find("<title>bank.zvd - " + name + "</title>"), std::string::npos);
        EXPECT_EQ(page.find("command unknown"), std::string::npos);
        EXPECT_EQ(page.find("????"), std::string::npos);
        EXPECT_EQ(page.find("<b>"), std::string::npos);
        EXPECT_EQ(page.find("<script"), std::string::npos);
        ExpectBalanced(page);
        if (name != "Summary") {
            EXPECT_NE(page.find("&lt;b&gt;Tom &amp; Jerry&#39;s &quot;shop&quot;&lt;/b&gt;"),
                      std::string::npos);
            EXPECT_NE(page.find("M\u00FCnchen"), std::string::npos);
            EXPECT_NE(page.find("A1-secret"), std::string::npos);
        }
    }
}

TEST_F(RunTest, FullListingHonoursEveryFlag) {
    const std::string path = TemplateFilePath(kTemplates, "Full listing");
    Report all(PrintFlags::All(1));
    const std::string page = Page(path, all);
    for (const char* text : {"Expires On", "Tuesday, 5 March 2024", "line one\nline two",
                             "alpha / Aardvark", "No records in this folder.", "Z1-user"}) {
        EXPECT_NE(page.find(text), std::string::npos) << text;
    }
    Report none(PrintFlags::All(0));
    const std::string bare = Page(path, none);
    for (const char* text : {"A1", "secret", "user", "Expires On", "line one", "Created"}) {
        EXPECT_EQ(bare.find(text), std::string::npos) << text;
    }
    EXPECT_NE(bare.find("alpha / beta"), std::string::npos);
}

TEST_F(RunTest, BigFoldersNeedTheRaisedLoopLimit) {
    Report r;
    for (int i = 0; i < 1001; ++i) {
        AddRecord(r.folders, 1, "R" + std::to_string(i));  // alpha, walked first
    }
    r.cursor.Reset(r.folders, "x");
    const std::string plain =
        Write("t.ZVT",
              "<# start #><# env.nextfolder #><# while env.nextrecord #><# endwhile #>"
              "<# endtmpl #>");
    EXPECT_NE(Page(plain, r).find(" while iteration max reached "), std::string::npos);
    for (const std::string& name : ListTemplates(kTemplates)) {
        r.cursor.Reset(r.folders, name);
        const std::string page = Page(TemplateFilePath(kTemplates, name), r);
        EXPECT_EQ(page.find("iteration max"), std::string::npos) << name;
        EXPECT_NE(page.find("1007"), std::string::npos) << name;  // record total
    }
}

}  // namespace
}  // namespace zelvant::report::testing
