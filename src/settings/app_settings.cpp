#include "settings/app_settings.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "settings/security_password.h"
#include "store/secure.h"
#include "store/text_codec.h"

namespace zelvant::settings {
namespace {

using RF = RecordField;

enum class Repair {
    None,
    TrayAction,
    TimedClear,
    IdleMinutes,
    ClearSecretsAfter,
    WorkingDir,
    PHash
};

// One key of section "Settings": an integer member or a text member.
struct SettingsKey {
    std::string_view key;
    int AppSettings::*number;
    std::string AppSettings::*text;
    int fallback;
    Repair repair;
};

constexpr SettingsKey Int(std::string_view key, int AppSettings::*member, int fallback,
                          Repair repair = Repair::None) {
    return {key, member, nullptr, fallback, repair};
}

constexpr SettingsKey Text(std::string_view key, std::string AppSettings::*member, Repair repair) {
    return {key, nullptr, member, 0, repair};
}

using A = AppSettings;

constexpr int kClearSecretsAfterDefault = 30;
constexpr int kClearSecretsAfterMost = 24 * 60 * 60;
constexpr std::string_view kPDataKey = "PData";
// Not a hash libsodium accepts: asks for a password and refuses every one.
constexpr std::string_view kUnmatchableHash = "!";

// In reading (and writing) order.
constexpr std::array<SettingsKey, 30> kSettingsKeys = {{
    Int("LoadOnStartup", &A::loadOnStartup, 0),
    Int("TrayIcon", &A::trayIcon, 1),
    Int("TrayMinimize", &A::trayMinimize, 1),
    Int("TrayAction", &A::trayAction, 1, Repair::TrayAction),
    Int("StartMini", &A::startMini, 0),
    Int("SingleInstance", &A::singleInstance, 1),
    Int("GridVert", &A::gridVert, 0),
    Int("GridHoriz", &A::gridHoriz, 0),
    Int("AlternateColors", &A::alternateColors, 0),
    Int("BoldText", &A::boldText, 0),
    Int("Splash", &A::splash, 1),
    Int("Topmost", &A::topmost, 0),
    Int("PinPopup", &A::pinPopup, 1),
    Text("CurrentDir", &A::currentDir, Repair::WorkingDir),
    Int("MinimizeEsc", &A::minimizeEsc, 1),
    Int("AutoLoadDoc", &A::autoLoadDoc, 0),
    Int("ClearMRU", &A::clearMRU, 0),
    Int("RememberPass", &A::rememberPass, 1),
    Int("NoQueryDelRecord", &A::noQueryDelRecord, 0),
    Int("NoQueryDelFolder", &A::noQueryDelFolder, 0),
    Int("AlwaysBackup", &A::alwaysBackup, 0),
    Int("ClearClip", &A::clearClip, 0),
    Int("TimedClear", &A::timedClear, 0, Repair::TimedClear),
    Int("ProtMin", &A::protMin, 0),
    Text("PHash", &A::securityPasswordHash, Repair::PHash),
    Int("MinTime", &A::minTime, 3, Repair::IdleMinutes),
    Int("MinPopTime", &A::minPopTime, 3, Repair::IdleMinutes),
    Int("FileToolTip", &A::fileToolTip, 0),
    Int("ClearSecretsAfter", &A::clearSecretsAfter, kClearSecretsAfterDefault,
        Repair::ClearSecretsAfter),
    Int("LegacyNewFiles", &A::legacyNewFiles, 0),
}};

struct FieldKey {
    std::string_view key;
    RF field;
    int FieldFlags::*flag;
    int displayDefault;
    int printingDefault;
};

using F = FieldFlags;

// Sections "Display" and "Printing" share keys and order.
constexpr std::array<FieldKey, 12> kFieldKeys = {{
    {"AccountName", RF::AccountName, &F::accountName, 1, 1},
    {"AccountNum", RF::AccountNumber, &F::accountNum, 1, 1},
    {"Created", RF::Created, &F::created, 0, 0},
    {"Expired", RF::ExpiresOn, &F::expired, 0, 0},
    {"Email", RF::Email, &F::email, 0, 1},
    {"Location", RF::Location, &F::location, 0, 1},
    {"Modified", RF::Modified, &F::modified, 0, 0},
    {"Notes", RF::Notes, &F::notes, 0, 0},
    {"Password", RF::Password, &F::password, 1, 1},
    {"Pin", RF::Pin, &F::pin, 1, 0},
    {"RecordName", RF::SiteName, &F::recordName, 0, 1},
    {"UserName", RF::UserName, &F::userName, 1, 1},
}};

struct PopupKey {
    std::string_view key;
    RF field;
    int PopupFlags::*flag;
    int fallback;
};

using P = PopupFlags;

// Reading order.
constexpr std::array<PopupKey, 5> kPopupKeys = {{
    {"pLocation", RF::Location, &P::location, 0},
    {"pAccountName", RF::AccountName, &P::accountName, 0},
    {"pAccountNum", RF::AccountNumber, &P::accountNum, 1},
    {"pUserName", RF::UserName, &P::userName, 0},
    {"pPassword", RF::Password, &P::password, 1},
}};

// Writing puts the location after the account keys.
constexpr std::array<std::size_t, 5> kPopupWriteOrder = {1, 2, 0, 3, 4};

// The whole path, however long: a path cut to some length would name another folder.
std::string WorkingDirectory() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    if (error) {
        return {};
    }
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

int RepairInt(Repair repair, int value) {
    switch (repair) {
        case Repair::TrayAction:
            return LimitTrayAction(value);
        case Repair::TimedClear:
            return LimitTimedClear(value);
        case Repair::IdleMinutes:
            return LimitIdleMinutes(value);
        case Repair::ClearSecretsAfter:
            return LimitClearSecretsAfter(value);
        default:
            return value;
    }
}

}  // namespace

AppSettings::~AppSettings() = default;

namespace {

// The flag of `field` in `flags` (const or not), null when the keys have none for it.
template <class Flags, class Keys>
auto FindFlag(Flags& flags, const Keys& keys, RecordField field)
    -> decltype(&(flags.*keys[0].flag)) {
    for (const auto& k : keys) {
        if (k.field == field) {
            return &(flags.*k.flag);
        }
    }
    return nullptr;
}

}  // namespace

int* FieldFlags::Flag(RecordField field) {
    return FindFlag(*this, kFieldKeys, field);
}

int FieldFlags::Get(RecordField field) const {
    const int* flag = FindFlag(*this, kFieldKeys, field);
    return flag == nullptr ? 0 : *flag;
}

int* PopupFlags::Flag(RecordField field) {
    return FindFlag(*this, kPopupKeys, field);
}

int PopupFlags::Get(RecordField field) const {
    const int* flag = FindFlag(*this, kPopupKeys, field);
    return flag == nullptr ? 0 : *flag;
}

int LimitTrayAction(int action) {
    return action == 0 || action == 1 ? action : 0;
}

int LimitTimedClear(int minutes) {
    return minutes < 0 || minutes > 60 ? 3 : minutes;
}

int LimitIdleMinutes(int minutes) {
    return minutes < 0 ? 3 : minutes;
}

int LimitClearSecretsAfter(int seconds) {
    if (seconds < 0) {
        return kClearSecretsAfterDefault;
    }
    return seconds > kClearSecretsAfterMost ? kClearSecretsAfterMost : seconds;
}

std::string MaskPData(std::string_view password) {
    std::string stored;
    stored.reserve(password.size() * 2);
    for (const char c : password) {
        AppendUtf8(stored, static_cast<char32_t>(static_cast<unsigned char>(c) ^ kPDataMask));
    }
    return stored;
}

std::string UnmaskPData(std::string_view stored) {
    std::string password;
    password.reserve(stored.size());
    // Each stored character is U+0001..U+00FF: one byte below 0x80, or 0xC2/0xC3 and one more.
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const auto lead = static_cast<unsigned char>(stored[i]);
        unsigned value = lead;
        if (lead >= 0x80) {
            const bool pair = (lead == 0xC2 || lead == 0xC3) && i + 1 < stored.size() &&
                              (static_cast<unsigned char>(stored[i + 1]) & 0xC0) == 0x80;
            if (!pair) {
                WipeString(password);
                return {};
            }
            value = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(stored[++i]) & 0x3Fu);
        }
        password += static_cast<char>(value ^ kPDataMask);
    }
    return password;
}

