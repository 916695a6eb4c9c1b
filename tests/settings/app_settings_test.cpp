#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "settings/security_password.h"
#include "store/text_codec.h"

namespace zelvant::settings {
namespace {

// The documented defaults, written out independently of the key tables.
AppSettings ExpectedDefaults() {
    AppSettings s;
    s.trayIcon = 1;
    s.trayMinimize = 1;
    s.trayAction = 1;
    s.singleInstance = 1;
    s.splash = 1;
    s.pinPopup = 1;
    s.minimizeEsc = 1;
    s.rememberPass = 1;
    s.minTime = 3;
    s.minPopTime = 3;
    s.clearSecretsAfter = 30;
    const std::u8string cwd = std::filesystem::current_path().u8string();
    s.currentDir.assign(cwd.begin(), cwd.end());
    s.display = {.accountName = 1, .accountNum = 1, .password = 1, .pin = 1, .userName = 1};
    s.printing = {.accountName = 1,
                  .accountNum = 1,
                  .email = 1,
                  .location = 1,
                  .password = 1,
                  .recordName = 1,
                  .userName = 1};
    s.popup = {.accountNum = 1, .password = 1};
    return s;
}

TEST(LoadSettings, EmptyStoreGivesTheDefaultsAndWritesNothing) {
    CMemorySettingsStore store;
    EXPECT_EQ(LoadSettings(store), ExpectedDefaults());
    EXPECT_TRUE(store.Writes().empty());
}

TEST(LoadSettings, RepairsOutOfRangeValuesOnly) {
    struct Case {
        const char* key;
        int stored;
        int expected;
        int AppSettings::*member;
    };
    const Case cases[] = {
        {"TrayAction", 2, 0, &AppSettings::trayAction},
        {"TrayAction", -1, 0, &AppSettings::trayAction},
        {"TrayAction", 0, 0, &AppSettings::trayAction},
        {"TimedClear", 61, 3, &AppSettings::timedClear},
        {"TimedClear", -1, 3, &AppSettings::timedClear},
        {"TimedClear", 60, 60, &AppSettings::timedClear},
        {"TimedClear", 0, 0, &AppSettings::timedClear},
        {"MinTime", 0, 0, &AppSettings::minTime},
        {"MinTime", -5, 3, &AppSettings::minTime},
        {"MinTime", 100000, 100000, &AppSettings::minTime},
        {"MinPopTime", -1, 3, &AppSettings::minPopTime},
        {"MinPopTime", 0, 0, &AppSettings::minPopTime},
        {"ClearSecretsAfter", -1, 30, &AppSettings::clearSecretsAfter},
        {"ClearSecretsAfter", 0, 0, &AppSettings::clearSecretsAfter},
        {"ClearSecretsAfter", 90000, 86400, &AppSettings::clearSecretsAfter},
        // Flags are not limited: any non-zero value is kept for its users to judge.
        {"TrayIcon", 7, 7, &AppSettings::trayIcon},
        {"ProtMin", -2, -2, &AppSettings::protMin},
    };
    for (const Case& c : cases) {
        CMemorySettingsStore store;
        store.WriteInt("Settings", c.key, c.stored);
        EXPECT_EQ(LoadSettings(store).*c.member, c.expected) << c.key << " " << c.stored;
    }
}

TEST(LoadSettings, UnreadableNumberYieldsTheDefault) {
    CMemorySettingsStore store;
    store.WriteString("Settings", "MinPopTime", "five");
    store.WriteString("Display", "Notes", "1");
    const AppSettings s = LoadSettings(store);
    EXPECT_EQ(s.minPopTime, 3);
    EXPECT_EQ(s.display.notes, 1);
}

AppSettings Unusual() {
    AppSettings s;
    s.loadOnStartup = 1;
    s.trayAction = 1;
    s.gridVert = 5;
    s.currentDir = "/tmp/d\xc3\xa9j\xc3\xa0, vu";
    s.timedClear = 60;
    s.securityPasswordHash = "$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA";
    s.clearSecretsAfter = 0;
    s.minTime = 0;
    s.minPopTime = 12;
    s.fileToolTip = 1;
    s.legacyNewFiles = 1;
    s.display.notes = 1;
    s.printing.pin = 1;
    s.popup.location = 1;
    s.popup.accountNum = 0;
    return s;
}

TEST(SaveSettings, RoundTripsThroughLoad) {
    CMemorySettingsStore store;
    const AppSettings saved = Unusual();
    SaveSettings(store, saved);
    EXPECT_EQ(LoadSettings(store), saved);
}

TEST(SaveSettings, WritesEveryKeyOnceAndOnlyThoseOfTheRecord) {
    CMemorySettingsStore store;
    SaveSettings(store, ExpectedDefaults());
    const auto& writes = store.Writes();
    EXPECT_EQ(writes.size(), 30u + 12u + 12u + 5u);
    EXPECT_EQ(std::set<std::string>(writes.begin(), writes.end()).size(), writes.size());
    for (const char* direct :
         {"Settings/PData", "Settings/RegVersion", "Settings/ReportCtrl", "Settings/PopupX",
          "Settings/IconStartDelay", "Printing/LastTemplate"}) {
        EXPECT_FALSE(std::set<std::string>(writes.begin(), writes.end()).contains(direct));
    }
    const std::vector<std::string> popup(writes.end() - 5, writes.end());
    EXPECT_EQ(popup,
              (std::vector<std::string>{"Popup/pAccountName", "Popup/pAccountNum",
                                        "Popup/pLocation", "Popup/pUserName", "Popup/pPassword"}));
}

TEST(FieldFlags, AnswerByRecordField) {
    CMemorySettingsStore store;
    AppSettings s = LoadSettings(store);
    EXPECT_EQ(s.display.Get(RecordField::SiteName), 0);
    EXPECT_EQ(s.printing.Get(RecordField::SiteName), 1);
    EXPECT_EQ(s.display.Get(RecordField::ExpiresOn), 0);
    EXPECT_EQ(s.display.Flag(RecordField::HasExpiry), nullptr);
    EXPECT_EQ(s.popup.Get(RecordField::Password), 1);
    EXPECT_EQ(s.popup.Flag(RecordField::Notes), nullptr);
    *s.popup.Flag(RecordField::Location) = 1;
    EXPECT_EQ(s.popup.location, 1);
}

// Every byte a typed password can hold: the UTF-8 of every Unicode scalar value.
TEST(PData, NoCharacterOfAPasswordMasksToZero) {
    std::set<unsigned char> bytes;
    std::string utf8;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        utf8.clear();
        AppendUtf8(utf8, c);
        for (const char b : utf8) {
            bytes.insert(static_cast<unsigned char>(b));
        }
    }
    EXPECT_FALSE(bytes.contains(kPDataMask));  // the one byte that would mask to zero
}

TEST(PData, RoundTripsOneCharacterPerByteEachDifferent) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != kPDataMask) {
            all += static_cast<char>(b);
        }
    }
    for (const std::string& password : {std::string(), std::string("\xe2\x82\xac x"), all}) {
        const std::string stored = MaskPData(password);
        EXPECT_EQ(UnmaskPData(stored), password);
        ASSERT_TRUE(IsValidUtf8(stored));
        EXPECT_EQ(CharacterCount(stored), password.size());
    }
    // ASCII masks to characters above U+007F, so no stored byte equals the typed one.
    const std::string stored = MaskPData("Secret 42!");
    for (std::size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(std::string("Secret 42!").find(stored[i]), std::string::npos);
    }
}

