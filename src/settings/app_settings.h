#pragma once
// The settings record: every user preference, held in memory by the main window, filled once from
// the store and written back as a whole.

#include <string>
#include <string_view>

#include "settings/settings_store.h"
#include "store/record.h"

namespace zelvant::settings {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kDisplaySection = "Display";
inline constexpr std::string_view kPrintingSection = "Printing";
inline constexpr std::string_view kPopupSection = "Popup";

// One flag per record field the user can pick, as sections "Display" and "Printing" hold them.
struct FieldFlags {
    int accountName = 0;
    int accountNum = 0;
    int created = 0;
    int expired = 0;
    int email = 0;
    int location = 0;
    int modified = 0;
    int notes = 0;
    int password = 0;
    int pin = 0;
    int recordName = 0;
    int userName = 0;

    // Null for a field that has no flag here.
    int* Flag(RecordField field);
    int Get(RecordField field) const;

    bool operator==(const FieldFlags&) const = default;
};

// The five fields the password popup can mask (section "Popup").
struct PopupFlags {
    int location = 0;
    int accountName = 0;
    int accountNum = 0;
    int userName = 0;
    int password = 0;

    int* Flag(RecordField field);
    int Get(RecordField field) const;

    bool operator==(const PopupFlags&) const = default;
};

// Everything is zero or empty until LoadSettings fills it. Flags are on when non-zero unless
// their user says otherwise.
struct AppSettings {
    // Section "Settings".
    int loadOnStartup = 0;
    int trayIcon = 0;
    int trayMinimize = 0;
    int trayAction = 0;  // double click on the tray icon: 0 main window, 1 password popup
    int startMini = 0;
    int singleInstance = 0;
    int gridVert = 0;
    int gridHoriz = 0;
    int alternateColors = 0;
    int boldText = 0;
    int splash = 0;
    int topmost = 0;
    int pinPopup = 0;
    std::string currentDir;
    int minimizeEsc = 0;
    int autoLoadDoc = 0;
    int clearMRU = 0;
    int rememberPass = 0;
    int noQueryDelRecord = 0;
    int noQueryDelFolder = 0;
    int alwaysBackup = 0;
    int clearClip = 0;
    int timedClear = 0;  // minutes, 0 never
    int protMin = 0;
    std::string securityPasswordHash;  // key PHash (security_password.h); empty: none set
    int minTime = 0;                   // minutes, 0 never
    int minPopTime = 0;                // minutes, 0 never
    int fileToolTip = 0;
    int clearSecretsAfter = 0;  // seconds a copied secret stays on the clipboard, 0 never cleared
    int legacyNewFiles = 0;     // new data files in the legacy form older versions can open

    FieldFlags display;   // 1: masked in the record list
    FieldFlags printing;  // 1: printed
    PopupFlags popup;     // 1: masked in the password popup

    AppSettings() = default;
    AppSettings(const AppSettings&) = default;
    AppSettings(AppSettings&&) = default;
    AppSettings& operator=(const AppSettings&) = default;
    AppSettings& operator=(AppSettings&&) = default;
    ~AppSettings();

    bool operator==(const AppSettings&) const = default;
};

// Reads every key in its documented order and repairs the values out of range. Writes nothing,
// except once: a security password still kept obfuscated under PData is hashed into PHash and
// PData removed.
AppSettings LoadSettings(ISettingsStore& store);

// Writes every key of the record; keys outside the record are left alone.
void SaveSettings(ISettingsStore& store, const AppSettings& settings);

// Limits shared with the options dialog, which applies them to what the user types.
int LimitTimedClear(int minutes);         // below 0 or above 60 becomes 3
int LimitIdleMinutes(int minutes);        // below 0 becomes 3
int LimitTrayAction(int action);          // outside 0..1 becomes 0
int LimitClearSecretsAfter(int seconds);  // below 0 becomes 30, above a day a day

// Older versions kept the security password obfuscated under PData, never encrypted: every byte
// was combined with kPDataMask by exclusive-or, and each resulting byte is written as the one
// character of that code point (U+0001 to U+00FF), so the stored text has one character per
// password byte and survives any store that holds Unicode text.
//
// A password byte equal to the mask would become a zero. The password is held as UTF-8, and
// 0xFF is never a byte of UTF-8 text (nor are 0xC0, 0xC1, 0xF5..0xFE), so no password the
// field accepts can hold it. No byte would do for Windows-1252 text as well: every byte UTF-8
// leaves unused is a printable Windows-1252 letter, which is why the bytes are always UTF-8.
inline constexpr unsigned char kPDataMask = 0xFF;

std::string MaskPData(std::string_view password);
// Text that is not of that form (a character above U+00FF, broken UTF-8) was not written by
// MaskPData and reads as no password, like any unreadable key. Only the migration to PHash reads
// it.
std::string UnmaskPData(std::string_view stored);

}  // namespace zelvant::settings
