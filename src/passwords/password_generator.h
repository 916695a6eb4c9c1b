#pragma once
// New passwords and passphrases, drawn from the system's cryptographic random source.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/secure.h"

namespace zelvant {

inline constexpr int kMinGeneratedLength = 4;
inline constexpr int kMaxGeneratedLength = 128;
inline constexpr int kDefaultGeneratedLength = 20;
inline constexpr int kMinPassphraseWords = 3;
inline constexpr int kMaxPassphraseWords = 20;
inline constexpr int kDefaultPassphraseWords = 5;
inline constexpr std::size_t kMaxSeparatorLength = 8;

struct PasswordRules {
    int length = kDefaultGeneratedLength;
    bool lower = true;
    bool upper = true;
    bool digits = true;
    bool symbols = true;
    // Leaves out characters that are easily taken for one another: 0 O o, 1 I l |, quotes.
    bool avoidLookalikes = false;
};

struct PassphraseRules {
    int words = kDefaultPassphraseWords;
    std::string separator = "-";
};

// A number from 0 to upper - 1, every one equally likely (upper >= 1).
using RandomBelow = std::function<std::uint32_t(std::uint32_t upper)>;
// libsodium's randombytes_uniform, which rejects the values that would favour some numbers.
RandomBelow SystemRandom();

// The characters the rules allow, each class in a fixed order: lower, upper, digits, symbols.
std::string PasswordAlphabet(const PasswordRules& rules);

// A password of rules.length characters holding at least one of every class asked for, chosen
// uniformly among all such passwords. False with `error` saying why for rules that allow none.
bool GeneratePassword(const PasswordRules& rules, WipedString& out, std::string& error,
                      const RandomBelow& random = SystemRandom());

// rules.words words of the word list joined by the separator.
bool GeneratePassphrase(const PassphraseRules& rules, WipedString& out, std::string& error,
                        const RandomBelow& random = SystemRandom());

}  // namespace zelvant
