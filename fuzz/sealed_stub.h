#pragma once
// The sealed reader's fuzzing key: the derivation is a plain hash, so that each input costs
// microseconds, not a second; every other step of opening a sealed file is the real one.

#include <sodium.h>

#include "load_check.h"
#include "store/sealed_cipher.h"

namespace zelvant::fuzz {

inline bool StubDerive(std::string_view password, const Salt& salt, const SealParams& params,
                       std::span<std::uint8_t, kSealedKeySize> out) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, out.size());
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(password.data()),
                              password.size());
    crypto_generichash_update(&state, salt.data(), salt.size());
    const std::uint8_t p[8] = {static_cast<std::uint8_t>(params.memoryKiB),
                               static_cast<std::uint8_t>(params.memoryKiB >> 8),
                               static_cast<std::uint8_t>(params.memoryKiB >> 16),
                               static_cast<std::uint8_t>(params.memoryKiB >> 24),
                               static_cast<std::uint8_t>(params.passes),
                               static_cast<std::uint8_t>(params.passes >> 8),
                               static_cast<std::uint8_t>(params.passes >> 16),
                               static_cast<std::uint8_t>(params.passes >> 24)};
    crypto_generichash_update(&state, p, sizeof p);
    return crypto_generichash_final(&state, out.data(), out.size()) == 0;
}

// The header the payload mode seals under.
inline SealedHeader FixedHeader() {
    SealedHeader h;
    h.params = {kMinSealMemoryKiB, kMinSealPasses};
    for (std::size_t i = 0; i < h.salt.size(); ++i) {
        h.salt[i] = static_cast<std::uint8_t>(i);
    }
    return h;
}

}  // namespace zelvant::fuzz
