#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "store/process_guard.h"

int main(int argc, char** argv) {
    if (!zelvant::GuardProcessMemory()) {
        std::fputs("zelvant-cli: warning: this process's memory could not be made private\n",
                   stderr);
    }
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return zelvant::cli::RunCli(args);
}
