#pragma once
// A value of the template language: a 32-bit whole number (wrapping), a double, or a byte string.

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvant::report {

class CValue {
  public:
    enum class Type { Long, Double, String };

    CValue() = default;  // long 0, the value of a variable never assigned
    static CValue Long(std::int32_t v);
    static CValue Double(double v);
    static CValue String(std::string_view v);
    static CValue String(std::string&& v);
    static CValue String(const char* v) { return String(std::string_view(v)); }

    Type GetType() const { return type_; }
    bool IsLong() const { return type_ == Type::Long; }
    bool IsDouble() const { return type_ == Type::Double; }
    bool IsString() const { return type_ == Type::String; }
    std::int32_t LongValue() const { return long_; }
    double DoubleValue() const { return double_; }
    const std::string& StringValue() const { return string_; }

    // Whole number: itself, truncated toward zero, or the string's length in bytes.
    std::int32_t ToLong() const;
    // "%ld", "%f" or the string itself.
    std::string ToText() const;
    // Not zero (a double after truncation) / not empty.
    bool IsTrue() const;

    // Becomes the text of this value followed by `tail`, in place (what "v := v $ x" yields).
    void AppendText(std::string_view tail);

    friend bool operator==(const CValue&, const CValue&) = default;

  private:
    Type type_ = Type::Long;
    std::int32_t long_ = 0;
    double double_ = 0.0;
    std::string string_;
};

}  // namespace zelvant::report