TEST(PData, StoredTextNotWrittenByMaskingReadsAsNoPassword) {
    EXPECT_EQ(UnmaskPData("\xe2\x82\xac"), "");  // a character above U+00FF
    EXPECT_EQ(UnmaskPData("\xc3"), "");          // cut short
    CMemorySettingsStore store;
    store.WriteString("Settings", "PData", "\xff\xfe");
    EXPECT_EQ(LoadSettings(store).securityPasswordHash, "");
    EXPECT_FALSE(store.Contains("Settings", "PData"));
}

// The obfuscated password is read once, replaced by its hash and gone from the store; one longer
// than the prompt takes becomes the part the prompt can match.
TEST(PData, IsMigratedToAHashOnceAndRemoved) {
    CMemorySettingsStore store;
    const std::string longer = std::string(32, 'p') + "-never typed";
    for (const std::string& password : {std::string("S\xc3\xa9"
                                                    "cret 42"),
                                        longer}) {
        store.WriteString("Settings", "PData", MaskPData(password));
        store.ClearWrites();
        const AppSettings loaded = LoadSettings(store);
        EXPECT_FALSE(store.Contains("Settings", "PData"));
        EXPECT_EQ(store.Writes(), (std::vector<std::string>{"Settings/PHash", "Settings/PData"}));
        EXPECT_EQ(store.ReadString("Settings", "PHash", ""), loaded.securityPasswordHash);
        EXPECT_EQ(loaded.securityPasswordHash.find(password), std::string::npos);
        EXPECT_TRUE(VerifySecurityPassword(loaded.securityPasswordHash, password.substr(0, 32)));
        EXPECT_FALSE(VerifySecurityPassword(loaded.securityPasswordHash,
                                            "s\xc3\xa9"
                                            "cret 42"));
        store.ClearWrites();
        EXPECT_EQ(LoadSettings(store).securityPasswordHash, loaded.securityPasswordHash);
        EXPECT_TRUE(store.Writes().empty());
        store.Remove("Settings", "PHash");
    }
    // An older version run since left one beside the hash: removed, the hash kept.
    store.WriteString("Settings", "PHash", "$argon2id$kept");
    store.WriteString("Settings", "PData", MaskPData("old"));
    EXPECT_EQ(LoadSettings(store).securityPasswordHash, "$argon2id$kept");
    EXPECT_FALSE(store.Contains("Settings", "PData"));
}

}  // namespace
}  // namespace zelvant::settings
