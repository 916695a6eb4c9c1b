#pragma once
// The print flags as the desktop program last stored them (section "Printing" of its settings),
// each missing key at its default.

#include "report/print_flags.h"

namespace zelvant::report {

PrintFlags StoredPrintFlags();

}  // namespace zelvant::report
