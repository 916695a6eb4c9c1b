#include <gtest/gtest.h>

#include <string>

#include "store/date_time.h"
#include "store/text_codec.h"

namespace zelvant {
namespace {

TEST(TextCodecTest, Utf8ValidationIsStrict) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x94\x91"));
    EXPECT_FALSE(IsValidUtf8("M\xFCller"));         // Windows-1252
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
}

TEST(TextCodecTest, Utf8ValidationFindsBadBytesAfterLongAsciiRuns) {
    EXPECT_TRUE(IsValidUtf8("abcdefghijk"));
    EXPECT_TRUE(IsValidUtf8("abcdefghij\xC3\xBCkl"));
    EXPECT_FALSE(IsValidUtf8("abcdefghij\xFCkl"));
    EXPECT_FALSE(IsValidUtf8("abcdefghijklmno\xE2\x82"));
    EXPECT_FALSE(IsValidUtf8("abcdefgh\xC3\xBCijklmnopq\x80"));
}

TEST(TextCodecTest, Windows1252DecodesEveryByteReversibly) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_TRUE(IsValidUtf8(utf8));
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80 5"), "\xE2\x82\xAC 5");
    EXPECT_EQ(DisplayText("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(DisplayText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(Utf8ToCp1252("\xD0\xBF"), std::nullopt);  // Cyrillic has no byte there
}

TEST(TextCodecTest, PasswordsUseWindows1252WhenTheyCan) {
    EXPECT_EQ(PasswordBytes("M\xC3\xBCller"), "M\xFCller");
    EXPECT_EQ(PasswordBytes("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(PasswordBytes("plain"), "plain");
    // One character outside Windows-1252 keeps the whole password in UTF-8.
    EXPECT_EQ(PasswordBytes("\xC3\xBC\xD0\xBF"), "\xC3\xBC\xD0\xBF");
}

TEST(TextCodecTest, CaseInsensitiveOrderAndCharacterCount) {
    EXPECT_EQ(CompareNoCase("bank", "BANK"), 0);
    EXPECT_LT(CompareNoCase("alpha", "Beta"), 0);
    EXPECT_GT(CompareNoCase("beta", "Alpha"), 0);
    EXPECT_LT(CompareNoCase("ab", "abc"), 0);
    EXPECT_EQ(CompareNoCase("\xC3\x84pfel", "\xC3\xA4PFEL"), 0);  // UTF-8 umlauts
    EXPECT_EQ(CompareNoCase("\xC4pfel", "\xC3\xA4pfel"), 0);      // Windows-1252 vs UTF-8
    EXPECT_EQ(CharacterCount("gr\xC3\xBC\xC3\x9F"), 4u);
    EXPECT_EQ(CharacterCount("gr\xFC\xDF"), 4u);
}

TEST(DateTimeTest, OleDatesConvertBothWays) {
    EXPECT_EQ(FormatIso({0.0, 0}), "1899-12-30 00:00:00");
    EXPECT_EQ(FormatIso({45000.0, 0}), "2023-03-15 00:00:00");
    EXPECT_EQ(FormatIso({46361.40625, 0}), "2026-12-05 09:45:00");
    EXPECT_EQ(FormatIso({46361.40625, 0}, true), "2026-12-05");
    // Before the epoch the fraction is still the time of day.
    EXPECT_EQ(FormatIso({-1.25, 0}), "1899-12-29 06:00:00");
    EXPECT_EQ(FromCivil({1899, 12, 29, 6, 0, 0})->oa, -1.25);
    EXPECT_EQ(DateOnly({-1.25, 0}).oa, -1.0);
    EXPECT_EQ(DateOnly({45000.99, 0}).oa, 45000.0);
    // Rounding to the second may carry into the next day.
    EXPECT_EQ(FormatIso({45000.9999999, 0}), "2023-03-16 00:00:00");

    for (const CivilDateTime c :
         {CivilDateTime{100, 1, 1, 0, 0, 0}, CivilDateTime{2000, 2, 29, 23, 59, 59},
          CivilDateTime{9999, 12, 31, 12, 30, 1}, CivilDateTime{1850, 7, 4, 1, 2, 3}}) {
        const auto oa = FromCivil(c);
        ASSERT_TRUE(oa);
        EXPECT_EQ(ToCivil(*oa), c) << c.year;
    }
    EXPECT_FALSE(FromCivil({2001, 2, 29, 0, 0, 0}));
    EXPECT_FALSE(FromCivil({2001, 13, 1, 0, 0, 0}));
    EXPECT_FALSE(ToCivil({45000.0, 1}));
    EXPECT_FALSE(ToCivil({1e300, 0}));
    EXPECT_FALSE(ToCivil({std::numeric_limits<double>::quiet_NaN(), 0}));
    EXPECT_EQ(FormatIso({45000.0, 2}), "");
}

// What of a typed password reaches the 16 key bytes, as the strength meter must judge it.
TEST(PasswordBytes, KeyedPartIsWhatTheKeyIsMadeOf) {
    EXPECT_EQ(KeyedPasswordPart("correct-horse-battery", 16), "correct-horse-ba");
    EXPECT_EQ(KeyedPasswordPart("short", 16), "short");
    // Windows-1252 characters are one byte each, whatever their UTF-8 length.
    const std::string euro = "\xE2\x82\xAC";
    std::string sixteen;
    for (int i = 0; i < 8; ++i) {
        sixteen += euro + "\xC3\xA4";
    }
    EXPECT_EQ(KeyedPasswordPart(sixteen + "tail", 16), sixteen);
    // Otherwise the UTF-8 bytes count, and no character is cut.
    const std::string kana = "\xE3\x81\x82";  // three bytes, not in Windows-1252
    EXPECT_EQ(KeyedPasswordPart(kana + kana + kana + kana + kana + kana, 16),
              kana + kana + kana + kana + kana);
}

}  // namespace
}  // namespace zelvant
