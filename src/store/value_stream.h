#pragma once
// The encrypted value stream of a data file. Reading decrypts the file in large runs of blocks
// with one bulk cipher call and only chains them per value afterwards; writing batches values
// and encrypts block i of every pending value in one bulk call. Both give exactly the bytes of
// value-by-value CBC, at a fraction of its cost.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "store/file_cipher.h"
#include "store/file_protection.h"
#include "store/payload_buffer.h"
#include "store/secure.h"

namespace zelvant {

class IByteSource {
  public:
    virtual ~IByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fewer bytes than asked only at the end or on an error (then Error() is non-zero).
    virtual std::size_t Read(std::uint8_t* dst, std::size_t n) = 0;
    virtual int Error() const { return 0; }
};

class IByteSink {
  public:
    virtual ~IByteSink() = default;
    virtual bool Write(const std::uint8_t* src, std::size_t n) = 0;
    virtual int Error() const { return 0; }
};

class CMemorySource : public IByteSource {
  public:
    explicit CMemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    // The source only borrows its bytes: a temporary would be gone before the first read.
    explicit CMemorySource(std::vector<std::uint8_t>&&) = delete;
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t Read(std::uint8_t* dst, std::size_t n) override;

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

class CMemorySink : public IByteSink {
  public:
    bool Write(const std::uint8_t* src, std::size_t n) override;
    std::vector<std::uint8_t> bytes;
};

class CFileSource : public IByteSource {
  public:
    // Takes ownership of an open file.
    CFileSource(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t Read(std::uint8_t* dst, std::size_t n) override;
    int Error() const override { return error_; }

  private:
    std::FILE* file_;
    std::uint64_t size_;
    int error_ = 0;
};

class CFileSink : public IByteSink {
  public:
    explicit CFileSink(std::FILE* file) : file_(file) {}
    bool Write(const std::uint8_t* src, std::size_t n) override;
    int Error() const override { return error_; }

  private:
    std::FILE* file_;
    int error_ = 0;
};

// The values of a data file, read in order, whatever its form.
class IValueReader {
  public:
    virtual ~IValueReader() = default;

    // Stored bytes not yet read.
    virtual std::uint64_t Remaining() const = 0;
    // Whether the last failure was the file layer's rather than missing bytes.
    virtual int IoError() const = 0;
    // Stored bytes of a value of n plaintext bytes.
    virtual std::uint64_t StoredSize(std::size_t n) const = 0;
    // Whether negative lengths and counts and bytes after the last folder are damage. The
    // sealed form says so; the legacy form never looked.
    virtual bool Strict() const = 0;

    // Reads the value that holds n plaintext bytes and writes exactly n bytes to out; bytes the
    // value does not supply are zero. False when the file ends before the value does.
    virtual bool Read(std::size_t n, std::uint8_t* out) = 0;

    // The same without a copy: the value's plaintext, of which `length` (at most n) bytes are
    // supplied; valid until the next read. None when the file ends before the value does.
    virtual const std::uint8_t* Next(std::size_t n, std::size_t& length) = 0;
};

class IValueWriter {
  public:
    virtual ~IValueWriter() = default;
    // A writer that holds the whole file before it writes anything takes its memory at once when
    // told the plaintext bytes about to come.
    virtual bool HoldsWholeFile() const { return false; }
    virtual void Reserve(std::uint64_t /*plainBytes*/) {}
    virtual bool Write(std::span<const std::uint8_t> plain) = 0;
    // Writes everything still pending; the file is complete after it.
    virtual bool Finish() = 0;
};

// The legacy form: every value is its own AES-CBC message.
class CValueReader final : public IValueReader {
  public:
    CValueReader(const CFileCipher& cipher, IByteSource& source);
    // With a cipher of its own.
    CValueReader(const FileKey& key, IByteSource& source);
    CValueReader(const CValueReader&) = delete;
    CValueReader& operator=(const CValueReader&) = delete;
    ~CValueReader() override;

    std::uint64_t Remaining() const override { return size_ - consumed_; }
    int IoError() const override { return source_.Error(); }
    std::uint64_t StoredSize(std::size_t n) const override { return PaddedSize(n); }
    bool Strict() const override { return false; }
    bool Read(std::size_t n, std::uint8_t* out) override;
    const std::uint8_t* Next(std::size_t n, std::size_t& length) override;

