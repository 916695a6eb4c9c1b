#include "settings/security_password.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvant::settings {
namespace {

TEST(SecurityPassword, HashIsSaltedArgon2idAtInteractiveCostAndVerifiesExactly) {
    const std::string hash = HashSecurityPassword("Secret");
    // libsodium's interactive limits: 64 MiB, two passes.
    EXPECT_EQ(hash.rfind("$argon2id$v=19$m=65536,t=2,p=1$", 0), 0u) << hash;
    EXPECT_NE(HashSecurityPassword("Secret"), hash);  // a salt of its own each time
    EXPECT_TRUE(VerifySecurityPassword(hash, "Secret"));
    for (const char* wrong : {"secret", "Secret ", "", "Secre"}) {
        EXPECT_FALSE(VerifySecurityPassword(hash, wrong)) << wrong;
    }
    EXPECT_FALSE(VerifySecurityPassword("", ""));
    EXPECT_FALSE(VerifySecurityPassword("!", "Secret"));
    EXPECT_FALSE(VerifySecurityPassword(std::string(200, '$'), "Secret"));
}

// The prompt takes 32 characters: what was set longer, or typed longer, counts up to there, and
// a character is never cut in half.
TEST(SecurityPassword, OnlyTheFirst32CharactersCount) {
    const PasswordHashCost cheap{1, 8192};
    const std::string p32(32, 'p');
    const std::string accented = std::string(31, 'a') + "\xC3\xA9";  // 32 characters, 33 bytes
    EXPECT_EQ(FirstCharacters(accented + "tail", 32), accented);
    EXPECT_EQ(FirstCharacters("\xC3\xA9x", 1), "\xC3\xA9");
    EXPECT_TRUE(VerifySecurityPassword(HashSecurityPassword(p32 + "set", cheap), p32 + "typed"));
    EXPECT_TRUE(VerifySecurityPassword(HashSecurityPassword(accented, cheap), accented + "x"));
    EXPECT_FALSE(VerifySecurityPassword(HashSecurityPassword(p32, cheap), p32.substr(1)));
}

}  // namespace
}  // namespace zelvant::settings
