#include <cryptopp/aes.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "store/file_cipher.h"
#include "store/value_stream.h"

namespace zelvant {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(std::string_view hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

std::string KeyText(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

Bytes ToBytes(const SecureBuffer& b) {
    return Bytes(b.begin(), b.end());
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n) {
    Bytes b(n);
    for (auto& x : b) {
        x = static_cast<std::uint8_t>(rng());
    }
    return b;
}

// Reference: the library's own CBC mode with a zero IV and PKCS#7 padding.
Bytes ReferenceEncrypt(const FileKey& key, const Bytes& plain) {
    const std::uint8_t iv[16] = {};
    CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption enc(key.Bytes().data(), 16, iv);
    std::string out;
    CryptoPP::StringSource(
        plain.data(), plain.size(), true,
        new CryptoPP::StreamTransformationFilter(enc, new CryptoPP::StringSink(out),
                                                 CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING));
    return Bytes(out.begin(), out.end());
}

TEST(FileKeyTest, PasswordIsCutOrCompletedToThirtyTwoBytes) {
    const FileKey shortKey = MakeFileKey("abc");
    EXPECT_FALSE(shortKey.Empty());
    EXPECT_EQ(shortKey.Bytes()[0], 'a');
    EXPECT_EQ(shortKey.Bytes()[2], 'c');
    for (std::size_t i = 3; i < kFileKeySize; ++i) {
        EXPECT_EQ(shortKey.Bytes()[i], 0) << i;
    }
    const std::string exact(32, 'x');
    EXPECT_EQ(MakeFileKey(exact), MakeFileKey(exact + "and more"));
    EXPECT_NE(MakeFileKey(exact), MakeFileKey(std::string(31, 'x')));

    FileKey cleared = MakeFileKey("secret");
    cleared.Clear();
    EXPECT_TRUE(cleared.Empty());
    EXPECT_EQ(cleared.Bytes(), FileKey().Bytes());
}

// FIPS-197 known answers: with a zero IV the first block of a value is the raw AES block.
TEST(FileCipherTest, MatchesAesKnownAnswers) {
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Case cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
         "3925841d02dc09fbdc118597196a0b32"},
    };
    for (const auto& c : cases) {
        const FileKey key = MakeFileKey(KeyText(FromHex(c.key)));
        const Bytes plain = FromHex(c.plain);
        const Bytes enc = ToBytes(EncryptValue(key, plain));
        ASSERT_EQ(enc.size(), 32u);
        EXPECT_EQ(Bytes(enc.begin(), enc.begin() + 16), FromHex(c.cipher));
        EXPECT_EQ(ToBytes(DecryptValue(key, enc)), plain);
    }
}

TEST(FileCipherTest, ValuesAreCbcWithZeroIvAndFullBlockPadding) {
    const FileKey key = MakeFileKey("correct horse");
    std::mt19937 rng(7);
    for (std::size_t n = 0; n <= 70; ++n) {
        const Bytes plain = RandomBytes(rng, n);
        const Bytes enc = ToBytes(EncryptValue(key, plain));
        EXPECT_EQ(enc.size(), (n / 16 + 1) * 16) << n;
        EXPECT_EQ(enc, ReferenceEncrypt(key, plain)) << n;
        EXPECT_EQ(ToBytes(DecryptValue(key, enc)), plain) << n;
    }
}

// Encrypts a last block whose decryption ends in the given byte.
Bytes BlockEndingIn(const FileKey& key, std::uint8_t last, Bytes* plainOut) {
    Bytes plain(16, 0xAB);
    plain[15] = last;
    *plainOut = plain;
    // A 16-byte value gives C0 = AES(plain) as its first block.
    const Bytes enc = ToBytes(EncryptValue(key, plain));
    return Bytes(enc.begin(), enc.begin() + 16);
}

TEST(FileCipherTest, DecryptionTakesPaddingFromTheLastByteOnly) {
    const FileKey key = MakeFileKey("pw");
    Bytes plain;
    for (int last : {0, 17, 200, 255}) {
        const Bytes block = BlockEndingIn(key, static_cast<std::uint8_t>(last), &plain);
        EXPECT_EQ(ToBytes(DecryptValue(key, block)), plain) << "nothing removed for " << last;
    }
    const Bytes five = BlockEndingIn(key, 5, &plain);
    EXPECT_EQ(ToBytes(DecryptValue(key, five)), Bytes(plain.begin(), plain.begin() + 11));
    const Bytes sixteen = BlockEndingIn(key, 16, &plain);
    EXPECT_TRUE(DecryptValue(key, sixteen).empty());

    EXPECT_TRUE(DecryptValue(key, Bytes(15, 1)).empty());
    // A trailing partial block is ignored.
    Bytes withTail = five;
    withTail.insert(withTail.end(), {9, 9, 9});
    EXPECT_EQ(DecryptValue(key, withTail).size(), 11u);
}

// The bulk reader and writer must give exactly value-by-value results, across batch and chunk
// boundaries and for values longer than a chunk.
TEST(ValueStreamTest, BulkStreamsMatchSingleValues) {
    const FileKey key = MakeFileKey("bulk test");
    const CFileCipher cipher(key);
    std::mt19937 rng(11);
    std::vector<Bytes> values;
    std::size_t total = 0;
    while (total < (3u << 20)) {
        const std::size_t pick = rng() % 100;
        const std::size_t n = pick < 60   ? rng() % 16
                              : pick < 97 ? rng() % 600
                                          : 100000 + rng() % 50000;
        values.push_back(RandomBytes(rng, n));
        total += (n / 16 + 1) * 16;
    }
    values.push_back(RandomBytes(rng, (2u << 20) + 5));

    Bytes expected;
    CMemorySink sink;
    {
        CValueWriter writer(cipher, sink);
        for (const auto& v : values) {
            const Bytes enc = ToBytes(EncryptValue(key, v));
            expected.insert(expected.end(), enc.begin(), enc.end());
            ASSERT_TRUE(writer.Write(v));
        }
        ASSERT_TRUE(writer.Flush());
    }
    ASSERT_EQ(sink.bytes.size(), expected.size());
    EXPECT_TRUE(sink.bytes == expected);

    CMemorySource source(sink.bytes);
    CValueReader reader(cipher, source);
    for (std::size_t i = 0; i < values.size(); ++i) {
        Bytes got(values[i].size());
        ASSERT_TRUE(reader.Read(got.size(), got.data())) << i;
        ASSERT_EQ(got, values[i]) << i;
    }
    EXPECT_EQ(reader.Remaining(), 0u);
    std::uint8_t one = 0;
    EXPECT_FALSE(reader.Read(1, &one));
}

TEST(ValueStreamTest, ShortValuesReadAsZeroAndMissingBytesFail) {
    const FileKey key = MakeFileKey("k");
    const CFileCipher cipher(key);
    CMemorySink sink;
    CValueWriter writer(cipher, sink);
    ASSERT_TRUE(writer.Write(Bytes{7, 7}));
    ASSERT_TRUE(writer.Flush());
    ASSERT_EQ(sink.bytes.size(), 16u);

    // Asking for 4 bytes of a 2-byte value gives the 2 bytes and zeros.
    CMemorySource source(sink.bytes);
    CValueReader reader(cipher, source);
    std::uint8_t got[4] = {1, 1, 1, 1};
    ASSERT_TRUE(reader.Read(4, got));
    EXPECT_EQ(Bytes(got, got + 4), (Bytes{7, 7, 0, 0}));

    // A value that needs 32 stored bytes where 16 remain fails instead of reading past the end.
    CMemorySource again(sink.bytes);
    CValueReader short_reader(cipher, again);
    std::uint8_t big[20];
    EXPECT_FALSE(short_reader.Read(20, big));
}

}  // namespace
}  // namespace zelvant
