#include "report/engine/lexer.h"

#include <charconv>
#include <cmath>

#include "report/engine/syntax.h"

namespace zelvant::report {

const std::string_view kSymbolText[kSymbolCount] = {
    "",         "",        "if",       "elseif",    "else",
    "endif",    "while",   "endwhile", "",          "break",
    "continue", "return",  "exit",     "setoutput", "endsetoutput",
    "tmpl",     "sys",     "env",      "param",     "endtmpl",
    "substr",   "execute", "",         ":=",        "++",
    "--",       "<=",      ">=",       "!=",        "<",
    ">",        "=",       "||",       "&&",        "!",
    "+",        "-",       "*",        "/",         "%",
    "$",        "[",       "]",        ",",         "(",
    ")",        ".",       ";",        "#>",
};

namespace {

bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

// Whole values are kept modulo 2^32, as the language's arithmetic does.
std::int32_t WrapWhole(double d) {
    double m = std::fmod(d, 4294967296.0);
    if (m < 0) {
        m += 4294967296.0;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(m));
}

class CLexer {
  public:
    CLexer(std::string_view text, std::size_t pos, unsigned line, std::string& pool,
           std::vector<CToken>& tokens)
        : t_(text), p_(pos), line_(line), pool_(pool), tokens_(tokens) {}

    CLexResult Run(bool emptyIsError) {
        const unsigned startLine = line_;
        const std::size_t firstToken = tokens_.size();
        bool firstRun = true;
        bool ok = true;
        while (p_ < t_.size()) {
            TextMode(firstRun);
            firstRun = false;
            const int r = CodeMode();
            if (r < 0) {
                ok = false;
                break;
            }
            if (r > 0) {
                break;  // behind the token after "endtmpl"
            }
        }
        CLexResult res;
        res.end = p_;
        res.line = line_;
        if (ok && tokens_.size() == firstToken && emptyIsError) {
            ok = false;
        }
        res.ok = ok;
        if (!ok) {
            res.errorLine = tokens_.size() > firstToken ? tokens_.back().line : startLine;
        }
        return res;
    }

  private:
    char At(std::size_t i) const { return i < t_.size() ? t_[i] : '\0'; }

    void TextMode(bool discard) {
        if (At(p_) == '\n') {
            ++p_;
            ++line_;
        } else if (At(p_) == '\r' && At(p_ + 1) == '\n') {
            p_ += 2;
            ++line_;
        }
        while (p_ < t_.size() && t_[p_] == '\t') {
            ++p_;
        }
        const unsigned startLine = line_;
        const std::size_t start = p_;
        std::size_t end = t_.find("<#", p_);
        if (end == std::string_view::npos) {
            end = t_.size();
        }
        for (std::size_t i = start; i < end; ++i) {
            if (t_[i] == '\n') {
                ++line_;
            }
        }
        p_ = end < t_.size() ? end + 2 : end;
        while (end > start && t_[end - 1] == '\t') {
            --end;
        }
        if (discard || end == start) {
            return;
        }
        PushPooled(CToken::Kind::Text, startLine, t_.substr(start, end - start));
        PushSymbol(kSemicolon, line_);
    }

    // A token whose text lives in the pool.
    void PushPooled(CToken::Kind kind, unsigned line, std::string_view text) {
        CToken tok;
        tok.kind = kind;
        tok.line = line;
        tok.pos = static_cast<std::uint32_t>(pool_.size());
        tok.len = static_cast<std::uint32_t>(text.size());
        pool_.append(text);
        tokens_.push_back(tok);
    }

    void PushSymbol(std::uint8_t sym, unsigned line) {
        if (sym == kSemicolon && !tokens_.empty() && tokens_.back().kind == CToken::Kind::Symbol &&
            tokens_.back().sym == kSemicolon) {
            return;
        }
        CToken tok;
        tok.kind = CToken::Kind::Symbol;
        tok.sym = sym;
        tok.line = line;
        tokens_.push_back(tok);
    }

    // 0: back to text mode, 1: template ends, -1: lexical error.
    int CodeMode() {
        bool afterEndTmpl = false;
        while (p_ < t_.size()) {
            const char c = t_[p_];
            if (IsSpace(c)) {
                if (c == '\n') {
                    ++line_;
                }
                ++p_;
                continue;
            }
            if (c == '/' && At(p_ + 1) == '/') {
                const std::size_t end = t_.find("#>", p_);
                if (end == std::string_view::npos) {
                    return -1;
                }
                for (std::size_t i = p_; i < end; ++i) {
                    line_ += t_[i] == '\n' ? 1 : 0;
                }
                p_ = end;
                continue;
            }
            bool toText = false;
            if (IsAlpha(c)) {
                Identifier();
            } else if (c == '"' || c == '\'') {
                if (!String()) {
                    return -1;
                }
            } else if (IsDigit(c)) {
                Number();
            } else {
                const int sym = MatchOperator();
                if (sym < 0 || (afterEndTmpl && sym != kCodeEnd)) {
                    return -1;
                }
                if (sym == kCodeEnd) {
                    PushSymbol(kSemicolon, line_);
                    toText = true;
                } else {
                    PushSymbol(static_cast<std::uint8_t>(sym), line_);
                }
            }
            if (afterEndTmpl) {
                return 1;
            }
            if (toText) {
                return 0;
            }
            const CToken& last = tokens_.back();
            afterEndTmpl = last.kind == CToken::Kind::Symbol && last.sym == kEndTmpl;
        }
        return 0;
    }

