#include "store/sealed_cipher.h"

#include <sodium.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "store/text_codec.h"

namespace zelvant {
namespace {

static_assert(kSealedKeySize == crypto_aead_xchacha20poly1305_ietf_KEYBYTES);
static_assert(kNonceSize == crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
static_assert(kSealTagSize == crypto_aead_xchacha20poly1305_ietf_ABYTES);
static_assert(kSaltSize == crypto_pwhash_SALTBYTES);

std::uint32_t Read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Write32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// Offsets in the header.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kMemoryAt = 12;
constexpr std::size_t kPassesAt = 16;
constexpr std::size_t kSaltAt = 20;
constexpr std::size_t kNonceAt = 36;
static_assert(kNonceAt + kNonceSize == kSealedHeaderSize);

double SecondsOf(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Seconds one Argon2id derivation with these parameters takes; negative when it failed.
double TimeDerivation(const SealParams& params) {
    WipedBlock<kSealedKeySize> out;
    const Salt salt{};
    const auto start = std::chrono::steady_clock::now();
    const bool ok = Argon2idDerive("calibration", salt, params,
                                   std::span<std::uint8_t, kSealedKeySize>(out.bytes));
    return ok ? SecondsOf(std::chrono::steady_clock::now() - start) : -1.0;
}

}  // namespace

bool Acceptable(const SealParams& params) {
    return params.memoryKiB >= kMinSealMemoryKiB && params.memoryKiB <= kMaxSealMemoryKiB &&
           params.passes >= kMinSealPasses && params.passes <= kMaxSealPasses;
}

HeaderKind ParseHeader(std::span<const std::uint8_t> first, std::uint64_t fileSize,
                       SealedHeader& header) {
    const std::size_t seen = std::min<std::size_t>(first.size(), kSealedMagic.size());
    if (fileSize < kSealedMagic.size() || seen < kSealedMagic.size() ||
        !std::equal(kSealedMagic.begin(), kSealedMagic.end(), first.begin())) {
        return HeaderKind::Legacy;
    }
    if (fileSize < kSealedHeaderSize + kSealTagSize || fileSize > kMaxSealedFileSize ||
        first.size() < kSealedHeaderSize) {
        return HeaderKind::Corrupt;
    }
    const std::uint8_t* p = first.data();
    const auto version = static_cast<std::uint16_t>(p[kVersionAt] | p[kVersionAt + 1] << 8);
    if (version != kSealedVersion) {
        return HeaderKind::Corrupt;
    }
    header.params = {Read32(p + kMemoryAt), Read32(p + kPassesAt)};
    if (!Acceptable(header.params)) {
        return HeaderKind::Corrupt;
    }
    std::memcpy(header.salt.data(), p + kSaltAt, kSaltSize);
    std::memcpy(header.nonce.data(), p + kNonceAt, kNonceSize);
    return HeaderKind::Sealed;
}

std::array<std::uint8_t, kSealedHeaderSize> FormatHeader(const SealedHeader& header) {
    std::array<std::uint8_t, kSealedHeaderSize> out{};
    std::copy(kSealedMagic.begin(), kSealedMagic.end(), out.begin());
    out[kVersionAt] = static_cast<std::uint8_t>(kSealedVersion & 0xFF);
    out[kVersionAt + 1] = static_cast<std::uint8_t>(kSealedVersion >> 8);
    Write32(out.data() + kMemoryAt, header.params.memoryKiB);
    Write32(out.data() + kPassesAt, header.params.passes);
    std::copy(header.salt.begin(), header.salt.end(), out.begin() + kSaltAt);
    std::copy(header.nonce.begin(), header.nonce.end(), out.begin() + kNonceAt);
    return out;
}

bool SodiumReady() {
    // sodium_init is itself safe to call from several threads; the static keeps it to once.
    static const bool ready = ::sodium_init() >= 0;
    return ready;
}

void RandomBytes(std::span<std::uint8_t> out) {
    if (!SodiumReady()) {
        std::abort();  // no randomness, no seal: never write a file under a guessable nonce
    }
    ::randombytes_buf(out.data(), out.size());
}

struct SealedKey::Locked {
    Locked() : bytes(static_cast<std::uint8_t*>(::sodium_malloc(kSealedKeySize))) {}
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    // sodium_free wipes the bytes and unlocks the pages.
    ~Locked() { ::sodium_free(bytes); }
    std::uint8_t* bytes;
};

const std::uint8_t* SealedKey::Bytes() const {
    return key_ != nullptr ? key_->bytes : nullptr;
}

SealedKey SealedKey::Make(const Salt& salt, const SealParams& params, const Derivation& derive) {
    SealedKey key;
    if (!SodiumReady()) {
        return key;
    }
    auto locked = std::make_shared<Locked>();
    if (locked->bytes == nullptr ||
        !derive(std::span<std::uint8_t, kSealedKeySize>(locked->bytes, kSealedKeySize))) {
        return key;
    }
    key.key_ = std::move(locked);
    key.params_ = params;
    key.salt_ = salt;
    return key;
}

bool Argon2idDerive(std::string_view password, const Salt& salt, const SealParams& params,
                    std::span<std::uint8_t, kSealedKeySize> out) {
    if (!SodiumReady()) {
        return false;
    }
    return ::crypto_pwhash(out.data(), out.size(), password.data(), password.size(), salt.data(),
                           params.passes, static_cast<std::size_t>(params.memoryKiB) * 1024,
                           crypto_pwhash_ALG_ARGON2ID13) == 0;
}

SealParams MeasureSealParams(std::chrono::milliseconds target) {
    // One and three passes over an eighth of the memory: large enough to leave the caches, so the
    // time per pass scales with the memory; the difference separates the cost of a pass from
    // what every derivation pays once (allocation, first touch of the pages).
    constexpr std::uint32_t kProbeKiB = kSealMemoryKiB / 8;
    constexpr double kScale = static_cast<double>(kSealMemoryKiB) / kProbeKiB;
    SealParams chosen{kSealMemoryKiB, kMinSealPasses};
    const double one = TimeDerivation({kProbeKiB, 1});
    const double three = TimeDerivation({kProbeKiB, 3});
    if (one <= 0 || three <= 0) {
        return chosen;
    }
    // A noisy pair must not make passes look free: a pass costs at least a quarter of the first.
    const double perPass = std::max((three - one) / 2, one / 4) * kScale;
    const double fixed = std::max(0.0, one * kScale - perPass);
    const double budget = std::chrono::duration<double>(target).count() - fixed;
    const double passes = budget / perPass;
    if (passes > kMinSealPasses) {
        chosen.passes = static_cast<std::uint32_t>(std::min<double>(passes, kMaxSealPasses));
    }
    return chosen;
}

SealParams CalibratedSealParams() {
    static std::once_flag once;
    static SealParams params;
    std::call_once(once, [] { params = MeasureSealParams(std::chrono::seconds(1)); });
    return params;
}

WipedString SealedPasswordBytes(std::string_view typed) {
    std::string converted;
    std::string_view utf8 = typed;
    if (!IsValidUtf8(typed)) {
        converted = Cp1252ToUtf8(typed);
        utf8 = converted;
    }
    const auto* in = reinterpret_cast<const utf8proc_uint8_t*>(utf8.data());
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
    WipedString out;
    // Decomposition can grow the text; the first call says by how much. Room for one more
    // code point, which re-encoding needs for its terminator.
    using CodePoints = std::vector<utf8proc_int32_t, WipingAllocator<utf8proc_int32_t>>;
    CodePoints points(utf8.size() + 1);
    auto count = utf8proc_decompose(in, static_cast<utf8proc_ssize_t>(utf8.size()), points.data(),
                                    static_cast<utf8proc_ssize_t>(points.size()), options);
    if (count >= 0 && static_cast<std::size_t>(count) >= points.size()) {
        CodePoints bigger(static_cast<std::size_t>(count) + 1);
        count = utf8proc_decompose(in, static_cast<utf8proc_ssize_t>(utf8.size()), bigger.data(),
                                   static_cast<utf8proc_ssize_t>(bigger.size()), options);
        SecureWipe(points.data(), points.size() * sizeof(utf8proc_int32_t));
        points.swap(bigger);
    }
    if (count >= 0) {
        const auto bytes = utf8proc_reencode(points.data(), count, options);
        if (bytes >= 0) {
            out.assign(reinterpret_cast<const char*>(points.data()),
                       static_cast<std::size_t>(bytes));
        }
    }
    SecureWipe(points.data(), points.size() * sizeof(utf8proc_int32_t));
    WipeString(converted);
    return out;
}

void SealPayload(const SealedKey& key, const SealedHeader& header, std::span<std::uint8_t> payload,
                 std::span<std::uint8_t, kSealTagSize> tag) {
    const auto ad = FormatHeader(header);
    // libsodium declares the message pointers non-null even when there are no bytes.
    std::uint8_t none = 0;
    std::uint8_t* bytes = payload.empty() ? &none : payload.data();
    ::crypto_aead_xchacha20poly1305_ietf_encrypt_detached(
        bytes, tag.data(), nullptr, bytes, payload.size(), ad.data(), ad.size(), nullptr,
        header.nonce.data(), key.Bytes());
}

bool OpenPayload(const SealedKey& key, std::span<const std::uint8_t, kSealedHeaderSize> header,
                 std::span<std::uint8_t> data, std::span<const std::uint8_t, kSealTagSize> tag) {
    if (key.Empty() || !SodiumReady()) {
        return false;
    }
    const std::uint8_t* nonce = header.data() + kNonceAt;
    std::uint8_t none = 0;
    std::uint8_t* bytes = data.empty() ? &none : data.data();
    if (::crypto_aead_xchacha20poly1305_ietf_decrypt_detached(
            bytes, nullptr, bytes, data.size(), tag.data(), header.data(), header.size(), nonce,
            key.Bytes()) != 0) {
        SecureWipe(data.data(), data.size());
        return false;
    }
    return true;
}

}  // namespace zelvant
