#include "store/document_json.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "store/display.h"
#include "store/json.h"
#include "store/messages.h"
#include "store/secure.h"
#include "store/text_codec.h"

namespace zelvant {
namespace {

constexpr std::string_view kFormat = "zelvant-json";
constexpr std::int32_t kJsonVersion = 1;
constexpr std::string_view kCp1252Key = "windows1252";
constexpr std::string_view kNaNPrefix = "NaN:0x";

using RF = RecordField;
constexpr std::array<RecordField, 9> kTextOrder = {RF::SiteName,    RF::Location,      RF::Email,
                                                   RF::AccountName, RF::AccountNumber, RF::UserName,
                                                   RF::Password,    RF::Pin,           RF::Notes};

std::string ToStdString(WipedString& text) {
    std::string out(text.data(), text.size());
    WipeText(text);
    return out;
}

// Writes one text; bytes that are not UTF-8 go out decoded and their key is noted.
void WriteText(JsonWriter& w, std::string_view key, std::string_view stored,
               std::vector<std::string_view>& cp1252Keys) {
    w.Key(key);
    if (IsValidUtf8(stored)) {
        w.String(stored);
        return;
    }
    std::string decoded = Cp1252ToUtf8(stored);
    w.String(decoded);
    WipeString(decoded);
    cp1252Keys.push_back(key);
}

void WriteCp1252Keys(JsonWriter& w, const std::vector<std::string_view>& keys) {
    if (keys.empty()) {
        return;
    }
    w.Key(kCp1252Key);
    w.BeginArray();
    for (auto k : keys) {
        w.String(k);
    }
    w.EndArray();
}

void WriteDouble(JsonWriter& w, double v) {
    if (std::isfinite(v)) {
        w.RawNumber(FormatJsonDouble(v));
    } else if (std::isinf(v)) {
        w.String(v > 0 ? "Infinity" : "-Infinity");
    } else {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.*s%016llx", static_cast<int>(kNaNPrefix.size()),
                      kNaNPrefix.data(),
                      static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(v)));
        w.String(buf);
    }
}

void WriteDate(JsonWriter& w, std::string_view key, DateTimeValue d) {
    w.Key(key);
    w.BeginObject();
    w.Key("oa");
    WriteDouble(w, d.oa);
    w.Key("status");
    w.Int(d.status);
    w.EndObject();
}

void WriteRecord(JsonWriter& w, const CRecord& r) {
    std::vector<std::string_view> cp1252;
    w.BeginObject();
    for (RecordField f : kTextOrder) {
        WriteText(w, InfoOf(f).jsonKey, r.GetText(f), cp1252);
    }
    for (RecordField f : {RF::Reserved, RF::HasExpiry}) {
        w.Key(InfoOf(f).jsonKey);
        w.Int(r.GetInt(f));
    }
    for (RecordField f : {RF::Created, RF::Modified, RF::ExpiresOn}) {
        WriteDate(w, InfoOf(f).jsonKey, r.GetDate(f));
    }
    WriteCp1252Keys(w, cp1252);
    w.EndObject();
}

