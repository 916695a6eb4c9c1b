// Values and expressions: grouping, evaluation order, conversions and the operators.
#include <gtest/gtest.h>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

TEST(Evaluation, GroupingAndPrecedence) {
    EXPECT_EQ(RunCode("3 < 2 < 1"), "1");
    EXPECT_EQ(RunCode("\"x\" $ 1 + 2"), "4");
    EXPECT_EQ(RunCode("2 * 3 $ 4"), "4");  // 2 * "34": "$" binds more tightly than "*"
    EXPECT_EQ(RunCode("1 + 2 * 3"), "7");
    EXPECT_EQ(RunCode("10 - 4 - 3"), "3");
    EXPECT_EQ(RunCode("0 || 1 && 0"), "0");  // one level, from the left
    EXPECT_EQ(RunCode("1 || 0 && 0"), "0");
    EXPECT_EQ(RunCode("a := b := 3; a $ b"), "33");
    EXPECT_EQ(RunCode("-2 * -3"), "6");
    EXPECT_EQ(RunCode("!0 + 1"), "2");
}

TEST(Evaluation, RightOperandFirstAndShortCircuit) {
    EXPECT_EQ(RunCode("(x := 1) $ (x := 2); x"), "121");
    EXPECT_EQ(RunCode("i := 5; i - i++"), "1");  // right (5, then i is 6) before left (6)
    EXPECT_EQ(RunCode("0 && (x := 1); x"), "00");
    EXPECT_EQ(RunCode("1 || (x := 1); x"), "10");
    EXPECT_EQ(RunCode("1 && (x := 'a'); x"), "1a");
    EXPECT_EQ(RunCode("5e-1 || 0"), "0");
}

// "v := v $ ..." is appended in place; it must still read v after the operands to its right.
TEST(Evaluation, SelfConcatenationKeepsItsOrder) {
    EXPECT_EQ(RunCode("v := 'a'; v := v $ (v := 'x') $ 'y'; v"), "xxy");
    EXPECT_EQ(RunCode("v := 'ab'; v := v $ v; v"), "abab");
    EXPECT_EQ(RunCode("n := 5; n := n $ 1 $ 2.5; n"), "512.500000");
    EXPECT_EQ(RunCode("v := 'a'; w := v := v $ 'b'; w $ v"), "abab");
}

TEST(Evaluation, Conversions) {
    EXPECT_EQ(RunCode("!\"\""), "1");
    EXPECT_EQ(RunCode("!\"0\""), "0");
    EXPECT_EQ(RunCode("!5e-1"), "1");
    EXPECT_EQ(RunCode("-\"abc\""), "-3");
    EXPECT_EQ(RunCode("+\"abc\""), "3");
    EXPECT_EQ(RunCode("-2.5"), "-2.500000");
    EXPECT_EQ(RunCode("2.5 $ ''"), "2.500000");
    EXPECT_EQ(RunCode("1 $ 2"), "12");
    EXPECT_EQ(RunCode("x := 'abc'; x++; x"), "4");
    EXPECT_EQ(RunCode("x := 1.5; ++x"), "");
    EXPECT_EQ(RunCode("x := 1.5; x++; x; x--; --x; x"), "2.5000000.500000");
}

TEST(Evaluation, Comparisons) {
    EXPECT_EQ(RunCode("\"ab\" < \"abc\""), "1");
    EXPECT_EQ(RunCode("\"b\" > \"abc\""), "1");
    EXPECT_EQ(RunCode("\"abc\" = \"abc\""), "1");
    EXPECT_EQ(RunCode("\"10\" < \"9\""), "1");
    EXPECT_EQ(RunCode("\"abc\" = 3"), "1");
    EXPECT_EQ(RunCode("3 != \"abc\""), "0");
    EXPECT_EQ(RunCode("\"\xff\" > \"a\""), "1");  // bytes compare unsigned
    EXPECT_EQ(RunCode("1 < 1.5"), "1");
    EXPECT_EQ(RunCode("2.5 >= \"ab\""), "1");
    EXPECT_EQ(RunCode("\"ab\" <= 1.9"), "0");
    EXPECT_EQ(RunCode("2 = 2.0"), "1");
}

