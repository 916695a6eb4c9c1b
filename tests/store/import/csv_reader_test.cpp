#include <gtest/gtest.h>

#include "store/import/csv_reader.h"

namespace zelvant::importers {
namespace {

std::vector<std::vector<std::string>> Fields(const std::vector<CsvRow>& rows) {
    std::vector<std::vector<std::string>> out;
    for (const CsvRow& row : rows) {
        auto& fields = out.emplace_back();
        for (const WipedString& f : row.fields) {
            fields.emplace_back(f.data(), f.size());
        }
    }
    return out;
}

TEST(CsvReader, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
    std::vector<CsvRow> rows;
    std::string error;
    const std::string text =
        "\xEF\xBB\xBFname,notes\r\n"
        "\"a, b\",\"say \"\"hi\"\"\r\nsecond line\"\r\n"
        "\r\n"
        "plain,\n"
        "x\"y,\"\"\r"
        "last,row";
    ASSERT_TRUE(ReadCsv(text, rows, error)) << error;
    const std::vector<std::vector<std::string>> expected = {{"name", "notes"},
                                                            {"a, b", "say \"hi\"\r\nsecond line"},
                                                            {"plain", ""},
                                                            {"x\"y", ""},
                                                            {"last", "row"}};
    EXPECT_EQ(Fields(rows), expected);
    // Each row knows the line it starts on, counting the line break inside a field.
    EXPECT_EQ(rows[2].line, 5);
    EXPECT_EQ(rows[4].line, 7);
}

TEST(CsvReader, RefusesBrokenQuotingAndForeignBytesNamingTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"a,b\n1,\"open\nstill open", "line 2: a quoted field is not closed"},
        {"a,b\n\"x\"y,2\n", "line 2: text follows the closing quote of a field"},
        {"a\n\"two\nlines\"\nCaf\xE9\n",
         "line 4: the text is not UTF-8; export the file again as UTF-8"},
    };
    for (const auto& [text, message] : cases) {
        std::vector<CsvRow> rows;
        std::string error;
        EXPECT_FALSE(ReadCsv(text, rows, error));
        EXPECT_EQ(error, message);
        EXPECT_TRUE(rows.empty());
    }
}

}  // namespace
}  // namespace zelvant::importers
