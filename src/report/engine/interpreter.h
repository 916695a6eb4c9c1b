#pragma once
// Runs a compiled template against its host objects. Run-time messages go into the output.

#include "report/engine/host.h"
#include "report/engine/template.h"

namespace zelvant::report {

struct RunOptions {
    // What `sys.runcmd` uses; empty means commands cannot be started (" could not run command ").
    CommandRunner runCommand = RunSystemCommand;
};

// Invokes `entry` with no arguments. `environment` and `factory` may be null.
void Run(const CTemplate& entry, CEnvironment* environment, COutputStream& output,
         COutputFactory* factory, const RunOptions& options = {});

}  // namespace zelvant::report
