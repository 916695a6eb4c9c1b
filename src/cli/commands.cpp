#include "cli/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/address.h"
#include "cli/arguments.h"
#include "cli/cli_support.h"
#include "cli/password_input.h"
#include "cli/secret_file.h"
#include "report/command_gate.h"
#include "report/date_format.h"
#include "report/print_flags.h"
#include "report/report_environment.h"
#include "report/report_run.h"
#include "report/stored_print_flags.h"
#include "report/template_files.h"
#include "settings/app_settings.h"
#include "settings/qsettings_store.h"
#include "store/data_file.h"
#include "store/display.h"
#include "store/document_json.h"
#include "store/messages.h"
#include "store/secure.h"
#include "store/text_codec.h"
#include "store/zelvant_doc.h"

namespace zelvant::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "zelvant-cli";

// Masked unless --reveal, as the record list masks them by default.
bool MaskedByDefault(RecordField f) {
    switch (f) {
        case RecordField::AccountName:
        case RecordField::AccountNumber:
        case RecordField::UserName:
        case RecordField::Password:
        case RecordField::Pin:
            return true;
        default:
            return false;
    }
}

struct Document {
    CFolderSequence folders;
    LoadResult load;
    DocumentKey key;
};

bool LoadDocument(const std::string& path, PasswordReader& passwords, Document& doc) {
    if (!CheckReadable(path)) {
        return false;
    }
    // A damaged sealed header is refused before the password is asked for.
    StderrSink sink;
    SealedHeader header;
    const FileCheck check = CheckDataFile(path, header, sink);
    if (check == FileCheck::Failed) {
        return false;
    }
    SecretText password;
    std::string error;
    if (!passwords.Current(password, error)) {
        PrintError(error);
        return false;
    }
    doc.key = KeyForFile(check, header, std::string_view(password.text), Argon2idDerive);
    if (doc.key.Empty()) {
        PrintError(msg::kNoMemoryKey);
        return false;
    }
    doc.load = LoadDataFile(path, doc.key, doc.folders, sink);
    if (!doc.load.ok) {
        doc.folders.Clear();
        return false;
    }
    return true;
}

PasswordReader Passwords(const ParsedArgs& args) {
    return PasswordReader(args.Has("--password-stdin"));
}

// Commands that write go through the same document lifecycle as the desktop program, with the
// settings it stored (RememberPass, AlwaysBackup), so both save the same way.
DocSettings StoredDocSettings() {
    settings::CQSettingsStore store;
    const settings::AppSettings stored = settings::LoadSettings(store);
    return {stored.rememberPass, stored.alwaysBackup, stored.legacyNewFiles};
}

// ---- create

int Create(const ParsedArgs& args) {
    const std::string& path = args.positional[0];
    if (!args.Has("--force") && Exists(path)) {
        PrintOwnError(path + " already exists; use --force to replace it");
        return kExitFailed;
    }
    CliDocument d(args);
    if (args.Has("--legacy")) {
        DocSettings settings = d.doc.Settings();
        settings.legacyNewFiles = 1;
        d.doc.SetSettings(settings);
    }
    d.doc.OnNewDocument();
    return d.doc.SaveAs(path) ? kExitOk : d.Failed();
}

// ---- info

int Info(const ParsedArgs& args) {
    const std::string& path = args.positional[0];
    PasswordReader passwords = Passwords(args);
    Document doc;
    if (!LoadDocument(path, passwords, doc)) {
        return kExitFailed;
    }
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::string out;
    out += "File: " + fs::absolute(path, ec).lexically_normal().string() + "\n";
    out += "File version: " + std::to_string(doc.load.version) + "\n";
    out += "Protection: " + ProtectionText(doc.key) + "\n";
    out += "Folders: " + std::to_string(doc.folders.Count()) + "\n";
    out += "Records: " + std::to_string(doc.folders.TotalRecordCount()) + "\n";
    out += "Size: " + std::to_string(size) + " bytes\n";
    out += std::string("Rewritten as version 101 on next save: ") +
           (doc.load.modified ? "yes" : "no") + "\n";
    Print(out);
    return kExitOk;
}

