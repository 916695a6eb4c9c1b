// The commands that change a data file's folders and records: add, edit, rm, rmdir, mkdir, mv.
// Each opens the file and saves it as the desktop program does, and a record they change gets
// the current time as its last-modified date, as the record dialog gives it.

#include <charconv>

#include "cli/address.h"
#include "cli/cli_support.h"
#include "passwords/password_generator.h"
#include "store/display.h"
#include "store/text_codec.h"

namespace zelvant::cli {
namespace {

bool Open(CliDocument& d, const std::string& path) {
    return CheckReadable(path) && d.doc.OnOpenDocument(path);
}

int SaveChanged(CliDocument& d, const std::string& path) {
    d.doc.SetModifiedFlag(true);
    return d.doc.Save(path) ? kExitOk : d.Failed();
}

int Failed(std::string_view error) {
    PrintOwnError(error);
    return kExitFailed;
}

// The folders shown under that path (names joined by "/").
std::vector<FolderIndex> FoldersAtPath(const CFolderSequence& folders, std::string_view path) {
    std::vector<FolderIndex> found;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        if (DisplayFolderPath(folders, i) == path) {
            found.push_back(i);
        }
    }
    return found;
}

// The folder at the address; a path of names that leads nowhere yet is made, with its missing
// parents, as New Folder makes folders. -1 with `error` when that cannot be.
FolderIndex FolderMadeIfMissing(CFolderSequence& folders, std::string_view address, bool& made,
                                std::string& error) {
    made = false;
    if (address.starts_with('#') || FoldersAtPath(folders, address).size() > 1) {
        const Resolved r = ResolveFolder(folders, address);
        error = r.error;
        return r.ok ? r.folder : -1;
    }
    if (const auto found = FoldersAtPath(folders, address); found.size() == 1) {
        return found.front();
    }
    FolderIndex at = kTopLevel;
    std::size_t start = 0;
    while (start <= address.size()) {
        const std::size_t slash = std::min(address.find('/', start), address.size());
        const std::string_view name = address.substr(start, slash - start);
        if (name.empty()) {
            error = "\"" + std::string(address) + "\" has an empty folder name";
            return -1;
        }
        FolderIndex next = -1;
        for (FolderIndex child : ChildFolders(folders, at)) {
            if (DisplayText(folders.FolderAt(child)->Name()) == name) {
                if (next >= 0) {
                    error = "\"" + std::string(address.substr(0, slash)) +
                            "\" names more than one folder; use its address (ls --index)";
                    return -1;
                }
                next = child;
            }
        }
        if (next < 0) {
            next = folders.AddChildFolder(name, at);
            if (next < 0) {
                error = std::string(msg::kNoMemoryFolder);
                return -1;
            }
            made = true;
        }
        at = next;
        start = slash + 1;
    }
    return at;
}

// The record's new password: generated, or typed (twice on a terminal; with --password-stdin the
// line after the file's password).
bool NewRecordPassword(const ParsedArgs& args, CliDocument& d, SecretText& out) {
    std::string error;
    if (args.Has("--generate")) {
        if (!GeneratePassword(PasswordRules(), out.text, error)) {
            PrintOwnError(error);
            return false;
        }
        return true;
    }
    if (!d.reader.Line("Password for the record: ", out, error)) {
        PrintError(error);
        return false;
    }
    if (!d.reader.FromStdin()) {
        SecretText again;
        if (!d.reader.Line("Confirm the record's password: ", again, error)) {
            PrintError(error);
            return false;
        }
        if (again.text != out.text) {
            PrintError(msg::kPasswordMismatch);
            return false;
        }
    }
    return true;
}

// --expires: "YYYY-MM-DD" or "never".
bool ApplyExpiry(const ParsedArgs& args, CRecord& record, std::string& error) {
    if (!args.Has("--expires")) {
        return true;
    }
    const std::string value = args.Value("--expires", "");
    if (value == "never") {
        record.SetInt(RecordField::HasExpiry, 0);
        return true;
    }
    CivilDateTime day;
    const char* p = value.data();
    const char* end = p + value.size();
    auto part = [&](int& out, std::size_t digits, bool dash) {
        const auto [next, ec] = std::from_chars(p, std::min(end, p + digits), out);
        const bool ok =
            ec == std::errc() && next == p + digits && (!dash || (next < end && *next == '-'));
        p = next + (dash ? 1 : 0);
        return ok;
    };
    std::optional<DateTimeValue> date;
    if (value.size() == 10 && part(day.year, 4, true) && part(day.month, 2, true) &&
        part(day.day, 2, false)) {
        date = FromCivil(day);
    }
    if (!date) {
        error = "--expires takes a date as YYYY-MM-DD, or never";
        return false;
    }
    record.SetInt(RecordField::HasExpiry, 1);
    record.SetDate(RecordField::ExpiresOn, *date);
    return true;
}

struct TextOption {
    std::string_view option;
    RecordField field;
};
constexpr TextOption kTextOptions[] = {
    {"--site", RecordField::SiteName},     {"--user", RecordField::UserName},
    {"--location", RecordField::Location}, {"--email", RecordField::Email},
    {"--notes", RecordField::Notes},
};

void ApplyTexts(const ParsedArgs& args, CRecord& record) {
    for (const TextOption& o : kTextOptions) {
        if (args.Has(o.option)) {
            record.SetText(o.field, args.Value(o.option, ""));
        }
    }
}

// ---- add

int Add(const ParsedArgs& args) {
    const std::string& path = args.positional[0];
    const std::string& address = args.positional[1];
    const std::size_t slash = address.rfind('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == address.size()) {
        return CommandUsageError("add", "give the folder and the site name as FOLDER/SITE");
    }
    CRecord record(NowLocal());
    std::string error;
    if (!ApplyExpiry(args, record, error)) {
        return CommandUsageError("add", error);
    }
    CliDocument d(args);
    if (!Open(d, path)) {
        return d.Failed();
    }
    SecretText password;
    if (!NewRecordPassword(args, d, password)) {
        return kExitFailed;
    }
    record.SetText(RecordField::SiteName, std::string_view(address).substr(slash + 1));
    record.SetText(RecordField::Password, std::string_view(password.text));
    ApplyTexts(args, record);
    bool made = false;
    const FolderIndex folder =
        FolderMadeIfMissing(d.folders, std::string_view(address).substr(0, slash), made, error);
    if (folder < 0) {
        return Failed(error);
    }
    CRecord* added = d.folders.FolderAt(folder)->AppendRecord();
    if (added == nullptr) {
        return Failed(msg::kNoMemoryRecord);
    }
    *added = record;
    const int status = SaveChanged(d, path);
    if (status == kExitOk) {
        Print(FormatAddress(folder, d.folders.FolderAt(folder)->RecordCount() - 1) + "\n");
    }
    return status;
}

// ---- edit

int Edit(const ParsedArgs& args) {
    const std::string& path = args.positional[0];
    if (args.Has("--generate") && args.Has("--new-password")) {
        return CommandUsageError("edit", "--generate and --new-password cannot be used together");
    }
    bool changes = args.Has("--generate") || args.Has("--new-password") || args.Has("--expires");
    for (const TextOption& o : kTextOptions) {
        changes = changes || args.Has(o.option);
    }
    if (!changes) {
        return CommandUsageError("edit", "nothing to change; give at least one option");
    }
    std::string error;
    if (CRecord scratch; !ApplyExpiry(args, scratch, error)) {
        return CommandUsageError("edit", error);
    }
    CliDocument d(args);
    if (!Open(d, path)) {
        return d.Failed();
    }
    const Resolved r = ResolveRecord(d.folders, args.positional[1]);
    if (!r.ok) {
        return Failed(r.error);
    }
    CRecord& record = *d.folders.FolderAt(r.folder)->RecordAt(r.record);
    if (args.Has("--generate") || args.Has("--new-password")) {
        SecretText password;
        if (!NewRecordPassword(args, d, password)) {
            return kExitFailed;
        }
        record.SetText(RecordField::Password, std::string_view(password.text));
    }
    ApplyTexts(args, record);
    ApplyExpiry(args, record, error);
    record.SetDate(RecordField::Modified, NowLocal());
    return SaveChanged(d, path);
}

// ---- rm, rmdir, mkdir, mv

int Remove(const ParsedArgs& args) {
    CliDocument d(args);
    if (!Open(d, args.positional[0])) {
        return d.Failed();
    }
    const Resolved r = ResolveRecord(d.folders, args.positional[1]);
    if (!r.ok) {
        return Failed(r.error);
    }
    d.folders.RemoveRecord(r.folder, r.record);
    return SaveChanged(d, args.positional[0]);
}

int RemoveFolder(const ParsedArgs& args) {
    CliDocument d(args);
    if (!Open(d, args.positional[0])) {
        return d.Failed();
    }
    const Resolved r = ResolveFolder(d.folders, args.positional[1]);
    if (!r.ok) {
        return Failed(r.error);
    }
    const int records = d.folders.FolderAt(r.folder)->RecordCount();
    const std::size_t children = ChildFolders(d.folders, r.folder).size();
    if ((records > 0 || children > 0) && !args.Has("--recursive")) {
        return Failed("folder \"" + DisplayFolderPath(d.folders, r.folder) + "\" holds " +
                      std::to_string(records) + " records and " + std::to_string(children) +
                      " folders; use --recursive to remove them with it");
    }
    d.folders.DeleteFolderWithSubtree(r.folder);
    return SaveChanged(d, args.positional[0]);
}

int MakeFolder(const ParsedArgs& args) {
    CliDocument d(args);
    if (!Open(d, args.positional[0])) {
        return d.Failed();
    }
    const std::string& address = args.positional[1];
    if (address.starts_with('#')) {
        return CommandUsageError("mkdir", "name the new folder by its path, not by an index");
    }
    if (!FoldersAtPath(d.folders, address).empty()) {
        return Failed("folder \"" + address + "\" exists already");
    }
    bool made = false;
    std::string error;
    if (FolderMadeIfMissing(d.folders, address, made, error) < 0) {
        return Failed(error);
    }
    return SaveChanged(d, args.positional[0]);
}

int Move(const ParsedArgs& args) {
    CliDocument d(args);
    if (!Open(d, args.positional[0])) {
        return d.Failed();
    }
    const Resolved record = ResolveRecord(d.folders, args.positional[1]);
    if (!record.ok) {
        return Failed(record.error);
    }
    const Resolved folder = ResolveFolder(d.folders, args.positional[2]);
    if (!folder.ok) {
        return Failed(folder.error);
    }
    if (folder.folder == record.folder) {
        return Failed("the record is in that folder already");
    }
    // As a record dragged to another folder: the copy is new there, the original goes.
    if (!d.folders.CopyRecord(record.folder, record.record, folder.folder)) {
        return Failed(msg::kNoMemoryRecord);
    }
    d.folders.RemoveRecord(record.folder, record.record);
    return SaveChanged(d, args.positional[0]);
}

const OptionInfo kExpires = {"--expires", "DATE",
                             "Expires on DATE (YYYY-MM-DD); never: does not expire"};
const OptionInfo kRecordPasswordStdin = {
    "--password-stdin", "",
    "Read the file's password from the first line of standard input (and a record's new "
    "password from the second)"};

}  // namespace

