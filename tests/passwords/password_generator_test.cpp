#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "passwords/password_generator.h"
#include "passwords/word_list.h"

namespace zelvant {
namespace {

std::string Generate(const PasswordRules& rules) {
    WipedString out;
    std::string error;
    EXPECT_TRUE(GeneratePassword(rules, out, error)) << error;
    return std::string(out.data(), out.size());
}

TEST(PasswordGenerator, EveryPasswordHoldsEachKindAskedForAndNothingElse) {
    PasswordRules rules;
    rules.length = 4;
    rules.avoidLookalikes = true;
    const std::string alphabet = PasswordAlphabet(rules);
    for (char c : std::string_view("0Oo1Il|'\"`")) {
        EXPECT_EQ(alphabet.find(c), std::string::npos) << c;
    }
    std::set<char> seen;
    for (int i = 0; i < 300; ++i) {
        const std::string p = Generate(rules);
        ASSERT_EQ(p.size(), 4u);
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), ::islower)) << p;
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), ::isupper)) << p;
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), ::isdigit)) << p;
        EXPECT_TRUE(std::any_of(p.begin(), p.end(), ::ispunct)) << p;
        EXPECT_EQ(p.find_first_not_of(alphabet), std::string::npos) << p;
        seen.insert(p.begin(), p.end());
    }
    // 1,200 draws from 82 characters leave none out unless the choice is biased.
    EXPECT_EQ(seen.size(), alphabet.size());

    rules = PasswordRules();
    rules.symbols = false;
    rules.upper = false;
    rules.length = 128;
    const std::string p = Generate(rules);
    EXPECT_EQ(p.size(), 128u);
    EXPECT_EQ(p.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789"), std::string::npos);
}

TEST(PasswordGenerator, DrawsOnlyBelowTheAlphabetSizeAndRedrawsIncompletePasswords) {
    PasswordRules rules;
    rules.length = 4;
    rules.upper = false;
    rules.symbols = false;
    std::vector<std::uint32_t> bounds;
    // 0,0,0,0 gives "aaaa", which lacks a digit; then a, b, and the first digit.
    std::vector<std::uint32_t> script = {0, 0, 0, 0, 0, 1, 26, 0};
    std::size_t next = 0;
    const RandomBelow fake = [&](std::uint32_t upper) {
        bounds.push_back(upper);
        return script[next++ % script.size()];
    };
    WipedString out;
    std::string error;
    ASSERT_TRUE(GeneratePassword(rules, out, error, fake));
    EXPECT_EQ(std::string(out.data(), out.size()), "ab0a");
    EXPECT_EQ(bounds, std::vector<std::uint32_t>(8, 36));
}

TEST(PasswordGenerator, PassphrasesAreWordsOfTheListJoinedBySeparator) {
    ASSERT_EQ(PassphraseWords().size(), 7776u);
    EXPECT_EQ(PassphraseWords().front(), "abacus");
    EXPECT_EQ(PassphraseWords().back(), "zoom");
    std::vector<std::uint32_t> bounds;
    std::uint32_t n = 0;
    const RandomBelow fake = [&](std::uint32_t upper) {
        bounds.push_back(upper);
        return n++ == 0 ? 0u : upper - 1;
    };
    PassphraseRules rules;
    rules.words = 3;
    rules.separator = " + ";
    WipedString out;
    std::string error;
    ASSERT_TRUE(GeneratePassphrase(rules, out, error, fake));
    EXPECT_EQ(std::string(out.data(), out.size()), "abacus + zoom + zoom");
    EXPECT_EQ(bounds, std::vector<std::uint32_t>(3, 7776));
}

TEST(PasswordGenerator, RefusesRulesThatAllowNoPassword) {
    WipedString out;
    std::string error;
    PasswordRules none;
    none.lower = none.upper = none.digits = none.symbols = false;
    EXPECT_FALSE(GeneratePassword(none, out, error));
    EXPECT_EQ(error, "choose at least one kind of character");
    PasswordRules tooShort;
    tooShort.length = 3;
    EXPECT_FALSE(GeneratePassword(tooShort, out, error));
    EXPECT_EQ(error, "the length must be from 4 to 128 characters");
    PassphraseRules tooMany;
    tooMany.words = 21;
    EXPECT_FALSE(GeneratePassphrase(tooMany, out, error));
    PassphraseRules longSeparator;
    longSeparator.separator = "123456789";
    EXPECT_FALSE(GeneratePassphrase(longSeparator, out, error));
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace zelvant
