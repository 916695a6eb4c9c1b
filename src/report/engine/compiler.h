#pragma once
// Recursive descent from tokens to syntax trees.

#include <cstddef>
#include <string>
#include <vector>

#include "report/engine/lexer.h"
#include "report/engine/syntax.h"

namespace zelvant::report {

// Deeper expressions or blocks are refused at compile time, so that running them never needs
// more native stack than this allows.
inline constexpr int kMaxNesting = 100;
// `while` statements nested within one another in one template, or in one executed text.
inline constexpr int kMaxWhileNesting = 5;

struct CCompileError {
    unsigned line = 0;  // 0: none
    std::string message;
};

// A whole template: header, body, "endtmpl". Parameters enter `vars` first.
bool CompileTemplate(const std::vector<CToken>& tokens, CCode& code, std::vector<std::string>& vars,
                     std::string& name, std::size_t& paramCount, CCompileError& error);

// One statement chain, stopping quietly at the first token that begins no statement.
bool CompileChain(const std::vector<CToken>& tokens, CCode& code, std::vector<std::string>& vars,
                  CCompileError& error);

}  // namespace zelvant::report
