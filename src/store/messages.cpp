#include "store/messages.h"

#include <system_error>

namespace zelvant {

std::string FormatMessage(std::string_view text, long long number) {
    std::string out(text);
    if (const auto pos = out.find("%d"); pos != std::string::npos) {
        out.replace(pos, 2, std::to_string(number));
    }
    return out;
}

std::string FileErrorText(std::string_view action, std::string_view path, int errorNumber) {
    std::string out = "Unable to ";
    out += action;
    out += " \"";
    out += path;
    out += "\": ";
    out += std::generic_category().message(errorNumber);
    out += '.';
    return out;
}

}  // namespace zelvant
