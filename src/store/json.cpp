#include "store/json.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

#include "store/text_codec.h"

namespace zelvant {

JsonValue::~JsonValue() {
    WipeString(text);
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
    // Plain string assignment would free the old buffer unwiped.
    WipeString(text);
    kind = other.kind;
    boolean = other.boolean;
    text = std::move(other.text);
    items = std::move(other.items);
    members = std::move(other.members);
    return *this;
}

const JsonValue* JsonValue::Find(std::string_view key) const {
    for (const auto& m : members) {
        if (m.key == key) {
            return &m.value;
        }
    }
    return nullptr;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

class Parser {
  public:
    explicit Parser(std::string_view s) : s_(s) {}

    bool Parse(JsonValue& out, std::string& error) {
        if (s_.starts_with("\xEF\xBB\xBF")) {
            pos_ = 3;
        }
        SkipSpace();
        const bool ok = AtEnd() ? Fail("the document is empty") : Value(out, 0);
        if (ok) {
            SkipSpace();
            if (!AtEnd()) {
                Fail("unexpected text after the end of the document");
            }
        }
        if (!what_.empty()) {
            error = Where() + what_;
            return false;
        }
        return true;
    }

  private:
    bool AtEnd() const { return pos_ >= s_.size(); }
    char Peek() const { return s_[pos_]; }

    bool Fail(std::string what) {
        if (what_.empty()) {
            what_ = std::move(what);
            errorPos_ = pos_;
        }
        return false;
    }

    std::string Where() const {
        std::size_t line = 1;
        std::size_t column = 1;
        for (std::size_t i = 0; i < errorPos_ && i < s_.size(); ++i) {
            const auto b = static_cast<unsigned char>(s_[i]);
            if (b == '\n') {
                ++line;
                column = 1;
            } else if ((b & 0xC0) != 0x80) {
                ++column;
            }
        }
        return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    }

    bool Unexpected() {
        if (AtEnd()) {
            return Fail("unexpected end of the document");
        }
        const auto b = static_cast<unsigned char>(Peek());
        if (b >= 0x21 && b < 0x7F) {
            return Fail(std::string("unexpected character '") + Peek() + "'");
        }
        static constexpr char kHex[] = "0123456789ABCDEF";
        return Fail(std::string("unexpected byte 0x") + kHex[b >> 4] + kHex[b & 15]);
    }

    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
            ++pos_;
        }
    }

    bool Value(JsonValue& out, int depth) {
        if (AtEnd()) {
            return Unexpected();
        }
        switch (Peek()) {
            case '{':
                return Object(out, depth + 1);
            case '[':
                return Array(out, depth + 1);
            case '"':
                out.kind = JsonValue::Kind::String;
                return String(out.text);
            case 't':
                out.kind = JsonValue::Kind::Bool;
                out.boolean = true;
                return Word("true");
            case 'f':
                out.kind = JsonValue::Kind::Bool;
                return Word("false");
            case 'n':
                out.kind = JsonValue::Kind::Null;
                return Word("null");
            default:
                if (Peek() == '-' || IsDigit(Peek())) {
                    out.kind = JsonValue::Kind::Number;
                    return Number(out.text);
                }
                return Unexpected();
        }
    }

