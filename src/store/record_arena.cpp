#include "store/record_arena.h"

#include <algorithm>
#include <new>

#include "store/secure.h"

namespace zelvant {
namespace {

constexpr std::size_t kSmallestBlock = std::size_t{64} << 10;

}  // namespace

CRecordArena::CRecordArena(std::size_t firstBlock)
    : nextBlock_(std::max(firstBlock, kSmallestBlock)) {}

CRecordArena::~CRecordArena() {
    if (!blocks_.empty()) {
        blocks_.back().used = used_;
    }
    for (Block& block : blocks_) {
        // Freed memory may be mapped again for something else: it must not stay marked dead.
        MarkLive(block.memory.Data(), block.memory.Size());
        SecureWipe(block.memory.Data(), block.used);
    }
}

std::size_t CRecordArena::Used() const {
    std::size_t total = used_;
    for (std::size_t i = 0; i + 1 < blocks_.size(); ++i) {
        total += blocks_[i].used;
    }
    return total;
}

void* CRecordArena::AllocateInNewBlock(std::size_t n, std::size_t align) {
    if (n > SIZE_MAX / 2 - align) {
        throw std::bad_alloc();
    }
    const std::size_t need = n + align;  // room for the worst alignment of a fresh block
    std::size_t size = std::max(nextBlock_, need);
    CPayloadBuffer block;
    for (;;) {
        try {
            block = CPayloadBuffer(size);
            break;
        } catch (const std::bad_alloc&) {
            // The first block is sized for the densest file; a real one needs far less.
            if (size == need) {
                throw;
            }
            size = std::max(size / 2, need);
        }
    }
    blocks_.reserve(blocks_.size() + 1);
    if (!blocks_.empty()) {
        blocks_.back().used = used_;
    }
    MarkDead(block.Data(), block.Size());
    base_ = block.Data();
    size_ = block.Size();
    used_ = 0;
    blocks_.push_back({std::move(block), 0});
    nextBlock_ = std::min(SIZE_MAX / 4, 2 * size_);
    return Allocate(n, align);
}

}  // namespace zelvant
