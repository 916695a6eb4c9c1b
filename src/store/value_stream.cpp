#include "store/value_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zelvant {
namespace {

// Small enough that the ciphertext and its plaintext both stay in the L2 cache between the
// bulk decryption and the values being picked out of it.
constexpr std::size_t kReadChunk = 1 << 18;
constexpr std::size_t kWriteBatch = 1 << 18;

// dst ^= src over one block, a word at a time (byte loops over buffers that may alias do not
// vectorise).
inline void XorBlock(std::uint8_t* dst, const std::uint8_t* src) {
    std::uint64_t d[2];
    std::uint64_t s[2];
    std::memcpy(d, dst, kBlockSize);
    std::memcpy(s, src, kBlockSize);
    d[0] ^= s[0];
    d[1] ^= s[1];
    std::memcpy(dst, d, kBlockSize);
}

}  // namespace

std::size_t CMemorySource::Read(std::uint8_t* dst, std::size_t n) {
    const std::size_t count = std::min(n, bytes_.size() - pos_);
    if (count > 0) {
        std::memcpy(dst, bytes_.data() + pos_, count);
    }
    pos_ += count;
    return count;
}

bool CMemorySink::Write(const std::uint8_t* src, std::size_t n) {
    bytes.insert(bytes.end(), src, src + n);
    return true;
}

std::size_t CFileSource::Read(std::uint8_t* dst, std::size_t n) {
    const std::size_t count = std::fread(dst, 1, n, file_);
    if (count < n && std::ferror(file_)) {
        error_ = errno != 0 ? errno : EIO;
    }
    return count;
}

bool CFileSink::Write(const std::uint8_t* src, std::size_t n) {
    if (std::fwrite(src, 1, n, file_) != n) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

CValueReader::CValueReader(const CFileCipher& cipher, IByteSource& source)
    : cipher_(cipher), source_(source), size_(source.Size()) {}

CValueReader::CValueReader(const FileKey& key, IByteSource& source)
    : ownCipher_(std::make_unique<const CFileCipher>(key)),
      cipher_(*ownCipher_),
      source_(source),
      size_(source.Size()) {}

CValueReader::~CValueReader() {
    SecureWipe(plainBuf_.data(), plainBuf_.size());
}

bool CValueReader::Fill(std::size_t need) {
    if (end_ - begin_ >= need) {
        return true;
    }
    // Keep the unread tail (already decrypted) at the front and read on behind it.
    const std::size_t tail = end_ - begin_;
    if (begin_ > 0) {
        std::memmove(cipherBuf_.data(), cipherBuf_.data() + begin_, tail);
        // The plaintext left behind is overwritten by the next decryption or wiped with the
        // buffer; wiping it here too would cost a pass over the whole file.
        std::memmove(plainBuf_.data(), plainBuf_.data() + begin_, decrypted_ - begin_);
        decrypted_ -= begin_;
        begin_ = 0;
        end_ = tail;
    }
    // A small file gets a buffer of its own size, not a whole chunk.
    const std::size_t capacity = std::max(
        need, static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, size_ - consumed_)));
    if (cipherBuf_.size() < capacity) {
        cipherBuf_.resize(capacity);
        SecureBuffer grown(capacity);
        if (decrypted_ > 0) {  // the first buffer is still null
            std::memcpy(grown.data(), plainBuf_.data(), decrypted_);
        }
        SecureWipe(plainBuf_.data(), plainBuf_.size());
        plainBuf_.swap(grown);
    }
    const auto available = static_cast<std::size_t>(
        std::min<std::uint64_t>(capacity - end_, size_ - consumed_ - tail));
    std::size_t got = 0;
    while (got < available) {
        const std::size_t n = source_.Read(cipherBuf_.data() + end_ + got, available - got);
        if (n == 0) {
            break;
        }
        got += n;
    }
    end_ += got;
    const std::size_t whole = (end_ - decrypted_) / kBlockSize;
    cipher_.DecryptBlocks(cipherBuf_.data() + decrypted_, plainBuf_.data() + decrypted_, whole);
    decrypted_ += whole * kBlockSize;
    return end_ - begin_ >= need;
}

const std::uint8_t* CValueReader::Next(std::size_t n, std::size_t& length) {
    const std::size_t stored = PaddedSize(n);
    if (stored > Remaining() || (end_ - begin_ < stored && !Fill(stored))) {
        return nullptr;
    }
    const std::uint8_t* c = cipherBuf_.data() + begin_;
    std::uint8_t* p = plainBuf_.data() + begin_;
    // The bulk pass decrypted every block alone; chain all but the first to the block before.
    for (std::size_t off = kBlockSize; off < stored; off += kBlockSize) {
        XorBlock(p + off, c + off - kBlockSize);
    }
    length = std::min(n, stored - PaddingOf(p + stored - kBlockSize));
    begin_ += stored;
    consumed_ += stored;
    return p;
}