// ---- ls

int List(const ParsedArgs& args) {
    PasswordReader passwords = Passwords(args);
    Document doc;
    if (!LoadDocument(args.positional[0], passwords, doc)) {
        return kExitFailed;
    }
    FolderIndex root = kTopLevel;
    if (args.positional.size() > 1) {
        const Resolved r = ResolveFolder(doc.folders, args.positional[1]);
        if (!r.ok) {
            PrintOwnError(r.error);
            return kExitFailed;
        }
        root = r.folder;
    }
    Print(ListTree(doc.folders, root, args.Has("--index")));
    return kExitOk;
}

// ---- show

void AppendField(WipedString& out, std::string_view label, std::string_view value) {
    out += label;
    out += ':';
    if (!value.empty()) {
        out += ' ';
        out += value;
    }
    out += '\n';
}

int Show(const ParsedArgs& args) {
    PasswordReader passwords = Passwords(args);
    Document doc;
    if (!LoadDocument(args.positional[0], passwords, doc)) {
        return kExitFailed;
    }
    const Resolved r = ResolveRecord(doc.folders, args.positional[1]);
    if (!r.ok) {
        PrintOwnError(r.error);
        return kExitFailed;
    }
    const CRecord& record = *doc.folders.FolderAt(r.folder)->RecordAt(r.record);
    const bool reveal = args.Has("--reveal");
    SecretText out;
    AppendField(out.text, "Folder", TerminalSafe(DisplayFolderPath(doc.folders, r.folder)));
    for (RecordField f : VisibleFields()) {
        std::string value;
        if (!reveal && MaskedByDefault(f)) {
            value.assign(CharacterCount(record.GetText(f)), '*');
        } else {
            std::string shown = FieldDisplayText(record, f, ExpiryForm::DateOnly);
            value = TerminalSafe(shown, f == RecordField::Notes);
            WipeString(shown);
        }
        AppendField(out.text, InfoOf(f).label, value);
        WipeString(value);
    }
    Print(out.text);
    return kExitOk;
}

// ---- export

int Export(const ParsedArgs& args) {
    const std::string& path = args.positional[0];
    const std::string format = args.Value("--format", "json");
    if (format != "json" && format != "csv") {
        return CommandUsageError("export", "unknown format '" + format + "'; use json or csv");
    }
    const std::string output = args.Value("--output", "-");
    std::error_code ec;
    if (output != "-" && fs::equivalent(output, path, ec)) {
        PrintOwnError("will not write the export over the data file " + path);
        return kExitFailed;
    }
    PasswordReader passwords = Passwords(args);
    Document doc;
    if (!LoadDocument(path, passwords, doc)) {
        return kExitFailed;
    }
    std::string data = format == "json"
                           ? ExportJson(doc.folders, doc.load.columnLayout, doc.load.version)
                           : ExportCsv(doc.folders);
    const std::string_view end = format == "json" ? "\n" : "";
    bool ok = true;
    if (output == "-") {
        Print(data);
        Print(end);
    } else {
        std::string error;
        ok = WritePrivateFile(output, {data, end}, error);
        if (!ok) {
            PrintError(error);
        }
    }
    WipeString(data);
    return ok ? kExitOk : kExitFailed;
}

// ---- import

