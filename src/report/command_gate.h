#pragma once
// Whether a template may start commands (sys.runcmd). A template is a file anyone may hand the
// user, and its commands run with the user's rights and record values spliced into them, so none
// runs unless its caller allows it: zelvant-cli with --allow-commands, the desktop program once
// the user has agreed for that run. A command that is not allowed fails as one that cannot be
// started, and the page says so.

#include <functional>
#include <optional>
#include <string>

#include "report/engine/host.h"

namespace zelvant::report {

// Asked at the first command of a run, with the template file and that command's text; the
// answer holds for the rest of the run.
using CommandConsent =
    std::function<bool(const std::string& templatePath, const std::string& command)>;

// One run of one template. Must outlive the run that uses its Runner().
class CCommandGate {
  public:
    // Without consent no command runs.
    CCommandGate(std::string templatePath, CommandConsent consent,
                 CommandRunner run = RunSystemCommand);

    CommandRunner Runner();
    // Commands the run asked for and did not get.
    int Refused() const { return refused_; }

  private:
    bool Run(const std::string& command, COutputStream& out);

    std::string templatePath_;
    CommandConsent consent_;
    CommandRunner run_;
    std::optional<bool> allowed_;
    int refused_ = 0;
};

// Consent for every command, as --allow-commands gives it.
bool AllowEveryCommand(const std::string& templatePath, const std::string& command);

}  // namespace zelvant::report