    int MatchOperator() {
        for (int s = kAssign; s <= kCodeEnd; ++s) {
            const std::string_view op = kSymbolText[s];
            if (t_.substr(p_, op.size()) == op) {
                p_ += op.size();
                return s;
            }
        }
        return -1;
    }

    void Identifier() {
        const std::size_t start = p_;
        while (p_ < t_.size() && (IsAlpha(t_[p_]) || IsDigit(t_[p_]))) {
            ++p_;
        }
        std::string name(t_.substr(start, p_ - start));
        for (char& ch : name) {
            if (ch >= 'A' && ch <= 'Z') {
                ch = static_cast<char>(ch - 'A' + 'a');
            }
        }
        for (int s = kIf; s <= kExecute; ++s) {
            if (!kSymbolText[s].empty() && kSymbolText[s] == name) {
                PushSymbol(static_cast<std::uint8_t>(s), line_);
                return;
            }
        }
        PushPooled(CToken::Kind::Ident, line_, name);
    }

    bool String() {
        const unsigned startLine = line_;
        ++p_;
        std::string value;
        bool ended = false;  // a \0 ends the text; the literal still runs to its quote
        for (;;) {
            if (p_ >= t_.size()) {
                return false;
            }
            char c = t_[p_++];
            if (c == '"' || c == '\'') {
                break;
            }
            if (c == '\\') {
                if (p_ >= t_.size()) {
                    return false;
                }
                c = t_[p_++];
                switch (c) {
                    case 'n':
                        c = '\n';
                        break;
                    case 'r':
                        c = '\r';
                        break;
                    case 't':
                        c = '\t';
                        break;
                    case '0':
                        ended = true;
                        break;
                    default:
                        break;
                }
            }
            if (c == '\n' && t_[p_ - 1] == '\n') {
                ++line_;
            }
            if (!ended) {
                value.push_back(c);
            }
        }
        PushPooled(CToken::Kind::String, startLine, value);
        return true;
    }

    void Number() {
        CToken tok;
        tok.line = line_;
        tok.kind = CToken::Kind::Long;
        if (t_[p_] != '0') {
            const std::size_t start = p_;
            std::size_t e = p_;
            while (IsDigit(At(e))) {
                ++e;
            }
            if (At(e) == '.') {
                ++e;
                while (IsDigit(At(e))) {
                    ++e;
                }
            }
            bool negativeExponent = false;
            if (At(e) == 'e' || At(e) == 'E') {
                std::size_t x = e + 1;
                if (At(x) == '+' || At(x) == '-') {
                    negativeExponent = At(x) == '-';
                    ++x;
                }
                if (IsDigit(At(x))) {
                    while (IsDigit(At(x))) {
                        ++x;
                    }
                    e = x;
                }
            }
            p_ = e;
            double d = 0.0;
            const auto res = std::from_chars(t_.data() + start, t_.data() + e, d);
            if (res.ec == std::errc::result_out_of_range) {
                d = negativeExponent ? 0.0 : HUGE_VAL;
            }
            if (std::isfinite(d) && d == std::trunc(d)) {
                tok.lng = WrapWhole(d);
            } else {
                tok.kind = CToken::Kind::Double;
                tok.dbl = d;
            }
            tokens_.push_back(tok);
            return;
        }
        ++p_;
        unsigned base = 8;
        if (At(p_) == 'b' || At(p_) == 'B') {
            base = 2;
            ++p_;
        } else if (At(p_) == 'x' || At(p_) == 'X') {
            base = 16;
            ++p_;
        }
        std::uint32_t v = 0;
        while (p_ < t_.size() && DigitValue(t_[p_]) < static_cast<int>(base)) {
            v = v * base + static_cast<std::uint32_t>(DigitValue(t_[p_]));
            ++p_;
        }
        tok.lng = static_cast<std::int32_t>(v);
        tokens_.push_back(tok);
    }

    std::string_view t_;
    std::size_t p_;
    unsigned line_;
    std::string& pool_;
    std::vector<CToken>& tokens_;
};

}  // namespace

CLexResult Lex(std::string_view text, std::size_t pos, unsigned line, bool emptyIsError,
               std::string& pool, std::vector<CToken>& tokens) {
    return CLexer(text, pos, line, pool, tokens).Run(emptyIsError);
}

}  // namespace zelvant::report
