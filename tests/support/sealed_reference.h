#pragma once
// An implementation of the sealed container written from its published layout with libsodium
// alone, sharing no code with the store: the tests check the store and the command-line tool
// against it in both directions.

#include <sodium.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zelvant::reference {

using Bytes = std::vector<std::uint8_t>;

inline void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

inline std::uint32_t Get32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The item sequence in the clear: signature 8 bytes, integer 4, date 12, string = length + bytes.
class PayloadWriter {
  public:
    PayloadWriter& Signature() {
        bytes_.insert(bytes_.end(), {'_', 'Z', 'e', 'l', 'v', 'a', 'n', 't'});
        return *this;
    }
    PayloadWriter& Int(std::int32_t v) {
        Put32(bytes_, static_cast<std::uint32_t>(v));
        return *this;
    }
    PayloadWriter& Date(double oa, std::int32_t status) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &oa, 8);
        Put32(bytes_, static_cast<std::uint32_t>(bits));
        Put32(bytes_, static_cast<std::uint32_t>(bits >> 32));
        return Int(status);
    }
    PayloadWriter& Str(std::string_view s) {
        Int(static_cast<std::int32_t>(s.size()));
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    const Bytes& Get() const { return bytes_; }

  private:
    Bytes bytes_;
};

// One record as the layout lists its 14 values; texts by their place in that list.
struct Record {
    std::map<std::string, std::string> text;  // Pin, Notes, AccountName, AccountNumber, Email,
                                              // Password, SiteName, Location, UserName
    std::int32_t reserved = 0;
    std::int32_t hasExpiry = 0;
    double created = 0, modified = 0, expires = 0;
};

struct Folder {
    std::string name;
    std::int32_t expanded = 0;
    std::int32_t parent = -1;
    std::vector<Record> records;
};

struct Document {
    std::int32_t version = 101;
    std::string layout;
    std::vector<Folder> folders;
};

inline Bytes Encode(const Document& doc) {
    PayloadWriter w;
    w.Signature()
        .Int(doc.version)
        .Str(doc.layout)
        .Int(static_cast<std::int32_t>(doc.folders.size()));
    for (const Folder& f : doc.folders) {
        w.Str(f.name)
            .Int(f.expanded)
            .Int(f.parent)
            .Int(static_cast<std::int32_t>(f.records.size()));
        for (const Record& r : f.records) {
            auto t = [&](const char* k) {
                const auto it = r.text.find(k);
                return it == r.text.end() ? std::string() : it->second;
            };
            w.Str(t("Pin")).Int(r.reserved).Date(r.created, 0).Int(r.hasExpiry);
            w.Date(r.modified, 0).Str(t("Notes")).Date(r.expires, 0).Str(t("AccountName"));
            w.Str(t("AccountNumber")).Str(t("Email")).Str(t("Password")).Str(t("SiteName"));
            w.Str(t("Location")).Str(t("UserName"));
        }
    }
    return w.Get();
}

// Throws on anything that is not exactly one well-formed item sequence.
inline Document Decode(const Bytes& payload) {
    std::size_t pos = 0;
    auto need = [&](std::size_t n) {
        if (payload.size() - pos < n) {
            throw std::runtime_error("short payload");
        }
    };
    auto i32 = [&] {
        need(4);
        const auto v = static_cast<std::int32_t>(Get32(payload.data() + pos));
        pos += 4;
        return v;
    };
    auto str = [&] {
        const std::int32_t n = i32();
        if (n < 0) {
            throw std::runtime_error("negative length");
        }
        need(static_cast<std::size_t>(n));
        std::string s(payload.begin() + static_cast<std::ptrdiff_t>(pos),
                      payload.begin() + static_cast<std::ptrdiff_t>(pos) + n);
        pos += static_cast<std::size_t>(n);
        return s;
    };
    auto date = [&] {
        need(12);
        const std::uint64_t bits = Get32(payload.data() + pos) |
                                   static_cast<std::uint64_t>(Get32(payload.data() + pos + 4))
                                       << 32;
        pos += 12;
        double d = 0;
        std::memcpy(&d, &bits, 8);
        return d;
    };
    need(8);
    if (std::memcmp(payload.data(), "_Zelvant", 8) != 0) {
        throw std::runtime_error("no signature");
    }
    pos = 8;
    Document doc;
    doc.version = i32();
    doc.layout = str();
    const std::int32_t folders = i32();
    for (std::int32_t i = 0; i < folders; ++i) {
        Folder f;
        f.name = str();
        f.expanded = i32();
        f.parent = i32();
        const std::int32_t records = i32();
        for (std::int32_t k = 0; k < records; ++k) {
            Record r;
            r.text["Pin"] = str();
            r.reserved = i32();
            r.created = date();
            r.hasExpiry = i32();
            r.modified = date();
            r.text["Notes"] = str();
            r.expires = date();
            for (const char* key : {"AccountName", "AccountNumber", "Email", "Password", "SiteName",
                                    "Location", "UserName"}) {
                r.text[key] = str();
            }
            f.records.push_back(r);
        }
        doc.folders.push_back(f);
    }
    if (pos != payload.size()) {
        throw std::runtime_error("trailing bytes");
    }
    return doc;
}

