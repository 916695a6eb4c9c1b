#pragma once
// The EFF Long Wordlist (7,776 words, CC BY 3.0 US; see resources/wordlists), compiled into the
// program so that passphrases never depend on a file found at run time.

#include <span>
#include <string_view>

namespace zelvant {

std::span<const std::string_view> PassphraseWords();

}  // namespace zelvant
