#pragma once
// The cipher of the data file: every value is its own AES-128-CBC message with a zero IV and
// PKCS#7-style padding, under a key made from the first bytes of the file password.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "store/secure.h"

namespace zelvant {

inline constexpr std::size_t kBlockSize = 16;
inline constexpr std::size_t kFileKeySize = 32;
inline constexpr std::size_t kAesKeySize = 16;

// Stored size of a value of n plaintext bytes.
constexpr std::size_t PaddedSize(std::size_t n) {
    return (n / kBlockSize + 1) * kBlockSize;
}

// The 32-byte key of a file, or empty. Only its first 16 bytes key the cipher.
class FileKey {
  public:
    FileKey() = default;
    explicit FileKey(std::span<const std::uint8_t, kFileKeySize> bytes);
    FileKey(const FileKey& other) = default;
    FileKey& operator=(const FileKey& other) = default;
    ~FileKey() { Clear(); }

    bool Empty() const { return !set_; }
    void Clear();
    const std::array<std::uint8_t, kFileKeySize>& Bytes() const { return bytes_; }
    friend bool operator==(const FileKey&, const FileKey&) = default;

  private:
    std::array<std::uint8_t, kFileKeySize> bytes_{};
    bool set_ = false;
};

// The password's bytes, cut to 32 or completed with zero bytes.
FileKey MakeFileKey(std::string_view passwordBytes);

// The key schedule of one file, expanded once and used for all of its values.
class CFileCipher {
  public:
    explicit CFileCipher(const FileKey& key);
    CFileCipher(const CFileCipher&) = delete;
    CFileCipher& operator=(const CFileCipher&) = delete;
    ~CFileCipher();

    // Raw AES over n whole blocks, each on its own; chaining is the caller's.
    void EncryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t nblocks) const;
    void DecryptBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t nblocks) const;

    // One value: writes PaddedSize(plain.size()) bytes to out.
    void EncryptValue(std::span<const std::uint8_t> plain, std::uint8_t* out) const;
    // One value: writes at most cipher.size() bytes to out and returns how many.
    std::size_t DecryptValue(std::span<const std::uint8_t> cipher, std::uint8_t* out) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Bytes to strip from a decrypted last block: its last byte when at most 16, else none.
inline std::size_t PaddingOf(const std::uint8_t* lastBlock) {
    const std::uint8_t p = lastBlock[kBlockSize - 1];
    return p > kBlockSize ? 0 : p;
}

SecureBuffer EncryptValue(const FileKey& key, std::span<const std::uint8_t> plain);
SecureBuffer DecryptValue(const FileKey& key, std::span<const std::uint8_t> cipher);

}  // namespace zelvant
