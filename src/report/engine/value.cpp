#include "report/engine/value.h"

#include <charconv>
#include <cmath>

namespace zelvant::report {

CValue CValue::Long(std::int32_t v) {
    CValue out;
    out.long_ = v;
    return out;
}

CValue CValue::Double(double v) {
    CValue out;
    out.type_ = Type::Double;
    out.double_ = v;
    return out;
}

CValue CValue::String(std::string_view v) {
    CValue out;
    out.type_ = Type::String;
    out.string_.assign(v);
    return out;
}

CValue CValue::String(std::string&& v) {
    CValue out;
    out.type_ = Type::String;
    out.string_ = std::move(v);
    return out;
}

void CValue::AppendText(std::string_view tail) {
    if (type_ != Type::String) {
        string_ = ToText();
        type_ = Type::String;
    }
    string_.append(tail);
}

namespace {

// Truncation toward zero into 32 bits; values outside the range (and NaN) have no whole-number
// meaning, so they saturate rather than invoke undefined behaviour.
std::int32_t TruncateDouble(double d) {
    if (std::isnan(d)) {
        return 0;
    }
    if (d >= 2147483647.0) {
        return INT32_MAX;
    }
    if (d <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(d);
}

}  // namespace

std::int32_t CValue::ToLong() const {
    switch (type_) {
        case Type::Long:
            return long_;
        case Type::Double:
            return TruncateDouble(double_);
        case Type::String:
            return static_cast<std::int32_t>(string_.size());
    }
    return 0;
}

std::string CValue::ToText() const {
    switch (type_) {
        case Type::Long:
            return std::to_string(long_);
        case Type::Double: {
            // As "%f", but independent of the C locale a GUI toolkit may have switched.
            char buffer[400];
            const auto r =
                std::to_chars(buffer, buffer + sizeof buffer, double_, std::chars_format::fixed, 6);
            return std::string(buffer, r.ptr);
        }
        case Type::String:
            return string_;
    }
    return {};
}

bool CValue::IsTrue() const {
    switch (type_) {
        case Type::Long:
            return long_ != 0;
        case Type::Double:
            return TruncateDouble(double_) != 0;
        case Type::String:
            return !string_.empty();
    }
    return false;
}

}  // namespace zelvant::report
