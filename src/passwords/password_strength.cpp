#include "passwords/password_strength.h"

#include <zxcvbn.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "store/secure.h"

namespace zelvant {
namespace {

// zxcvbn's work grows fast with the length: a longer password is judged by its first bytes, and
// each byte after them adds no more than a digit's worth of guesses.
constexpr std::size_t kMaxMatchedBytes = 256;

}  // namespace

Strength EstimateStrength(std::string_view password, std::span<const std::string> userWords) {
    Strength s;
    if (password.empty()) {
        return s;
    }
    // zxcvbn wants a terminated copy; it is the password, so it is wiped.
    SecretText copy;
    copy.text.assign(password.substr(0, kMaxMatchedBytes));
    std::vector<const char*> dictionary;
    for (const std::string& word : userWords) {
        if (!word.empty()) {
            dictionary.push_back(word.c_str());
        }
    }
    dictionary.push_back(nullptr);
    const double bits = ZxcvbnMatch(copy.text.c_str(), dictionary.data(), nullptr);
    s.log10Guesses = std::max(0.0, bits * std::log10(2.0));
    if (password.size() > kMaxMatchedBytes) {
        s.log10Guesses += static_cast<double>(password.size() - kMaxMatchedBytes);
    }
    s.verdict = s.log10Guesses >= kStrongLog10Guesses ? StrengthVerdict::Strong
                : s.log10Guesses >= kFairLog10Guesses ? StrengthVerdict::Fair
                                                      : StrengthVerdict::Weak;
    return s;
}

std::string_view VerdictWord(StrengthVerdict verdict) {
    switch (verdict) {
        case StrengthVerdict::Weak:
            return "weak";
        case StrengthVerdict::Fair:
            return "fair";
        case StrengthVerdict::Strong:
            return "strong";
    }
    return "weak";
}

int GuessesExponent(const Strength& strength) {
    return static_cast<int>(std::lround(std::max(0.0, strength.log10Guesses)));
}

}  // namespace zelvant
