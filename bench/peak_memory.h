#pragma once
// Runs a program with a line on its standard input and reports how much memory it held at most.

#include <string>
#include <string_view>
#include <vector>

namespace zelvant::bench {

struct ChildResult {
    bool started = false;
    int exitCode = -1;        // -1 when it did not exit normally
    long long maxRssKiB = 0;  // peak resident set size of the child alone
    std::string output;       // what it wrote to standard output
};

ChildResult RunMeasured(const std::vector<std::string>& argv, std::string_view input);

// Linux records the resident size of the memory a process had before exec as its own peak, and
// a spawned child starts with its parent's. So a large parent has the measuring done by a fresh,
// small copy of itself: `helper` is that program, which must call PeakMemoryHelperMain when
// given kHelperFlag.
inline constexpr std::string_view kHelperFlag = "--zelvant-peak-memory";
ChildResult RunMeasuredViaHelper(const std::string& helper, const std::vector<std::string>& argv,
                                 std::string_view input);
int PeakMemoryHelperMain(int argc, char** argv);

}  // namespace zelvant::bench