TEST(Evaluation, ArithmeticTakesTheLeftType) {
    EXPECT_EQ(RunCode("1 + 2.5"), "3");
    EXPECT_EQ(RunCode("2.5 + 1"), "3.500000");
    EXPECT_EQ(RunCode("\"abc\" + 1"), "4");
    EXPECT_EQ(RunCode("2.5 * \"ab\""), "5.000000");
    EXPECT_EQ(RunCode("10 - \"ab\""), "8");
    EXPECT_EQ(RunCode("2147483647 + 1"), "-2147483648");
    EXPECT_EQ(RunCode("-2147483647 - 2"), "2147483647");
    EXPECT_EQ(RunCode("65536 * 65536"), "0");
    EXPECT_EQ(RunCode("x := -2147483647 - 1; -x"), "-2147483648");
    EXPECT_EQ(RunCode("x := 2147483647; x++; x"), "-2147483648");
    // Out-of-range doubles saturate instead of being undefined.
    EXPECT_EQ(RunCode("1 + 2.5 / 1e-300"), "-2147483648");
}

TEST(Evaluation, DivisionAndRemainder) {
    EXPECT_EQ(RunCode("7 / 2"), "3");
    EXPECT_EQ(RunCode("-7 / 2"), "-3");
    EXPECT_EQ(RunCode("7 / 2.5"), "3");
    EXPECT_EQ(RunCode("7.5 / 2"), "3.750000");
    EXPECT_EQ(RunCode("\"abcdef\" / \"ab\""), "3");
    EXPECT_EQ(RunCode("-7 % 2"), "-1");
    EXPECT_EQ(RunCode("7 % -2"), "1");
    EXPECT_EQ(RunCode("7 % \"ab\""), "1");
    EXPECT_EQ(RunCode("7.9 % 2.5"), "1");
    EXPECT_EQ(RunCode("1.0e0 / 0"), "0");  // "1.0e0" is the long 1
    EXPECT_EQ(RunCode("1.5 / 0"), "inf");
    // Whole-number division or remainder by zero yields 0 rather than crashing.
    EXPECT_EQ(RunCode("7 / 0; 7 % 0; 7 / 5e-1; 7 % ''"), "0000");
    EXPECT_EQ(RunCode("x := -2147483647 - 1; x / -1; ' '; x % -1"), "-2147483648 0");
}

TEST(Evaluation, Substr) {
    EXPECT_EQ(RunCode("substr(\"hello\", 1, 3)"), "ell");
    EXPECT_EQ(RunCode("substr(\"hello\", 4, 10)"), "o");
    EXPECT_EQ(RunCode("substr(\"hello\", 5, 1)"), " substr index larger than string 0");
    EXPECT_EQ(RunCode("substr(12345, 1, 2)"), "23");
    EXPECT_EQ(RunCode("substr(2.5, 0, 3)"), "2.5");
    EXPECT_EQ(RunCode("substr('', 0, 1)"), " substr index larger than string 0");
    EXPECT_EQ(RunCode("substr('abc', -1, 1)"), " negative number for substr index or items 0");
    EXPECT_EQ(RunCode("substr('abc', 0, -1)"), " negative number for substr index or items 0");
    EXPECT_EQ(RunCode("substr('abc', 1, 0) $ '|'"), "|");
    EXPECT_EQ(RunCode("s := 'hello'; substr(s, 0, 2); s; substr('xyz', 1, 1); substr('xyz', 1, 1)"),
              "hehelloyy");
    // The string, then the index, then the count.
    EXPECT_EQ(RunCode("substr(i := 'abcd', i := 1, i + 1)"), "bc");
}

TEST(Evaluation, ParamOutsideACall) {
    EXPECT_EQ(RunCode("param[0]"), "0");
}

}  // namespace
}  // namespace zelvant::report::test