bool CValueReader::Read(std::size_t n, std::uint8_t* out) {
    std::size_t length = 0;
    const std::uint8_t* p = Next(n, length);
    if (p == nullptr) {
        return false;
    }
    if (n > 0) {  // out may be null for an empty value
        std::memcpy(out, p, length);
        if (length < n) {
            std::memset(out + length, 0, n - length);
        }
    }
    return true;
}

CValueWriter::CValueWriter(const CFileCipher& cipher, IByteSink& sink)
    : cipher_(cipher), sink_(sink) {
    pending_.reserve(kWriteBatch + 4096);
}

CValueWriter::CValueWriter(const FileKey& key, IByteSink& sink)
    : ownCipher_(std::make_unique<const CFileCipher>(key)), cipher_(*ownCipher_), sink_(sink) {
    pending_.reserve(kWriteBatch + 4096);
}

CValueWriter::~CValueWriter() {
    SecureWipe(pending_.data(), pending_.size());
    SecureWipe(gather_.data(), gather_.size());
}

bool CValueWriter::Write(std::span<const std::uint8_t> plain) {
    if (failed_) {
        return false;
    }
    const std::size_t n = plain.size();
    const std::size_t stored = PaddedSize(n);
    const std::size_t offset = pending_.size();
    if (pending_.capacity() < offset + stored) {
        // Grow by hand so the old buffer is wiped by the allocator, not left behind readable.
        SecureBuffer bigger;
        bigger.reserve(std::max(offset + stored, 2 * pending_.capacity()));
        bigger.assign(pending_.begin(), pending_.end());
        SecureWipe(pending_.data(), pending_.size());
        pending_.swap(bigger);
    }
    pending_.insert(pending_.end(), plain.begin(), plain.end());
    pending_.resize(offset + stored, static_cast<std::uint8_t>(stored - n));
    if (stored > kBlockSize) {
        longValues_.push_back({offset, stored / kBlockSize});
    }
    return pending_.size() < kWriteBatch || Flush();
}

bool CValueWriter::Flush() {
    if (failed_) {
        return false;
    }
    if (pending_.empty()) {
        return true;
    }
    const std::size_t blocks = pending_.size() / kBlockSize;
    out_.resize(pending_.size());
    // Round 0: every block as if it began a value, which is right for the first blocks.
    cipher_.EncryptBlocks(pending_.data(), out_.data(), blocks);
    // Round r: block r of every value that long, chained to its block r-1, in one bulk call.
    std::vector<LongValue> active = longValues_;
    for (std::size_t r = 1; !active.empty(); ++r) {
        std::erase_if(active, [r](const LongValue& v) { return v.blocks <= r; });
        gather_.resize(active.size() * kBlockSize);
        for (std::size_t k = 0; k < active.size(); ++k) {
            const std::size_t at = active[k].offset + r * kBlockSize;
            for (std::size_t i = 0; i < kBlockSize; ++i) {
                gather_[k * kBlockSize + i] =
                    static_cast<std::uint8_t>(pending_[at + i] ^ out_[at - kBlockSize + i]);
            }
        }
        cipher_.EncryptBlocks(gather_.data(), gather_.data(), active.size());
        for (std::size_t k = 0; k < active.size(); ++k) {
            std::memcpy(out_.data() + active[k].offset + r * kBlockSize,
                        gather_.data() + k * kBlockSize, kBlockSize);
        }
    }
    SecureWipe(gather_.data(), gather_.size());
    SecureWipe(pending_.data(), pending_.size());
    pending_.clear();
    longValues_.clear();
    if (!sink_.Write(out_.data(), out_.size())) {
        failed_ = true;
        return false;
    }
    return true;
}

CPlainValueReader::CPlainValueReader(CPayloadBuffer payload, std::size_t begin, std::size_t end)
    : data_(std::move(payload)),
      pos_(std::min(begin, data_.Size())),
      end_(std::max(pos_, std::min(end, data_.Size()))) {}

CPlainValueReader::~CPlainValueReader() {
    SecureWipe(data_.Data(), data_.Size());
}

const std::uint8_t* CPlainValueReader::Next(std::size_t n, std::size_t& length) {
    if (n > end_ - pos_) {
        return nullptr;
    }
    const std::uint8_t* p = data_.Data() + pos_;
    pos_ += n;
    length = n;
    return p;
}

bool CPlainValueReader::Read(std::size_t n, std::uint8_t* out) {
    std::size_t length = 0;
    const std::uint8_t* p = Next(n, length);
    if (p == nullptr) {
        return false;
    }
    if (n > 0) {
        std::memcpy(out, p, n);
    }
    return true;
}