int Import(const ParsedArgs& args) {
    if (args.Value("--from", "zelvant-json") != "zelvant-json") {
        return ImportExport(args);
    }
    const std::string& path = args.positional[0];
    const std::string& jsonPath = args.positional[1];
    CFolderSequence imported;
    JsonImportResult result;
    auto readJson = [&] {
        std::string text;
        std::string error;
        if (!ReadSecretFile(jsonPath, text, error)) {
            PrintError(error);
            return false;
        }
        result = ImportJson(text, imported);
        WipeString(text);
        if (!result.ok) {
            PrintOwnError((jsonPath == "-" ? std::string("standard input") : jsonPath) + ": " +
                          result.error);
        }
        return result.ok;
    };
    // A JSON file is checked before anyone types a password; standard input comes after the
    // password lines.
    const bool fromStdin = jsonPath == "-";
    if (!fromStdin && !readJson()) {
        return kExitFailed;
    }
    CliDocument d(args);
    const bool existing = Exists(path);
    if (!d.OpenOrStart(path, existing, fromStdin)) {
        return d.Failed();
    }
    if (fromStdin && !readJson()) {
        return kExitFailed;
    }
    d.folders.TakeFolders(imported);
    d.doc.SetColumnLayout(result.columnLayout);
    d.doc.SetModifiedFlag(true);
    return (existing ? d.doc.Save(path) : d.doc.SaveAs(path)) ? kExitOk : d.Failed();
}

// ---- passwd

int ChangePassword(const ParsedArgs& args) {
    const std::string& path = args.positional[0];
    if (args.Has("--seal") && args.Has("--legacy")) {
        return CommandUsageError("passwd", "--seal and --legacy cannot be used together");
    }
    CliDocument d(args);
    // Nothing else follows the password lines here.
    d.prompt.AcceptConfirmationLine();
    if (!CheckReadable(path) || !d.doc.OnOpenDocument(path)) {
        return d.Failed();
    }
    const FileForm current = d.doc.Form();
    const FileForm target = args.Has("--seal")     ? FileForm::Sealed
                            : args.Has("--legacy") ? FileForm::Legacy
                                                   : current;
    if (target == current) {
        // Save As asks for a new password whatever RememberPass says.
        return d.doc.SaveAs(path) ? kExitOk : d.Failed();
    }
    if (target == FileForm::Legacy) {
        PrintOwnError("warning: " + path +
                      " is being saved in the legacy form, for older versions of Zelvant. Its key "
                      "is the password itself: anyone with a copy of the file can try passwords "
                      "offline at millions per second.");
    }
    if (!d.doc.ChangeProtection(target)) {
        return d.Failed();
    }
    if (target == FileForm::Sealed && LegacyBackupBeside(path)) {
        PrintOwnError("warning: the backup " + BackupPathFor(path) +
                      " is an older copy in the legacy form; remove it unless you need it.");
    }
    return kExitOk;
}

// ---- report

class StderrOutput : public report::COutputStream {
  public:
    bool Write(const char* bytes, std::size_t& length) override {
        length = std::fwrite(bytes, 1, length, stderr);
        return length > 0;
    }
};

// The program's folder: installed templates are found from it.
std::string ProgramFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

