#pragma once
// Memory for the records and texts of one loaded file. A file of 100,000 records would otherwise
// be half a million small allocations, and in a fresh process every one of them lands on a new
// heap page: the page faults cost more than reading and decrypting the file. The arena hands out
// memory from a few large blocks instead, sized from the file, and frees it all at once.

#include <cstddef>
#include <vector>

#include "store/payload_buffer.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZELVANT_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZELVANT_ARENA_ASAN 1
#endif
#endif
#if defined(ZELVANT_ARENA_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace zelvant {

class CRecordArena {
  public:
    // `firstBlock` bytes are taken at the first allocation; on Linux only the pages touched
    // count, so a generous size costs address space, not memory.
    explicit CRecordArena(std::size_t firstBlock);
    CRecordArena(const CRecordArena&) = delete;
    CRecordArena& operator=(const CRecordArena&) = delete;
    // Wipes every byte handed out, then frees the blocks: whatever lives here dies first.
    ~CRecordArena();

    // Never moves what it handed out; `align` is a power of two up to 16. Throws std::bad_alloc
    // when memory runs out.
    void* Allocate(std::size_t n, std::size_t align) {
        const std::size_t at = (used_ + align - 1) & ~(align - 1);
        if (at > size_ || n > size_ - at) {
            return AllocateInNewBlock(n, align);
        }
        used_ = at + n;
        MarkLive(base_ + at, n);
        return base_ + at;
    }
    char* AllocateText(std::size_t n) { return static_cast<char*>(Allocate(n, 1)); }

    // Bytes handed out, alignment gaps included.
    std::size_t Used() const;

    // Memory whose owner is gone: later use of it is caught by AddressSanitizer, where the build
    // has it. Wiping is the owner's.
    static void MarkDead([[maybe_unused]] const void* p, [[maybe_unused]] std::size_t n) noexcept {
#if defined(ZELVANT_ARENA_ASAN)
        ASAN_POISON_MEMORY_REGION(p, n);
#endif
    }

  private:
    static void MarkLive([[maybe_unused]] const void* p, [[maybe_unused]] std::size_t n) noexcept {
#if defined(ZELVANT_ARENA_ASAN)
        ASAN_UNPOISON_MEMORY_REGION(p, n);
#endif
    }

    void* AllocateInNewBlock(std::size_t n, std::size_t align);

    struct Block {
        CPayloadBuffer memory;
        std::size_t used = 0;  // kept in used_ while the block is the current one
    };

    std::size_t nextBlock_;
    std::vector<Block> blocks_;
    std::uint8_t* base_ = nullptr;  // the current block, the last one
    std::size_t size_ = 0;
    std::size_t used_ = 0;
};

}  // namespace zelvant
