// Whole template files beside the page they print: cases/NAME.zvt runs "start" and must give
// exactly cases/NAME.expected (compile messages first). A new case needs no code here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = ZELVANT_REPORT_CASES;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(kCases)) {
        if (entry.path().extension() == ".zvt") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class TemplateCase : public ::testing::TestWithParam<std::string> {};

TEST_P(TemplateCase, PrintsTheExpectedPage) {
    const fs::path expectedPath = kCases / (GetParam() + ".expected");
    ASSERT_TRUE(fs::exists(expectedPath)) << expectedPath << " is missing";
    std::string expected = ReadAll(expectedPath);
    // The file's own final line break is not part of the page; a page ending in one needs two.
    if (!expected.empty() && expected.back() == '\n') {
        expected.pop_back();
    }
    EXPECT_EQ(RunText(ReadAll(kCases / (GetParam() + ".zvt"))), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TemplateCase, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return param.param;
                         });

}  // namespace
}  // namespace zelvant::report::test
