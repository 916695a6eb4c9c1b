#include "store/file_codec.h"

#include <bit>
#include <cstring>

#include "store/secure.h"

namespace zelvant {
namespace {

template <class T>
T ReadLittle(const std::uint8_t* p) {
    std::make_unsigned_t<T> v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        v = static_cast<decltype(v)>(v | (static_cast<decltype(v)>(p[i]) << (8 * i)));
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

// A small plaintext buffer zeroed inline on the way out. Numbers and dates are most of the
// values of a file, and a call to SecureWipe for a few bytes costs more than reading one.
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
    SmallPlain<4> buf;
    if (!in.Read(4, buf.bytes)) {
        return false;
    }
    value = ReadLittle<std::int32_t>(buf.bytes);
    return true;
}

bool CFileCodec::ReadDate(IValueReader& in, DateTimeValue& value) {
    SmallPlain<12> buf;
    if (!in.Read(12, buf.bytes)) {
        return false;
    }
    value.oa = std::bit_cast<double>(ReadLittle<std::uint64_t>(buf.bytes));
    value.status = ReadLittle<std::int32_t>(buf.bytes + 8);
    return true;
}

bool CFileCodec::ReadString(IValueReader& in, std::string& value) {
    std::int32_t length = 0;
    if (!ReadInt(in, length)) {
        return false;
    }
    SecureWipe(value.data(), value.capacity());
    value.clear();
    if (length <= 0) {
        return length == 0 || !in.Strict();
    }
    const auto n = static_cast<std::size_t>(length);
    if (in.StoredSize(n) > in.Remaining()) {
        return false;
    }
    std::size_t supplied = 0;
    const std::uint8_t* plain = in.Next(n, supplied);
    if (plain == nullptr) {
        return false;
    }
    // Bytes the value does not supply read as zero.
    value.assign(reinterpret_cast<const char*>(plain), supplied);
    value.resize(n);
    return true;
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
