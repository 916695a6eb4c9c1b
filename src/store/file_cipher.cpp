#include "store/file_cipher.h"

#include <cryptopp/aes.h>

#include <algorithm>
#include <cstring>

namespace zelvant {

FileKey::FileKey(std::span<const std::uint8_t, kFileKeySize> bytes) : set_(true) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

void FileKey::Clear() {
    SecureWipe(bytes_.data(), bytes_.size());
    set_ = false;
}

FileKey MakeFileKey(std::string_view passwordBytes) {
    WipedBlock<kFileKeySize> buf;
    const std::size_t n = std::min(passwordBytes.size(), kFileKeySize);
    std::memcpy(buf.bytes, passwordBytes.data(), n);
    return FileKey(std::span<const std::uint8_t, kFileKeySize>(buf.bytes, kFileKeySize));
}

// Crypto++'s block transformations wipe their key schedules when destroyed.
struct CFileCipher::Impl {
    CryptoPP::AES::Encryption enc;
    CryptoPP::AES::Decryption dec;
};

CFileCipher::CFileCipher(const FileKey& key) : impl_(std::make_unique<Impl>()) {
    impl_->enc.SetKey(key.Bytes().data(), kAesKeySize);
    impl_->dec.SetKey(key.Bytes().data(), kAesKeySize);
}

CFileCipher::~CFileCipher() = default;

void CFileCipher::EncryptBlocks(const std::uint8_t* in, std::uint8_t* out,
                                std::size_t nblocks) const {
    if (nblocks > 0) {
        impl_->enc.AdvancedProcessBlocks(in, nullptr, out, nblocks * kBlockSize,
                                         CryptoPP::BlockTransformation::BT_AllowParallel);
    }
}

void CFileCipher::DecryptBlocks(const std::uint8_t* in, std::uint8_t* out,
                                std::size_t nblocks) const {
    if (nblocks > 0) {
        impl_->dec.AdvancedProcessBlocks(in, nullptr, out, nblocks * kBlockSize,
                                         CryptoPP::BlockTransformation::BT_AllowParallel);
    }
}

void CFileCipher::EncryptValue(std::span<const std::uint8_t> plain, std::uint8_t* out) const {
    const std::size_t n = plain.size();
    const std::size_t total = PaddedSize(n);
    const auto pad = static_cast<std::uint8_t>(total - n);
    WipedBlock<kBlockSize> block;
    const std::uint8_t* chain = nullptr;  // zero IV
    for (std::size_t off = 0; off < total; off += kBlockSize) {
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            const std::size_t k = off + i;
            const std::uint8_t p = k < n ? plain[k] : pad;
            block.bytes[i] = chain ? static_cast<std::uint8_t>(p ^ chain[i]) : p;
        }
        impl_->enc.ProcessBlock(block.bytes, out + off);
        chain = out + off;
    }
}

std::size_t CFileCipher::DecryptValue(std::span<const std::uint8_t> cipher,
                                      std::uint8_t* out) const {
    const std::size_t nblocks = cipher.size() / kBlockSize;
    if (nblocks == 0) {
        return 0;
    }
    DecryptBlocks(cipher.data(), out, nblocks);
    for (std::size_t b = 1; b < nblocks; ++b) {
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            out[b * kBlockSize + i] ^= cipher[(b - 1) * kBlockSize + i];
        }
    }
    const std::size_t full = nblocks * kBlockSize;
    return full - PaddingOf(out + full - kBlockSize);
}

SecureBuffer EncryptValue(const FileKey& key, std::span<const std::uint8_t> plain) {
    SecureBuffer out(PaddedSize(plain.size()));
    CFileCipher(key).EncryptValue(plain, out.data());
    return out;
}

SecureBuffer DecryptValue(const FileKey& key, std::span<const std::uint8_t> cipher) {
    SecureBuffer out(cipher.size() / kBlockSize * kBlockSize);
    out.resize(CFileCipher(key).DecryptValue(cipher, out.data()));
    return out;
}

}  // namespace zelvant
