#pragma once
// A small, strict JSON reader and an indenting writer, enough for the document format.
// Parsed strings may hold secrets, so values wipe their text when they go away.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/secure.h"

namespace zelvant {

struct JsonMember;

class JsonValue {
  public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;
    JsonValue(const JsonValue&) = delete;
    JsonValue& operator=(const JsonValue&) = delete;
    JsonValue(JsonValue&&) noexcept = default;
    JsonValue& operator=(JsonValue&& other) noexcept;
    ~JsonValue();

    // None when the object has no such key (or this is not an object).
    const JsonValue* Find(std::string_view key) const;

    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;  // a string's UTF-8 contents, or a number as written
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;  // in document order; keys are unique
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

// Nesting deeper than this is refused, so hostile input cannot exhaust the stack.
inline constexpr int kJsonMaxDepth = 64;

// RFC 8259 with no extensions, except that a leading UTF-8 byte order mark is skipped.
// Duplicate keys, invalid UTF-8 and unpaired surrogates are errors. On failure `error` says
// what is wrong and where ("line 3, column 7: ...").
bool ParseJson(std::string_view text, JsonValue& out, std::string& error);

// A number written without fraction or exponent that fits in 32 bits.
bool JsonToInt32(const JsonValue& v, std::int32_t& out);
// A number within the range of a double.
bool JsonToDouble(const JsonValue& v, double& out);

// The shortest text that reads back as the same double, always with a '.' or an exponent so
// that it reads as a floating-point number. Finite values only.
std::string FormatJsonDouble(double value);

// Writes JSON with one space of indentation per level and one member or item per line.
class JsonWriter {
  public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(std::string_view key);
    void String(std::string_view utf8);
    void Int(std::int64_t value);
    // `number` must already be valid JSON number text.
    void RawNumber(std::string_view number);

    WipedString& Text() { return out_; }

  private:
    void BeforeValue();
    void NewLine(std::size_t depth);
    void Close(char bracket);

    struct Level {
        bool empty = true;
    };
    std::vector<Level> levels_;
    bool afterKey_ = false;
    WipedString out_;
};

void AppendJsonString(WipedString& out, std::string_view utf8);

}  // namespace zelvant
