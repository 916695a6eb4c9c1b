#pragma once
// A byte sink that takes a set number of bytes and fails from then on, as a full disk does:
// the write that crosses the limit stores what fits and reports failure.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/value_stream.h"

namespace zelvant::testing {

class CFailingSink final : public IByteSink {
  public:
    explicit CFailingSink(std::size_t limit) : limit_(limit) {}

    bool Write(const std::uint8_t* src, std::size_t n) override {
        ++writes;
        const std::size_t room = limit_ - std::min(limit_, bytes.size());
        bytes.insert(bytes.end(), src, src + std::min(n, room));
        failed = failed || n > room;
        return n <= room;
    }

    std::vector<std::uint8_t> bytes;
    int writes = 0;
    bool failed = false;

  private:
    std::size_t limit_;
};

}  // namespace zelvant::testing
