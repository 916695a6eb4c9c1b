// The sealed reader. The first byte chooses what the rest is:
//   even   a whole file: the header is checked, a key is derived (by the stub) from the fuzzing
//          password with the header's salt and parameters, and the file is loaded, so damaged
//          headers, truncations and changed bytes are turned away cleanly;
//   odd    a payload, sealed properly under a fixed header and key before it is loaded, so that
//          the fuzzer chooses counts, lengths and versions past the authentication.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "load_check.h"
#include "sealed_stub.h"
#include "store/data_file.h"
#include "store/zelvant_doc.h"

namespace {

using namespace zelvant;

const Nonce kNonce{};

DocumentKey KeyFor(const SealedHeader& header) {
    return KeyForFile(FileCheck::Sealed, header, fuzz::kPassword, fuzz::StubDerive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if ((data[0] & 1) == 0) {
        SealedHeader header;
        switch (ParseHeader(rest, rest.size(), header)) {
            case HeaderKind::Sealed:
                fuzz::CheckLoad(rest, KeyFor(header), &kNonce);
                break;
            case HeaderKind::Corrupt:
                fuzz::Require(rest.size() >= 8, "only the magic makes a file sealed");
                break;
            case HeaderKind::Legacy:  // the legacy reader has fuzzers of its own
                break;
        }
        return 0;
    }
    static const DocumentKey key = KeyFor(fuzz::FixedHeader());
    CMemorySink sink;
    CSealedValueWriter writer(key.Sealed(), kNonce, sink);
    fuzz::Require(writer.Write(rest) && writer.Finish(), "any payload can be sealed");
    fuzz::CheckLoad(sink.bytes, key, &kNonce);
    return 0;
}
