#pragma once
// Start at logon through the XDG autostart folder: an entry that runs the installed program,
// written or removed each time the options are confirmed.

#include <QString>

namespace zelvant::desktop {

// The option's caption, saying what it does on this platform.
#ifdef Q_OS_WIN
inline constexpr char kStartAtLogonCaption[] = "Load on Windows start-up";
#else
inline constexpr char kStartAtLogonCaption[] = "Start Zelvant when I log in";
#endif

// Shown (without an icon) when the autostart place cannot be written. On Windows the wording is
// the one users of the program have always seen; elsewhere it names the entry.
QString AutostartPlaceMessage();

// $XDG_CONFIG_HOME/autostart/zelvant.desktop, with ~/.config when XDG_CONFIG_HOME is unset.
QString AutostartEntryPath();

// The real path of the running program file (symbolic links resolved; the image file itself
// when run as an AppImage), which is what the entry starts.
QString AutostartProgramPath();

// The entry's text for starting `programPath` (resolved to its real path when it exists).
QString AutostartEntryText(const QString& programPath);

// Both succeed or set `error` (when given) to kAutostartPlaceMessage and change nothing.
// Removing an entry that is not there succeeds.
bool AddAutostartEntry(const QString& programPath, QString* error = nullptr);
bool RemoveAutostartEntry(QString* error = nullptr);

}  // namespace zelvant::desktop
