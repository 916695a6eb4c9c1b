// The input is a list of plaintext values that is encrypted under the fuzzing key before it is
// loaded, so that counts, lengths, parents and versions are chosen by the fuzzer rather than by
// chance decryption. The signature value comes first by itself.
//
// Input, repeated until it ends:
//   L (0..253) then L bytes   one value of L plaintext bytes (fewer when the input ends)
//   0xFE K then K bytes       K bytes written as they are, unencrypted
//   0xFF K                    the last K bytes written so far are cut off

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "load_check.h"
#include "store/file_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelvant;
    static const CFileCipher cipher(fuzz::Key());

    std::vector<std::uint8_t> file;
    auto encrypt = [&](const std::uint8_t* plain, std::size_t n) {
        const std::size_t at = file.size();
        file.resize(at + PaddedSize(n));
        cipher.EncryptValue({plain, n}, file.data() + at);
    };
    encrypt(reinterpret_cast<const std::uint8_t*>(kSignature.data()), kSignature.size());

    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t op = data[pos++];
        const std::size_t k = pos < size ? data[pos] : 0;
        if (op == 0xFE) {
            pos = std::min(size, pos + 1);
            const std::size_t n = std::min(k, size - pos);
            file.insert(file.end(), data + pos, data + pos + n);
            pos += n;
        } else if (op == 0xFF) {
            pos = std::min(size, pos + 1);
            file.resize(file.size() - std::min(k, file.size()));
        } else {
            const std::size_t n = std::min<std::size_t>(op, size - pos);
            encrypt(data + pos, n);
            pos += n;
        }
    }
    fuzz::CheckLoad(file);
    return 0;
}
