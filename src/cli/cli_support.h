#pragma once
// What the commands share: printing, the document a command opens and saves as the desktop
// program does, and the entries of the command table.

#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/password_input.h"
#include "store/messages.h"
#include "store/zelvant_doc.h"

namespace zelvant::cli {

inline constexpr std::string_view kProgramName = "zelvant-cli";

void Print(std::string_view text);
void PrintError(std::string_view text);
// The text after "zelvant-cli: ".
void PrintOwnError(std::string_view text);

// The store's messages are the product's own texts and go out unchanged.
class StderrSink : public IMessageSink {
  public:
    void ShowMessage(const Message& message) override { PrintError(message.text); }
};

// Refuses a missing file before anyone is asked for its password.
bool CheckReadable(const std::string& path);
bool Exists(const std::string& path);

// The document settings the desktop program stored (RememberPass, AlwaysBackup).
DocSettings CommandDocSettings();

// Commands that write go through the same document lifecycle as the desktop program, with the
// settings it stored, so both save the same way.
struct CliDocument {
    explicit CliDocument(const ParsedArgs& args)
        : reader(args.Has("--password-stdin")),
          prompt(reader),
          doc(folders, prompt, sink, CommandDocSettings()) {}

    // The lifecycle has told the user about refused entries and file errors; a prompt that
    // could not read anything has not.
    int Failed() const {
        if (!prompt.Error().empty()) {
            PrintError(prompt.Error());
        }
        return kExitFailed;
    }

    // Opens the file, or starts a new document when it does not exist; false when the open
    // failed. A new document's password is read at once when `passwordFirst`: on standard input
    // its line comes before the data that follows.
    bool OpenOrStart(const std::string& path, bool exists, bool passwordFirst);

    PasswordReader reader;
    CliPasswordPrompt prompt;
    StderrSink sink;
    CFolderSequence folders;
    CZelvantDoc doc;
};

inline const OptionInfo kPasswordStdin = {
    "--password-stdin", "", "Read the password from the first line of standard input"};

struct Command {
    CommandInfo info;
    int (*run)(const ParsedArgs&);
};

// A usage error of one command: what is wrong, its usage line and where to find help.
int CommandUsageError(std::string_view command, std::string_view text);

// The groups of commands kept in files of their own, in the order the help lists them.
std::vector<Command> EditingCommands();   // add, edit, rm, rmdir, mkdir, mv
std::vector<Command> EverydayCommands();  // search, clip, generate
// import with --from naming another program's export: adds its records to FILE.
int ImportExport(const ParsedArgs& args);
// clip, which needs the desktop's clipboard libraries.
int ClipCommand(const ParsedArgs& args);

}  // namespace zelvant::cli
