// Bitwarden's unencrypted JSON export: {"encrypted": false, "folders": [{"id", "name"}],
// "items": [{"type", "name", "notes", "folderId", "login": {"uris": [{"uri"}], "username",
// "password", "totp"}, "fields": [{"name", "value"}], "creationDate", "revisionDate"}]}.
// Type 1 is a login, 2 a secure note; cards, identities and keys have no place in a record.

#include "store/import/import_support.h"
#include "store/json.h"

namespace zelvant::importers {
namespace {

std::string_view KindName(int type) {
    switch (type) {
        case 3:
            return "a card";
        case 4:
            return "an identity";
        case 5:
            return "an SSH key";
        default:
            return "an item of an unknown type";
    }
}

class CItemReader {
  public:
    explicit CItemReader(std::size_t number) : number_(number) {}

    // The text of a member that may be missing or null; false with `error` when it is no text.
    bool Text(const JsonValue& object, std::string_view key, std::string_view& out,
              std::string& error) const {
        out = {};
        const JsonValue* v = object.Find(key);
        if (v == nullptr || v->kind == JsonValue::Kind::Null) {
            return true;
        }
        if (v->kind != JsonValue::Kind::String) {
            error = Where("item", number_) + ": \"" + std::string(key) + "\" is not a text";
            return false;
        }
        out = v->text;
        return true;
    }

    // A member that may be missing or null, else of the kind given.
    const JsonValue* Optional(const JsonValue& object, std::string_view key, JsonValue::Kind kind,
                              std::string_view what, std::string& error) const {
        const JsonValue* v = object.Find(key);
        if (v == nullptr || v->kind == JsonValue::Kind::Null) {
            return nullptr;
        }
        if (v->kind != kind) {
            error = Where("item", number_) + ": \"" + std::string(key) + "\" is not " +
                    std::string(what);
            return nullptr;
        }
        return v;
    }

