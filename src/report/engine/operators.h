#pragma once
// The operators of the template language on values.

#include "report/engine/value.h"

namespace zelvant::report {

// Symbol codes of the comparison operators ("<=", ">=", "!=", "<", ">", "="): long 1 or long 0.
CValue Compare(int op, const CValue& left, const CValue& right);
// The same as a truth.
bool Compares(int op, const CValue& left, const CValue& right);
// "+", "-", "*", "/", "%" by their symbol codes.
CValue Arithmetic(int op, const CValue& left, const CValue& right);
CValue Concatenate(const CValue& left, const CValue& right);
CValue UnaryPlus(const CValue& v);
CValue Negate(const CValue& v);
CValue Not(const CValue& v);
// "++" (delta 1) and "--" (delta -1) in place.
void Step(CValue& v, int delta);

}  // namespace zelvant::report
