#include "store/secure.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace zelvant {

void SecureWipe(void* p, std::size_t n) noexcept {
    if (p == nullptr || n == 0) {
        return;
    }
#if defined(_WIN32)
    SecureZeroMemory(p, n);
#else
    std::memset(p, 0, n);
    // The barrier tells the compiler the zeroed memory is still read, so the memset stays.
    __asm__ __volatile__("" : : "r"(p) : "memory");
#endif
}

void WipeString(std::string& s) noexcept {
    SecureWipe(s.data(), s.capacity());
    s.clear();
}

}  // namespace zelvant
