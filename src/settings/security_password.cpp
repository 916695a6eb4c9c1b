#include "settings/security_password.h"

#include <sodium.h>

namespace zelvant::settings {

PasswordHashCost InteractiveHashCost() {
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

bool SodiumReady() {
    static const bool ready = ::sodium_init() >= 0;
    return ready;
}

std::string_view FirstCharacters(std::string_view utf8, std::size_t count) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80;
        if (!continuation && chars++ == count) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

std::string HashSecurityPassword(std::string_view password, PasswordHashCost cost) {
    if (!SodiumReady()) {
        return {};
    }
    const std::string_view kept = FirstCharacters(password, kSecurityPasswordMaxChars);
    char out[crypto_pwhash_STRBYTES] = {};
    if (::crypto_pwhash_str(out, kept.data(), kept.size(), cost.opsLimit, cost.memLimit) != 0) {
        return {};
    }
    return std::string(out);
}

bool VerifySecurityPassword(std::string_view hash, std::string_view typed) {
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES || !SodiumReady()) {
        return false;
    }
    // The library wants a terminated string of at most crypto_pwhash_STRBYTES.
    char stored[crypto_pwhash_STRBYTES] = {};
    hash.copy(stored, hash.size());
    const std::string_view kept = FirstCharacters(typed, kSecurityPasswordMaxChars);
    return ::crypto_pwhash_str_verify(stored, kept.data(), kept.size()) == 0;
}

}  // namespace zelvant::settings