struct Container {
    std::uint32_t memoryKiB = 64 * 1024;
    std::uint32_t passes = 3;
    std::array<std::uint8_t, 16> salt{};
    std::array<std::uint8_t, 24> nonce{};
};

inline std::array<std::uint8_t, 32> DeriveKey(std::string_view nfcPassword, const Container& c) {
    if (sodium_init() < 0) {
        throw std::runtime_error("sodium_init");
    }
    std::array<std::uint8_t, 32> key{};
    if (crypto_pwhash(key.data(), key.size(), nfcPassword.data(), nfcPassword.size(), c.salt.data(),
                      c.passes, static_cast<std::size_t>(c.memoryKiB) * 1024,
                      crypto_pwhash_ALG_ARGON2ID13) != 0) {
        throw std::runtime_error("crypto_pwhash");
    }
    return key;
}

inline Bytes Header(const Container& c) {
    Bytes h = {0x89, 0x5A, 0x56, 0x44, 0x0D, 0x0A, 0x1A, 0x0A, 1, 0, 0, 0};
    Put32(h, c.memoryKiB);
    Put32(h, c.passes);
    h.insert(h.end(), c.salt.begin(), c.salt.end());
    h.insert(h.end(), c.nonce.begin(), c.nonce.end());
    return h;
}

// A whole sealed file: header, then the payload sealed with the header as associated data.
inline Bytes Seal(std::string_view nfcPassword, const Container& c, const Bytes& payload) {
    const auto key = DeriveKey(nfcPassword, c);
    Bytes file = Header(c);
    Bytes sealed(payload.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES);
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data(), &length, payload.data(),
                                               payload.size(), file.data(), file.size(), nullptr,
                                               c.nonce.data(), key.data());
    file.insert(file.end(), sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(length));
    return file;
}

// The payload of a sealed file, or none when the password or anything of the file is wrong.
inline std::optional<Bytes> Open(std::string_view nfcPassword, const Bytes& file,
                                 Container* header = nullptr) {
    if (file.size() < 60 + 16 || std::memcmp(file.data(), "\x89ZVD\r\n\x1a\n", 8) != 0 ||
        file[8] != 1 || file[9] != 0) {
        return std::nullopt;
    }
    Container c;
    c.memoryKiB = Get32(file.data() + 12);
    c.passes = Get32(file.data() + 16);
    std::memcpy(c.salt.data(), file.data() + 20, 16);
    std::memcpy(c.nonce.data(), file.data() + 36, 24);
    if (header != nullptr) {
        *header = c;
    }
    const auto key = DeriveKey(nfcPassword, c);
    Bytes plain(file.size() - 60 - 16);
    unsigned long long length = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain.data(), &length, nullptr, file.data() + 60,
                                                   file.size() - 60, file.data(), 60,
                                                   c.nonce.data(), key.data()) != 0) {
        return std::nullopt;
    }
    plain.resize(static_cast<std::size_t>(length));
    return plain;
}

}  // namespace zelvant::reference
