#include "ui/customization.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <set>

#include "ui/commands.h"

namespace zelvant::ui {
namespace {

constexpr char kToolbarsKey[] = "Toolbars";
constexpr char kShortcutsKey[] = "Shortcuts";
constexpr char kToolsKey[] = "Tools";
constexpr char kLogoStripKey[] = "MenuLogo";
constexpr char kLargeIconsKey[] = "LargeIcons";
constexpr char kRecordViewKey[] = "RecordViewDblClick";
constexpr char kStyleKey[] = "Style";
constexpr char kColoursKey[] = "ColorScheme";
// More than any toolbar could show; a stored bar longer than this is cut.
constexpr int kMaxButtons = 200;

ToolbarSpec StandardToolbar() {
    return {cmd::kStandardToolbar, QStringLiteral("Standard"), true, DefaultStandardButtons()};
}

QJsonDocument ReadJson(settings::ISettingsStore& store, const char* key) {
    const std::string text = store.ReadString(kCustomizationSection, key, "");
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}

void WriteJson(settings::ISettingsStore& store, const char* key, const QJsonDocument& doc) {
    store.WriteString(kCustomizationSection, key, doc.toJson(QJsonDocument::Compact).toStdString());
}

QList<QKeySequence> DefaultKeys(int id) {
    const CommandInfo* info = FindCommand(id);
    if (info == nullptr) {
        return {};
    }
    const QKeySequence key = CommandShortcut(*info);
    return key.isEmpty() ? QList<QKeySequence>{} : QList<QKeySequence>{key};
}

std::vector<int> CustomizableIds() {
    std::vector<int> ids;
    for (const CommandInfo& info : Commands()) {
        if (IsCustomizableCommand(info.id)) {
            ids.push_back(info.id);
        }
    }
    return ids;
}

// The inverse of QProcess::splitCommand: blanks and quotes survive a later split.
QString JoinArguments(const QStringList& arguments) {
    QStringList quoted;
    for (QString argument : arguments) {
        if (argument.isEmpty() || argument.contains(QLatin1Char(' ')) ||
            argument.contains(QLatin1Char('"'))) {
            argument.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
            argument = QLatin1Char('"') + argument + QLatin1Char('"');
        }
        quoted << argument;
    }
    return quoted.join(QLatin1Char(' '));
}

}  // namespace

std::vector<int> DefaultStandardButtons() {
    return {cmd::kNew,
            cmd::kOpen,
            cmd::kSave,
            0,
            cmd::kNewFolder,
            cmd::kNewRecord,
            cmd::kDelete,
            cmd::kProperties,
            0,
            cmd::kPrint,
            cmd::kPasswordPopup,
            cmd::kKeepOnTop,
            0,
            cmd::kHelp};
}

bool IsCustomizableCommand(int id) {
    if (FindCommand(id) == nullptr || id == cmd::kUserTools) {
        return false;
    }
    if (id >= cmd::kRecentFileFirst && id <= cmd::kRecentFileLast) {
        return false;
    }
    // The text fields' own editing keys and the folder drop menu are not the window's commands.
    switch (id) {
        case cmd::kCopy:
        case cmd::kCut:
        case cmd::kPaste:
        case cmd::kCopyFolder:
        case cmd::kMoveFolder:
        case cmd::kCancelFolderDrag:
        case cmd::kEscape:
            return false;
        default:
            return true;
    }
}

std::vector<CommandGroup> CommandGroups() {
    std::vector<CommandGroup> groups = {
        {QStringLiteral("File"),
         {cmd::kNew, cmd::kOpen, cmd::kSave, cmd::kSaveAs, cmd::kStrengthen, cmd::kImport,
          cmd::kPrint, cmd::kExit}},
        {QStringLiteral("Records"),
         {cmd::kNewFolder, cmd::kNewRecord, cmd::kDelete, cmd::kProperties, cmd::kCopyPassword,
          cmd::kCopyUserName, cmd::kFind}},
        {QStringLiteral("View"),
         {cmd::kStandardToolbar, cmd::kStatusBar, cmd::kFolderWindow, cmd::kCustomize,
          cmd::kCustomizeView, cmd::kPasswordPopup, cmd::kKeepOnTop, cmd::kMainWindow,
          cmd::kOptions}},
        {QStringLiteral("User Toolbars"), {}},
        {QStringLiteral("User Tools"), {}},
        {QStringLiteral("Help"), {cmd::kHelp, cmd::kAbout}},
    };
    for (int id = cmd::kUserToolbarFirst; id <= cmd::kUserToolbarLast; ++id) {
        groups[3].ids.push_back(id);
    }
    for (int id = cmd::kUserToolFirst; id <= cmd::kUserToolLast; ++id) {
        groups[4].ids.push_back(id);
    }
    return groups;
}

QString ExpandToolMacros(const QString& text, const QString& dataFile) {
    const QFileInfo file(dataFile);
    const QString path = dataFile.isEmpty() ? QString() : QDir::toNativeSeparators(dataFile);
    const QString dir =
        dataFile.isEmpty() ? QString() : QDir::toNativeSeparators(file.absolutePath());
    const QString name = dataFile.isEmpty() ? QString() : file.fileName();
    QString out = text;
    out.replace(QStringLiteral("$(FilePath)"), path, Qt::CaseInsensitive);
    out.replace(QStringLiteral("$(FileDir)"), dir, Qt::CaseInsensitive);
    out.replace(QStringLiteral("$(FileName)"), name, Qt::CaseInsensitive);
    return out;
}

bool UsesFileMacros(const QString& text) {
    for (const char* macro : {"$(FilePath)", "$(FileDir)", "$(FileName)"}) {
        if (text.contains(QLatin1String(macro), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

ToolLaunch PrepareTool(const UserTool& tool, const QString& dataFile) {
    ToolLaunch launch;
    const QString program = tool.command.trimmed();
    if (program.isEmpty()) {
        launch.error = QStringLiteral("The tool \"%1\" has no command to run.").arg(tool.name);
        return launch;
    }
    if (dataFile.isEmpty() && (UsesFileMacros(program) || UsesFileMacros(tool.arguments) ||
                               UsesFileMacros(tool.folder))) {
        launch.error =
            QStringLiteral("The tool \"%1\" works on the data file: save the file first.")
                .arg(tool.name);
        return launch;
    }
    launch.program = ExpandToolMacros(program, dataFile);
    for (const QString& argument : QProcess::splitCommand(tool.arguments)) {
        launch.arguments << ExpandToolMacros(argument, dataFile);
    }
    launch.folder = ExpandToolMacros(tool.folder.trimmed(), dataFile);
    return launch;
}

std::vector<UserTool> DefaultTools(const std::function<bool(const QString&)>& exists,
                                   const QString& visual) {
#ifdef Q_OS_WIN
    (void)exists;
    (void)visual;
    return {{QStringLiteral("Notepad"), QStringLiteral("notepad.exe"), {}, {}},
            {QStringLiteral("Windows Explorer"), QStringLiteral("explorer.exe"), {}, {}}};
#else
    std::vector<UserTool> tools;
    // The desktop's default text editor cannot be named through xdg-open without a file, so
    // the first editor that is installed stands for it.
    QStringList editor = QProcess::splitCommand(visual);
    if (editor.isEmpty() || !exists(editor.front())) {
        editor.clear();
        for (const char* name : {"gnome-text-editor", "kate", "mousepad", "gedit"}) {
            if (exists(QString::fromLatin1(name))) {
                editor = {QString::fromLatin1(name)};
                break;
            }
        }
    }
    if (!editor.isEmpty()) {
        const QString program = editor.takeFirst();
        tools.push_back({QStringLiteral("Text Editor"), program, JoinArguments(editor), {}});
    }
    tools.push_back(
        {QStringLiteral("Files"), QStringLiteral("xdg-open"), QStringLiteral("$(FileDir)"), {}});
    return tools;
#endif
}

CBarCustomization::CBarCustomization() {
    ResetToolbarsAndShortcuts();
}

bool CBarCustomization::IsUserToolbar(int id) {
    return id >= cmd::kUserToolbarFirst && id <= cmd::kUserToolbarLast;
}

const ToolbarSpec* CBarCustomization::FindToolbar(int id) const {
    const auto it = std::find_if(toolbars_.begin(), toolbars_.end(),
                                 [id](const ToolbarSpec& bar) { return bar.id == id; });
    return it == toolbars_.end() ? nullptr : &*it;
}

ToolbarSpec* CBarCustomization::Bar(int id) {
    const auto it = std::find_if(toolbars_.begin(), toolbars_.end(),
                                 [id](const ToolbarSpec& bar) { return bar.id == id; });
    return it == toolbars_.end() ? nullptr : &*it;
}

int CBarCustomization::AddToolbar(const QString& name) {
    for (int id = cmd::kUserToolbarFirst; id <= cmd::kUserToolbarLast; ++id) {
        if (FindToolbar(id) == nullptr) {
            const QString shown =
                name.trimmed().isEmpty()
                    ? QStringLiteral("Toolbar %1").arg(id - cmd::kUserToolbarFirst + 1)
                    : name.trimmed();
            toolbars_.push_back({id, shown, true, {}});
            return id;
        }
    }
    return 0;
}

bool CBarCustomization::RenameToolbar(int id, const QString& name) {
    ToolbarSpec* bar = Bar(id);
    if (bar == nullptr || name.trimmed().isEmpty()) {
        return false;
    }
    bar->name = name.trimmed();
    return true;
}

bool CBarCustomization::DeleteToolbar(int id) {
    if (!IsUserToolbar(id)) {
        return false;
    }
    const auto removed =
        std::erase_if(toolbars_, [id](const ToolbarSpec& bar) { return bar.id == id; });
    if (removed == 0) {
        return false;
    }
    // Its toggle goes from the other bars too: it would toggle nothing.
    Renumber({{id, 0}});
    return true;
}

void CBarCustomization::SetToolbarVisible(int id, bool visible) {
    if (ToolbarSpec* bar = Bar(id)) {
        bar->visible = visible;
    }
}

bool CBarCustomization::InsertButton(int toolbar, int position, int command) {
    ToolbarSpec* bar = Bar(toolbar);
    if (bar == nullptr || (command != 0 && !IsCustomizableCommand(command))) {
        return false;
    }
    if (IsUserToolbar(command) && FindToolbar(command) == nullptr) {
        return false;
    }
    if (command >= cmd::kUserToolFirst && command <= cmd::kUserToolLast &&
        command - cmd::kUserToolFirst >= int(tools_.size())) {
        return false;
    }
    if (int(bar->commands.size()) >= kMaxButtons) {
        return false;
    }
    const int at = std::clamp(position, 0, int(bar->commands.size()));
    bar->commands.insert(bar->commands.begin() + at, command);
    return true;
}

bool CBarCustomization::RemoveButton(int toolbar, int position) {
    ToolbarSpec* bar = Bar(toolbar);
    if (bar == nullptr || position < 0 || position >= int(bar->commands.size())) {
        return false;
    }
    bar->commands.erase(bar->commands.begin() + position);
    return true;
}

bool CBarCustomization::MoveButton(int toolbar, int from, int to) {
    ToolbarSpec* bar = Bar(toolbar);
    if (bar == nullptr || from < 0 || from >= int(bar->commands.size())) {
        return false;
    }
    const int command = bar->commands[from];
    bar->commands.erase(bar->commands.begin() + from);
    const int at = std::clamp(to, 0, int(bar->commands.size()));
    bar->commands.insert(bar->commands.begin() + at, command);
    return true;
}

void CBarCustomization::ResetToolbar(int id) {
    ToolbarSpec* bar = Bar(id);
    if (bar == nullptr) {
        return;
    }
    bar->commands = id == cmd::kStandardToolbar ? DefaultStandardButtons() : std::vector<int>{};
}

QList<QKeySequence> CBarCustomization::Shortcuts(int command) const {
    const auto it = keys_.find(command);
    return it == keys_.end() ? QList<QKeySequence>{} : it->second;
}

int CBarCustomization::ShortcutOwner(const QKeySequence& key) const {
    if (key.isEmpty()) {
        return 0;
    }
    for (const auto& [id, keys] : keys_) {
        if (keys.contains(key)) {
            return id;
        }
    }
    // Esc belongs to the window and cannot be given away.
    if (key == QKeySequence(Qt::Key_Escape)) {
        return cmd::kEscape;
    }
    return 0;
}

void CBarCustomization::AssignShortcut(int command, const QKeySequence& key) {
    if (key.isEmpty() || !IsCustomizableCommand(command)) {
        return;
    }
    const int owner = ShortcutOwner(key);
    if (owner == command || owner == cmd::kEscape) {
        return;
    }
    if (owner != 0) {
        keys_[owner].removeAll(key);
    }
    keys_[command].append(key);
}

void CBarCustomization::RemoveShortcut(int command, const QKeySequence& key) {
    const auto it = keys_.find(command);
    if (it != keys_.end()) {
        it->second.removeAll(key);
    }
}

void CBarCustomization::ResetShortcuts() {
    keys_.clear();
    for (int id : CustomizableIds()) {
        keys_[id] = DefaultKeys(id);
    }
}

bool CBarCustomization::AddTool(const UserTool& tool) {
    if (int(tools_.size()) >= kMaxUserTools) {
        return false;
    }
    tools_.push_back(tool);
    return true;
}

void CBarCustomization::SetTool(int index, const UserTool& tool) {
    if (index >= 0 && index < int(tools_.size())) {
        tools_[index] = tool;
    }
}

void CBarCustomization::RemoveTool(int index) {
    if (index < 0 || index >= int(tools_.size())) {
        return;
    }
    std::map<int, int> moved{{cmd::kUserToolFirst + index, 0}};
    for (int i = index + 1; i < int(tools_.size()); ++i) {
        moved[cmd::kUserToolFirst + i] = cmd::kUserToolFirst + i - 1;
    }
    tools_.erase(tools_.begin() + index);
    Renumber(moved);
}

void CBarCustomization::MoveTool(int from, int to) {
    const int count = int(tools_.size());
    if (from < 0 || from >= count || to < 0 || to >= count || from == to) {
        return;
    }
    std::map<int, int> moved{{cmd::kUserToolFirst + from, cmd::kUserToolFirst + to}};
    const int step = from < to ? -1 : 1;
    for (int i = std::min(from, to); i <= std::max(from, to); ++i) {
        if (i != from) {
            moved[cmd::kUserToolFirst + i] = cmd::kUserToolFirst + i + step;
        }
    }
    const UserTool tool = tools_[from];
    tools_.erase(tools_.begin() + from);
    tools_.insert(tools_.begin() + to, tool);
    Renumber(moved);
}

void CBarCustomization::Renumber(const std::map<int, int>& moved) {
    const auto map = [&moved](int id) {
        const auto it = moved.find(id);
        return it == moved.end() ? id : it->second;
    };
    for (ToolbarSpec& bar : toolbars_) {
        std::vector<int> kept;
        for (int id : bar.commands) {
            // A separator stays; a command that went away leaves no gap.
            if (id == 0 || map(id) != 0) {
                kept.push_back(id == 0 ? 0 : map(id));
            }
        }
        bar.commands = std::move(kept);
    }
    std::map<int, QList<QKeySequence>> keys;
    for (const auto& [id, list] : keys_) {
        if (!moved.contains(id)) {
            keys[id] += list;
        } else if (moved.at(id) != 0) {
            keys[moved.at(id)] += list;
        } else {
            keys[id];
        }
    }
    keys_ = std::move(keys);
    if (moved.contains(recordViewDoubleClick_)) {
        recordViewDoubleClick_ = moved.at(recordViewDoubleClick_);
    }
}

void CBarCustomization::SetRecordViewDoubleClick(int command) {
    recordViewDoubleClick_ = command == 0 || IsCustomizableCommand(command) ? command : 0;
}

void CBarCustomization::ResetToolbarsAndShortcuts() {
    toolbars_ = {StandardToolbar()};
    ResetShortcuts();
}

void CBarCustomization::Load(settings::ISettingsStore& store) {
    *this = CBarCustomization();

    // Tools first: the buttons and keys of tools are checked against them.
    for (const QJsonValue& value : ReadJson(store, kToolsKey).array()) {
        const QJsonObject object = value.toObject();
        UserTool tool{object.value(QStringLiteral("name")).toString(),
                      object.value(QStringLiteral("command")).toString(),
                      object.value(QStringLiteral("arguments")).toString(),
                      object.value(QStringLiteral("folder")).toString()};
        if (!tool.command.trimmed().isEmpty()) {
            AddTool(tool);
        }
    }

    std::vector<ToolbarSpec> loaded;
    std::vector<QJsonValue> buttons;
    for (const QJsonValue& value : ReadJson(store, kToolbarsKey).array()) {
        const QJsonObject object = value.toObject();
        const int id = object.value(QStringLiteral("id")).toInt();
        const bool known = std::any_of(loaded.begin(), loaded.end(),
                                       [id](const ToolbarSpec& bar) { return bar.id == id; });
        if ((id != cmd::kStandardToolbar && !IsUserToolbar(id)) || known) {
            continue;
        }
        ToolbarSpec bar{id,
                        object.value(QStringLiteral("name")).toString().trimmed(),
                        object.value(QStringLiteral("visible")).toBool(true),
                        {}};
        if (id == cmd::kStandardToolbar) {
            bar.name = QStringLiteral("Standard");
        } else if (bar.name.isEmpty()) {
            bar.name = QStringLiteral("Toolbar %1").arg(id - cmd::kUserToolbarFirst + 1);
        }
        loaded.push_back(bar);
        buttons.push_back(object.value(QStringLiteral("commands")));
    }
    toolbars_ = loaded;
    // Buttons once every bar is known, so that a bar may hold the toggle of a later one.
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        const int id = loaded[i].id;
        if (!buttons[i].isArray()) {
            ResetToolbar(id);
            continue;
        }
        for (const QJsonValue& button : buttons[i].toArray()) {
            if (button.isDouble()) {
                InsertButton(id, kMaxButtons, button.toInt());
            }
        }
    }
    if (FindToolbar(cmd::kStandardToolbar) == nullptr) {
        toolbars_.insert(toolbars_.begin(), StandardToolbar());
    }

    const QJsonObject keys = ReadJson(store, kShortcutsKey).object();
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        bool ok = false;
        const int id = it.key().toInt(&ok);
        if (!ok || !IsCustomizableCommand(id) || !it.value().isArray()) {
            continue;
        }
        keys_[id].clear();
    }
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        const int id = it.key().toInt();
        if (!keys_.contains(id) || !it.value().isArray()) {
            continue;
        }
        for (const QJsonValue& text : it.value().toArray()) {
            const QKeySequence key(text.toString(), QKeySequence::PortableText);
            // A key stored twice keeps its first holder.
            if (!key.isEmpty() && ShortcutOwner(key) == 0) {
                keys_[id].append(key);
            }
        }
    }

    logoStrip_ = store.ReadInt(kCustomizationSection, kLogoStripKey, 1) != 0;
    largeIcons_ = store.ReadInt(kCustomizationSection, kLargeIconsKey, 0) != 0;
    SetRecordViewDoubleClick(store.ReadInt(kCustomizationSection, kRecordViewKey, 0));
    const std::string style = store.ReadString(kCustomizationSection, kStyleKey, "");
    look_.style = style == "Fusion" ? StyleChoice::Fusion : StyleChoice::Platform;
    const std::string colours = store.ReadString(kCustomizationSection, kColoursKey, "");
    look_.colours = colours == "Light"  ? ColourChoice::Light
                    : colours == "Dark" ? ColourChoice::Dark
                                        : ColourChoice::Desktop;
}

void CBarCustomization::Save(settings::ISettingsStore& store) const {
    QJsonArray bars;
    for (const ToolbarSpec& bar : toolbars_) {
        QJsonArray commands;
        for (int id : bar.commands) {
            commands.append(id);
        }
        bars.append(QJsonObject{{QStringLiteral("id"), bar.id},
                                {QStringLiteral("name"), bar.name},
                                {QStringLiteral("visible"), bar.visible},
                                {QStringLiteral("commands"), commands}});
    }
    WriteJson(store, kToolbarsKey, QJsonDocument(bars));

    // Only what differs from the defaults, so that a later version's new default keys arrive.
    QJsonObject keys;
    for (const auto& [id, list] : keys_) {
        if (list == DefaultKeys(id)) {
            continue;
        }
        QJsonArray texts;
        for (const QKeySequence& key : list) {
            texts.append(key.toString(QKeySequence::PortableText));
        }
        keys.insert(QString::number(id), texts);
    }
    WriteJson(store, kShortcutsKey, QJsonDocument(keys));

    QJsonArray tools;
    for (const UserTool& tool : tools_) {
        tools.append(QJsonObject{{QStringLiteral("name"), tool.name},
                                 {QStringLiteral("command"), tool.command},
                                 {QStringLiteral("arguments"), tool.arguments},
                                 {QStringLiteral("folder"), tool.folder}});
    }
    WriteJson(store, kToolsKey, QJsonDocument(tools));

    store.WriteInt(kCustomizationSection, kLogoStripKey, logoStrip_ ? 1 : 0);
    store.WriteInt(kCustomizationSection, kLargeIconsKey, largeIcons_ ? 1 : 0);
    store.WriteInt(kCustomizationSection, kRecordViewKey, recordViewDoubleClick_);
    store.WriteString(kCustomizationSection, kStyleKey,
                      look_.style == StyleChoice::Fusion ? "Fusion" : "Platform");
    store.WriteString(kCustomizationSection, kColoursKey,
                      look_.colours == ColourChoice::Light  ? "Light"
                      : look_.colours == ColourChoice::Dark ? "Dark"
                                                            : "Desktop");
}

}  // namespace zelvant::ui