std::vector<Command> EditingCommands() {
    return {
        {{"add",
          "FILE FOLDER/SITE",
          2,
          2,
          "Add a record",
          "Adds a record named SITE at the end of FOLDER, making FOLDER and the folders\n"
          "above it where they are missing, and prints its address. SITE is what follows\n"
          "the last \"/\". The record's password is generated with --generate (20 characters\n"
          "of every kind), else asked: twice on the terminal, or with --password-stdin the\n"
          "second line of standard input.",
          {{"--user", "U", "The user name or ID"},
           {"--location", "L", "The location, usually a web address"},
           {"--email", "E", "The e-mail address"},
           {"--notes", "N", "The notes"},
           kExpires,
           {"--generate", "", "Generate the password instead of asking for it"},
           kRecordPasswordStdin},
          "zelvant-cli add vault.zvd Web/example.com --user anna --generate"},
         Add},
        {{"edit",
          "FILE RECORD",
          2,
          2,
          "Change a record's fields",
          "Changes the fields given and sets the record's last-modified date to now. A new\n"
          "password is generated with --generate or asked with --new-password: twice on\n"
          "the terminal, or with --password-stdin the second line of standard input.",
          {{"--site", "S", "The site name or description"},
           {"--user", "U", "The user name or ID"},
           {"--location", "L", "The location, usually a web address"},
           {"--email", "E", "The e-mail address"},
           {"--notes", "N", "The notes"},
           kExpires,
           {"--generate", "", "Give the record a generated password"},
           {"--new-password", "", "Ask for the record's new password"},
           kRecordPasswordStdin},
          "zelvant-cli edit vault.zvd Web/example.com --generate"},
         Edit},
        {{"rm",
          "FILE RECORD",
          2,
          2,
          "Remove a record",
          "Removes one record.",
          {kPasswordStdin},
          "zelvant-cli rm vault.zvd '#3/5'"},
         Remove},
        {{"rmdir",
          "FILE FOLDER",
          2,
          2,
          "Remove a folder",
          "Removes a folder. One that holds records or folders is only removed, with all\n"
          "it holds, when --recursive is given.",
          {{"--recursive", "", "Also remove the records and folders it holds"}, kPasswordStdin},
          "zelvant-cli rmdir vault.zvd Old --recursive"},
         RemoveFolder},
        {{"mkdir",
          "FILE FOLDER",
          2,
          2,
          "Make a folder",
          "Makes the folder named by the path FOLDER, and the folders above it where they are\n"
          "missing.",
          {kPasswordStdin},
          "zelvant-cli mkdir vault.zvd Banking/Cards"},
         MakeFolder},
        {{"mv",
          "FILE RECORD FOLDER",
          3,
          3,
          "Move a record to another folder",
          "Moves a record to the end of another folder, as dragging it there in the desktop\n"
          "program does: it keeps its fields and its created date, and its last-modified\n"
          "date becomes now.",
          {kPasswordStdin},
          "zelvant-cli mv vault.zvd Web/example.com Archive"},
         Move},
    };
}

}  // namespace zelvant::cli
