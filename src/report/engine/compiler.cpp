#include "report/engine/compiler.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace zelvant::report {

namespace {

class CCompiler {
  public:
    CCompiler(const std::vector<CToken>& tokens, CCode& code, std::vector<std::string>& vars,
              CCompileError& error)
        : toks_(tokens), code_(code), vars_(vars), error_(error) {}

    // template := NAME [ "(" NAME { "," NAME } ")" ] ";" statements "endtmpl" ";"
    bool Template(std::string& name, std::size_t& paramCount) {
        const unsigned firstLine = toks_.front().line;
        if (!IsKind(CToken::Kind::Ident)) {
            return Error(firstLine, "missing or invalid template name");
        }
        name = std::string(TokenText(toks_[pos_]));
        ++pos_;
        if (Accept(kLeftParen)) {
            do {
                if (!IsKind(CToken::Kind::Ident)) {
                    return Error(LineHere(), "invalid parameter name");
                }
                vars_.emplace_back(TokenText(toks_[pos_]));
                ++paramCount;
                ++pos_;
            } while (Accept(kComma));
            Expect(kRightParen, firstLine, "expected ) on parameter list");
        }
        Expect(kSemicolon, LineHere(), "statement end expected");
        const CSlot body = Statements();
        if (body.IsEmpty()) {
            Error(firstLine, "no statements in template");
        }
        if (AtEnd()) {
            Error(firstLine, "missing endtmpl");
        }
        Expect(kEndTmpl, LineHere(), "unrecognized statement");
        Expect(kSemicolon, LineHere(), "statement end expected");
        if (failed_) {
            return false;
        }
        code_.root = body;
        return true;
    }

    bool Chain() {
        code_.root = Statements();
        return !failed_;
    }

  private:
    bool AtEnd() const { return pos_ >= toks_.size(); }
    bool IsKind(CToken::Kind k) const { return !AtEnd() && toks_[pos_].kind == k; }
    bool IsSym(int s) const { return IsKind(CToken::Kind::Symbol) && toks_[pos_].sym == s; }
    unsigned LineHere() const { return AtEnd() ? toks_.back().line : toks_[pos_].line; }
    std::string_view TokenText(const CToken& t) const {
        return std::string_view(code_.pool).substr(t.pos, t.len);
    }

    bool Accept(int sym) {
        if (!IsSym(sym)) {
            return false;
        }
        ++pos_;
        return true;
    }

    // Takes the symbol when it stands next; otherwise records the error. Callers go on
    // regardless: only the first error is kept, and Statements() stops once one is.
    bool Expect(int sym, unsigned line, const char* message) {
        return Accept(sym) || Error(line, message);
    }

    bool Error(unsigned line, const char* message) {
        if (!failed_) {
            failed_ = true;
            error_.line = line;
            error_.message = message;
        }
        return false;
    }

    // `rule` must find something. The error names `line`, or else the line the rule stopped on.
    CSlot Required(CSlot (CCompiler::*rule)(), const char* message,
                   std::optional<unsigned> line = std::nullopt) {
        const CSlot s = (this->*rule)();
        if (s.IsEmpty()) {
            Error(line.value_or(LineHere()), message);
        }
        return s;
    }

    static CSlot NodeSlot(CSyntaxNode* n) {
        CSlot s;
        s.kind = CSlot::Kind::Node;
        s.node = n;
        return s;
    }
    static CSlot LongSlot(std::int32_t v) {
        CSlot s;
        s.kind = CSlot::Kind::Long;
        s.lng = v;
        return s;
    }
    static int DepthOf(const CSlot& s) { return s.IsNode() ? s.node->depth : 0; }

    // Links of chains add no depth: they are walked in loops, not by recursion.
    CSlot Node(int kind, CSlot first, CSlot second) {
        CSyntaxNode& n = code_.nodes.emplace_back();
        n.kind = static_cast<std::uint8_t>(kind);
        n.first = first;
        n.second = second;
        const bool link = kind == kComma || kind == kDot || kind == kSemicolon;
        const int depth = (link ? 0 : 1) + std::max(DepthOf(first), DepthOf(second));
        n.depth = static_cast<std::uint16_t>(std::min(depth, 60000));
        if (depth > kMaxNesting) {
            Error(LineHere(), "expression too deeply nested");
        }
        return NodeSlot(&n);
    }

