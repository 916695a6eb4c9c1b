#include "report/engine/value.h"

#include <cmath>
#include <cstdio>

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
            const int n = std::snprintf(nullptr, 0, "%f", double_);
            std::string out(static_cast<std::size_t>(n), '\0');
            std::snprintf(out.data(), out.size() + 1, "%f", double_);
            return out;
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