bool IsRegular(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool IsPath(const std::string& given) {
    return given.find('/') != std::string::npos;
}

// A path (anything with a "/") as given, else the file of the template of that name ("Summary"
// or "Summary.ZVT") in the template folders; empty when there is none.
std::string FindTemplate(const std::string& given) {
    if (IsPath(given)) {
        return given;
    }
    std::string name = given;
    if (name.size() > 4) {
        std::string tail = name.substr(name.size() - 4);
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (tail == ".zvt") {
            name.resize(name.size() - 4);
        }
    }
    const auto found = report::FindTemplate(report::TemplateFolders(ProgramFolder()), name);
    return found ? found->path : std::string();
}

int Report(const ParsedArgs& args) {
    const std::string templateArg = args.Value("--template", "");
    if (templateArg.empty()) {
        return CommandUsageError("report", "missing --template");
    }
    report::PrintFlags flags = report::StoredPrintFlags();
    if (args.Has("--print")) {
        std::string error;
        if (!report::ParsePrintFlags(args.Value("--print", ""), flags, error)) {
            return CommandUsageError("report", error);
        }
    }
    const bool withFile = !args.positional.empty();
    const std::string output = args.Value("--output", "-");
    std::error_code ec;
    if (withFile && output != "-" && fs::equivalent(output, args.positional[0], ec)) {
        PrintOwnError("will not write the report over the data file " + args.positional[0]);
        return kExitFailed;
    }
    // Whatever is wrong with the template is said before anyone types a password.
    const std::string templatePath = FindTemplate(templateArg);
    if (templatePath.empty() || !Exists(templatePath)) {
        PrintError(report::MissingTemplateFileMessage(templateArg).text);
        if (templatePath.empty() && IsRegular(templateArg)) {
            PrintOwnError(
                "template names are not looked up in the current folder; give the file "
                "as ./" +
                templateArg);
        }
        return kExitFailed;
    }
    if (!IsRegular(templatePath) || ::access(templatePath.c_str(), R_OK) != 0) {
        PrintError("Cannot open " + templatePath);
        return kExitFailed;
    }

    Document doc;
    std::string title = "Untitled";
    if (withFile) {
        PasswordReader passwords = Passwords(args);
        if (!LoadDocument(args.positional[0], passwords, doc)) {
            return kExitFailed;
        }
        title = DisplayText(fs::path(args.positional[0]).filename().string());
    }
    report::CReportCursor cursor;
    cursor.Reset(doc.folders, DisplayText(fs::path(templatePath).stem().string()));
    const auto dates = report::MakeSystemDateFormatter();
    report::CReportEnvironment environment(
        {doc.folders, cursor, flags, title, *dates, report::Clock()});
    report::CStringOutput page;
    StderrOutput diagnostics;
    StderrSink messages;
    report::CCommandGate commands(
        templatePath, args.Has("--allow-commands") ? report::AllowEveryCommand : nullptr);
    const bool ran = report::RunReport(templatePath, page, environment, diagnostics, messages,
                                       report::RunOptions{.runCommand = commands.Runner()});
    if (commands.Refused() > 0) {
        PrintOwnError(
            "the template asked to run commands, which were not run; "
            "use --allow-commands to allow them");
    }
    if (!ran) {
        return kExitFailed;
    }
    bool ok = true;
    if (output == "-") {
        Print(page.text);
    } else {
        std::string error;
        ok = WritePrivateFile(output, {page.text}, error);
        if (!ok) {
            PrintError(error);
        }
    }
    WipeString(page.text);
    return ok ? kExitOk : kExitFailed;
}

// ---- templates

int Templates(const ParsedArgs& args) {
    const bool paths = args.Has("--paths");
    std::string out;
    for (const auto& entry : report::FindTemplates(report::TemplateFolders(ProgramFolder()))) {
        out += TerminalSafe(entry.name);
        if (paths) {
            out += '\t' + TerminalSafe(entry.path);
        }
        out += '\n';
    }
    Print(out);
    return kExitOk;
}

// ---- the command table

// The editing and everyday commands, which live in files of their own, go before "report".
std::vector<Command> WithCommandGroups(std::vector<Command> commands) {
    auto at = std::find_if(commands.begin(), commands.end(),
                           [](const Command& c) { return c.info.name == "report"; });
    for (const auto& group : {EditingCommands(), EverydayCommands()}) {
        at = commands.insert(at, group.begin(), group.end()) + static_cast<long>(group.size());
    }
    return commands;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = WithCommandGroups({
        {{"create",
          "FILE",
          1,
          1,
          "Write a new, empty data file",
          "Writes a new data file with no folders under a new password, typed twice on the\n"
          "terminal. An existing FILE is only replaced with --force.\n\n"
          "The file is sealed: its key is derived from the password with Argon2id (256 MiB,\n"
          "about a second) and its contents are authenticated, so a copied file resists\n"
          "password guessing. --legacy writes the older form instead (as does the desktop\n"
          "program's LegacyNewFiles setting), which older versions of Zelvant can open but\n"
          "whose key is the password itself. A sealed file's password may have up to 256\n"
          "characters, a legacy file's 32.",
          {{"--force", "", "Replace FILE if it exists"},
           {"--legacy", "", "Write the legacy form, which older versions can open (weaker)"},
           {"--password-stdin", "", "Read the new password from the first line of standard input"}},
          "zelvant-cli create vault.zvd"},
         Create},
        {{"info",
          "FILE",
          1,
          1,
          "Show a data file's version, counts and size",
          "Shows the path of FILE, its file version, its protection (sealed, with the key\n"
          "derivation's memory and passes, or legacy), the number of folders and records, its\n"
          "size in bytes, and whether an older file version is rewritten as the current one on\n"
          "the next save.",
          {kPasswordStdin},
          "zelvant-cli info vault.zvd"},
         Info},
        {{"ls",
          "FILE [FOLDER]",
          1,
          2,
          "List the folder tree with the records' site names",
          "Lists the folders of FILE as the folder tree shows them (sub-folders sorted by name),\n"
          "each shown as \"name/\" and followed, indented, by the site names of its records in\n"
          "stored order and then by its sub-folders. With FOLDER, lists only what that folder\n"
          "holds.\n\n"
          "FOLDER is a path of names joined by \"/\" (Banking/Cards) or an index (#3: folder 3\n"
          "of the file, counted from 0).",
          {{"--index", "", "Start each line with its address (#3, or #3/5 for a record)"},
           kPasswordStdin},
          "zelvant-cli ls vault.zvd Banking --index"},
         List},
        {{"show",
          "FILE RECORD",
          2,
          2,
          "Show one record's fields",
          "Shows the folder and every field of one record. Account Name, Account Number,\n"
          "Username/ID, Password and Pin Number show one \"*\" per character unless --reveal\n"
          "is given.\n\n"
          "RECORD is the folder's path and the site name joined by \"/\" (Banking/Cards/Visa),\n"
          "or an index (#3/5: record 5 of folder 3, both counted from 0).",
          {{"--reveal", "", "Show masked fields in clear"}, kPasswordStdin},
          "zelvant-cli show vault.zvd Banking/Cards/Visa --reveal"},
         Show},
        {{"export",
          "FILE",
          1,
          1,
          "Write the whole document as JSON or CSV",
          "Writes the whole document to standard output or to OUT. JSON keeps everything the\n"
          "data file holds and can be imported again; CSV has one row per record, for\n"
          "spreadsheets. Both hold the passwords in clear: OUT is created readable by its\n"
          "owner only.",
          {{"--format", "FORMAT", "json (the default) or csv"},
           {"--output", "OUT", "Write to OUT instead of standard output"},
           kPasswordStdin},
          "zelvant-cli export vault.zvd --format csv --output vault.csv"},
         Export},
        {{"import",
          "FILE SOURCE",
          2,
          2,
          "Replace a file's contents with JSON, or add an export's records",
          "Writes the zelvant-json document in SOURCE into FILE, replacing everything FILE held:\n"
          "its folders, records and column layout. When FILE exists its password is asked,\n"
          "checked and kept; otherwise FILE is created under a new password. SOURCE may be \"-\"\n"
          "for standard input (read after the password line with --password-stdin).\n\n"
          "With --from naming another program's export, its records are added to FILE\n"
          "instead: into the folders the export names (made where missing), or into a new\n"
          "folder named after the program and the date. Nothing is added from an export\n"
          "that cannot be read as a whole; what is skipped is listed with the reason.\n"
          "FORMAT is keepassxc-csv, bitwarden-json (unencrypted), bitwarden-csv, chrome-csv\n"
          "or firefox-csv.",
          {{"--from", "FORMAT", "What SOURCE is: zelvant-json (the default) or an export format"},
           kPasswordStdin},
          "zelvant-cli import vault.zvd passwords.csv --from chrome-csv"},
         Import},
        {{"passwd",
          "FILE",
          1,
          1,
          "Save a data file under a new password",
          "Saves FILE under a new password, typed twice on the terminal; everything else in\n"
          "the file stays as it is, its protection too. --seal converts a legacy file to the\n"
          "sealed form; --legacy converts a sealed file back, for an older installation,\n"
          "after a warning. With --password-stdin the first line of standard input is the\n"
          "current password, the second line the new one, and a third line, when present,\n"
          "its confirmation.",
          {{"--seal", "", "Convert to the sealed form"},
           {"--legacy", "", "Convert to the legacy form, which older versions can open (weaker)"},
           kPasswordStdin},
          "zelvant-cli passwd vault.zvd --seal"},
         ChangePassword},
        {{"report",
          "[FILE]",
          0,
          1,
          "Write a report page from a template",
          "Runs the template named \"start\" in the template file T over the document in FILE\n"
          "(over an empty, untitled document without FILE) and writes the page it produces,\n"
          "an HTML page, to standard output or to OUT. T is a path when it holds a \"/\"\n"
          "(./mine.ZVT), else the name of a template (\"Summary\" or \"Summary.ZVT\") as\n"
          "\"zelvant-cli templates\" lists them; a name is never looked up in the current\n"
          "folder. Messages about errors in the template file go to standard error; errors\n"
          "found while it runs appear in the page.\n\n"
          "FIELDS chooses the record fields printed: \"all\", \"none\" or a comma list of\n"
          "RecordName, Location, Email, AccountName, AccountNum, UserName, Password, Pin,\n"
          "Created, Modified, Expired, Notes. Without --print the fields chosen last in the\n"
          "desktop program's print dialog are printed. Dates follow the system's locale.\n"
          "The page may hold passwords in clear: OUT is created readable by its owner only.\n\n"
          "A template can run commands on this computer with record values in them; they run\n"
          "only with --allow-commands. Without it each one fails and the page says so.",
          {{"--template", "T", "The template's name, or the path of a template file"},
           {"--output", "OUT", "Write to OUT instead of standard output"},
           {"--print", "FIELDS", "The fields to print: all, none or a comma list"},
           {"--allow-commands", "", "Let the template run commands (sys.runcmd) on this computer"},
           kPasswordStdin},
          "zelvant-cli report vault.zvd --template \"Full listing\" --print all --output "
          "vault.html"},
         Report},
        {{"templates",
          "",
          0,
          0,
          "List the report templates found by name",
          "Lists, one per line and sorted, the names of the report templates that\n"
          "\"report --template NAME\" finds. They are looked up in this order, and a name\n"
          "found earlier hides the same name later: the user's own folder\n"
          "$XDG_DATA_HOME/zelvant/templates (~/.local/share/zelvant/templates), the folder\n"
          "zelvant/templates in each of $XDG_DATA_DIRS, the templates installed with the\n"
          "program (share/zelvant/templates), and \"templates\" beside the program.\n"
          "Template files end in .ZVT, in any letter case.",
          {{"--paths", "", "Follow each name with a tab and the file it names"}},
          "zelvant-cli templates --paths"},
         Templates},
    });
    return commands;
}

const Command* FindCommand(std::string_view name) {
    for (const auto& c : Commands()) {
        if (c.info.name == name) {
            return &c;
        }
    }
    return nullptr;
}

std::string TopHelp() {
    std::string text =
        "usage: zelvant-cli COMMAND [OPTIONS] ARGS\n\n"
        "Reads and writes Zelvant data files (.zvd).\n\nCommands:\n";
    std::size_t width = 0;
    for (const auto& c : Commands()) {
        width = std::max(width, c.info.name.size());
    }
    for (const auto& c : Commands()) {
        const std::string name(c.info.name);
        text += "  " + name + std::string(width + 2 - name.size(), ' ') +
                std::string(c.info.summary) + "\n";
    }
    text +=
        "\nOptions:\n"
        "  -h, --help  Show this help; zelvant-cli COMMAND --help shows a command's help\n"
        "  --version   Show the program's version\n\n"
        "The file password is read from the terminal without echo, or with --password-stdin\n"
        "from the first line of standard input. Messages go to standard error, data to\n"
        "standard output. Exit status: 0 success, 1 the operation failed, 2 usage error.\n\n"
        "Example:\n  zelvant-cli ls vault.zvd\n";
    return text;
}

void PrintVersion() {
    Print(std::string(kProgram) + " " + ZELVANT_VERSION + "\n");
}

int UsageError(std::string_view text) {
    PrintOwnError(text);
    PrintError("Try 'zelvant-cli --help'.");
    return kExitUsage;
}

}  // namespace

