#pragma once
// Running a template file's "start" over the document into a report page, and finding the
// template files shipped beside the program.

#include <string>
#include <vector>

#include "report/engine/host.h"
#include "report/engine/interpreter.h"
#include "report/template_files.h"
#include "store/messages.h"

namespace zelvant::report {

// Options under which a template starts no command at all; callers that allow commands pass a
// runner from a CCommandGate (command_gate.h).
inline RunOptions NoCommands() {
    return RunOptions{.runCommand = {}};
}

// Loads the template file (compile messages go to `diagnostics`) and runs its "start" into
// `page`. False, after telling `messages`, when the file cannot be opened or has no "start".
bool RunReport(const std::string& templatePath, COutputStream& page, CEnvironment& environment,
               COutputStream& diagnostics, IMessageSink& messages,
               const RunOptions& options = NoCommands());

// The same into a file that only its owner may read, since the page holds passwords. A page
// that cannot be written is reported and yields false.
bool RunReportToFile(const std::string& templatePath, const std::string& pagePath,
                     CEnvironment& environment, COutputStream& diagnostics, IMessageSink& messages,
                     const RunOptions& options = NoCommands());

}  // namespace zelvant::report