    // Appends `item` to the chain that `head`/`tail` describe, with a link of `kind`.
    void Append(CSlot& head, CSyntaxNode*& tail, int kind, CSlot item) {
        const CSlot link = Node(kind, CSlot{}, item);
        if (tail == nullptr) {
            head = link;
        } else {
            tail->first = link;
        }
        tail = link.node;
    }

    // statements := { statement ";" }
    // The recovery point: after an error no further statement is read, and what the callers
    // above built since is thrown away with the failed compile.
    CSlot Statements() {
        CSlot head;
        CSyntaxNode* tail = nullptr;
        while (!failed_) {
            const CSlot st = Statement();
            if (st.IsEmpty()) {
                break;
            }
            Expect(kSemicolon, LineHere(), "statement end expected");
            Append(head, tail, kSemicolon, st);
        }
        return failed_ ? CSlot{} : head;
    }

    // Block statements recurse here; their depth is bounded like that of expressions.
    bool EnterBlock(unsigned line) {
        if (++blockLevel_ > kMaxNesting) {
            return Error(line, "statements too deeply nested");
        }
        return true;
    }

    // statement := if | while | setoutput | expr | TEXT | ("tmpl" | "sys") "." call
    //            | "break" | "continue" | "return" | "exit" | "execute" "(" expr ")"
    CSlot Statement() {
        if (IsSym(kIf)) {
            return If();
        }
        if (IsSym(kWhile)) {
            return While();
        }
        if (IsSym(kSetOutput)) {
            return SetOutput();
        }
        CSlot e = Expression();
        if (!e.IsEmpty()) {
            if (e.IsNode() && e.node->kind == kEnv) {
                e.node->first = LongSlot(1);  // the statement mark
            }
            return e;
        }
        if (failed_ || AtEnd()) {
            return {};
        }
        const CToken& t = toks_[pos_];
        const unsigned line = t.line;
        if (t.kind == CToken::Kind::Text) {
            ++pos_;
            CSlot text;
            text.kind = CSlot::Kind::String;
            text.pos = t.pos;
            text.len = t.len;
            return Node(kText, LongSlot(static_cast<std::int32_t>(t.len)), text);
        }
        if (t.kind != CToken::Kind::Symbol) {
            return {};
        }
        switch (t.sym) {
            case kTmpl:
            case kSys: {
                const bool tmpl = t.sym == kTmpl;
                ++pos_;
                Expect(kDot, line, tmpl ? "tmpl lacks ." : "sys lacks .");
                const CSlot call =
                    Required(&CCompiler::Call, tmpl ? "tmpl lacks name" : "sys lacks name", line);
                return Node(t.sym, CSlot{}, call);
            }
            case kBreak:
            case kContinue:
                if (whileLevel_ == 0) {
                    Error(line, "break/continue requires enclosing while");
                }
                [[fallthrough]];
            case kReturn:
            case kExit:
                ++pos_;
                return Node(t.sym, CSlot{}, CSlot{});
            case kExecute: {
                ++pos_;
                Expect(kLeftParen, line, "execute lacks (");
                const CSlot e2 =
                    Required(&CCompiler::Expression, "execute: invalid expression", line);
                Expect(kRightParen, line, "execute lacks )");
                return Node(kExecute, CSlot{}, e2);
            }
            default:
                return {};
        }
    }

    // The closing keyword of a block: out of tokens gives `missing`, another token
    // "unrecognized statement".
    void Close(int keyword, unsigned line, const char* missing) {
        if (AtEnd()) {
            Error(line, missing);
        } else {
            Expect(keyword, LineHere(), "unrecognized statement");
        }
    }