int CommandUsageError(std::string_view command, std::string_view text) {
    const CommandInfo& info = FindCommand(command)->info;
    PrintOwnError(std::string(info.name) + ": " + std::string(text));
    PrintError(UsageLine(info));
    PrintError("Try 'zelvant-cli " + std::string(info.name) + " --help'.");
    return kExitUsage;
}

DocSettings CommandDocSettings() {
    return StoredDocSettings();
}

namespace {

int Finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintOwnError("cannot write to standard output: " + std::string(std::strerror(errno)));
        return kExitFailed;
    }
    return status;
}

int Dispatch(std::span<const std::string_view> args) {
    if (args.empty()) {
        return UsageError("no command given");
    }
    const std::string_view first = args[0];
    if (first == "--help" || first == "-h") {
        Print(TopHelp());
        return kExitOk;
    }
    if (first == "--version") {
        PrintVersion();
        return kExitOk;
    }
    if (first == "help") {
        if (args.size() == 1) {
            Print(TopHelp());
            return kExitOk;
        }
        const Command* c = FindCommand(args[1]);
        if (c == nullptr) {
            return UsageError("'" + std::string(args[1]) + "' is not a command");
        }
        Print(HelpText(c->info));
        return kExitOk;
    }
    if (first.starts_with('-')) {
        return UsageError("unknown option '" + std::string(first) + "'");
    }
    const Command* command = FindCommand(first);
    if (command == nullptr) {
        return UsageError("'" + std::string(first) + "' is not a command");
    }
    ParsedArgs parsed;
    std::string error;
    switch (ParseArguments(command->info, args.subspan(1), parsed, error)) {
        case ParseOutcome::Help:
            Print(HelpText(command->info));
            return kExitOk;
        case ParseOutcome::Version:
            PrintVersion();
            return kExitOk;
        case ParseOutcome::UsageError:
            return CommandUsageError(command->info.name, error);
        case ParseOutcome::Run:
            break;
    }
    return command->run(parsed);
}

}  // namespace

