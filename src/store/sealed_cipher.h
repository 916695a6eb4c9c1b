#pragma once
// The sealed form of a data file: a 60-byte header (magic, container version, Argon2id memory and
// passes, salt, nonce), then the whole item sequence in the clear sealed as one
// XChaCha20-Poly1305 message with the header as associated data. The key is Argon2id (version
// 1.3, one lane) over the password's UTF-8 bytes in normalisation form C.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "store/secure.h"

namespace zelvant {

inline constexpr std::array<std::uint8_t, 8> kSealedMagic = {0x89, 0x5A, 0x56, 0x44,
                                                             0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr std::uint16_t kSealedVersion = 1;
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kNonceSize = 24;
inline constexpr std::size_t kSealedHeaderSize = 60;
inline constexpr std::size_t kSealTagSize = 16;
inline constexpr std::size_t kSealedKeySize = 32;

// What a reader accepts, so that a hostile header can neither weaken the key nor make the
// program allocate gigabytes or work for minutes.
inline constexpr std::uint32_t kMinSealMemoryKiB = 64 * 1024;
inline constexpr std::uint32_t kMaxSealMemoryKiB = 1024 * 1024;
inline constexpr std::uint32_t kMinSealPasses = 3;
inline constexpr std::uint32_t kMaxSealPasses = 32;
// A sealed file is read whole before it is checked; anything larger is refused as damaged.
inline constexpr std::uint64_t kMaxSealedFileSize = std::uint64_t{4} << 30;
// What sealing uses.
inline constexpr std::uint32_t kSealMemoryKiB = 256 * 1024;
// Passwords of sealed files: characters before normalisation.
inline constexpr std::size_t kMaxSealedPasswordChars = 256;

using Salt = std::array<std::uint8_t, kSaltSize>;
using Nonce = std::array<std::uint8_t, kNonceSize>;

struct SealParams {
    std::uint32_t memoryKiB = 0;
    std::uint32_t passes = 0;
    friend bool operator==(const SealParams&, const SealParams&) = default;
};

// Within the limits a reader accepts.
bool Acceptable(const SealParams& params);

struct SealedHeader {
    SealParams params;
    Salt salt{};
    Nonce nonce{};
    friend bool operator==(const SealedHeader&, const SealedHeader&) = default;
};

enum class HeaderKind {
    Legacy,   // no sealed magic: the legacy form, or not a data file at all
    Sealed,   // a header this program can read
    Corrupt,  // the sealed magic, but too short, another container version or parameters out of
              // range
};

// Looks at the first bytes of a file of `fileSize` bytes (at most kSealedHeaderSize are used).
// Fills `header` for a sealed file.
HeaderKind ParseHeader(std::span<const std::uint8_t> first, std::uint64_t fileSize,
                       SealedHeader& header);
std::array<std::uint8_t, kSealedHeaderSize> FormatHeader(const SealedHeader& header);

// Calls sodium_init() once, from whichever thread comes first. False when libsodium cannot be
// used (the caller treats that like a failed derivation).
bool SodiumReady();

// Fills with random bytes from the system's generator.
void RandomBytes(std::span<std::uint8_t> out);

// The 32 bytes that key a sealed file, in locked memory that is wiped when the last copy goes.
// Copies share the memory; the key never changes once made.
class SealedKey {
  public:
    SealedKey() = default;

    bool Empty() const { return key_ == nullptr; }
    const std::uint8_t* Bytes() const;
    const SealParams& Params() const { return params_; }
    const Salt& SaltBytes() const { return salt_; }

    // Runs `derive` into fresh locked memory. Empty when the memory cannot be had or the
    // derivation fails.
    using Derivation = std::function<bool(std::span<std::uint8_t, kSealedKeySize> out)>;
    static SealedKey Make(const Salt& salt, const SealParams& params, const Derivation& derive);

  private:
    struct Locked;
    std::shared_ptr<const Locked> key_;
    SealParams params_;
    Salt salt_{};
};

// How a password becomes a sealed file's key: the password's bytes (already in form C), the salt
// and the parameters in, 32 bytes out. False when it cannot be done (no memory). Must be safe to
// call from another thread.
using KeyDerivation =
    std::function<bool(std::string_view password, const Salt& salt, const SealParams& params,
                       std::span<std::uint8_t, kSealedKeySize> out)>;
// Argon2id 1.3, one lane, as the file's header says.
bool Argon2idDerive(std::string_view password, const Salt& salt, const SealParams& params,
                    std::span<std::uint8_t, kSealedKeySize> out);

// The parameters a new seal gets.
using SealParamsChoice = std::function<SealParams()>;
// kSealMemoryKiB and the passes that make one derivation take about `target` here (at least
// kMinSealPasses, at most kMaxSealPasses), from a short measurement on a smaller memory.
SealParams MeasureSealParams(std::chrono::milliseconds target);
// MeasureSealParams for one second, measured once per run.
SealParams CalibratedSealParams();

// The bytes a typed password (UTF-8; bytes that are not UTF-8 are read as Windows-1252) stands
// for in a sealed file's key: the same text in normalisation form C, as UTF-8. Empty when the
// text cannot be normalised.
WipedString SealedPasswordBytes(std::string_view typed);

// Seals `payload` in place into ciphertext of the same length and writes the tag.
void SealPayload(const SealedKey& key, const SealedHeader& header, std::span<std::uint8_t> payload,
                 std::span<std::uint8_t, kSealTagSize> tag);
// Opens ciphertext in place; false, with the buffer wiped, when the key is wrong or anything of
// header, ciphertext or tag was changed.
bool OpenPayload(const SealedKey& key, std::span<const std::uint8_t, kSealedHeaderSize> header,
                 std::span<std::uint8_t> data, std::span<const std::uint8_t, kSealTagSize> tag);

}  // namespace zelvant
