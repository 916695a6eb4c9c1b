// Everyday commands that change nothing: search and generate (clip has a file of its own).

#include <charconv>

#include "cli/address.h"
#include "cli/cli_support.h"
#include "passwords/password_generator.h"
#include "store/display.h"
#include "store/document_search.h"
#include "store/text_codec.h"

namespace zelvant::cli {
namespace {

// ---- search

int Search(const ParsedArgs& args) {
    CliDocument d(args);
    if (!CheckReadable(args.positional[0]) || !d.doc.OnOpenDocument(args.positional[0])) {
        return d.Failed();
    }
    const std::string& text = args.positional[1];
    const std::vector<RecordRef> found = FindRecords(d.folders, text);
    if (found.empty()) {
        PrintOwnError("no record holds \"" + TerminalSafe(text) + "\"");
        return kExitFailed;
    }
    std::string out;
    for (const RecordRef& ref : found) {
        const CRecord& record = *d.folders.FolderAt(ref.folder)->RecordAt(ref.record);
        out += FormatAddress(ref.folder, ref.record) + " " +
               TerminalSafe(DisplayFolderPath(d.folders, ref.folder) + "/" +
                            DisplayText(record.GetText(RecordField::SiteName))) +
               "\n";
    }
    Print(out);
    return kExitOk;
}

// ---- generate

bool Number(const ParsedArgs& args, std::string_view option, int& out) {
    const std::string text = args.Value(option, "");
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

int Generate(const ParsedArgs& args) {
    const bool words = args.Has("--words");
    if (words &&
        (args.Has("--length") || args.Has("--no-symbols") || args.Has("--no-lookalikes"))) {
        return CommandUsageError("generate",
                                 "--words makes a passphrase; --length, --no-symbols and "
                                 "--no-lookalikes are for passwords");
    }
    if (!words && args.Has("--separator")) {
        return CommandUsageError("generate", "--separator goes with --words");
    }
    SecretText out;
    std::string error;
    bool ok = false;
    if (words) {
        PassphraseRules rules;
        rules.separator = args.Value("--separator", "-");
        if (!Number(args, "--words", rules.words)) {
            return CommandUsageError("generate", "--words takes a number");
        }
        ok = GeneratePassphrase(rules, out.text, error);
    } else {
        PasswordRules rules;
        if (args.Has("--length") && !Number(args, "--length", rules.length)) {
            return CommandUsageError("generate", "--length takes a number");
        }
        rules.symbols = !args.Has("--no-symbols");
        rules.avoidLookalikes = args.Has("--no-lookalikes");
        ok = GeneratePassword(rules, out.text, error);
    }
    if (!ok) {
        return CommandUsageError("generate", error);
    }
    out.text += '\n';
    Print(std::string_view(out.text));
    return kExitOk;
}

}  // namespace

std::vector<Command> EverydayCommands() {
    return {
        {{"search",
          "FILE TEXT",
          2,
          2,
          "Find records holding a text",
          "Lists, one per line, the address and the folder path with the site name of every\n"
          "record whose site name, location, e-mail, user name, account name or notes hold\n"
          "TEXT, letter case ignored. Passwords, PINs and account numbers are never searched.\n"
          "Exits with status 1 when no record holds TEXT.",
          {kPasswordStdin},
          "zelvant-cli search vault.zvd northwind"},
         Search},
        {{"clip",
          "FILE RECORD",
          2,
          2,
          "Copy a record's field to the clipboard for a while",
          "Copies a field of the record (its password unless --field says otherwise) to the\n"
          "clipboard, marked as secret so that clipboard managers leave it out of their\n"
          "history, then waits and clears the clipboard after S seconds unless something else\n"
          "was copied meanwhile. Needs a display: the program holds the clipboard while it\n"
          "waits (Ctrl+C clears it at once).",
          {{"--field", "FIELD",
            "password (the default), user, location, email, account, number or pin"},
           {"--timeout", "S", "Seconds before the clipboard is cleared (default 30)"},
           kPasswordStdin},
          "zelvant-cli clip vault.zvd Web/example.com --field user"},
         ClipCommand},
        {{"generate",
          "",
          0,
          0,
          "Print a new random password or passphrase",
          "Prints a password of 20 characters with lower and upper case letters, digits and\n"
          "symbols, at least one of each, from the system's cryptographic random source.\n"
          "With --words, prints a passphrase of N words of the EFF long word list instead.",
          {{"--length", "N", "Characters in the password, 4 to 128 (default 20)"},
           {"--no-symbols", "", "Letters and digits only"},
           {"--no-lookalikes", "", "Leave out characters easily taken for others (0 O o 1 I l |)"},
           {"--words", "N", "A passphrase of N words, 3 to 20"},
           {"--separator", "S", "What goes between the words (default \"-\")"}},
          "zelvant-cli generate --words 5"},
         Generate},
    };
}

}  // namespace zelvant::cli
