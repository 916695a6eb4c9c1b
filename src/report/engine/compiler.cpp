#include "report/engine/compiler.h"

#include <algorithm>
#include <initializer_list>

namespace zelvant::report {

namespace {

class CCompiler {
  public:
    CCompiler(const std::vector<CToken>& tokens, CCode& code, std::vector<std::string>& vars,
              CCompileError& error)
        : toks_(tokens), code_(code), vars_(vars), error_(error) {}

    bool Template(std::string& name, std::size_t& paramCount) {
        const unsigned firstLine = toks_.front().line;
        if (!IsKind(CToken::Kind::Ident)) {
            return Error(firstLine, "missing or invalid template name");
        }
        name = std::string(TokenText(toks_[pos_]));
        ++pos_;
        if (IsSym(kLeftParen)) {
            ++pos_;
            for (;;) {
                if (!IsKind(CToken::Kind::Ident)) {
                    return Error(LineHere(), "invalid parameter name");
                }
                vars_.emplace_back(TokenText(toks_[pos_]));
                ++paramCount;
                ++pos_;
                if (IsSym(kComma)) {
                    ++pos_;
                    continue;
                }
                if (IsSym(kRightParen)) {
                    ++pos_;
                    break;
                }
                return Error(firstLine, "expected ) on parameter list");
            }
        }
        if (!Expect(kSemicolon, LineHere(), "statement end expected")) {
            return false;
        }
        const CSlot body = Statements();
        if (failed_) {
            return false;
        }
        if (body.IsEmpty()) {
            return Error(firstLine, "no statements in template");
        }
        if (AtEnd()) {
            return Error(firstLine, "missing endtmpl");
        }
        if (!Expect(kEndTmpl, LineHere(), "unrecognized statement")) {
            return false;
        }
        if (!Expect(kSemicolon, LineHere(), "statement end expected")) {
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

    // Takes the symbol when it stands next; otherwise records the error.
    bool Expect(int sym, unsigned line, const char* message) {
        if (!IsSym(sym)) {
            return Error(line, message);
        }
        ++pos_;
        return true;
    }

    bool Error(unsigned line, const char* message) {
        if (!failed_) {
            failed_ = true;
            error_.line = line;
            error_.message = message;
        }
        return false;
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

    CSlot Statements() {
        CSlot head;
        CSyntaxNode* tail = nullptr;
        for (;;) {
            const CSlot st = Statement();
            if (failed_ || st.IsEmpty()) {
                break;
            }
            if (!Expect(kSemicolon, LineHere(), "statement end expected")) {
                break;
            }
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
        if (failed_) {
            return {};
        }
        if (!e.IsEmpty()) {
            if (e.IsNode() && e.node->kind == kEnv) {
                e.node->first = LongSlot(1);  // the statement mark
            }
            return e;
        }
        if (AtEnd()) {
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
                if (!Expect(kDot, line, tmpl ? "tmpl lacks ." : "sys lacks .")) {
                    return {};
                }
                const CSlot call = Call();
                if (failed_) {
                    return {};
                }
                if (call.IsEmpty()) {
                    Error(line, tmpl ? "tmpl lacks name" : "sys lacks name");
                    return {};
                }
                return Node(t.sym, CSlot{}, call);
            }
            case kBreak:
            case kContinue:
                if (whileLevel_ == 0) {
                    Error(line, "break/continue requires enclosing while");
                    return {};
                }
                [[fallthrough]];
            case kReturn:
            case kExit:
                ++pos_;
                return Node(t.sym, CSlot{}, CSlot{});
            case kExecute: {
                ++pos_;
                if (!Expect(kLeftParen, line, "execute lacks (")) {
                    return {};
                }
                const CSlot e2 = Expression();
                if (failed_) {
                    return {};
                }
                if (e2.IsEmpty()) {
                    Error(line, "execute: invalid expression");
                    return {};
                }
                if (!Expect(kRightParen, line, "execute lacks )")) {
                    return {};
                }
                return Node(kExecute, CSlot{}, e2);
            }
            default:
                return {};
        }
    }

    // The closing keyword of a block: out of tokens gives `missing`, another token
    // "unrecognized statement".
    bool Close(int keyword, unsigned line, const char* missing) {
        if (AtEnd()) {
            return Error(line, missing);
        }
        if (!Expect(keyword, LineHere(), "unrecognized statement")) {
            return false;
        }
        return true;
    }

    CSlot If() {
        const unsigned line = LineHere();
        struct Leave {
            int& level;
            ~Leave() { --level; }
        } leave{blockLevel_};
        if (!EnterBlock(line)) {
            return {};
        }
        CSlot first = Branch(line, "if lacks expression");
        if (failed_) {
            return {};
        }
        // An else-part nests to the right; it is built in a loop rather than by recursion.
        CSlot root = first;
        CSyntaxNode* open = nullptr;  // the "else" node whose alternative is still to come
        for (;;) {
            if (IsSym(kElse)) {
                const unsigned elseLine = LineHere();
                ++pos_;
                if (!Expect(kSemicolon, elseLine, "statement end expected")) {
                    return {};
                }
                const CSlot chain = Statements();
                if (failed_) {
                    return {};
                }
                if (open == nullptr) {
                    root = Node(kElse, chain, root);
                } else {
                    open->first = Node(kElse, chain, open->first);
                }
                break;
            }
            if (IsSym(kElseIf)) {
                const unsigned elseLine = LineHere();
                const CSlot next = Branch(elseLine, "elseif lacks expression");
                if (failed_) {
                    return {};
                }
                // Provisionally the final alternative; wrapped in an "else" node if more follows.
                if (open == nullptr) {
                    root = Node(kElse, next, root);
                    open = root.node;
                } else {
                    const CSlot wrapped = Node(kElse, next, open->first);
                    open->first = wrapped;
                    open = wrapped.node;
                }
                continue;
            }
            break;
        }
        if (!Close(kEndIf, line, "if lacks endif")) {
            return {};
        }
        return root;
    }

    // "if"/"elseif" condition ";" statements, as an "if" node.
    CSlot Branch(unsigned line, const char* lacks) {
        ++pos_;
        const CSlot cond = Expression();
        if (failed_) {
            return {};
        }
        if (cond.IsEmpty()) {
            Error(line, lacks);
            return {};
        }
        if (!Expect(kSemicolon, line, "statement end expected")) {
            return {};
        }
        const CSlot chain = Statements();
        if (failed_) {
            return {};
        }
        return Node(kIf, chain, cond);
    }

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
            return {};
        }
        ++pos_;
        const CSlot cond = Expression();
        if (failed_) {
            return {};
        }
        if (cond.IsEmpty()) {
            Error(line, "while lacks expression");
            return {};
        }
        CSlot iter;
        if (IsSym(kComma)) {
            ++pos_;
            iter = Expression();
            if (failed_) {
                return {};
            }
            if (iter.IsEmpty()) {
                Error(LineHere(), "while lacks iterator expression");
                return {};
            }
        }
        if (!Expect(kSemicolon, line, "while lacks iterator statement")) {
            return {};
        }
        CSlot body = Statements();
        if (failed_ || !Close(kEndWhile, line, "while lacks endwhile")) {
            return {};
        }
        if (!iter.IsEmpty()) {
            CSyntaxNode* tail = nullptr;
            for (CSlot s = body; s.IsNode(); s = s.node->first) {
                tail = s.node;
            }
            Append(body, tail, kSemicolon, Node(kIterator, CSlot{}, iter));
        }
        return Node(kWhile, body, cond);
    }

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
        const CSlot call = Call();
        if (failed_) {
            return {};
        }
        if (call.IsEmpty()) {
            Error(line, "setoutput lacks name");
            return {};
        }
        if (!Expect(kSemicolon, line, "statement end expected")) {
            return {};
        }
        const CSlot body = Statements();
        if (failed_ || !Close(kEndSetOutput, line, "setoutput lacks endsetoutput")) {
            return {};
        }
        return Node(kSetOutput, body, call);
    }

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
            for (;;) {
                const CSlot arg = Expression();
                if (failed_) {
                    return {};
                }
                if (arg.IsEmpty()) {
                    Error(LineHere(), "invalid parameter");
                    return {};
                }
                Append(args, tail, kComma, arg);
                if (IsSym(kComma)) {
                    ++pos_;
                    continue;
                }
                if (IsSym(kRightParen)) {
                    ++pos_;
                    break;
                }
                Error(parenLine, "expected ) on parameter list");
                return {};
            }
        }
        return Node(kCall, name, args);
    }

