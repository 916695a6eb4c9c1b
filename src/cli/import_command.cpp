// import --from FORMAT: another program's export added to a data file.

#include "cli/cli_support.h"
#include "cli/secret_file.h"
#include "store/import/import.h"
#include "store/secure.h"

namespace zelvant::cli {

int ImportExport(const ParsedArgs& args) {
    const std::string formatName = args.Value("--from", "");
    const auto format = ImportFormatNamed(formatName);
    if (!format) {
        std::string known = "zelvant-json";
        for (const ImportFormatInfo& info : ImportFormats()) {
            known += ", " + std::string(info.name);
        }
        return CommandUsageError("import", "unknown format '" + formatName + "'; use " + known);
    }
    const std::string& path = args.positional[0];
    const std::string& source = args.positional[1];
    const DateTimeValue now = NowLocal();
    ImportBatch batch;
    auto readSource = [&] {
        std::string text;
        std::string error;
        if (!ReadSecretFile(source, text, error)) {
            PrintError(error);
            return false;
        }
        const bool ok = ParseImport(*format, text, now, batch, error);
        WipeString(text);
        if (!ok) {
            PrintOwnError((source == "-" ? std::string("standard input") : source) + ": " + error +
                          "; nothing was imported");
        }
        return ok;
    };
    // A file is read before anyone types a password; standard input comes after the password
    // lines.
    const bool fromStdin = source == "-";
    if (!fromStdin && !readSource()) {
        return kExitFailed;
    }
    CliDocument d(args);
    const bool existing = Exists(path);
    if (!d.OpenOrStart(path, existing, fromStdin)) {
        return d.Failed();
    }
    if (fromStdin && !readSource()) {
        return kExitFailed;
    }
    const ImportSummary summary = ApplyImport(batch, d.folders, ImportFolderName(*format, now));
    batch = ImportBatch();  // the document has its own copies of the passwords now
    d.doc.SetModifiedFlag(true);
    if (!(existing ? d.doc.Save(path) : d.doc.SaveAs(path))) {
        return d.Failed();
    }
    PrintError(ImportSummaryText(summary, *format));
    return kExitOk;
}

}  // namespace zelvant::cli
