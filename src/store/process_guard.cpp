#include "store/process_guard.h"

#if defined(__linux__)
#include <sys/prctl.h>
#endif
#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif
#if defined(__APPLE__)
#include <sys/ptrace.h>
#include <sys/types.h>
#endif
#if defined(_WIN32)
#include <windows.h>
#endif

namespace zelvant {

bool GuardProcessMemory() noexcept {
    bool guarded = true;
#if defined(__unix__) || defined(__APPLE__)
    const rlimit none{0, 0};
    guarded = ::setrlimit(RLIMIT_CORE, &none) == 0 && guarded;
#endif
#if defined(__linux__)
    // Also makes /proc/PID/mem and ptrace refuse other processes of the same user.
    guarded = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && guarded;
#elif defined(__APPLE__)
    guarded = ::ptrace(PT_DENY_ATTACH, 0, nullptr, 0) == 0 && guarded;
#elif defined(_WIN32)
    // No crash dialog offering to send a dump of our memory.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
#endif
    return guarded;
}

}  // namespace zelvant
