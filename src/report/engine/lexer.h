#pragma once
// Splits the source of one template into tokens. Text outside "<# ... #>" becomes text tokens.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvant::report {

struct CToken {
    enum class Kind : std::uint8_t { Text, String, Ident, Long, Double, Symbol };
    Kind kind = Kind::Symbol;
    std::uint8_t sym = 0;
    unsigned line = 0;
    std::int32_t lng = 0;
    double dbl = 0.0;
    std::uint32_t pos = 0;  // text, string and identifier: position in the pool
    std::uint32_t len = 0;
};

struct CLexResult {
    bool ok = true;
    std::size_t end = 0;  // position just behind the template
    unsigned line = 0;    // line count reached
    unsigned errorLine = 0;
};

// Lexes one template from `pos`, appending identifier and literal text to `pool`. When nothing
// but text is found, `emptyIsError` decides whether that is a lexical error.
CLexResult Lex(std::string_view text, std::size_t pos, unsigned line, bool emptyIsError,
               std::string& pool, std::vector<CToken>& tokens);

}  // namespace zelvant::report
