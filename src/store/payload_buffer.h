#pragma once
// Large buffers of plaintext: a sealed file's payload, a loaded document's records.

#include <cstddef>
#include <cstdint>

namespace zelvant {

// Memory for a whole payload: on Linux, large buffers come from huge pages, so that touching
// them the first time costs a handful of page faults rather than thousands.
class CPayloadBuffer {
  public:
    CPayloadBuffer() = default;
    explicit CPayloadBuffer(std::size_t size);
    CPayloadBuffer(const CPayloadBuffer&) = delete;
    CPayloadBuffer& operator=(const CPayloadBuffer&) = delete;
    CPayloadBuffer(CPayloadBuffer&& other) noexcept { Swap(other); }
    CPayloadBuffer& operator=(CPayloadBuffer&& other) noexcept {
        Swap(other);
        return *this;
    }
    // Does not wipe: callers wipe what held plaintext.
    ~CPayloadBuffer();

    std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    void Swap(CPayloadBuffer& other) noexcept;

  private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0;  // bytes mapped, or 0 for memory from new[]
};

}  // namespace zelvant
