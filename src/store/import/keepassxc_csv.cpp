// KeePassXC's "Export to CSV": "Group","Title","Username","Password","URL","Notes", then in
// recent versions "TOTP","Icon","Last Modified","Created" (ISO dates in UTC). Every group path
// starts with the database's root group, which is not a folder here.

#include "store/import/import_support.h"

namespace zelvant::importers {

bool ParseKeePassXcCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                       std::string& error) {
    CCsvExport csv;
    if (!csv.Read(text, ImportFormat::KeePassXcCsv,
                  {"Group", "Title", "Username", "Password", "URL", "Notes"}, error) ||
        !csv.CheckWidths(error)) {
        return false;
    }
    for (std::size_t i = 0; i < csv.RowCount(); ++i) {
        const CsvRow& row = csv.Row(i);
        const auto line = static_cast<std::size_t>(row.line);
        bool empty = true;
        for (std::string_view column : {"Title", "Username", "Password", "URL", "Notes", "TOTP"}) {
            empty = empty && csv.Get(row, column).empty();
        }
        if (empty) {
            batch.skipped.push_back({Where("line", line), "an entry with nothing in it"});
            continue;
        }
        ImportedEntry& entry = batch.entries.emplace_back(now);
        entry.folder = SplitFolderPath(csv.Get(row, "Group"));
        if (!entry.folder.empty()) {
            entry.folder.erase(entry.folder.begin());
        }
        NoteFolder(batch, entry.folder);
        CRecord& r = entry.record;
        SetField(r, RecordField::SiteName, csv.Get(row, "Title"));
        SetField(r, RecordField::UserName, csv.Get(row, "Username"));
        SetField(r, RecordField::Password, csv.Get(row, "Password"));
        SetField(r, RecordField::Location, csv.Get(row, "URL"));
        SetField(r, RecordField::Notes, csv.Get(row, "Notes"));
        CNoteExtras extras;
        extras.Add("TOTP", csv.Get(row, "TOTP"));
        extras.AddTo(r);
        SetDates(r, DateFromIso(csv.Get(row, "Created")),
                 DateFromIso(csv.Get(row, "Last Modified")));
    }
    return true;
}

}  // namespace zelvant::importers
