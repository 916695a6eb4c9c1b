#include "cli/arguments.h"

#include <algorithm>

namespace zelvant::cli {

std::string ParsedArgs::Value(std::string_view name, std::string_view fallback) const {
    const auto it = options.find(name);
    return it != options.end() ? it->second : std::string(fallback);
}

ParseOutcome ParseArguments(const CommandInfo& info, std::span<const std::string_view> args,
                            ParsedArgs& out, std::string& error) {
    for (std::string_view a : args) {
        if (a == "--") {
            break;
        }
        if (a == "--help" || a == "-h") {
            return ParseOutcome::Help;
        }
        if (a == "--version") {
            return ParseOutcome::Version;
        }
    }
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (optionsEnded || a == "-" || !a.starts_with("-")) {
            out.positional.emplace_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t eq = a.find('=');
        const std::string_view name = a.substr(0, eq);
        const auto known = std::find_if(info.options.begin(), info.options.end(),
                                        [&](const OptionInfo& o) { return o.name == name; });
        if (!a.starts_with("--") || known == info.options.end()) {
            error = "unknown option '" + std::string(name) + "'";
            return ParseOutcome::UsageError;
        }
        if (known->valueName.empty()) {
            if (eq != std::string_view::npos) {
                error = "option '" + std::string(name) + "' takes no value";
                return ParseOutcome::UsageError;
            }
            out.options[std::string(name)] = "";
        } else if (eq != std::string_view::npos) {
            out.options[std::string(name)] = std::string(a.substr(eq + 1));
        } else if (i + 1 < args.size()) {
            out.options[std::string(name)] = std::string(args[++i]);
        } else {
            error = "option '" + std::string(name) + "' needs a value";
            return ParseOutcome::UsageError;
        }
    }
    if (out.positional.size() < info.minArgs) {
        // Name the first argument that is missing, as the usage line calls it.
        std::string_view rest = info.arguments;
        for (std::size_t k = 0; k < out.positional.size() && !rest.empty(); ++k) {
            const std::size_t space = rest.find(' ');
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
        error = "missing " + std::string(rest.substr(0, rest.find(' ')));
        return ParseOutcome::UsageError;
    }
    if (out.positional.size() > info.maxArgs) {
        error = "unexpected argument '" + out.positional[info.maxArgs] + "'";
        return ParseOutcome::UsageError;
    }
    return ParseOutcome::Run;
}

std::string UsageLine(const CommandInfo& info) {
    std::string line = "usage: zelvant-cli " + std::string(info.name);
    if (!info.arguments.empty()) {
        line += ' ';
        line += info.arguments;
    }
    return line + " [OPTIONS]";
}

std::string HelpText(const CommandInfo& info) {
    std::string text = UsageLine(info) + "\n\n" + std::string(info.description) + "\n\nOptions:\n";
    std::vector<std::pair<std::string, std::string_view>> rows;
    for (const auto& o : info.options) {
        std::string left(o.name);
        if (!o.valueName.empty()) {
            left += ' ';
            left += o.valueName;
        }
        rows.emplace_back(std::move(left), o.help);
    }
    rows.emplace_back("-h, --help", "Show this help");
    rows.emplace_back("--version", "Show the program's version");
    std::size_t width = 0;
    for (const auto& r : rows) {
        width = std::max(width, r.first.size());
    }
    for (const auto& [left, help] : rows) {
        text += "  " + left + std::string(width - left.size() + 2, ' ') + std::string(help) + "\n";
    }
    text += "\nExample:\n  " + std::string(info.example) + "\n";
    return text;
}

}  // namespace zelvant::cli