    bool Word(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) {
            return Unexpected();
        }
        pos_ += word.size();
        return true;
    }

    bool CheckDepth(int depth) {
        return depth <= kJsonMaxDepth ||
               Fail("nesting deeper than " + std::to_string(kJsonMaxDepth) + " levels");
    }

    bool Object(JsonValue& out, int depth) {
        if (!CheckDepth(depth)) {
            return false;
        }
        out.kind = JsonValue::Kind::Object;
        ++pos_;
        SkipSpace();
        if (!AtEnd() && Peek() == '}') {
            ++pos_;
            return true;
        }
        std::unordered_set<std::string> keys;
        for (;;) {
            SkipSpace();
            if (AtEnd() || Peek() != '"') {
                return AtEnd() ? Unexpected() : Fail("expected a key in double quotes");
            }
            const std::size_t keyPos = pos_;
            JsonMember member;
            if (!String(member.key)) {
                return false;
            }
            if (!keys.insert(member.key).second) {
                pos_ = keyPos;
                return Fail("duplicate key \"" + member.key + "\"");
            }
            SkipSpace();
            if (AtEnd() || Peek() != ':') {
                return AtEnd() ? Unexpected() : Fail("expected ':' after the key");
            }
            ++pos_;
            SkipSpace();
            if (!Value(member.value, depth)) {
                return false;
            }
            out.members.push_back(std::move(member));
            SkipSpace();
            if (AtEnd()) {
                return Unexpected();
            }
            if (Peek() == '}') {
                ++pos_;
                return true;
            }
            if (Peek() != ',') {
                return Fail("expected ',' or '}'");
            }
            ++pos_;
        }
    }

    bool Array(JsonValue& out, int depth) {
        if (!CheckDepth(depth)) {
            return false;
        }
        out.kind = JsonValue::Kind::Array;
        ++pos_;
        SkipSpace();
        if (!AtEnd() && Peek() == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            SkipSpace();
            out.items.emplace_back();
            if (!Value(out.items.back(), depth)) {
                return false;
            }
            SkipSpace();
            if (AtEnd()) {
                return Unexpected();
            }
            if (Peek() == ']') {
                ++pos_;
                return true;
            }
            if (Peek() != ',') {
                return Fail("expected ',' or ']'");
            }
            ++pos_;
        }
    }

    bool Hex4(char32_t& unit) {
        if (s_.size() - pos_ < 4) {
            pos_ = s_.size();
            return Unexpected();
        }
        unit = 0;
        for (int k = 0; k < 4; ++k) {
            const int d = HexDigit(Peek());
            if (d < 0) {
                return Fail("expected four hexadecimal digits after \\u");
            }
            unit = unit * 16 + static_cast<char32_t>(d);
            ++pos_;
        }
        return true;
    }

    bool Escape(std::string& out) {
        const std::size_t start = pos_;
        ++pos_;  // the backslash
        if (AtEnd()) {
            return Unexpected();
        }
        const char c = Peek();
        ++pos_;
        switch (c) {
            case '"':
                out += '"';
                return true;
            case '\\':
                out += '\\';
                return true;
            case '/':
                out += '/';
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                break;
            default:
                pos_ = start;
                return Fail("unknown escape sequence");
        }
        char32_t unit = 0;
        if (!Hex4(unit)) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            char32_t low = 0;
            if (s_.substr(pos_, 2) != "\\u" || (pos_ += 2, !Hex4(low))) {
                pos_ = start;
                return what_.empty() ? Fail("unpaired surrogate in \\u escape") : false;
            }
            if (low < 0xDC00 || low > 0xDFFF) {
                pos_ = start;
                return Fail("unpaired surrogate in \\u escape");
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            pos_ = start;
            return Fail("unpaired surrogate in \\u escape");
        }
        AppendUtf8(out, unit);
        return true;
    }

    bool String(std::string& out) {
        const std::size_t open = pos_;
        ++pos_;
        // Decoding never makes a string longer than it is written, so one reservation suffices
        // and no partial copy of a secret is ever freed unwiped.
        std::size_t end = pos_;
        while (end < s_.size() && s_[end] != '"') {
            end += s_[end] == '\\' ? 2 : 1;
        }
        if (end >= s_.size()) {
            pos_ = open;
            return Fail("unterminated string");
        }
        out.reserve(end - pos_);
        for (;;) {
            std::size_t run = pos_;
            while (run < s_.size()) {
                const auto b = static_cast<unsigned char>(s_[run]);
                if (b < 0x20 || b == '"' || b == '\\' || b >= 0x80) {
                    break;
                }
                ++run;
            }
            out.append(s_.substr(pos_, run - pos_));
            pos_ = run;
            if (AtEnd()) {
                return Unexpected();
            }
            const auto b = static_cast<unsigned char>(Peek());
            if (b == '"') {
                ++pos_;
                return true;
            }
            if (b == '\\') {
                if (!Escape(out)) {
                    return false;
                }
            } else if (b < 0x20) {
                return Fail("control character in a string (write it as an escape)");
            } else {
                const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
                const std::string_view seq = s_.substr(pos_, len);
                if (seq.size() < len || !IsValidUtf8(seq)) {
                    return Fail("invalid UTF-8");
                }
                out.append(seq);
                pos_ += len;
            }
        }
    }

    bool Number(std::string& out) {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (!AtEnd() && IsDigit(Peek())) {
                ++pos_;
            }
            return pos_ > from;
        };
        if (Peek() == '-') {
            ++pos_;
        }
        if (!AtEnd() && Peek() == '0') {
            ++pos_;
            if (!AtEnd() && IsDigit(Peek())) {
                return Fail("a number must not start with 0");
            }
        } else if (!digits()) {
            return Fail("expected a digit");
        }
        if (!AtEnd() && Peek() == '.') {
            ++pos_;
            if (!digits()) {
                return Fail("expected a digit after '.'");
            }
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            ++pos_;
            if (!AtEnd() && (Peek() == '+' || Peek() == '-')) {
                ++pos_;
            }
            if (!digits()) {
                return Fail("expected a digit in the exponent");
            }
        }
        out.assign(s_.substr(start, pos_ - start));
        return true;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::string what_;
    std::size_t errorPos_ = 0;
};

}  // namespace