namespace {

// The obfuscated form is as good as plain text to anyone who can read the settings: it is read
// once, replaced by the hash and removed. A long one is cut as the prompt cuts what is typed, so
// a password the prompt could never match becomes one it can.
std::string MigratePData(ISettingsStore& store) {
    if (!store.Contains(kSettingsSection, kPDataKey)) {
        return {};
    }
    std::string stored = store.ReadString(kSettingsSection, kPDataKey, "");
    std::string password = UnmaskPData(stored);
    WipeString(stored);
    std::string hash;
    if (!password.empty()) {
        hash = HashSecurityPassword(password);
        WipeString(password);
        if (hash.empty()) {
            // Kept for the next start; until then no typed password can match.
            return std::string(kUnmatchableHash);
        }
        store.WriteString(kSettingsSection, "PHash", hash);
    }
    store.Remove(kSettingsSection, kPDataKey);
    return hash;
}

}  // namespace

AppSettings LoadSettings(ISettingsStore& store) {
    AppSettings s;
    for (const SettingsKey& k : kSettingsKeys) {
        if (k.number != nullptr) {
            s.*k.number = RepairInt(k.repair, store.ReadInt(kSettingsSection, k.key, k.fallback));
            continue;
        }
        std::string text = store.ReadString(kSettingsSection, k.key, "");
        if (k.repair == Repair::PHash) {
            if (text.empty()) {
                s.*k.text = MigratePData(store);
            } else {
                s.*k.text = std::move(text);
                // Left behind by an older version run since: no longer needed, and readable.
                if (store.Contains(kSettingsSection, kPDataKey)) {
                    store.Remove(kSettingsSection, kPDataKey);
                }
            }
        } else if (k.repair == Repair::WorkingDir && text.empty()) {
            s.*k.text = WorkingDirectory();
        } else {
            s.*k.text = std::move(text);
        }
    }
    for (const FieldKey& k : kFieldKeys) {
        s.display.*k.flag = store.ReadInt(kDisplaySection, k.key, k.displayDefault);
    }
    for (const FieldKey& k : kFieldKeys) {
        s.printing.*k.flag = store.ReadInt(kPrintingSection, k.key, k.printingDefault);
    }
    for (const PopupKey& k : kPopupKeys) {
        s.popup.*k.flag = store.ReadInt(kPopupSection, k.key, k.fallback);
    }
    return s;
}

void SaveSettings(ISettingsStore& store, const AppSettings& settings) {
    for (const SettingsKey& k : kSettingsKeys) {
        if (k.number != nullptr) {
            store.WriteInt(kSettingsSection, k.key, settings.*k.number);
        } else {
            store.WriteString(kSettingsSection, k.key, settings.*k.text);
        }
    }
    for (const FieldKey& k : kFieldKeys) {
        store.WriteInt(kDisplaySection, k.key, settings.display.*k.flag);
    }
    for (const FieldKey& k : kFieldKeys) {
        store.WriteInt(kPrintingSection, k.key, settings.printing.*k.flag);
    }
    for (const std::size_t i : kPopupWriteOrder) {
        store.WriteInt(kPopupSection, kPopupKeys[i].key, settings.popup.*kPopupKeys[i].flag);
    }
}

}  // namespace zelvant::settings
