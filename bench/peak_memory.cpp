#include "peak_memory.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace zelvant::bench {
namespace {

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    int Get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

}  // namespace

ChildResult RunMeasured(const std::vector<std::string>& argv, std::string_view input) {
    ChildResult result;
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        return result;
    }
    Fd inRead(in[0]), inWrite(in[1]);
    if (::pipe2(out, O_CLOEXEC) != 0) {
        return result;
    }
    Fd outRead(out[0]), outWrite(out[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.Get(), STDOUT_FILENO);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return result;
    }
    result.started = true;
    inRead.Reset();
    outWrite.Reset();

    // A child that exits without reading must not kill us with SIGPIPE.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    for (std::size_t done = 0; done < input.size();) {
        const ssize_t n = ::write(inWrite.Get(), input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    inWrite.Reset();
    ::sigaction(SIGPIPE, &previous, nullptr);

    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(outRead.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        result.output.append(buf, static_cast<std::size_t>(n));
    }

    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.maxRssKiB = usage.ru_maxrss;
    return result;
}

ChildResult RunMeasuredViaHelper(const std::string& helper, const std::vector<std::string>& argv,
                                 std::string_view input) {
    std::vector<std::string> full = {helper, std::string(kHelperFlag)};
    full.insert(full.end(), argv.begin(), argv.end());
    const ChildResult outer = RunMeasured(full, input);
    // The helper answers "started exit-code peak-KiB" on one line, then the child's output.
    ChildResult result;
    std::istringstream reply(outer.output);
    int started = 0;
    if (outer.exitCode != 0 || !(reply >> started >> result.exitCode >> result.maxRssKiB)) {
        return {};
    }
    result.started = started != 0;
    reply.get();
    result.output.assign(std::istreambuf_iterator<char>(reply), {});
    return result;
}

int PeakMemoryHelperMain(int argc, char** argv) {
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (args.empty()) {
        return 2;
    }
    const std::string input(std::istreambuf_iterator<char>(std::cin), {});
    const ChildResult r = RunMeasured(args, input);
    std::cout << (r.started ? 1 : 0) << ' ' << r.exitCode << ' ' << r.maxRssKiB << '\n'
              << r.output << std::flush;
    return 0;
}

}  // namespace zelvant::bench