  private:
    bool Fill(std::size_t need);

    std::unique_ptr<const CFileCipher> ownCipher_;
    const CFileCipher& cipher_;
    IByteSource& source_;
    std::uint64_t size_;
    std::uint64_t consumed_ = 0;
    std::vector<std::uint8_t> cipherBuf_;
    SecureBuffer plainBuf_;
    std::size_t begin_ = 0;      // first unread byte in both buffers
    std::size_t end_ = 0;        // end of the bytes read from the source
    std::size_t decrypted_ = 0;  // end of the decrypted blocks
};

class CValueWriter final : public IValueWriter {
  public:
    CValueWriter(const CFileCipher& cipher, IByteSink& sink);
    CValueWriter(const FileKey& key, IByteSink& sink);
    CValueWriter(const CValueWriter&) = delete;
    CValueWriter& operator=(const CValueWriter&) = delete;
    ~CValueWriter() override;

    bool Write(std::span<const std::uint8_t> plain) override;
    // Encrypts and writes everything still pending.
    bool Flush();
    bool Finish() override { return Flush(); }

  private:
    struct LongValue {
        std::size_t offset;
        std::size_t blocks;
    };

    std::unique_ptr<const CFileCipher> ownCipher_;
    const CFileCipher& cipher_;
    IByteSink& sink_;
    SecureBuffer pending_;  // padded plaintext of values not yet written
    std::vector<std::uint8_t> out_;
    std::vector<LongValue> longValues_;  // values of more than one block in pending_
    SecureBuffer gather_;
    bool failed_ = false;
};

// The sealed form's payload: every value is its plaintext bytes, nothing more.
class CPlainValueReader final : public IValueReader {
  public:
    // Takes the decrypted payload, bytes begin to end of it, and wipes it when done.
    CPlainValueReader(CPayloadBuffer payload, std::size_t begin, std::size_t end);
    CPlainValueReader(const CPlainValueReader&) = delete;
    CPlainValueReader& operator=(const CPlainValueReader&) = delete;
    ~CPlainValueReader() override;

    std::uint64_t Remaining() const override { return end_ - pos_; }
    int IoError() const override { return 0; }
    std::uint64_t StoredSize(std::size_t n) const override { return n; }
    bool Strict() const override { return true; }
    bool Read(std::size_t n, std::uint8_t* out) override;
    const std::uint8_t* Next(std::size_t n, std::size_t& length) override;

  private:
    CPayloadBuffer data_;
    std::size_t pos_;
    std::size_t end_;
};

// Collects the payload and, at Finish, writes the header, the sealed payload and its tag.
class CSealedValueWriter final : public IValueWriter {
  public:
    CSealedValueWriter(SealedKey key, const Nonce& nonce, IByteSink& sink);
    CSealedValueWriter(const CSealedValueWriter&) = delete;
    CSealedValueWriter& operator=(const CSealedValueWriter&) = delete;
    ~CSealedValueWriter() override;

    bool HoldsWholeFile() const override { return true; }
    void Reserve(std::uint64_t plainBytes) override;
    bool Write(std::span<const std::uint8_t> plain) override;
    bool Finish() override;

  private:
    void Grow(std::size_t need);

    SealedKey key_;
    Nonce nonce_;
    IByteSink& sink_;
    // Growing copies what is there and nothing more; appending a value is one copy.
    CPayloadBuffer payload_;
    std::size_t used_ = 0;
    bool done_ = false;
};

enum class StreamFailure {
    None,
    Corrupt,   // not a file of the key's form (too short, a header that cannot be read)
    Refused,   // the key does not open it, or it was changed: the two cannot be told apart
    ReadError  // the file layer failed; IByteSource::Error() says why
};

// A reader of the values under the key, in the key's form. Null, with the reason, when the file
// cannot be read under it; a sealed file is read, checked and decrypted whole before the first
// value is handed out.
std::unique_ptr<IValueReader> MakeValueReader(const DocumentKey& key, IByteSource& source,
                                              StreamFailure& failure);
// A writer in the key's form. A sealed file gets `nonce`, or a fresh random one when null.
std::unique_ptr<IValueWriter> MakeValueWriter(const DocumentKey& key, IByteSink& sink,
                                              const Nonce* nonce = nullptr);

}  // namespace zelvant