    // if := "if" expr ";" statements { "elseif" expr ";" statements } [ "else" ";" statements ]
    //       "endif"
    CSlot If() {
        const unsigned line = LineHere();
        struct Leave {
            int& level;
            ~Leave() { --level; }
        } leave{blockLevel_};
        if (!EnterBlock(line)) {
            return {};
        }
        // An else-part nests to the right; it is built in a loop rather than by recursion.
        CSlot root = Branch(line, "if lacks expression");
        CSyntaxNode* open = nullptr;  // the "else" node whose alternative is still to come
        while (IsSym(kElseIf)) {
            const CSlot next = Branch(LineHere(), "elseif lacks expression");
            // Provisionally the final alternative; wrapped in an "else" node if more follows.
            if (open == nullptr) {
                root = Node(kElse, next, root);
                open = root.node;
            } else {
                const CSlot wrapped = Node(kElse, next, open->first);
                open->first = wrapped;
                open = wrapped.node;
            }
        }
        if (IsSym(kElse)) {
            const unsigned elseLine = LineHere();
            ++pos_;
            Expect(kSemicolon, elseLine, "statement end expected");
            const CSlot chain = Statements();
            if (open == nullptr) {
                root = Node(kElse, chain, root);
            } else {
                open->first = Node(kElse, chain, open->first);
            }
        }
        Close(kEndIf, line, "if lacks endif");
        return root;
    }

    // branch := ("if" | "elseif") expr ";" statements, as an "if" node.
    CSlot Branch(unsigned line, const char* lacks) {
        ++pos_;
        const CSlot cond = Required(&CCompiler::Expression, lacks, line);
        Expect(kSemicolon, line, "statement end expected");
        const CSlot chain = Statements();
        return Node(kIf, chain, cond);
    }

    // while := "while" expr [ "," expr ] ";" statements "endwhile"
    CSlot While() {
        const unsigned line = LineHere();
        struct Leave {
            int& block;
            int& whiles;
            ~Leave() {
                --block;
                --whiles;
            }
        } leave{blockLevel_, whileLevel_};
        ++whileLevel_;
        if (!EnterBlock(line)) {
            return {};
        }
        if (whileLevel_ > kMaxWhileNesting) {
            Error(line, "nested while statement limit exceded");
        }
        ++pos_;
        const CSlot cond = Required(&CCompiler::Expression, "while lacks expression", line);
        CSlot iter;
        if (Accept(kComma)) {
            iter = Required(&CCompiler::Expression, "while lacks iterator expression");
        }
        Expect(kSemicolon, line, "while lacks iterator statement");
        CSlot body = Statements();
        Close(kEndWhile, line, "while lacks endwhile");
        if (!iter.IsEmpty()) {
            CSyntaxNode* tail = nullptr;
            for (CSlot s = body; s.IsNode(); s = s.node->first) {
                tail = s.node;
            }
            Append(body, tail, kSemicolon, Node(kIterator, CSlot{}, iter));
        }
        return Node(kWhile, body, cond);
    }

    // setoutput := "setoutput" call ";" statements "endsetoutput"
    CSlot SetOutput() {
        const unsigned line = LineHere();
        struct Leave {
            int& level;
            ~Leave() { --level; }
        } leave{blockLevel_};
        if (!EnterBlock(line)) {
            return {};
        }
        ++pos_;
        const CSlot call = Required(&CCompiler::Call, "setoutput lacks name", line);
        Expect(kSemicolon, line, "statement end expected");
        const CSlot body = Statements();
        Close(kEndSetOutput, line, "setoutput lacks endsetoutput");
        return Node(kSetOutput, body, call);
    }

    // call := NAME [ "(" expr { "," expr } ")" ]
    CSlot Call() {
        if (!IsKind(CToken::Kind::Ident)) {
            return {};
        }
        CSlot name;
        name.kind = CSlot::Kind::String;
        name.pos = toks_[pos_].pos;
        name.len = toks_[pos_].len;
        ++pos_;
        CSlot args;
        CSyntaxNode* tail = nullptr;
        if (IsSym(kLeftParen)) {
            const unsigned parenLine = LineHere();
            ++pos_;
            do {
                Append(args, tail, kComma, Required(&CCompiler::Expression, "invalid parameter"));
            } while (Accept(kComma));
            Expect(kRightParen, parenLine, "expected ) on parameter list");
        }
        return Node(kCall, name, args);
    }

