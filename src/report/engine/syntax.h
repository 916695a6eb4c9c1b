#pragma once
// Syntax trees of compiled templates. One code table serves keywords, operators and node kinds.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace zelvant::report {

enum Sym : std::uint8_t {
    kLeaf = 0,
    kText = 1,
    kIf = 2,
    kElseIf = 3,
    kElse = 4,
    kEndIf = 5,
    kWhile = 6,
    kEndWhile = 7,
    kIterator = 8,
    kBreak = 9,
    kContinue = 10,
    kReturn = 11,
    kExit = 12,
    kSetOutput = 13,
    kEndSetOutput = 14,
    kTmpl = 15,
    kSys = 16,
    kEnv = 17,
    kParam = 18,
    kEndTmpl = 19,
    kSubstr = 20,
    kExecute = 21,
    kCall = 22,
    kAssign = 23,
    kIncrement = 24,
    kDecrement = 25,
    kLessEqual = 26,
    kGreaterEqual = 27,
    kNotEqual = 28,
    kLess = 29,
    kGreater = 30,
    kEqual = 31,
    kOr = 32,
    kAnd = 33,
    kNot = 34,
    kPlus = 35,
    kMinus = 36,
    kTimes = 37,
    kDivide = 38,
    kModulo = 39,
    kConcat = 40,
    kLeftBracket = 41,
    kRightBracket = 42,
    kComma = 43,
    kLeftParen = 44,
    kRightParen = 45,
    kDot = 46,
    kSemicolon = 47,
    kCodeEnd = 48,
    kSymbolCount = 49,
};

// Keywords are the codes 2..21, operators 23..48; the empty entries are never matched.
extern const std::string_view kSymbolText[kSymbolCount];

struct CSyntaxNode;

// An operand slot: a sub-node, or a literal or variable folded in from its leaf.
struct CSlot {
    enum class Kind : std::uint8_t { Empty, Node, String, Long, Double, Var };
    Kind kind = Kind::Empty;
    CSyntaxNode* node = nullptr;
    std::int32_t lng = 0;
    double dbl = 0.0;
    std::uint32_t pos = 0;  // pool position of a string, or a variable index
    std::uint32_t len = 0;  // length of a string

    bool IsEmpty() const { return kind == Kind::Empty; }
    bool IsNode() const { return kind == Kind::Node; }
    bool IsVar() const { return kind == Kind::Var; }
};

// What `link` of a node holds before linking, and for a `tmpl` call whose template is missing.
inline constexpr std::uint32_t kUnlinked = UINT32_MAX;
inline constexpr std::uint32_t kNoTemplate = UINT32_MAX - 1;

struct CSyntaxNode {
    std::uint8_t kind = kLeaf;
    std::uint16_t depth = 1;  // expression nesting below and including this node
    // Filled in once every template of the set is compiled, so that a run finds by number what
    // the text names: for `tmpl` the callee's position in its set, for an `env` expression of
    // one link the number of its name among the names the set's `env` expressions use.
    std::uint32_t link = kUnlinked;
    CSlot first;
    CSlot second;
};

// Compiled code: nodes live in an arena (no recursive destruction of long chains) and refer to
// text by position in the pool.
struct CCode {
    std::string pool;
    std::deque<CSyntaxNode> nodes;
    CSlot root;
    // Text compiled by `execute` goes away while values made from its literals may live on:
    // those values copy their bytes instead of referring to the pool.
    bool transient = false;

    std::string_view Text(const CSlot& s) const {
        return std::string_view(pool).substr(s.pos, s.len);
    }
    void Clear() {
        pool.clear();
        nodes.clear();
        root = CSlot{};
        transient = false;
    }
};

}  // namespace zelvant::report
