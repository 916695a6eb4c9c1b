#pragma once
// Clearing memory that held report text (record fields, passwords) before it is released.

#include <cstddef>
#include <cstring>

namespace zelvant::report {

inline void WipeBytes(void* bytes, std::size_t size) {
    if (size == 0) {
        return;
    }
    std::memset(bytes, 0, size);
#if defined(__GNUC__) || defined(__clang__)
    // Keeps the compiler from dropping the stores to memory about to be freed.
    __asm__ __volatile__("" : : "r"(bytes) : "memory");
#else
    for (volatile char* p = static_cast<volatile char*>(bytes); size > 0; --size) {
        *p++ = 0;
    }
#endif
}

}  // namespace zelvant::report
