#include "report/engine/host.h"

#include <cstdio>

namespace zelvant::report {

void WriteText(COutputStream& out, std::string_view text) {
    while (!text.empty()) {
        std::size_t n = text.size();
        if (!out.Write(text.data(), n) || n == 0) {
            return;
        }
        text.remove_prefix(n);
    }
}

bool CStringOutput::Write(const char* bytes, std::size_t& length) {
    text.append(bytes, length);
    return length > 0;
}

bool RunSystemCommand(const std::string& command, COutputStream& out) {
#if defined(_WIN32)
    std::FILE* pipe = ::_popen(command.c_str(), "r");
#else
    std::FILE* pipe = ::popen(command.c_str(), "r");
#endif
    if (pipe == nullptr) {
        return false;
    }
    char block[1024];
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, pipe);
        std::size_t written = got;
        const bool ok = got > 0 && out.Write(block, written);
        if (got < sizeof block || !ok) {
            break;
        }
    }
#if defined(_WIN32)
    ::_pclose(pipe);
#else
    ::pclose(pipe);
#endif
    return true;
}

}  // namespace zelvant::report
