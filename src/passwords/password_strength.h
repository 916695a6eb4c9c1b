#pragma once
// How many guesses a password would take, as zxcvbn estimates it, and the short verdict shown
// beside it.

#include <span>
#include <string>
#include <string_view>

namespace zelvant {

enum class StrengthVerdict { Weak, Fair, Strong };

// Below 10^8 guesses a password falls to an attacker who may guess freely; 10^10 holds against a
// stolen copy of a well-protected file for a while.
inline constexpr double kFairLog10Guesses = 8.0;
inline constexpr double kStrongLog10Guesses = 10.0;

struct Strength {
    double log10Guesses = 0.0;
    StrengthVerdict verdict = StrengthVerdict::Weak;
};

// `userWords` are texts an attacker would try first (the record's site and user name).
Strength EstimateStrength(std::string_view password, std::span<const std::string> userWords = {});

// "weak", "fair" or "strong".
std::string_view VerdictWord(StrengthVerdict verdict);

// The power of ten nearest the estimate, at least 0.
int GuessesExponent(const Strength& strength);

}  // namespace zelvant
