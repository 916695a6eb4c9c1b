#pragma once
// The encrypted value stream of a data file. Reading decrypts the file in large runs of blocks
// with one bulk cipher call and only chains them per value afterwards; writing batches values
// and encrypts block i of every pending value in one bulk call. Both give exactly the bytes of
// value-by-value CBC, at a fraction of its cost.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "store/file_cipher.h"
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

class CValueReader {
  public:
    CValueReader(const CFileCipher& cipher, IByteSource& source);
    CValueReader(const CValueReader&) = delete;
    CValueReader& operator=(const CValueReader&) = delete;
    ~CValueReader();

    // Stored bytes not yet read.
    std::uint64_t Remaining() const { return size_ - consumed_; }
    // Whether the last failure was the file layer's rather than missing bytes.
    int IoError() const { return source_.Error(); }

    // Reads the value that holds n plaintext bytes and writes exactly n bytes to out; bytes the
    // value does not supply are zero. False when the file ends before the value does.
    bool Read(std::size_t n, std::uint8_t* out);

    // The same without a copy: the value's plaintext, of which `length` (at most n) bytes are
    // supplied; valid until the next read. None when the file ends before the value does.
    const std::uint8_t* Next(std::size_t n, std::size_t& length);

  private:
    bool Fill(std::size_t need);

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

class CValueWriter {
  public:
    CValueWriter(const CFileCipher& cipher, IByteSink& sink);
    CValueWriter(const CValueWriter&) = delete;
    CValueWriter& operator=(const CValueWriter&) = delete;
    ~CValueWriter();

    bool Write(std::span<const std::uint8_t> plain);
    // Encrypts and writes everything still pending.
    bool Flush();

  private:
    struct LongValue {
        std::size_t offset;
        std::size_t blocks;
    };

    const CFileCipher& cipher_;
    IByteSink& sink_;
    SecureBuffer pending_;  // padded plaintext of values not yet written
    std::vector<std::uint8_t> out_;
    std::vector<LongValue> longValues_;  // values of more than one block in pending_
    SecureBuffer gather_;
    bool failed_ = false;
};

}  // namespace zelvant
