// Bitwarden's CSV export of a personal vault:
// folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,
// login_totp. "type" is "login" or "note"; folders may nest ("Work/Email"); login_uri joins the
// item's addresses with commas; fields holds "name: value" lines. An organisation's export has
// "collections" in place of "folder".

#include "store/import/import_support.h"

namespace zelvant::importers {

bool ParseBitwardenCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                       std::string& error) {
    CCsvExport csv;
    if (!csv.Read(text, ImportFormat::BitwardenCsv,
                  {"type", "name", "notes", "login_uri", "login_username", "login_password"},
                  error) ||
        !csv.CheckWidths(error)) {
        return false;
    }
    for (std::size_t i = 0; i < csv.RowCount(); ++i) {
        const CsvRow& row = csv.Row(i);
        const std::string where = Where("line", static_cast<std::size_t>(row.line));
        const std::string_view type = csv.Get(row, "type");
        const bool login = type == "login";
        if (!login && type != "note") {
            batch.skipped.push_back({where, "an item of type \"" + std::string(type) +
                                                "\"; only logins and notes are imported"});
            continue;
        }
        ImportedEntry& entry = batch.entries.emplace_back(now);
        entry.folder = SplitFolderPath(csv.Has("folder") ? csv.Get(row, "folder")
                                                         : csv.Get(row, "collections"));
        NoteFolder(batch, entry.folder);
        CRecord& r = entry.record;
        SetField(r, RecordField::SiteName, csv.Get(row, "name"));
        SetField(r, RecordField::Notes, csv.Get(row, "notes"));
        CNoteExtras extras;
        if (login) {
            SetField(r, RecordField::UserName, csv.Get(row, "login_username"));
            SetField(r, RecordField::Password, csv.Get(row, "login_password"));
            const std::string_view uris = csv.Get(row, "login_uri");
            const std::size_t comma = uris.find(',');
            SetField(r, RecordField::Location, uris.substr(0, comma));
            for (std::size_t start = comma; start != std::string_view::npos;) {
                const std::size_t next = uris.find(',', start + 1);
                extras.Add("URL", uris.substr(start + 1, next == std::string_view::npos
                                                             ? std::string_view::npos
                                                             : next - start - 1));
                start = next;
            }
            extras.Add("TOTP", csv.Get(row, "login_totp"));
        }
        extras.Add("", csv.Get(row, "fields"));  // already "name: value" lines
        extras.AddTo(r);
    }
    return true;
}

}  // namespace zelvant::importers