    // Parser recursion that adds no node (parentheses, prefix operators) is bounded too. Past
    // the bound the rule gives up at once, error or not, so that the stack stays bounded.
    bool Enter() {
        if (++exprLevel_ > kMaxNesting) {
            return Error(LineHere(), "expression too deeply nested");
        }
        return true;
    }

    // expr := or [ "=" expr ]   (the left side a variable)
    // or := and { "or" and }    and := comparison { "and" comparison }
    CSlot Expression() {
        struct Leave {
            int& level;
            ~Leave() { --level; }
        } leave{exprLevel_};
        if (!Enter()) {
            return {};
        }
        const unsigned startLine = LineHere();
        const CSlot left = LeftAssoc({kOr, kAnd}, &CCompiler::Comparison);
        if (left.IsEmpty() || !IsSym(kAssign)) {
            return left;
        }
        if (!left.IsVar()) {
            Error(startLine, "variable required for assignment");
        }
        ++pos_;
        const CSlot right = Required(&CCompiler::Expression, "invalid expression");
        return Node(kAssign, left, right);
    }

    // comparison := additive { ("<" | ">" | "<=" | ">=" | "==" | "!=") additive }
    CSlot Comparison() {
        return LeftAssoc({kLess, kGreater, kLessEqual, kGreaterEqual, kEqual, kNotEqual},
                         &CCompiler::Additive);
    }
    // additive := term { ("+" | "-") term }
    CSlot Additive() { return LeftAssoc({kPlus, kMinus}, &CCompiler::Term); }
    // term := concatenation { ("*" | "/" | "%") concatenation }
    CSlot Term() { return LeftAssoc({kTimes, kDivide, kModulo}, &CCompiler::Concatenation); }
    // concatenation := unary { "$" unary }
    CSlot Concatenation() { return LeftAssoc({kConcat}, &CCompiler::Unary); }

    // One binary level: next { op next }, grouping to the left.
    CSlot LeftAssoc(std::initializer_list<int> ops, CSlot (CCompiler::*next)()) {
        CSlot left = (this->*next)();
        while (!left.IsEmpty()) {
            const auto op =
                std::find_if(ops.begin(), ops.end(), [this](int s) { return IsSym(s); });
            if (op == ops.end()) {
                break;
            }
            ++pos_;
            const CSlot right = Required(next, "invalid operand");
            left = Node(*op, left, right);
        }
        return left;
    }

    // unary := postfix | ("-" | "+" | "!" | "++" | "--") unary   (++/-- on a variable)
    CSlot Unary() {
        const CSlot p = Postfix();
        if (!p.IsEmpty() || !(IsSym(kMinus) || IsSym(kPlus) || IsSym(kNot) || IsSym(kIncrement) ||
                              IsSym(kDecrement))) {
            return p;
        }
        const int op = toks_[pos_].sym;
        ++pos_;
        struct Leave {
            int& level;
            ~Leave() { --level; }
        } leave{exprLevel_};
        if (!Enter()) {
            return {};
        }
        const CSlot operand = Required(&CCompiler::Unary, "invalid operand");
        if (op == kIncrement || op == kDecrement) {
            if (!operand.IsVar()) {
                Error(LineHere(), "variable required for ++/--");
            }
            return Node(op, LongSlot(1), operand);
        }
        return Node(op, CSlot{}, operand);
    }

    // postfix := primary { "++" | "--" }   (on a variable)
    CSlot Postfix() {
        const unsigned firstLine = LineHere();
        CSlot p = Primary();
        while (!p.IsEmpty() && (IsSym(kIncrement) || IsSym(kDecrement))) {
            if (!p.IsVar()) {
                Error(firstLine, "variable required for ++/--");
            }
            const int op = toks_[pos_].sym;
            ++pos_;
            p = Node(op, LongSlot(0), p);
        }
        return p;
    }

