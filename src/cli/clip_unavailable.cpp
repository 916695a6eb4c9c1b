// clip in a build without the desktop libraries.

#include "cli/cli_support.h"

namespace zelvant::cli {

int ClipCommand(const ParsedArgs&) {
    PrintOwnError("clip is not available in this build, which has no clipboard support");
    return kExitFailed;
}

}  // namespace zelvant::cli