std::string Member(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Item(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// Reads a document tree into the folder sequence; the first failure is kept in `error`.
class Importer {
  public:
    explicit Importer(CFolderSequence& folders)
        : folders_(folders), base_(folders.Count()), now_(NowLocal()) {}

    bool Run(const JsonValue& root, JsonImportResult& result) {
        if (root.kind != JsonValue::Kind::Object) {
            return Fail("", "the document must be a JSON object");
        }
        const JsonValue* format = root.Find("format");
        if (format == nullptr) {
            return Fail("format", "missing; this is not a Zelvant JSON document");
        }
        if (format->kind != JsonValue::Kind::String || format->text != kFormat) {
            return Fail("format", "must be \"zelvant-json\"");
        }
        const JsonValue* version = root.Find("version");
        std::int32_t v = 0;
        if (version == nullptr) {
            return Fail("version", "missing");
        }
        if (!JsonToInt32(*version, v) || v != kJsonVersion) {
            return Fail("version", "must be 1, the only version this program reads");
        }
        std::vector<std::string_view> cp1252;
        if (!ReadCp1252Keys(root, "", {"columnLayout"}, cp1252) ||
            !ReadText(root, "columnLayout", "", cp1252, result.columnLayout)) {
            return false;
        }
        const JsonValue* list = root.Find("folders");
        if (list == nullptr) {
            return true;
        }
        if (list->kind != JsonValue::Kind::Array) {
            return Fail("folders", "must be an array");
        }
        for (std::size_t i = 0; i < list->items.size(); ++i) {
            if (!ReadFolder(list->items[i], i)) {
                return false;
            }
        }
        return true;
    }

    // Takes the sequence back to what it held before.
    void Undo() {
        while (folders_.Count() > base_) {
            const FolderIndex last = folders_.Count() - 1;
            folders_.FolderAt(last)->RemoveAllRecords();
            folders_.RemoveFolder(last);
        }
    }

    std::string error;

  private:
    bool Fail(const std::string& path, std::string_view what) {
        error = path.empty() ? std::string(what) : path + ": " + std::string(what);
        return false;
    }

    bool IsObject(const JsonValue& v, const std::string& path) {
        return v.kind == JsonValue::Kind::Object || Fail(path, "must be an object");
    }

    bool ReadCp1252Keys(const JsonValue& obj, const std::string& path,
                        std::initializer_list<std::string_view> allowed,
                        std::vector<std::string_view>& out) {
        const JsonValue* list = obj.Find(kCp1252Key);
        const std::string where = Member(path, kCp1252Key);
        if (list == nullptr) {
            return true;
        }
        if (list->kind != JsonValue::Kind::Array) {
            return Fail(where, "must be an array of keys");
        }
        for (std::size_t i = 0; i < list->items.size(); ++i) {
            const JsonValue& item = list->items[i];
            if (item.kind != JsonValue::Kind::String) {
                return Fail(Item(where, i), "must be a string");
            }
            bool known = false;
            for (auto key : allowed) {
                if (item.text == key) {
                    out.push_back(key);
                    known = true;
                }
            }
            if (!known) {
                return Fail(Item(where, i), "\"" + item.text + "\" is not a text of this object");
            }
        }
        return true;
    }

    bool ReadText(const JsonValue& obj, std::string_view key, const std::string& path,
                  const std::vector<std::string_view>& cp1252, std::string& out) {
        const JsonValue* v = obj.Find(key);
        if (v == nullptr) {
            return true;
        }
        if (v->kind != JsonValue::Kind::String) {
            return Fail(Member(path, key), "must be a string");
        }
        if (std::find(cp1252.begin(), cp1252.end(), key) == cp1252.end()) {
            out.assign(v->text);
            return true;
        }
        auto bytes = Utf8ToCp1252(v->text);
        if (!bytes) {
            return Fail(Member(path, key), "holds a character that Windows-1252 has no byte for");
        }
        out.swap(*bytes);
        WipeString(*bytes);
        return true;
    }

    bool ReadInt(const JsonValue& obj, std::string_view key, const std::string& path,
                 std::int32_t& out) {
        const JsonValue* v = obj.Find(key);
        if (v == nullptr) {
            return true;
        }
        return JsonToInt32(*v, out) ||
               Fail(Member(path, key), "must be an integer from -2147483648 to 2147483647");
    }

    bool ReadDouble(const JsonValue& v, const std::string& path, double& out) {
        if (v.kind == JsonValue::Kind::Number) {
            return JsonToDouble(v, out) || Fail(path, "is out of range");
        }
        if (v.kind == JsonValue::Kind::String) {
            const std::string_view s = v.text;
            if (s == "Infinity" || s == "-Infinity") {
                out = (s[0] == '-' ? -1 : 1) * std::numeric_limits<double>::infinity();
                return true;
            }
            if (s == "NaN") {
                out = std::numeric_limits<double>::quiet_NaN();
                return true;
            }
            std::uint64_t bits = 0;
            if (s.starts_with(kNaNPrefix) && s.size() == kNaNPrefix.size() + 16) {
                const char* first = s.data() + kNaNPrefix.size();
                const auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), bits, 16);
                const double d = std::bit_cast<double>(bits);
                if (ec == std::errc() && ptr == s.data() + s.size() && std::isnan(d)) {
                    out = d;
                    return true;
                }
            }
        }
        return Fail(path, "must be a number, \"Infinity\", \"-Infinity\" or \"NaN\"");
    }

    bool ReadDate(const JsonValue& obj, std::string_view key, const std::string& path,
                  DateTimeValue& out) {
        const JsonValue* v = obj.Find(key);
        if (v == nullptr) {
            return true;
        }
        const std::string where = Member(path, key);
        if (v->kind != JsonValue::Kind::Object) {
            return Fail(where, "must be an object with \"oa\" and \"status\"");
        }
        out.status = 0;
        const JsonValue* oa = v->Find("oa");
        return (oa == nullptr || ReadDouble(*oa, Member(where, "oa"), out.oa)) &&
               ReadInt(*v, "status", where, out.status);
    }

    bool ReadRecord(const JsonValue& v, const std::string& path, CFolder& folder) {
        if (!IsObject(v, path)) {
            return false;
        }
        CRecord* record = folder.AppendRecord(now_);
        if (record == nullptr) {
            return Fail(path, msg::kNoMemoryRecord);
        }
        std::vector<std::string_view> cp1252;
        if (!ReadCp1252Keys(v, path,
                            {"siteName", "location", "email", "accountName", "accountNumber",
                             "userName", "password", "pin", "notes"},
                            cp1252)) {
            return false;
        }
        for (const auto& info : AllFields()) {
            bool ok = true;
            switch (info.kind) {
                case FieldKind::Text: {
                    std::string text;
                    ok = ReadText(v, info.jsonKey, path, cp1252, text);
                    record->SetText(info.field, text);
                    WipeString(text);
                    break;
                }
                case FieldKind::Integer: {
                    std::int32_t n = record->GetInt(info.field);
                    ok = ReadInt(v, info.jsonKey, path, n);
                    record->SetInt(info.field, n);
                    break;
                }
                case FieldKind::Date: {
                    DateTimeValue d = record->GetDate(info.field);
                    ok = ReadDate(v, info.jsonKey, path, d);
                    record->SetDate(info.field, d);
                    break;
                }
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    }

    bool ReadFolder(const JsonValue& v, std::size_t index) {
        const std::string path = Item("folders", index);
        if (!IsObject(v, path)) {
            return false;
        }
        CFolder* folder = folders_.AppendFolder();
        if (folder == nullptr) {
            return Fail(path, msg::kNoMemoryFolder);
        }
        std::vector<std::string_view> cp1252;
        std::string name;
        std::int32_t parent = kTopLevel;
        std::int32_t expanded = 0;
        const bool ok =
            ReadCp1252Keys(v, path, {"name"}, cp1252) && ReadText(v, "name", path, cp1252, name) &&
            ReadInt(v, "parent", path, parent) && ReadInt(v, "expanded", path, expanded);
        folder->SetName(name);
        WipeString(name);
        if (!ok) {
            return false;
        }
        // The folder tree is built in one pass, so a parent must come first.
        if (parent != kTopLevel && (parent < 0 || static_cast<std::size_t>(parent) >= index)) {
            return Fail(Member(path, "parent"), "must be -1 or the index of an earlier folder");
        }
        folder->SetParent(parent == kTopLevel ? kTopLevel : parent + base_);
        folder->SetExpanded(expanded);
        const JsonValue* records = v.Find("records");
        if (records == nullptr) {
            return true;
        }
        if (records->kind != JsonValue::Kind::Array) {
            return Fail(Member(path, "records"), "must be an array");
        }
        folder->ReserveRecords(records->items.size());
        for (std::size_t j = 0; j < records->items.size(); ++j) {
            if (!ReadRecord(records->items[j], Item(Member(path, "records"), j), *folder)) {
                return false;
            }
        }
        return true;
    }

    CFolderSequence& folders_;
    FolderIndex base_;
    DateTimeValue now_;
};

void AppendCsvField(WipedString& out, std::string_view value) {
    out += '"';
    for (char c : value) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

}  // namespace

std::string ExportJson(const CFolderSequence& folders, std::string_view columnLayout,
                       std::int32_t fileVersion) {
    JsonWriter w;
    std::vector<std::string_view> cp1252;
    w.BeginObject();
    w.Key("format");
    w.String(kFormat);
    w.Key("version");
    w.Int(kJsonVersion);
    w.Key("fileVersion");
    w.Int(fileVersion);
    WriteText(w, "columnLayout", columnLayout, cp1252);
    WriteCp1252Keys(w, cp1252);
    w.Key("folders");
    w.BeginArray();
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const CFolder& folder = *folders.FolderAt(i);
        cp1252.clear();
        w.BeginObject();
        WriteText(w, "name", folder.Name(), cp1252);
        w.Key("parent");
        w.Int(folder.Parent());
        w.Key("expanded");
        w.Int(folder.Expanded());
        WriteCp1252Keys(w, cp1252);
        w.Key("records");
        w.BeginArray();
        for (int r = 0; r < folder.RecordCount(); ++r) {
            WriteRecord(w, *folder.RecordAt(r));
        }
        w.EndArray();
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    return ToStdString(w.Text());
}

JsonImportResult ImportJson(std::string_view json, CFolderSequence& folders) {
    JsonImportResult result;
    JsonValue root;
    if (!ParseJson(json, root, result.error)) {
        return result;
    }
    Importer importer(folders);
    if (!importer.Run(root, result)) {
        importer.Undo();
        result.error = std::move(importer.error);
        result.columnLayout.clear();
        return result;
    }
    result.ok = true;
    return result;
}

std::string ExportCsv(const CFolderSequence& folders) {
    WipedString out;
    AppendCsvField(out, "Folder");
    for (RecordField f : VisibleFields()) {
        out += ',';
        AppendCsvField(out, InfoOf(f).label);
    }
    out += "\r\n";
    for (const FolderNode& node : DisplayOrder(folders)) {
        const CFolder& folder = *folders.FolderAt(node.index);
        const std::string path = DisplayFolderPath(folders, node.index);
        for (int r = 0; r < folder.RecordCount(); ++r) {
            AppendCsvField(out, path);
            for (RecordField f : VisibleFields()) {
                std::string text = FieldDisplayText(*folder.RecordAt(r), f);
                out += ',';
                AppendCsvField(out, text);
                WipeString(text);
            }
            out += "\r\n";
        }
    }
    return ToStdString(out);
}

}  // namespace zelvant