bool ParseJson(std::string_view text, JsonValue& out, std::string& error) {
    out = JsonValue();
    Parser parser(text);
    if (!parser.Parse(out, error)) {
        out = JsonValue();
        return false;
    }
    return true;
}

bool JsonToInt32(const JsonValue& v, std::int32_t& out) {
    if (v.kind != JsonValue::Kind::Number || v.text.find_first_of(".eE") != std::string::npos) {
        return false;
    }
    const char* end = v.text.data() + v.text.size();
    const auto [ptr, ec] = std::from_chars(v.text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

bool JsonToDouble(const JsonValue& v, double& out) {
    if (v.kind != JsonValue::Kind::Number) {
        return false;
    }
    const char* end = v.text.data() + v.text.size();
    const auto [ptr, ec] = std::from_chars(v.text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

std::string FormatJsonDouble(double value) {
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    std::string s(buf, ec == std::errc() ? ptr : buf);
    if (s.find_first_of(".e") == std::string::npos) {
        s += ".0";
    }
    return s;
}

void AppendJsonString(WipedString& out, std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t run = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0x20 && b != '"' && b != '\\') {
            continue;
        }
        out.append(utf8.substr(run, i - run));
        run = i + 1;
        switch (b) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[b >> 4];
                out += kHex[b & 15];
        }
    }
    out.append(utf8.substr(run));
    out += '"';
}

void JsonWriter::NewLine(std::size_t depth) {
    out_ += '\n';
    out_.append(depth, ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!levels_.empty()) {
        if (!levels_.back().empty) {
            out_ += ',';
        }
        levels_.back().empty = false;
        NewLine(levels_.size());
    }
}

void JsonWriter::Close(char bracket) {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) {
        NewLine(levels_.size());
    }
    out_ += bracket;
}

void JsonWriter::BeginObject() {
    BeforeValue();
    out_ += '{';
    levels_.emplace_back();
}

void JsonWriter::EndObject() {
    Close('}');
}

void JsonWriter::BeginArray() {
    BeforeValue();
    out_ += '[';
    levels_.emplace_back();
}

void JsonWriter::EndArray() {
    Close(']');
}

void JsonWriter::Key(std::string_view key) {
    BeforeValue();
    AppendJsonString(out_, key);
    out_ += ": ";
    afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    AppendJsonString(out_, utf8);
}

void JsonWriter::Int(std::int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
}

void JsonWriter::RawNumber(std::string_view number) {
    BeforeValue();
    out_ += number;
}

}  // namespace zelvant