  private:
    std::size_t number_;
};

bool ReadFolders(const JsonValue& root,
                 std::vector<std::pair<std::string, std::vector<std::string>>>& ids,
                 ImportBatch& batch, std::string& error) {
    const JsonValue* folders = root.Find("folders");
    if (folders == nullptr || folders->kind == JsonValue::Kind::Null) {
        return true;
    }
    if (folders->kind != JsonValue::Kind::Array) {
        error = "\"folders\" is not a list";
        return false;
    }
    for (std::size_t i = 0; i < folders->items.size(); ++i) {
        const JsonValue& folder = folders->items[i];
        const JsonValue* id = folder.Find("id");
        const JsonValue* name = folder.Find("name");
        if (folder.kind != JsonValue::Kind::Object || id == nullptr || name == nullptr ||
            id->kind != JsonValue::Kind::String || name->kind != JsonValue::Kind::String) {
            error = Where("folder", i + 1) + ": a folder needs an \"id\" and a \"name\"";
            return false;
        }
        ids.emplace_back(id->text, SplitFolderPath(name->text));
        NoteFolder(batch, ids.back().second);
    }
    return true;
}

bool ReadItem(const JsonValue& item, std::size_t number, DateTimeValue now,
              const std::vector<std::pair<std::string, std::vector<std::string>>>& folderIds,
              ImportBatch& batch, std::string& error) {
    const CItemReader read(number);
    const std::string where = Where("item", number);
    if (item.kind != JsonValue::Kind::Object) {
        error = where + ": not an object";
        return false;
    }
    std::int32_t type = 0;
    const JsonValue* typeValue = item.Find("type");
    if (typeValue == nullptr || !JsonToInt32(*typeValue, type)) {
        error = where + ": \"type\" is missing or not a whole number";
        return false;
    }
    std::string_view name;
    std::string_view notes;
    std::string_view folderId;
    if (!read.Text(item, "name", name, error) || !read.Text(item, "notes", notes, error) ||
        !read.Text(item, "folderId", folderId, error)) {
        return false;
    }
    if (type != 1 && type != 2) {
        batch.skipped.push_back({where, std::string(KindName(type)) + " (\"" + std::string(name) +
                                            "\"); only logins and secure notes are imported"});
        return true;
    }
    const JsonValue* login = nullptr;
    const JsonValue* fields =
        read.Optional(item, "fields", JsonValue::Kind::Array, "a list", error);
    if (error.empty() && type == 1) {
        login = read.Optional(item, "login", JsonValue::Kind::Object, "an object", error);
    }
    if (!error.empty()) {
        return false;
    }

    ImportedEntry& entry = batch.entries.emplace_back(now);
    for (const auto& [id, path] : folderIds) {
        if (id == folderId) {
            entry.folder = path;
        }
    }
    CRecord& r = entry.record;
    SetField(r, RecordField::SiteName, name);
    SetField(r, RecordField::Notes, notes);
    CNoteExtras extras;
    if (login != nullptr) {
        std::string_view text;
        for (const auto& [key, field] : {std::pair{"username", RecordField::UserName},
                                         std::pair{"password", RecordField::Password}}) {
            if (!read.Text(*login, key, text, error)) {
                return false;
            }
            SetField(r, field, text);
        }
        if (const JsonValue* uris =
                read.Optional(*login, "uris", JsonValue::Kind::Array, "a list", error)) {
            bool first = true;
            for (const JsonValue& uri : uris->items) {
                if (uri.kind != JsonValue::Kind::Object || !read.Text(uri, "uri", text, error)) {
                    error = where + ": an entry of \"uris\" is not an object with a \"uri\"";
                    return false;
                }
                if (text.empty()) {
                    continue;
                }
                if (first) {
                    SetField(r, RecordField::Location, text);
                    first = false;
                } else {
                    extras.Add("URL", text);
                }
            }
        }
        if (!error.empty() || !read.Text(*login, "totp", text, error)) {
            return false;
        }
        extras.Add("TOTP", text);
    }
    if (fields != nullptr) {
        for (const JsonValue& field : fields->items) {
            std::string_view label;
            std::string_view value;
            if (field.kind != JsonValue::Kind::Object || !read.Text(field, "name", label, error) ||
                !read.Text(field, "value", value, error)) {
                error = where + ": an entry of \"fields\" is not an object with a name and a value";
                return false;
            }
            extras.Add(label.empty() ? "Field" : label, value);
        }
    }
    extras.AddTo(r);
    std::string_view created;
    std::string_view revised;
    if (!read.Text(item, "creationDate", created, error) ||
        !read.Text(item, "revisionDate", revised, error)) {
        return false;
    }
    SetDates(r, DateFromIso(created), DateFromIso(revised));
    return true;
}

}  // namespace

bool ParseBitwardenJson(std::string_view text, DateTimeValue now, ImportBatch& batch,
                        std::string& error) {
    JsonValue root;
    if (!ParseJson(text, root, error)) {
        return false;
    }
    if (root.kind != JsonValue::Kind::Object || root.Find("items") == nullptr) {
        error = "this is not a Bitwarden JSON export: it has no \"items\"";
        return false;
    }
    for (const char* key : {"encrypted", "passwordProtected"}) {
        if (const JsonValue* flag = root.Find(key);
            flag != nullptr && flag->kind == JsonValue::Kind::Bool && flag->boolean) {
            error =
                "this Bitwarden export is encrypted; export the vault again in the format "
                "\"JSON\", not \"JSON (Encrypted)\"";
            return false;
        }
    }
    const JsonValue& items = *root.Find("items");
    if (items.kind != JsonValue::Kind::Array) {
        error = "\"items\" is not a list";
        return false;
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> folderIds;
    if (!ReadFolders(root, folderIds, batch, error)) {
        return false;
    }
    for (std::size_t i = 0; i < items.items.size(); ++i) {
        if (!ReadItem(items.items[i], i + 1, now, folderIds, batch, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace zelvant::importers
