// Reading template files: tokens, text runs, lines and the load messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

TEST(Lexer, NumbersInEveryBase) {
    EXPECT_EQ(RunCode("0x1F"), "31");
    EXPECT_EQ(RunCode("0Xff"), "255");
    EXPECT_EQ(RunCode("0b101"), "5");
    EXPECT_EQ(RunCode("017"), "15");
    EXPECT_EQ(RunCode("0"), "0");
    EXPECT_EQ(RunCode("2.0"), "2");
    EXPECT_EQ(RunCode("1e3"), "1000");
    EXPECT_EQ(RunCode("2.5"), "2.500000");
    EXPECT_EQ(RunCode("25e-1"), "2.500000");
    // Whole values beyond 32 bits wrap, as the arithmetic does.
    EXPECT_EQ(RunCode("4294967297"), "1");
    EXPECT_EQ(RunCode("0xFFFFFFFF"), "-1");
    // "08" is the long 0 followed by the long 8: two expressions without a statement end.
    EXPECT_EQ(LoadMessages("<# start #>\n<# 08 #><# endtmpl #>"),
              "template start, line 2: statement end expected\nno templates added\n");
}

TEST(Lexer, StringLiterals) {
    EXPECT_EQ(RunCode("'abc\""), "abc");
    EXPECT_EQ(RunCode(R"('a\'b')"), "a'b");
    EXPECT_EQ(RunCode(R"("x\ty\nz\r")"), "x\ty\nz\r");
    EXPECT_EQ(RunCode(R"("a\qb\\")"), "aqb\\");
    EXPECT_EQ(RunCode(R"("ab\0cd" $ "!")"), "ab!");
    EXPECT_EQ(LoadMessages("<# start #>\n<# \"abc #>"),
              "template unknown, line 1: missing or invalid characters\nno templates added\n");
}

TEST(Lexer, TextRunsAndComments) {
    // The line end after "#>" and TABs at either end of a run are dropped; spaces stay.
    EXPECT_EQ(RunText("<# start #>\n\t\tA  \t\t<# endtmpl #>"), "A  ");
    EXPECT_EQ(RunText("ignored<# start #>x<# endtmpl #>ignored too"), "x");
    EXPECT_EQ(RunText("<# start #>\r\nA\r\nB<# endtmpl #>"), "A\nB");
    EXPECT_EQ(RunText("<# start #><# // note\nsecond line #>X<# endtmpl #>"), "X");
    // The comment's line end still counts.
    EXPECT_EQ(LoadMessages("<# start #><# // a\nb\n#><# if #><# endtmpl #>"),
              "template start, line 3: if lacks expression\nno templates added\n");
    EXPECT_EQ(LoadMessages("<# start #><# // to the end"),
              "template unknown, line 1: missing or invalid characters\nno templates added\n");
    EXPECT_EQ(RunText("<# START #>a<# ENDTMPL #>"), "a");
    EXPECT_EQ(RunText("<# start #><# X := 2; x; If x = 2 #>y<# ENDif #><# endtmpl #>"), "2y");
}

TEST(Lexer, LineCountingThroughStringsAndText) {
    EXPECT_EQ(LoadMessages("<# start #>a\nb\n<# \"s\nt\";\n\n while #><# endtmpl #>"),
              "template start, line 6: while lacks expression\nno templates added\n");
    EXPECT_EQ(LoadMessages("<# start #><# x :=\r\n\r\n @ #><# endtmpl #>"),
              "template unknown, line 1: missing or invalid characters\nno templates added\n");
}

TEST(Load, EmptyAndBadFiles) {
    EXPECT_EQ(LoadMessages("no code at all"),
              "template unknown, line 1: missing or invalid characters\nno templates added\n");
    // "#>" yields a statement end even in an otherwise empty block.
    EXPECT_EQ(LoadMessages("<#  \n #>"),
              "template unknown, line 2: missing or invalid template name\nno templates added\n");
    EXPECT_EQ(LoadMessages(""),
              "template unknown, line 1: missing or invalid characters\nno templates added\n");
    EXPECT_EQ(LoadMessages("<# start #>x<# endtmpl; #>"),
              "template unknown, line 1: missing or invalid characters\nno templates added\n");
}

TEST(Load, SeveralTemplatesAndDuplicates) {
    CTemplateSet set;
    CStringOutput diag;
    EXPECT_TRUE(set.LoadText("<# a #>\nA<# endtmpl #>\nbetween\n<# b #>B<# endtmpl #>\n", diag));
    EXPECT_EQ(diag.text, "");
    EXPECT_EQ(set.Count(), 2u);
    ASSERT_NE(set.Find("b"), nullptr);
    EXPECT_EQ(set.Find("B"), nullptr);

    const std::string dup =
        "<# a #>\nx\n<# endtmpl #>\n\n<# c #>y<# endtmpl #>\n<# A #>z<# endtmpl #>";
    EXPECT_EQ(LoadMessages(dup, &set),
              "template a, after line 5: has the same name as a previous template\n");
    EXPECT_EQ(set.Count(), 2u);
    EXPECT_NE(set.Find("c"), nullptr);

    // A template that fails drops itself and the rest; earlier ones stay.
    EXPECT_EQ(LoadMessages(
                  "<# a #>x<# endtmpl #>\n<# b #><# if #><# endtmpl #><# c #>y<# endtmpl #>", &set),
              "template b, line 2: if lacks expression\n");
    EXPECT_EQ(set.Count(), 1u);
    EXPECT_EQ(set.Find("c"), nullptr);
}

TEST(Load, SingleLineFileWithoutTrailingLineEnd) {
    CTemplateSet set;
    CStringOutput diag;
    EXPECT_TRUE(set.LoadText("<# start #>x<# endtmpl #>", diag));
    EXPECT_TRUE(set.LoadText("<# start #>x<# endtmpl #>\n", diag));
    EXPECT_EQ(diag.text, "");
}

// Hands out the text in small pieces to exercise the growing read buffer.
class CChunkSource : public CSourceStream {
  public:
    explicit CChunkSource(std::string text) : text_(std::move(text)) {}
    std::size_t Read(char* buffer, std::size_t maximum) override {
        const std::size_t n = std::min({maximum, text_.size() - pos_, std::size_t{7000}});
        std::memcpy(buffer, text_.data() + pos_, n);
        pos_ += n;
        return n;
    }

  private:
    std::string text_;
    std::size_t pos_ = 0;
};

TEST(Load, FromStreamLargerThanOneBuffer) {
    std::string body(70000, 'a');
    body[5000] = '\r';
    body[5001] = '\n';
    CChunkSource source("<# start #>" + body + std::string("<# endtmpl #>\0<# bad", 20));
    CTemplateSet set;
    CStringOutput diag;
    EXPECT_TRUE(set.Load(source, diag));
    ASSERT_NE(set.Find("start"), nullptr);
    CStringOutput out;
    report::Run(*set.Find("start"), nullptr, out, nullptr);
    EXPECT_EQ(out.text.size(), body.size() - 1);
}

}  // namespace
}  // namespace zelvant::report::test