    // primary := STRING | LONG | DOUBLE | NAME | "(" expr ")" | substr | env
    //          | "param" "[" expr "]"
    CSlot Primary() {
        if (AtEnd()) {
            return {};
        }
        const CToken& t = toks_[pos_];
        const unsigned line = t.line;
        CSlot s;
        switch (t.kind) {
            case CToken::Kind::String:
                s.kind = CSlot::Kind::String;
                s.pos = t.pos;
                s.len = t.len;
                ++pos_;
                return s;
            case CToken::Kind::Long:
                ++pos_;
                return LongSlot(t.lng);
            case CToken::Kind::Double:
                s.kind = CSlot::Kind::Double;
                s.dbl = t.dbl;
                ++pos_;
                return s;
            case CToken::Kind::Ident:
                s.kind = CSlot::Kind::Var;
                s.pos = Variable(TokenText(t));
                ++pos_;
                return s;
            case CToken::Kind::Text:
                return {};
            case CToken::Kind::Symbol:
                break;
        }
        switch (t.sym) {
            case kLeftParen: {
                ++pos_;
                const CSlot e = Required(&CCompiler::Expression, "invalid expression");
                Expect(kRightParen, line, "expected ) on expression");
                return e;
            }
            case kSubstr:
                return Substr(line);
            case kEnv:
                return Env(line);
            case kParam: {
                ++pos_;
                Expect(kLeftBracket, line, "expected [ after param");
                const CSlot e = Required(&CCompiler::Expression, "invalid param expression");
                Expect(kRightBracket, line, "expected ] on param expression");
                return Node(kParam, CSlot{}, e);
            }
            default:
                return {};
        }
    }

    // substr := "substr" "(" expr "," expr "," expr ")"
    CSlot Substr(unsigned line) {
        ++pos_;
        Expect(kLeftParen, LineHere(), "expected ( after substr");
        const CSlot text = Required(&CCompiler::Expression, "invalid string expression");
        Expect(kComma, LineHere(), "expected , after string expression");
        const CSlot index = Required(&CCompiler::Expression, "invalid expression");
        Expect(kComma, LineHere(), "expected , after expression");
        const CSlot count = Required(&CCompiler::Expression, "invalid expression");
        Expect(kRightParen, line, "expected ) after substr");
        return Node(kSubstr, text, Node(kComma, index, count));
    }

    // env := "env" "." call { "." call }
    CSlot Env(unsigned line) {
        ++pos_;
        Expect(kDot, line, "expected . after env");
        CSlot chain;
        CSyntaxNode* tail = nullptr;
        do {
            Append(chain, tail, kDot, Required(&CCompiler::Call, "missing or invalid env name"));
        } while (Accept(kDot));
        return Node(kEnv, CSlot{}, chain);
    }

    std::uint32_t Variable(std::string_view name) {
        const auto it = std::find(vars_.begin(), vars_.end(), name);
        if (it != vars_.end()) {
            return static_cast<std::uint32_t>(it - vars_.begin());
        }
        vars_.emplace_back(name);
        return static_cast<std::uint32_t>(vars_.size() - 1);
    }

    const std::vector<CToken>& toks_;
    std::size_t pos_ = 0;
    CCode& code_;
    std::vector<std::string>& vars_;
    CCompileError& error_;
    bool failed_ = false;
    int whileLevel_ = 0;
    int blockLevel_ = 0;
    int exprLevel_ = 0;
};

}  // namespace

bool CompileTemplate(const std::vector<CToken>& tokens, CCode& code, std::vector<std::string>& vars,
                     std::string& name, std::size_t& paramCount, CCompileError& error) {
    if (tokens.empty()) {
        return false;
    }
    return CCompiler(tokens, code, vars, error).Template(name, paramCount);
}

bool CompileChain(const std::vector<CToken>& tokens, CCode& code, std::vector<std::string>& vars,
                  CCompileError& error) {
    if (tokens.empty()) {
        return true;
    }
    return CCompiler(tokens, code, vars, error).Chain();
}

}  // namespace zelvant::report
