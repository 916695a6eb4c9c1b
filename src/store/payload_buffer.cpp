#include "store/payload_buffer.h"

#include <algorithm>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zelvant {

CPayloadBuffer::CPayloadBuffer(std::size_t size) : size_(size) {
#if defined(__linux__)
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (size >= 2 * kHugePage) {
        const std::size_t length = (size + kHugePage - 1) / kHugePage * kHugePage;
        void* p =
            ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
            ::madvise(p, length, MADV_HUGEPAGE);  // a hint; without it the pages are small
            data_ = static_cast<std::uint8_t*>(p);
            mapped_ = length;
            return;
        }
    }
#endif
    data_ = new std::uint8_t[std::max<std::size_t>(size, 1)];
}

CPayloadBuffer::~CPayloadBuffer() {
#if defined(__linux__)
    if (mapped_ != 0) {
        ::munmap(data_, mapped_);
        return;
    }
#endif
    delete[] data_;
}

void CPayloadBuffer::Swap(CPayloadBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(mapped_, other.mapped_);
}

}  // namespace zelvant