std::string TerminalSafe(std::string_view utf8, bool multiLine) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (multiLine && (b == '\n' || b == '\r')) {
            if (b == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                ++i;
            }
            out += '\n';
        } else if ((b < 0x20 && b != '\t') || b == 0x7F) {
            out += '?';
        } else if (b == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // U+0080 to U+009F: C1 controls, which some terminals obey.
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string ListTree(const CFolderSequence& folders, FolderIndex root, bool withAddresses) {
    std::string out;
    auto line = [&](int depth, const std::string& address, const std::string& text) {
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
        if (withAddresses) {
            out += address + " ";
        }
        out += text;
        out += '\n';
    };
    auto records = [&](FolderIndex index, int depth) {
        const CFolder& folder = *folders.FolderAt(index);
        for (int r = 0; r < folder.RecordCount(); ++r) {
            line(depth, FormatAddress(index, r),
                 TerminalSafe(DisplayText(folder.RecordAt(r)->GetText(RecordField::SiteName))));
        }
    };
    const std::vector<FolderNode> order = DisplayOrder(folders);
    std::size_t begin = 0;
    std::size_t end = order.size();
    int base = 0;
    if (root != kTopLevel) {
        records(root, 0);
        const auto it = std::find_if(order.begin(), order.end(),
                                     [&](const FolderNode& n) { return n.index == root; });
        if (it == order.end()) {
            return out;
        }
        begin = static_cast<std::size_t>(it - order.begin()) + 1;
        end = begin;
        while (end < order.size() && order[end].depth > it->depth) {
            ++end;
        }
        base = it->depth + 1;
    }
    for (std::size_t i = begin; i < end; ++i) {
        const int depth = order[i].depth - base;
        line(depth, FormatAddress(order[i].index),
             TerminalSafe(DisplayText(folders.FolderAt(order[i].index)->Name())) + "/");
        records(order[i].index, depth + 1);
    }
    return out;
}

int RunCli(std::span<const std::string_view> args) {
    return Finish(Dispatch(args));
}

}  // namespace zelvant::cli
