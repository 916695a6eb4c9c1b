#pragma once
// zelvant-cli: the commands over data files, and the text they print.

#include <span>
#include <string>
#include <string_view>

#include "store/folder_sequence.h"

namespace zelvant::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The arguments after the program's name; returns the exit status.
int RunCli(std::span<const std::string_view> args);

// The tree below `root` (kTopLevel: the whole document): each folder as "name/", then its
// records' site names in stored order, then its sub-folders; two spaces of indent per level.
std::string ListTree(const CFolderSequence& folders, FolderIndex root, bool withAddresses);

// Control characters would move the cursor or drive the terminal, so they show as '?';
// with multiLine, line ends stay (CR LF and a lone CR become LF).
std::string TerminalSafe(std::string_view utf8, bool multiLine = false);

}  // namespace zelvant::cli
