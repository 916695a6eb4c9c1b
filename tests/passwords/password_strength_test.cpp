#include <gtest/gtest.h>

#include "passwords/password_strength.h"

namespace zelvant {
namespace {

TEST(PasswordStrength, CommonPasswordsAreWeakAndLongRandomOnesStrong) {
    for (const char* weak : {"", "password", "123456", "qwerty", "Password1"}) {
        const Strength s = EstimateStrength(weak);
        EXPECT_EQ(s.verdict, StrengthVerdict::Weak) << weak << " " << s.log10Guesses;
    }
    const Strength strong = EstimateStrength("q7#Vd!k2Lp@9zR$w4Xm&");
    EXPECT_EQ(strong.verdict, StrengthVerdict::Strong);
    EXPECT_GE(GuessesExponent(strong), 20);
    EXPECT_EQ(VerdictWord(strong.verdict), "strong");
    // From 10^8 to 10^10 guesses a password is fair.
    const Strength middling = EstimateStrength("blueberrypie9");
    EXPECT_EQ(middling.verdict, StrengthVerdict::Fair) << middling.log10Guesses;
    EXPECT_EQ(GuessesExponent(middling), 9);
}

TEST(PasswordStrength, TheRecordsOwnWordsCountAgainstIt) {
    const std::vector<std::string> words = {"northwindtraders", "anna.kowalski"};
    const double alone = EstimateStrength("northwindtraders1977").log10Guesses;
    const double known = EstimateStrength("northwindtraders1977", words).log10Guesses;
    EXPECT_LT(known, alone - 2);
    // Past the first 256 bytes each byte still adds to the estimate.
    const std::string long1(300, 'x');
    EXPECT_GT(EstimateStrength(long1 + "abc").log10Guesses, EstimateStrength(long1).log10Guesses);
}

}  // namespace
}  // namespace zelvant
