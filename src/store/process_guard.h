#pragma once
// Keeps a process's memory to itself: no core file when it crashes, and no other process of the
// same user reading it through /proc/PID/mem or a debugger. Both programs call this first thing
// in main, before any secret is in memory.

namespace zelvant {

// True when every measure the platform offers took effect.
bool GuardProcessMemory() noexcept;

}  // namespace zelvant
