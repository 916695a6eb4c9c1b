// Arbitrary bytes as a data file. Mutations of real files reach past the signature; everything
// else checks that foreign and damaged files are turned away cleanly.

#include <cstddef>
#include <cstdint>

#include "load_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zelvant::fuzz::CheckLoad({data, size});
    return 0;
}
