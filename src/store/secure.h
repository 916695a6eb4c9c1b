#pragma once
// Wiping of memory that held secrets: keys, passwords, decrypted values.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zelvant {

// Zeroes n bytes in a way the optimiser may not drop.
void SecureWipe(void* p, std::size_t n) noexcept;

// Zeroes the whole buffer of s (inline or heap, up to its capacity), then empties it.
void WipeString(std::string& s) noexcept;

// Allocator that zeroes every block before giving it back.
template <class T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        SecureWipe(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }
    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

using SecureBuffer = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// Wipes a fixed-size stack buffer when it goes out of scope.
template <std::size_t N>
struct WipedBlock {
    alignas(16) std::uint8_t bytes[N] = {};
    WipedBlock() = default;
    WipedBlock(const WipedBlock&) = delete;
    WipedBlock& operator=(const WipedBlock&) = delete;
    ~WipedBlock() { SecureWipe(bytes, N); }
};

// A string for secrets that grow piece by piece (exports, typed passwords): the allocator wipes
// every block it gives back, so growing leaves no copy behind.
using WipedString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

// The allocator never sees a short string's inline buffer, so that is zeroed here.
inline void WipeText(WipedString& s) noexcept {
    SecureWipe(s.data(), s.capacity());
    s.clear();
}

// Holds a secret text and wipes it on every way out of a scope.
class SecretText {
  public:
    SecretText() = default;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText() { WipeText(text); }

    WipedString text;
};

}  // namespace zelvant
