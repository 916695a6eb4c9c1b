#include "store/file_codec.h"

#include <bit>
#include <cstring>

#include "store/secure.h"

namespace zelvant {
namespace {

template <class T>
T ReadLittle(const std::uint8_t* p) {
    std::make_unsigned_t<T> v = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, p, sizeof v);  // one load; the loop below is not always seen as one
    } else {
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            v = static_cast<decltype(v)>(v | (static_cast<decltype(v)>(p[i]) << (8 * i)));
        }
    }
    return static_cast<T>(v);
}

template <class T>
void WriteLittle(std::uint8_t* p, T value) {
    auto v = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// A copy of a value that supplies fewer bytes than it should, zeroed inline on the way out: a
// call to SecureWipe for a few bytes costs more than reading one.
template <std::size_t N>
struct SmallPlain {
    std::uint8_t bytes[N] = {};
    SmallPlain() = default;
    SmallPlain(const SmallPlain&) = delete;
    SmallPlain& operator=(const SmallPlain&) = delete;
    ~SmallPlain() {
        volatile std::uint8_t* p = bytes;
        for (std::size_t i = 0; i < N; ++i) {
            p[i] = 0;
        }
    }
};

// Reads the next value of N plaintext bytes and hands them to `parse` where the reader holds
// them; only a value that supplies fewer is completed with zeros in a copy. Numbers and dates
// are most of a file's values.
template <std::size_t N, class Parse>
bool ReadFixed(IValueReader& in, Parse parse) {
    std::size_t length = 0;
    const std::uint8_t* p = in.Next(N, length);
    if (p == nullptr) {
        return false;
    }
    if (length == N) {
        parse(p);
        return true;
    }
    SmallPlain<N> spare;
    std::memcpy(spare.bytes, p, length);
    parse(spare.bytes);
    return true;
}

}  // namespace

bool CFileCodec::ReadSignature(IValueReader& in, std::array<char, 8>& signature) {
    WipedBlock<8> buf;
    if (!in.Read(8, buf.bytes)) {
        return false;
    }
    std::memcpy(signature.data(), buf.bytes, 8);
    return true;
}

bool CFileCodec::ReadInt(IValueReader& in, std::int32_t& value) {
    return ReadFixed<4>(in, [&](const std::uint8_t* p) { value = ReadLittle<std::int32_t>(p); });
}

bool CFileCodec::ReadDate(IValueReader& in, DateTimeValue& value) {
    return ReadFixed<12>(in, [&](const std::uint8_t* p) {
        value.oa = std::bit_cast<double>(ReadLittle<std::uint64_t>(p));
        value.status = ReadLittle<std::int32_t>(p + 8);
    });
}

namespace {

// The plaintext of a counted string: its length, then its bytes when there are any. Null with
// `ok` set for an empty string.
const std::uint8_t* NextString(IValueReader& in, std::size_t& n, std::size_t& supplied, bool& ok) {
    std::int32_t length = 0;
    n = 0;
    ok = CFileCodec::ReadInt(in, length);
    if (!ok || length <= 0) {
        ok = ok && (length == 0 || !in.Strict());
        return nullptr;
    }
    n = static_cast<std::size_t>(length);
    const std::uint8_t* plain = in.StoredSize(n) > in.Remaining() ? nullptr : in.Next(n, supplied);
    ok = plain != nullptr;
    return plain;
}

}  // namespace

bool CFileCodec::ReadString(IValueReader& in, std::string& value) {
    SecureWipe(value.data(), value.capacity());
    value.clear();
    std::size_t n = 0;
    std::size_t supplied = 0;
    bool ok = false;
    const std::uint8_t* plain = NextString(in, n, supplied, ok);
    if (plain != nullptr) {
        // Bytes the value does not supply read as zero.
        value.assign(reinterpret_cast<const char*>(plain), supplied);
        value.resize(n);
    }
    return ok;
}

bool CFileCodec::ReadString(IValueReader& in, CRecordArena& arena, std::span<char>& value) {
    value = {};
    std::size_t n = 0;
    std::size_t supplied = 0;
    bool ok = false;
    const std::uint8_t* plain = NextString(in, n, supplied, ok);
    if (plain != nullptr) {
        char* text = arena.AllocateText(n);
        std::memcpy(text, plain, supplied);
        if (supplied < n) {
            std::memset(text + supplied, 0, n - supplied);
        }
        value = {text, n};
    }
    return ok;
}

bool CFileCodec::WriteSignature(IValueWriter& out) {
    return out.Write(
        std::span(reinterpret_cast<const std::uint8_t*>(kSignature.data()), kSignature.size()));
}

bool CFileCodec::WriteInt(IValueWriter& out, std::int32_t value) {
    std::uint8_t buf[4];
    WriteLittle(buf, value);
    return out.Write(buf);
}

bool CFileCodec::WriteDate(IValueWriter& out, const DateTimeValue& value) {
    std::uint8_t buf[12];
    WriteLittle(buf, std::bit_cast<std::uint64_t>(value.oa));
    WriteLittle(buf + 8, value.status);
    return out.Write(buf);
}

bool CFileCodec::WriteString(IValueWriter& out, std::string_view value) {
    if (value.size() > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    if (!WriteInt(out, static_cast<std::int32_t>(value.size()))) {
        return false;
    }
    return value.empty() ||
           out.Write(std::span(reinterpret_cast<const std::uint8_t*>(value.data()), value.size()));
}

}  // namespace zelvant
