#pragma once
// From a compiled syntax tree to the instructions a run executes.

#include "report/engine/syntax.h"

namespace zelvant::report {

// Fills `code.ops` (with its sites and constants) from `code.root`, ending with End.
void EmitCode(CCode& code);

}  // namespace zelvant::report
