#pragma once
// Command-line options of one command: flags and valued options anywhere among the arguments,
// "--" ends the options, "-" is an ordinary argument.

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelvant::cli {

struct OptionInfo {
    std::string_view name;       // with the leading "--"
    std::string_view valueName;  // empty for a flag
    std::string_view help;
};

struct CommandInfo {
    std::string_view name;
    std::string_view arguments;  // as shown in the usage line, e.g. "FILE [FOLDER]"
    std::size_t minArgs = 0;
    std::size_t maxArgs = 0;
    std::string_view summary;
    std::string_view description;
    std::vector<OptionInfo> options;
    std::string_view example;
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> options;  // a flag maps to ""

    bool Has(std::string_view name) const { return options.find(name) != options.end(); }
    std::string Value(std::string_view name, std::string_view fallback) const;
};

enum class ParseOutcome { Run, Help, Version, UsageError };

// --help and --version win over everything else, wherever they stand before "--".
ParseOutcome ParseArguments(const CommandInfo& info, std::span<const std::string_view> args,
                            ParsedArgs& out, std::string& error);

std::string UsageLine(const CommandInfo& info);
std::string HelpText(const CommandInfo& info);

}  // namespace zelvant::cli
