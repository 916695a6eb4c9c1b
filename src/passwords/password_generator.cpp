#include "passwords/password_generator.h"

#include <sodium.h>

#include <array>
#include <cstdlib>

#include "passwords/word_list.h"
#include "store/text_codec.h"

namespace zelvant {
namespace {

constexpr std::string_view kLower = "abcdefghijklmnopqrstuvwxyz";
constexpr std::string_view kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kSymbols = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
constexpr std::string_view kLookalikes = "0Oo1Il|'\"`";

// Passwords missing a class are drawn again; this many draws failing in a row would take
// billions of years of luck, or a broken random source.
constexpr int kMaxDraws = 10000;

std::string Without(std::string_view chars, bool avoidLookalikes) {
    std::string out;
    for (char c : chars) {
        if (!avoidLookalikes || kLookalikes.find(c) == std::string_view::npos) {
            out += c;
        }
    }
    return out;
}

std::array<std::string, 4> Classes(const PasswordRules& rules) {
    std::array<std::string, 4> classes;
    const std::array<std::pair<bool, std::string_view>, 4> all = {{{rules.lower, kLower},
                                                                   {rules.upper, kUpper},
                                                                   {rules.digits, kDigits},
                                                                   {rules.symbols, kSymbols}}};
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].first) {
            classes[i] = Without(all[i].second, rules.avoidLookalikes);
        }
    }
    return classes;
}

}  // namespace

RandomBelow SystemRandom() {
    return [](std::uint32_t upper) {
        // Safe to call again; needed once before the first draw.
        if (sodium_init() < 0) {
            std::abort();
        }
        return randombytes_uniform(upper);
    };
}

std::string PasswordAlphabet(const PasswordRules& rules) {
    std::string alphabet;
    for (const std::string& chars : Classes(rules)) {
        alphabet += chars;
    }
    return alphabet;
}

bool GeneratePassword(const PasswordRules& rules, WipedString& out, std::string& error,
                      const RandomBelow& random) {
    WipeText(out);
    if (rules.length < kMinGeneratedLength || rules.length > kMaxGeneratedLength) {
        error = "the length must be from " + std::to_string(kMinGeneratedLength) + " to " +
                std::to_string(kMaxGeneratedLength) + " characters";
        return false;
    }
    const std::string alphabet = PasswordAlphabet(rules);
    if (alphabet.empty()) {
        error = "choose at least one kind of character";
        return false;
    }
    const auto classes = Classes(rules);
    const auto size = static_cast<std::uint32_t>(alphabet.size());
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        WipeText(out);
        for (int i = 0; i < rules.length; ++i) {
            out += alphabet[random(size)];
        }
        bool complete = true;
        for (const std::string& chars : classes) {
            if (!chars.empty() && out.find_first_of(chars) == WipedString::npos) {
                complete = false;
            }
        }
        if (complete) {
            return true;
        }
    }
    WipeText(out);
    error = "the random source failed";
    return false;
}

bool GeneratePassphrase(const PassphraseRules& rules, WipedString& out, std::string& error,
                        const RandomBelow& random) {
    WipeText(out);
    if (rules.words < kMinPassphraseWords || rules.words > kMaxPassphraseWords) {
        error = "the number of words must be from " + std::to_string(kMinPassphraseWords) + " to " +
                std::to_string(kMaxPassphraseWords);
        return false;
    }
    if (CharacterCount(rules.separator) > kMaxSeparatorLength) {
        error =
            "the separator may have at most " + std::to_string(kMaxSeparatorLength) + " characters";
        return false;
    }
    const auto words = PassphraseWords();
    for (int i = 0; i < rules.words; ++i) {
        if (i > 0) {
            out += rules.separator;
        }
        out += words[random(static_cast<std::uint32_t>(words.size()))];
    }
    return true;
}

}  // namespace zelvant