CSealedValueWriter::CSealedValueWriter(SealedKey key, const Nonce& nonce, IByteSink& sink)
    : key_(std::move(key)), nonce_(nonce), sink_(sink) {}

CSealedValueWriter::~CSealedValueWriter() {
    // Once sealed the buffer holds only ciphertext.
    if (!done_) {
        SecureWipe(payload_.Data(), used_);
    }
}

void CSealedValueWriter::Grow(std::size_t need) {
    CPayloadBuffer bigger(std::max({need, 2 * payload_.Size(), kWriteBatch}));
    if (used_ > 0) {
        std::memcpy(bigger.Data(), payload_.Data(), used_);
    }
    SecureWipe(payload_.Data(), used_);
    payload_ = std::move(bigger);
}

void CSealedValueWriter::Reserve(std::uint64_t plainBytes) {
    if (!done_ && plainBytes > payload_.Size() && plainBytes <= SIZE_MAX / 2) {
        Grow(static_cast<std::size_t>(plainBytes));
    }
}

bool CSealedValueWriter::Write(std::span<const std::uint8_t> plain) {
    if (done_) {
        return false;
    }
    if (plain.size() > payload_.Size() - used_) {
        Grow(used_ + plain.size());
    }
    if (!plain.empty()) {
        std::memcpy(payload_.Data() + used_, plain.data(), plain.size());
    }
    used_ += plain.size();
    return true;
}

bool CSealedValueWriter::Finish() {
    if (done_ || key_.Empty()) {
        return false;
    }
    const SealedHeader header{key_.Params(), key_.SaltBytes(), nonce_};
    std::array<std::uint8_t, kSealTagSize> tag{};
    SealPayload(key_, header, std::span(payload_.Data(), used_), tag);
    done_ = true;
    const auto head = FormatHeader(header);
    return sink_.Write(head.data(), head.size()) &&
           (used_ == 0 || sink_.Write(payload_.Data(), used_)) &&
           sink_.Write(tag.data(), tag.size());
}

namespace {

// Reads everything the source holds; false when the file layer fails or it holds less than it
// said.
bool ReadWhole(IByteSource& source, CPayloadBuffer& out) {
    const std::uint64_t size = source.Size();
    if (size > SIZE_MAX / 2) {
        return false;
    }
    out = CPayloadBuffer(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < out.Size()) {
        const std::size_t n = source.Read(out.Data() + got, out.Size() - got);
        if (n == 0) {
            break;
        }
        got += n;
    }
    return got == out.Size();
}

std::unique_ptr<IValueReader> OpenSealed(const SealedKey& key, IByteSource& source,
                                         StreamFailure& failure) {
    CPayloadBuffer data;
    if (!ReadWhole(source, data)) {
        failure = source.Error() != 0 ? StreamFailure::ReadError : StreamFailure::Corrupt;
        return nullptr;
    }
    SealedHeader header;
    if (ParseHeader(std::span(data.Data(), data.Size()), data.Size(), header) !=
        HeaderKind::Sealed) {
        failure = StreamFailure::Corrupt;
        return nullptr;
    }
    // A key made for another salt or other parameters cannot open it.
    if (header.params != key.Params() || header.salt != key.SaltBytes()) {
        failure = StreamFailure::Refused;
        return nullptr;
    }
    const std::size_t end = data.Size() - kSealTagSize;
    const std::span<std::uint8_t> body(data.Data() + kSealedHeaderSize, end - kSealedHeaderSize);
    if (!OpenPayload(
            key, std::span<const std::uint8_t, kSealedHeaderSize>(data.Data(), kSealedHeaderSize),
            body, std::span<const std::uint8_t, kSealTagSize>(data.Data() + end, kSealTagSize))) {
        failure = StreamFailure::Refused;
        return nullptr;
    }
    return std::make_unique<CPlainValueReader>(std::move(data), kSealedHeaderSize, end);
}

}  // namespace

std::unique_ptr<IValueReader> MakeValueReader(const DocumentKey& key, IByteSource& source,
                                              StreamFailure& failure) {
    failure = StreamFailure::None;
    if (key.Form() == FileForm::Sealed) {
        return OpenSealed(key.Sealed(), source, failure);
    }
    return std::make_unique<CValueReader>(key.Legacy(), source);
}

std::unique_ptr<IValueWriter> MakeValueWriter(const DocumentKey& key, IByteSink& sink,
                                              const Nonce* nonce) {
    if (key.Form() == FileForm::Sealed) {
        Nonce fresh{};
        if (nonce == nullptr) {
            RandomBytes(fresh);
        }
        return std::make_unique<CSealedValueWriter>(key.Sealed(), nonce ? *nonce : fresh, sink);
    }
    return std::make_unique<CValueWriter>(key.Legacy(), sink);
}

}  // namespace zelvant
