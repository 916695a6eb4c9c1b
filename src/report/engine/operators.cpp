#include "report/engine/operators.h"

#include <cstdint>

#include "report/engine/syntax.h"

namespace zelvant::report {

namespace {

// 32-bit arithmetic wraps; unsigned arithmetic does so without undefined behaviour.
std::int32_t Wrap(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}
std::uint32_t U(std::int32_t v) {
    return static_cast<std::uint32_t>(v);
}

std::int32_t Length(const CValue& v) {
    return static_cast<std::int32_t>(v.StringValue().size());
}

double AsDouble(const CValue& v) {
    switch (v.GetType()) {
        case CValue::Type::Long:
            return v.LongValue();
        case CValue::Type::Double:
            return v.DoubleValue();
        case CValue::Type::String:
            return static_cast<double>(v.StringValue().size());
    }
    return 0.0;
}

// <0, 0, >0; `unordered` when a NaN takes part.
int Order(const CValue& l, const CValue& r, bool& unordered) {
    unordered = false;
    if (l.IsString() && r.IsString()) {
        const int c = l.StringValue().compare(r.StringValue());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (!l.IsDouble() && !r.IsDouble()) {
        const std::int32_t a = l.ToLong();
        const std::int32_t b = r.ToLong();
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    const double a = AsDouble(l);
    const double b = AsDouble(r);
    if (a < b) {
        return -1;
    }
    if (a > b) {
        return 1;
    }
    unordered = !(a == b);
    return 0;
}

// Whole-number division and remainder. By zero both yield 0; INT_MIN / -1 wraps to INT_MIN
// like the rest of the arithmetic, and INT_MIN % -1 is 0.
std::int32_t Divide(std::int32_t a, std::int32_t b) {
    if (b == 0) {
        return 0;
    }
    if (b == -1) {
        return Wrap(0u - U(a));
    }
    return a / b;
}

std::int32_t Remainder(std::int32_t a, std::int32_t b) {
    if (b == 0 || b == -1) {
        return 0;
    }
    return a % b;
}

}  // namespace

CValue Compare(int op, const CValue& left, const CValue& right) {
    return CValue::Long(Compares(op, left, right) ? 1 : 0);
}

bool Compares(int op, const CValue& left, const CValue& right) {
    bool unordered = false;
    const int c = Order(left, right, unordered);
    bool result = false;
    switch (op) {
        case kLess:
            result = !unordered && c < 0;
            break;
        case kGreater:
            result = !unordered && c > 0;
            break;
        case kLessEqual:
            result = !unordered && c <= 0;
            break;
        case kGreaterEqual:
            result = !unordered && c >= 0;
            break;
        case kEqual:
            result = !unordered && c == 0;
            break;
        case kNotEqual:
            result = unordered || c != 0;
            break;
        default:
            break;
    }
    return result;
}

CValue Arithmetic(int op, const CValue& left, const CValue& right) {
    if (op == kModulo) {
        return CValue::Long(Remainder(left.ToLong(), right.ToLong()));
    }
    if (left.IsDouble()) {
        const double a = left.DoubleValue();
        const double b = AsDouble(right);
        switch (op) {
            case kPlus:
                return CValue::Double(a + b);
            case kMinus:
                return CValue::Double(a - b);
            case kTimes:
                return CValue::Double(a * b);
            default:
                return CValue::Double(a / b);
        }
    }
    const std::int32_t a = left.ToLong();
    const std::int32_t b = right.ToLong();
    switch (op) {
        case kPlus:
            return CValue::Long(Wrap(U(a) + U(b)));
        case kMinus:
            return CValue::Long(Wrap(U(a) - U(b)));
        case kTimes:
            return CValue::Long(Wrap(U(a) * U(b)));
        default:
            return CValue::Long(Divide(a, b));
    }
}

CValue Concatenate(const CValue& left, const CValue& right) {
    return CValue::Concatenate(left, right);
}

CValue UnaryPlus(const CValue& v) {
    return v.IsString() ? CValue::Long(Length(v)) : v;
}

CValue Negate(const CValue& v) {
    if (v.IsDouble()) {
        return CValue::Double(-v.DoubleValue());
    }
    return CValue::Long(Wrap(0u - U(v.ToLong())));
}

CValue Not(const CValue& v) {
    return CValue::Long(v.IsTrue() ? 0 : 1);
}

void Step(CValue& v, int delta) {
    if (v.IsDouble()) {
        v = CValue::Double(v.DoubleValue() + delta);
    } else {
        v = CValue::Long(Wrap(U(v.ToLong()) + static_cast<std::uint32_t>(delta)));
    }
}

}  // namespace zelvant::report
