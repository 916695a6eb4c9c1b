// The browsers' password exports. Chrome: name,url,username,password and, in recent versions,
// note. Firefox: "url","username","password","httpRealm","formActionOrigin","guid",
// "timeCreated","timeLastUsed","timePasswordChanged", times in milliseconds since 1970.
// Neither has folders: every login goes into the import's own folder.

#include "store/import/import_support.h"

namespace zelvant::importers {
namespace {

bool NothingIn(const CCsvExport& csv, const CsvRow& row,
               std::initializer_list<std::string_view> columns) {
    for (std::string_view column : columns) {
        if (!csv.Get(row, column).empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ParseChromeCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                    std::string& error) {
    CCsvExport csv;
    if (!csv.Read(text, ImportFormat::ChromeCsv, {"name", "url", "username", "password"}, error) ||
        !csv.CheckWidths(error)) {
        return false;
    }
    for (std::size_t i = 0; i < csv.RowCount(); ++i) {
        const CsvRow& row = csv.Row(i);
        if (NothingIn(csv, row, {"url", "username", "password", "note"})) {
            batch.skipped.push_back({Where("line", static_cast<std::size_t>(row.line)),
                                     "a login with no address, user name or password"});
            continue;
        }
        CRecord& r = batch.entries.emplace_back(now).record;
        const std::string_view url = csv.Get(row, "url");
        const std::string host = HostOf(url);
        const std::string_view name = csv.Get(row, "name");
        SetField(r, RecordField::SiteName, name.empty() ? std::string_view(host) : name);
        SetField(r, RecordField::Location, url);
        SetField(r, RecordField::UserName, csv.Get(row, "username"));
        SetField(r, RecordField::Password, csv.Get(row, "password"));
        SetField(r, RecordField::Notes, csv.Get(row, "note"));
    }
    return true;
}

bool ParseFirefoxCsv(std::string_view text, DateTimeValue now, ImportBatch& batch,
                     std::string& error) {
    CCsvExport csv;
    if (!csv.Read(text, ImportFormat::FirefoxCsv, {"url", "username", "password"}, error) ||
        !csv.CheckWidths(error)) {
        return false;
    }
    for (std::size_t i = 0; i < csv.RowCount(); ++i) {
        const CsvRow& row = csv.Row(i);
        if (NothingIn(csv, row, {"url", "username", "password"})) {
            batch.skipped.push_back({Where("line", static_cast<std::size_t>(row.line)),
                                     "a login with no address, user name or password"});
            continue;
        }
        CRecord& r = batch.entries.emplace_back(now).record;
        const std::string_view url = csv.Get(row, "url");
        SetField(r, RecordField::SiteName, HostOf(url));
        SetField(r, RecordField::Location, url);
        SetField(r, RecordField::UserName, csv.Get(row, "username"));
        SetField(r, RecordField::Password, csv.Get(row, "password"));
        CNoteExtras extras;
        extras.Add("Realm", csv.Get(row, "httpRealm"));
        extras.AddTo(r);
        SetDates(r, DateFromUnixMillis(csv.Get(row, "timeCreated")),
                 DateFromUnixMillis(csv.Get(row, "timePasswordChanged")));
    }
    return true;
}

}  // namespace zelvant::importers
