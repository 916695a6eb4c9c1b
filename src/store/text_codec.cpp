#include "store/text_codec.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "store/secure.h"

namespace zelvant {
namespace {

// Windows-1252 bytes 0x80..0x9F; the undefined ones keep their own value.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Cp1252ToChar(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) {
        return kCp1252High[b - 0x80];
    }
    return b;
}

std::optional<unsigned char> CharToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<unsigned char>(c);
    }
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == c) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

// Decodes one UTF-8 sequence at s[i]; advances i. None on a malformed sequence.
std::optional<char32_t> DecodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    std::size_t len = 0;
    char32_t c = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + len > s.size()) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return std::nullopt;
    }
    i += len;
    return c;
}

char32_t FoldCase(char32_t c) {
    if (c < 0x80) {
        return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 0x20;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return c | 1;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c & 1) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {
        return c + 0x20;
    }
    if (c >= 0x410 && c <= 0x42F) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    return c;
}

// Walks the characters of a stored text in the encoding it is shown in.
class CharReader {
  public:
    explicit CharReader(std::string_view s) : s_(s), utf8_(IsValidUtf8(s)) {}
    bool AtEnd() const { return i_ >= s_.size(); }
    char32_t Next() {
        if (utf8_) {
            return *DecodeUtf8(s_, i_);
        }
        return Cp1252ToChar(static_cast<unsigned char>(s_[i_++]));
    }

  private:
    std::string_view s_;
    std::size_t i_ = 0;
    bool utf8_;
};

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Most stored text is ASCII: skip it eight bytes at a time.
        while (i + 8 <= bytes.size()) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            i += 8;
        }
        // The short tail of a text is mostly ASCII too; only other bytes need decoding.
        while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
        }
        if (i < bytes.size() && !DecodeUtf8(bytes, i)) {
            return false;
        }
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char b : bytes) {
        AppendUtf8(out, Cp1252ToChar(static_cast<unsigned char>(b)));
    }
    return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = DecodeUtf8(utf8, i);
        const auto b = c ? CharToCp1252(*c) : std::nullopt;
        if (!b) {
            // The text may be a password: leave no partial copy behind.
            WipeString(out);
            return std::nullopt;
        }
        out += static_cast<char>(*b);
    }
    return out;
}

std::string DisplayText(std::string_view stored) {
    return IsValidUtf8(stored) ? std::string(stored) : Cp1252ToUtf8(stored);
}

std::string PasswordBytes(std::string_view typedUtf8) {
    if (auto cp = Utf8ToCp1252(typedUtf8)) {
        return *cp;
    }
    return std::string(typedUtf8);
}

std::string KeyedPasswordPart(std::string_view typedUtf8, std::size_t keyBytes) {
    std::optional<std::string> narrow = Utf8ToCp1252(typedUtf8);
    const bool windows1252 = narrow.has_value();
    if (narrow) {
        WipeString(*narrow);
    }
    std::string part;
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < typedUtf8.size()) {
        std::size_t next = i;
        if (!DecodeUtf8(typedUtf8, next)) {
            break;
        }
        // A Windows-1252 character is one byte of the key; a UTF-8 one as many as it has.
        used += windows1252 ? 1 : next - i;
        if (used > keyBytes) {
            break;
        }
        part.append(typedUtf8.substr(i, next - i));
        i = next;
    }
    return part;
}

std::size_t CharacterCount(std::string_view stored) {
    std::size_t n = 0;
    for (CharReader r(stored); !r.AtEnd(); r.Next()) {
        ++n;
    }
    return n;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    CharReader ra(a);
    CharReader rb(b);
    while (!ra.AtEnd() && !rb.AtEnd()) {
        const char32_t ca = FoldCase(ra.Next());
        const char32_t cb = FoldCase(rb.Next());
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (ra.AtEnd() && rb.AtEnd()) {
        return 0;
    }
    return ra.AtEnd() ? -1 : 1;
}

std::string FoldCaseText(std::string_view stored) {
    std::string out;
    out.reserve(stored.size());
    for (CharReader r(stored); !r.AtEnd();) {
        AppendUtf8(out, FoldCase(r.Next()));
    }
    return out;
}

}  // namespace zelvant
