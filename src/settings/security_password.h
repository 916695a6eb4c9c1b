#pragma once
// The security password asked for before a locked window is shown again. Only a salted Argon2id
// hash of it is kept (libsodium's crypto_pwhash_str), never the password itself.

#include <cstddef>
#include <string>
#include <string_view>

namespace zelvant::settings {

// The prompt and the options edit both take at most this many characters, so that whatever can
// be set can also be typed at the prompt.
inline constexpr std::size_t kSecurityPasswordMaxChars = 32;

// Work factors of a hash. The defaults are libsodium's interactive limits (64 MiB, 2 passes):
// the check runs on the GUI thread at every unlock, and the hash only has to resist guessing
// from a copy of the private settings file.
struct PasswordHashCost {
    unsigned long long opsLimit;
    std::size_t memLimit;
};
PasswordHashCost InteractiveHashCost();

// The first `count` characters of UTF-8 text, never half a character.
std::string_view FirstCharacters(std::string_view utf8, std::size_t count);

// The hash of the password's first kSecurityPasswordMaxChars characters; empty when it could not
// be made (libsodium unusable, or out of memory).
std::string HashSecurityPassword(std::string_view password,
                                 PasswordHashCost cost = InteractiveHashCost());
// The typed text is cut as the prompt cuts it. False for an empty or malformed hash.
bool VerifySecurityPassword(std::string_view hash, std::string_view typed);

// Initialises libsodium once per process; false when it cannot be used.
bool SodiumReady();

}  // namespace zelvant::settings
