#include <string_view>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return zelvant::cli::RunCli(args);
}
