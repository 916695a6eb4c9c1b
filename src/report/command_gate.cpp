#include "report/command_gate.h"

#include <utility>

namespace zelvant::report {

CCommandGate::CCommandGate(std::string templatePath, CommandConsent consent, CommandRunner run)
    : templatePath_(std::move(templatePath)), consent_(std::move(consent)), run_(std::move(run)) {}

CommandRunner CCommandGate::Runner() {
    return [this](const std::string& command, COutputStream& out) { return Run(command, out); };
}

bool CCommandGate::Run(const std::string& command, COutputStream& out) {
    if (!allowed_) {
        allowed_ = consent_ && run_ && consent_(templatePath_, command);
    }
    if (!*allowed_) {
        ++refused_;
        return false;
    }
    return run_(command, out);
}

bool AllowEveryCommand(const std::string&, const std::string&) {
    return true;
}

}  // namespace zelvant::report
