#include "ui/command_line.h"

#include <cstdio>

namespace zelvant::ui {

std::string DesktopHelpText() {
    return "usage: zelvant [OPTIONS] [FILE]\n\n"
           "Opens FILE, a Zelvant data file (.zvd), asking for its password. Without FILE it\n"
           "starts with a new, untitled document, or reopens the last file when \"Auto load\n"
           "last file on start-up\" is set in the Options. While one copy is running, starting\n"
           "another brings the running window forward instead (unless more than one copy is\n"
           "allowed in the Options).\n\n"
           "Options:\n"
           "  -h, --help  Show this help\n"
           "  --version   Show the program's version\n\n"
           "Qt's own options, such as -platform NAME, are accepted as well.\n";
}

std::optional<int> AnswerInfoOptions(std::span<const std::string_view> args) {
    for (const std::string_view arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg == "--help" || arg == "-h") {
            const std::string text = DesktopHelpText();
            std::fwrite(text.data(), 1, text.size(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (arg == "--version") {
            std::printf("zelvant %s\n", ZELVANT_VERSION);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return std::nullopt;
}

}  // namespace zelvant::ui
