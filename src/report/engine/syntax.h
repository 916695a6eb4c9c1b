#pragma once
// Syntax trees of compiled templates. One code table serves keywords, operators and node kinds.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

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

struct CSyntaxNode {
    std::uint8_t kind = kLeaf;
    std::uint16_t depth = 1;  // expression nesting below and including this node
    CSlot first;
    CSlot second;
};

// The tree is run as a list of instructions (see emit.cpp): blocks become jumps, and
// expressions work on a stack of values, so that running them needs no native recursion and
// little dispatch.
enum class COpCode : std::uint8_t {
    End,          // the chain is done
    Text,         // writes the text at pool a, length b
    WriteVar,     // writes variable a
    WritePop,     // writes the value on top and drops it
    Pop,          // drops the value on top
    Jump,         // to a
    JumpIfFalse,  // drops the value on top; to a when it is false
    WhileStart,   // loop level a takes the iteration maximum; to b when it is not above 0
    WhileStep,    // counts a run of loop level a; back to b unless the maximum is reached
    Return,
    Exit,
    CloseOutputs,  // ends the last a `setoutput` blocks, which a `break` or `continue` leaves
    PushArg,       // moves the value on top into a new argument slot of a template call
    PushArgRef,    // a new argument slot referring to variable a
    Call,          // calls the template of site a with the last b argument slots
    Sys,           // the `sys` command of site a with the b values on top
    OutputCheck,   // to a when there is no output factory
    OutputOpen,    // opens the output of site a with the b values on top; to c when none
    OutputClose,
    ExecuteCheck,  // to a inside executed text
    Execute,       // compiles and runs the string on top
    EnvCheck,      // to a when there is no environment (pushing long 0 when c is 1)
    EnvRun,        // runs the name of site a with the b values on top
    EnvValue,      // the value of the name of site a with the b values on top
    EnvRunVar,     // runs the name of site a with variable b as its argument
    EnvValueVar,   // the same as a value
    EnvBegin,      // starts an `env` chain of more than one link
    EnvChild,      // a link of the chain: site a, b values on top; to c when there is none
    EnvLast,       // the last link: site a, b values; runs when c is 0, else yields the value
    EnvEnd,
    PushString,  // the literal text at pool a, length b
    PushLong,    // a as a signed number
    PushDouble,  // constant a
    PushVar,     // a copy of variable a
    PushZero,
    Assign,    // stores the value on top in variable a; keeps a copy when b is 1
    Append,    // appends the text of the c values on top to variable a; keeps a copy when b is 1
    Step,      // ++ (b 1) or -- (b -1 as unsigned) on variable a; c: 0 drop, 1 new, 2 old value
    Not,       // long 1 or 0
    Negate,    // unary minus
    Positive,  // unary plus
    Truth,     // long 1 or 0
    Binary,    // the operator of symbol a on the left value (on top) and the right one below it
    OrJump,    // to a with long 1 when the value on top is true
    AndJump,   // to a with long 0 when the value on top is false
    Substr,    // string, index and count on top
    Param,     // the argument numbered by the value on top
    // Fused forms of frequent sequences.
    EnvTest,        // to c when the value of the name of site a, asked without arguments, is false
    EnvArg,         // that value into a new argument slot of a template call
    StringArg,      // the literal text at pool a, length b, into a new argument slot
    TestVarString,  // to c unless variable a compares (symbol k) true with the literal of site b
};

struct COp {
    COpCode code = COpCode::End;
    std::uint8_t k = 0;  // a symbol code, for the instructions that compare
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
};

// A name an instruction refers to. Template calls and one-link `env` expressions get a link
// once every template of the set is compiled, so that a run finds by number what the text
// names: the callee's position in its set, or the number of the `env` name among the names of
// the set.
inline constexpr std::uint32_t kUnlinked = UINT32_MAX;
inline constexpr std::uint32_t kNoTemplate = UINT32_MAX - 1;

struct CSite {
    enum class Kind : std::uint8_t { Other, Template, Env };
    Kind kind = Kind::Other;
    std::uint32_t pos = 0;
    std::uint32_t len = 0;
    std::uint32_t link = kUnlinked;
};

// Compiled code: nodes live in an arena (no recursive destruction of long chains) and refer to
// text by position in the pool.
struct CCode {
    std::string pool;
    std::deque<CSyntaxNode> nodes;
    CSlot root;
    // Never empty: code that did not compile runs as nothing.
    std::vector<COp> ops{COp{}};
    std::vector<double> doubles;
    std::vector<CSite> sites;
    // Text compiled by `execute` goes away while values made from its literals may live on:
    // those values copy their bytes instead of referring to the pool.
    bool transient = false;

    std::string_view Text(const CSlot& s) const {
        return std::string_view(pool).substr(s.pos, s.len);
    }
    std::string_view Text(std::uint32_t pos, std::uint32_t len) const {
        return std::string_view(pool.data() + pos, len);
    }
    std::string_view Name(const CSite& s) const { return Text(s.pos, s.len); }
    void Clear() {
        pool.clear();
        nodes.clear();
        root = CSlot{};
        ops.assign(1, COp{});
        doubles.clear();
        sites.clear();
        transient = false;
    }
};

}  // namespace zelvant::report