    // Parser recursion that adds no node (parentheses, prefix operators) is bounded too.
    bool Enter() {
        if (++exprLevel_ > kMaxNesting) {
            return Error(LineHere(), "expression too deeply nested");
        }
        return true;
    }

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
        if (failed_ || left.IsEmpty() || !IsSym(kAssign)) {
            return left;
        }
        if (!left.IsVar()) {
            Error(startLine, "variable required for assignment");
            return {};
        }
        ++pos_;
        const CSlot right = Expression();
        if (failed_) {
            return {};
        }
        if (right.IsEmpty()) {
            Error(LineHere(), "invalid expression");
            return {};
        }
        return Node(kAssign, left, right);
    }

    CSlot Comparison() {
        return LeftAssoc({kLess, kGreater, kLessEqual, kGreaterEqual, kEqual, kNotEqual},
                         &CCompiler::Additive);
    }
    CSlot Additive() { return LeftAssoc({kPlus, kMinus}, &CCompiler::Term); }
    CSlot Term() { return LeftAssoc({kTimes, kDivide, kModulo}, &CCompiler::Concatenation); }
    CSlot Concatenation() { return LeftAssoc({kConcat}, &CCompiler::Unary); }

    CSlot LeftAssoc(std::initializer_list<int> ops, CSlot (CCompiler::*next)()) {
        CSlot left = (this->*next)();
        while (!failed_ && !left.IsEmpty()) {
            const auto op =
                std::find_if(ops.begin(), ops.end(), [this](int s) { return IsSym(s); });
            if (op == ops.end()) {
                break;
            }
            ++pos_;
            const CSlot right = (this->*next)();
            if (failed_) {
                return {};
            }
            if (right.IsEmpty()) {
                Error(LineHere(), "invalid operand");
                return {};
            }
            left = Node(*op, left, right);
        }
        return failed_ ? CSlot{} : left;
    }

    CSlot Unary() {
        const CSlot p = Postfix();
        if (failed_ || !p.IsEmpty()) {
            return p;
        }
        if (!(IsSym(kMinus) || IsSym(kPlus) || IsSym(kNot) || IsSym(kIncrement) ||
              IsSym(kDecrement))) {
            return {};
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
        const CSlot operand = Unary();
        if (failed_) {
            return {};
        }
        if (operand.IsEmpty()) {
            Error(LineHere(), "invalid operand");
            return {};
        }
        if (op == kIncrement || op == kDecrement) {
            if (!operand.IsVar()) {
                Error(LineHere(), "variable required for ++/--");
                return {};
            }
            return Node(op, LongSlot(1), operand);
        }
        return Node(op, CSlot{}, operand);
    }

    CSlot Postfix() {
        const unsigned firstLine = LineHere();
        CSlot p = Primary();
        while (!failed_ && !p.IsEmpty() && (IsSym(kIncrement) || IsSym(kDecrement))) {
            if (!p.IsVar()) {
                Error(firstLine, "variable required for ++/--");
                return {};
            }
            const int op = toks_[pos_].sym;
            ++pos_;
            p = Node(op, LongSlot(0), p);
        }
        return failed_ ? CSlot{} : p;
    }

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
                const CSlot e = Expression();
                if (failed_) {
                    return {};
                }
                if (e.IsEmpty()) {
                    Error(LineHere(), "invalid expression");
                    return {};
                }
                if (!Expect(kRightParen, line, "expected ) on expression")) {
                    return {};
                }
                return e;
            }
            case kSubstr:
                return Substr(line);
            case kEnv:
                return Env(line);
            case kParam: {
                ++pos_;
                if (!Expect(kLeftBracket, line, "expected [ after param")) {
                    return {};
                }
                const CSlot e = Expression();
                if (failed_) {
                    return {};
                }
                if (e.IsEmpty()) {
                    Error(LineHere(), "invalid param expression");
                    return {};
                }
                if (!Expect(kRightBracket, line, "expected ] on param expression")) {
                    return {};
                }
                return Node(kParam, CSlot{}, e);
            }
            default:
                return {};
        }
    }

    CSlot Substr(unsigned line) {
        ++pos_;
        if (!Expect(kLeftParen, LineHere(), "expected ( after substr")) {
            return {};
        }
        CSlot parts[3];
        const char* missing[3] = {"invalid string expression", "invalid expression",
                                  "invalid expression"};
        const char* separator[2] = {"expected , after string expression",
                                    "expected , after expression"};
        for (int i = 0; i < 3; ++i) {
            parts[i] = Expression();
            if (failed_) {
                return {};
            }
            if (parts[i].IsEmpty()) {
                Error(LineHere(), missing[i]);
                return {};
            }
            if (i < 2) {
                if (!Expect(kComma, LineHere(), separator[i])) {
                    return {};
                }
            }
        }
        if (!Expect(kRightParen, line, "expected ) after substr")) {
            return {};
        }
        return Node(kSubstr, parts[0], Node(kComma, parts[1], parts[2]));
    }

    CSlot Env(unsigned line) {
        ++pos_;
        if (!IsSym(kDot)) {
            Error(line, "expected . after env");
            return {};
        }
        CSlot chain;
        CSyntaxNode* tail = nullptr;
        while (IsSym(kDot)) {
            ++pos_;
            const CSlot call = Call();
            if (failed_) {
                return {};
            }
            if (call.IsEmpty()) {
                Error(LineHere(), "missing or invalid env name");
                return {};
            }
            Append(chain, tail, kDot, call);
        }
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
