#pragma once
// A stand-in for Argon2id in tests that are not about the derivation itself: a hash of the
// password, salt and parameters, so a wrong password, salt or parameter still gives another key,
// at no cost. It counts its calls, so tests can tell when a derivation ran.

#include <sodium.h>

#include <atomic>
#include <memory>
#include <string>

#include "store/sealed_cipher.h"
#include "store/zelvant_doc.h"

namespace zelvant::testing {

struct CheapSealing {
    std::shared_ptr<std::atomic<int>> derivations = std::make_shared<std::atomic<int>>(0);
    // The bytes of the last password derived from.
    std::shared_ptr<std::string> lastPassword = std::make_shared<std::string>();

    SealingServices Services() const {
        SealingServices s;
        auto count = derivations;
        auto last = lastPassword;
        s.derive = [count, last](std::string_view password, const Salt& salt,
                                 const SealParams& params,
                                 std::span<std::uint8_t, kSealedKeySize> out) {
            ++*count;
            last->assign(password);
            crypto_generichash_state state;
            crypto_generichash_init(&state, nullptr, 0, out.size());
            crypto_generichash_update(
                &state, reinterpret_cast<const unsigned char*>(password.data()), password.size());
            crypto_generichash_update(&state, salt.data(), salt.size());
            const std::uint32_t p[2] = {params.memoryKiB, params.passes};
            crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(p), sizeof p);
            crypto_generichash_final(&state, out.data(), out.size());
            return true;
        };
        s.chooseParams = [] { return SealParams{kMinSealMemoryKiB, kMinSealPasses}; };
        return s;
    }
    int Count() const { return derivations->load(); }
};

}  // namespace zelvant::testing
