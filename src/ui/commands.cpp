#include "ui/commands.h"

#include <QAction>
#include <QString>
#include <algorithm>

#include "ui/icons.h"

namespace zelvant::ui {
namespace {

std::vector<CommandInfo> BuildTable() {
    std::vector<CommandInfo> table = {
        {cmd::kNew, "&New", "Create a new document", "New", "Ctrl+N", "new"},
        {cmd::kOpen, "&Open...", "Open an existing document", "Open", "Ctrl+O", "open"},
        {cmd::kSave, "&Save", "Save the active document", "Save", "Ctrl+S", "save"},
        {cmd::kSaveAs, "Save &As...", "Save the active document with a new name", "Save As", "",
         "save-as"},
        {cmd::kStrengthen, "Strengthen &Protection\u2026",
         "Seal the file: a key derived from the password, and contents that cannot be changed "
         "unnoticed",
         "Strengthen Protection", "", ""},
        {cmd::kPrint, "Print/Print Preview", "Print/Preview the current document",
         "Print/Print Preview", "Ctrl+P", "print"},
        {cmd::kExit, "E&xit", "Quit the application; prompts to save documents", "Exit", "Alt+X",
         "exit"},
        {cmd::kNewFolder, "New &Folder", "Insert a new folder", "New Folder", "Ctrl+F",
         "new-folder"},
        {cmd::kNewRecord, "New &Record", "Insert a new record", "New Record", "Ctrl+R",
         "new-record"},
        {cmd::kDelete, "&Delete", "Delete Folder or Record", "Delete", "Del", "delete"},
        {cmd::kProperties, "Properties", "Display record properties", "Properties", "Ctrl+Shift+P",
         "properties"},
        {cmd::kKeepOnTop, "Keep Zelvant on top", "Make Zelvant the topmost window",
         "Keep Zelvant on top", "", "keep-on-top", true},
        {cmd::kCustomizeView, "Customize Zelvant View", "Add and remove fields from Zelvant View",
         "Customize Zelvant View", "", "customize-view"},
        {cmd::kPasswordPopup, "Password Popup", "Show or hide the Password Popup Window",
         "Toggle Password Popup", "", "password-popup", true},
        // The tool tip's spelling is the one users have always seen.
        {cmd::kMainWindow, "Main Window", "Show or hide Main Window", "Toggle Man Window", "", ""},
        {cmd::kStandardToolbar, "Standard Toolbar", "Show or hide the toolbar", "Toggle ToolBar",
         "", "", true},
        {cmd::kStatusBar, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar", "", "",
         true},
        {cmd::kFolderWindow, "&Folder Window", "Show or hide the Folder Window bar",
         "Toggle Folder Window", "", "", true},
        {cmd::kOptions, "Options", "Display Zelvant Options", "Options", "Alt+O", "options"},
        {cmd::kCopyFolder, "Copy Folder", "Copy the dragged folder here", "Copy Folder", "", ""},
        {cmd::kMoveFolder, "Move Folder", "Move the dragged folder here", "Move Folder", "", ""},
        {cmd::kCancelFolderDrag, "Cancel", "Leave the folder where it is", "Cancel", "", ""},
        {cmd::kHelp, "Help Contents/Index", "Display Help File", "Help", "", "help"},
        {cmd::kAbout, "&About Zelvant...", "Show the program's version and copyright", "About", "",
         "about"},
        {cmd::kEscape, "", "", "", "Esc", ""},
        {cmd::kCopy, "&Copy", "Copy the selection to the clipboard", "Copy", "Ctrl+C", "copy"},
        {cmd::kCut, "Cu&t", "Move the selection to the clipboard", "Cut", "Ctrl+X", "cut"},
        {cmd::kPaste, "&Paste", "Insert the clipboard's contents", "Paste", "Ctrl+V", "paste"},
        {cmd::kCopyPassword, "Copy Pass&word", "Copy the record's password to the clipboard",
         "Copy Password", "Ctrl+C", "copy"},
        {cmd::kCopyUserName, "Copy &User Name", "Copy the record's user name to the clipboard",
         "Copy User Name", "Ctrl+B", "copy"},
        {cmd::kFind, "Find...", "Find records in every folder by a piece of their text", "Find",
         "Ctrl+E", "find"},
        {cmd::kImport, "&Import...", "Add the records of another program's export", "Import", "",
         ""},
    };
    table.push_back(
        {cmd::kCustomize, "Customize...", "Customize toolbars and menus.", "Customize", "", ""});
    table.push_back({cmd::kUserTools, "&User Tools", "User-defined tools", "User Tools", "", ""});
    // Menus and toolbars show the toolbar's and the tool's own name in place of these texts.
    for (int id = cmd::kUserToolbarFirst; id <= cmd::kUserToolbarLast; ++id) {
        table.push_back({id, "User Toolbar", "Show or hide the user toolbar", "Toggle User ToolBar",
                         "", "", true});
    }
    for (int id = cmd::kUserToolFirst; id <= cmd::kUserToolLast; ++id) {
        table.push_back({id, "User Tool", "Run this user-defined tool", "", "", ""});
    }
    // The menu shows each entry's file name in place of this text.
    for (int id = cmd::kRecentFileFirst; id <= cmd::kRecentFileLast; ++id) {
        table.push_back({id, "Recent File", "Open this document", "", "", ""});
    }
    return table;
}

}  // namespace

const std::vector<CommandInfo>& Commands() {
    static const std::vector<CommandInfo> table = BuildTable();
    return table;
}

const CommandInfo* FindCommand(int id) {
    const std::vector<CommandInfo>& table = Commands();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [id](const CommandInfo& info) { return info.id == id; });
    return it != table.end() ? &*it : nullptr;
}

QKeySequence CommandShortcut(const CommandInfo& info) {
    return QKeySequence(QString::fromLatin1(info.shortcut), QKeySequence::PortableText);
}

QAction* MakeAction(int id, QObject* parent) {
    const CommandInfo* info = FindCommand(id);
    if (info == nullptr) {
        return nullptr;
    }
    auto* action = new QAction(QString::fromUtf8(info->menuText), parent);
    action->setData(id);
    action->setStatusTip(QString::fromLatin1(info->prompt));
    const QKeySequence key = CommandShortcut(*info);
    if (!key.isEmpty()) {
        action->setShortcut(key);
    }
    if (*info->toolTip != '\0') {
        QString tip = QString::fromLatin1(info->toolTip);
        if (!key.isEmpty()) {
            tip +=
                QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QStringLiteral(")");
        }
        action->setToolTip(tip);
    }
    if (*info->icon != '\0') {
        action->setIcon(ZelvantIcon(info->icon));
    }
    action->setCheckable(info->checkable);
    switch (id) {
        case cmd::kExit:
            action->setMenuRole(QAction::QuitRole);
            break;
        case cmd::kAbout:
            action->setMenuRole(QAction::AboutRole);
            break;
        case cmd::kOptions:
            action->setMenuRole(QAction::PreferencesRole);
            break;
        default:
            action->setMenuRole(QAction::NoRole);
            break;
    }
    return action;
}

int CommandId(const QAction* action) {
    if (action == nullptr) {
        return 0;
    }
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok ? id : 0;
}

}  // namespace zelvant::ui
