#pragma once
// What the user made of the window's bars, keys and tools: the toolbars and their buttons, the
// keyboard shortcuts, the user-defined tools, the menu and mouse preferences and the look. This
// class decides and remembers; the main window and the Customize sheet only show it.

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "settings/settings_store.h"

namespace zelvant::ui {

// Settings group of everything below.
inline constexpr char kCustomizationSection[] = "Zelvant";
inline constexpr int kMaxUserToolbars = 10;
inline constexpr int kMaxUserTools = 10;

struct ToolbarSpec {
    int id = 0;  // the command that shows and hides it
    QString name;
    bool visible = true;
    std::vector<int> commands;  // command ids; 0 is a separator

    bool operator==(const ToolbarSpec&) const = default;
};

struct UserTool {
    QString name;
    QString command;  // the program, found on PATH when it has no folder
    QString arguments;
    QString folder;  // the initial folder; empty: the program's own choice

    bool operator==(const UserTool&) const = default;
};

// A tool ready to start: macros expanded, arguments split. `error` is set instead when the tool
// cannot be started as it stands.
struct ToolLaunch {
    QString program;
    QStringList arguments;
    QString folder;
    QString error;
};

enum class StyleChoice { Platform, Fusion };
enum class ColourChoice { Desktop, Light, Dark };

struct Appearance {
    StyleChoice style = StyleChoice::Platform;
    ColourChoice colours = ColourChoice::Desktop;

    bool operator==(const Appearance&) const = default;
};

// The buttons the "Standard" toolbar starts with.
std::vector<int> DefaultStandardButtons();

// Commands that may sit on a toolbar and take shortcuts.
bool IsCustomizableCommand(int id);
// The commands in the order the Keyboard page lists them, with the menu each belongs to.
struct CommandGroup {
    QString menu;
    std::vector<int> ids;
};
std::vector<CommandGroup> CommandGroups();

// $(FilePath), $(FileDir) and $(FileName) of the open data file replaced in `text`; an empty
// path (an untitled document) makes them empty.
QString ExpandToolMacros(const QString& text, const QString& dataFile);
bool UsesFileMacros(const QString& text);
// The arguments are split the way a shell would split them before the macros are expanded, so
// that a path with blanks stays one argument.
ToolLaunch PrepareTool(const UserTool& tool, const QString& dataFile);

// The tools a first start offers: a text editor and the file manager on the data file's folder.
// `exists` says whether a program can be found.
std::vector<UserTool> DefaultTools(const std::function<bool(const QString&)>& exists,
                                   const QString& visual);

class CBarCustomization {
  public:
    CBarCustomization();

    // --- toolbars
    const std::vector<ToolbarSpec>& Toolbars() const { return toolbars_; }
    const ToolbarSpec* FindToolbar(int id) const;
    // The new toolbar's id, or 0 when ten user toolbars exist already.
    int AddToolbar(const QString& name);
    bool RenameToolbar(int id, const QString& name);
    // Only user toolbars can be deleted.
    bool DeleteToolbar(int id);
    void SetToolbarVisible(int id, bool visible);
    // `position` past the end appends. False for an unknown toolbar or command.
    bool InsertButton(int toolbar, int position, int command);
    bool RemoveButton(int toolbar, int position);
    bool MoveButton(int toolbar, int from, int to);
    // Standard back to its buttons; a user toolbar back to empty.
    void ResetToolbar(int id);
    static bool IsUserToolbar(int id);

    // --- keyboard
    QList<QKeySequence> Shortcuts(int command) const;
    // The command that holds `key`, 0 when it is free.
    int ShortcutOwner(const QKeySequence& key) const;
    // Gives `key` to `command`, taking it from any command that held it.
    void AssignShortcut(int command, const QKeySequence& key);
    void RemoveShortcut(int command, const QKeySequence& key);
    void ResetShortcuts();

    // --- user tools
    const std::vector<UserTool>& Tools() const { return tools_; }
    // False when ten tools exist already.
    bool AddTool(const UserTool& tool);
    void SetTool(int index, const UserTool& tool);
    // Buttons and keys follow their tools: the removed tool's go, the later ones move up.
    void RemoveTool(int index);
    void MoveTool(int from, int to);

    // --- menus, mouse and look
    bool LogoStrip() const { return logoStrip_; }
    void SetLogoStrip(bool on) { logoStrip_ = on; }
    bool LargeIcons() const { return largeIcons_; }
    void SetLargeIcons(bool on) { largeIcons_ = on; }
    // The command a double click on empty space in the record list runs; 0 none.
    int RecordViewDoubleClick() const { return recordViewDoubleClick_; }
    void SetRecordViewDoubleClick(int command);
    Appearance Look() const { return look_; }
    void SetLook(Appearance look) { look_ = look; }

    // Toolbars and keys as a first start has them; user toolbars go.
    void ResetToolbarsAndShortcuts();

    // Whatever cannot be read is left at its default, one item at a time.
    void Load(settings::ISettingsStore& store);
    void Save(settings::ISettingsStore& store) const;

    bool operator==(const CBarCustomization&) const = default;

  private:
    ToolbarSpec* Bar(int id);
    void Renumber(const std::map<int, int>& moved);

    std::vector<ToolbarSpec> toolbars_;
    std::map<int, QList<QKeySequence>> keys_;
    std::vector<UserTool> tools_;
    bool logoStrip_ = true;
    bool largeIcons_ = false;
    int recordViewDoubleClick_ = 0;
    Appearance look_;
};

}  // namespace zelvant::ui
