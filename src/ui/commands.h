#pragma once
// The main window's commands: one row per command with its menu text, status-bar prompt, tool
// tip, key and icon. Menus, toolbars and key bindings are all made from this table, and every
// action carries its command id in QAction::data().

#include <QKeySequence>
#include <vector>

class QAction;
class QObject;

namespace zelvant::ui {

namespace cmd {
inline constexpr int kNew = 57600;
inline constexpr int kOpen = 57601;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
// Seals the open legacy file.
inline constexpr int kStrengthen = 32851;
// The recent-file entries; the list shows kRecentFileCount of them.
inline constexpr int kRecentFileFirst = 57616;
inline constexpr int kRecentFileLast = 57631;
inline constexpr int kRecentFileCount = 8;
inline constexpr int kPrint = 32844;
inline constexpr int kExit = 57665;
inline constexpr int kNewFolder = 32818;
inline constexpr int kNewRecord = 32819;
inline constexpr int kDelete = 32822;
inline constexpr int kProperties = 32823;
inline constexpr int kKeepOnTop = 32832;
inline constexpr int kCustomizeView = 59143;
inline constexpr int kPasswordPopup = 32839;
inline constexpr int kMainWindow = 32817;
inline constexpr int kStandardToolbar = 59392;
inline constexpr int kStatusBar = 59393;
inline constexpr int kFolderWindow = 32803;
inline constexpr int kOptions = 32816;
inline constexpr int kCustomize = 32770;
// Show and hide the user toolbars 1 to 10.
inline constexpr int kUserToolbarFirst = 32793;
inline constexpr int kUserToolbarLast = 32802;
// The menu of user-defined tools, and the tools 1 to 10 in it.
inline constexpr int kUserTools = 32805;
inline constexpr int kUserToolFirst = 32806;
inline constexpr int kUserToolLast = 32815;
// The menu shown when a folder is dropped with the right button.
inline constexpr int kCopyFolder = 32841;
inline constexpr int kMoveFolder = 32842;
inline constexpr int kCancelFolderDrag = 32843;
inline constexpr int kHelp = 57670;
inline constexpr int kAbout = 57664;
// Esc: minimises the main window when the setting asks for it.
inline constexpr int kEscape = 109;
// The text fields' own copy; the record list's Ctrl+C is kCopyPassword, bound to the list alone.
inline constexpr int kCopy = 57634;
inline constexpr int kCut = 57635;
inline constexpr int kPaste = 57637;
// The current record's password and user name, from the record list (Ctrl+C, Ctrl+B there).
inline constexpr int kCopyPassword = 32845;
inline constexpr int kCopyUserName = 32846;
// Records anywhere in the document by a piece of their text, and records of other programs.
inline constexpr int kFind = 32860;
inline constexpr int kImport = 32861;
}  // namespace cmd

struct CommandInfo {
    int id;
    const char* menuText;  // UTF-8, with '&' before the mnemonic; empty for key-only commands
    const char* prompt;    // status bar
    const char* toolTip;   // empty: none of its own
    const char* shortcut;  // portable key text ("Ctrl+Shift+P"); empty: none
    const char* icon;      // a ZelvantIcon name; empty: none
    bool checkable = false;
};

const std::vector<CommandInfo>& Commands();

// nullptr for an id not in the table.
const CommandInfo* FindCommand(int id);

QKeySequence CommandShortcut(const CommandInfo& info);

// An action with the command's text, prompt, tool tip (followed by its key in parentheses), key
// and icon, and the id in data(). nullptr for an id not in the table.
QAction* MakeAction(int id, QObject* parent);

// The command id stored in an action by MakeAction; 0 for other actions.
int CommandId(const QAction* action);

}  // namespace zelvant::ui
