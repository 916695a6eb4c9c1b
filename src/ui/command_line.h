#pragma once
// The desktop program's own command-line options, answered before any window is made, so that
// they work without a display.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelvant::ui {

std::string DesktopHelpText();

// Prints the help or the version when the arguments (after the program's name) ask for one and
// yields the exit status; nothing when the program is to start.
std::optional<int> AnswerInfoOptions(std::span<const std::string_view> args);

}  // namespace zelvant::ui
