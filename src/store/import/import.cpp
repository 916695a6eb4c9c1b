#include "store/import/import.h"

#include <algorithm>

#include "store/import/import_support.h"
#include "store/json.h"
#include "store/messages.h"
#include "store/text_codec.h"

namespace zelvant {
namespace {

constexpr std::array<ImportFormatInfo, 5> kFormats = {{
    {ImportFormat::KeePassXcCsv, "keepassxc-csv", "KeePassXC CSV export", "KeePassXC", "csv"},
    {ImportFormat::BitwardenJson, "bitwarden-json", "Bitwarden JSON export", "Bitwarden", "json"},
    {ImportFormat::BitwardenCsv, "bitwarden-csv", "Bitwarden CSV export", "Bitwarden", "csv"},
    {ImportFormat::ChromeCsv, "chrome-csv", "Chrome passwords CSV export", "Chrome", "csv"},
    {ImportFormat::FirefoxCsv, "firefox-csv", "Firefox logins CSV export", "Firefox", "csv"},
}};

// The child of `parent` shown with that name, or -1.
FolderIndex ChildNamed(const CFolderSequence& folders, FolderIndex parent, std::string_view name) {
    for (FolderIndex child : ChildFolders(folders, parent)) {
        if (DisplayText(folders.FolderAt(child)->Name()) == name) {
            return child;
        }
    }
    return -1;
}

class CFolderMaker {
  public:
    CFolderMaker(CFolderSequence& folders, ImportSummary& summary)
        : folders_(folders), summary_(summary) {}

    FolderIndex Make(std::string_view name, FolderIndex parent) {
        CFolder* folder = folders_.AppendFolder();
        if (folder == nullptr) {
            return -1;
        }
        folder->SetName(name);
        folder->SetParent(parent);
        if (CFolder* above = folders_.FolderAt(parent)) {
            above->SetExpanded(1);
        }
        ++summary_.folders;
        return folders_.Count() - 1;
    }

    // The folder of the path, made where missing.
    FolderIndex Path(const std::vector<std::string>& names) {
        FolderIndex at = kTopLevel;
        for (const std::string& name : names) {
            FolderIndex next = ChildNamed(folders_, at, name);
            if (next < 0) {
                next = Make(name, at);
                if (next < 0) {
                    return -1;
                }
            }
            at = next;
        }
        return at;
    }

  private:
    CFolderSequence& folders_;
    ImportSummary& summary_;
};

}  // namespace

const std::array<ImportFormatInfo, 5>& ImportFormats() {
    return kFormats;
}

const ImportFormatInfo& FormatInfo(ImportFormat format) {
    return kFormats[static_cast<std::size_t>(format)];
}

std::optional<ImportFormat> ImportFormatNamed(std::string_view name) {
    for (const ImportFormatInfo& info : kFormats) {
        if (info.name == name) {
            return info.format;
        }
    }
    return std::nullopt;
}

std::optional<ImportFormat> DetectImportFormat(std::string_view text) {
    std::string_view rest = text;
    if (rest.starts_with("\xEF\xBB\xBF")) {
        rest.remove_prefix(3);
    }
    const std::size_t first = rest.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && rest[first] == '{') {
        JsonValue root;
        std::string error;
        if (ParseJson(text, root, error) && root.kind == JsonValue::Kind::Object &&
            root.Find("items") != nullptr) {
            return ImportFormat::BitwardenJson;
        }
        return std::nullopt;
    }
    return importers::CsvFormatOf(text);
}

bool ParseImport(ImportFormat format, std::string_view text, DateTimeValue now, ImportBatch& batch,
                 std::string& error) {
    using namespace importers;
    batch = ImportBatch();
    error.clear();
    bool ok = false;
    switch (format) {
        case ImportFormat::KeePassXcCsv:
            ok = ParseKeePassXcCsv(text, now, batch, error);
            break;
        case ImportFormat::BitwardenJson:
            ok = ParseBitwardenJson(text, now, batch, error);
            break;
        case ImportFormat::BitwardenCsv:
            ok = ParseBitwardenCsv(text, now, batch, error);
            break;
        case ImportFormat::ChromeCsv:
            ok = ParseChromeCsv(text, now, batch, error);
            break;
        case ImportFormat::FirefoxCsv:
            ok = ParseFirefoxCsv(text, now, batch, error);
            break;
    }
    if (!ok) {
        batch = ImportBatch();
    }
    return ok;
}

std::string ImportFolderName(ImportFormat format, DateTimeValue now) {
    return std::string(FormatInfo(format).source) + " import " + FormatIso(now, true);
}

ImportSummary ApplyImport(const ImportBatch& batch, CFolderSequence& folders,
                          std::string_view ownFolder) {
    ImportSummary summary;
    summary.skipped = batch.skipped;
    CFolderMaker maker(folders, summary);
    for (const auto& path : batch.folders) {
        maker.Path(path);
    }
    FolderIndex own = -1;
    for (const ImportedEntry& entry : batch.entries) {
        FolderIndex target = -1;
        if (!entry.folder.empty()) {
            target = maker.Path(entry.folder);
        } else {
            if (own < 0) {
                std::string name(ownFolder);
                for (int n = 2; ChildNamed(folders, kTopLevel, name) >= 0; ++n) {
                    name = std::string(ownFolder) + " (" + std::to_string(n) + ")";
                }
                own = maker.Make(name, kTopLevel);
            }
            target = own;
        }
        CFolder* folder = folders.FolderAt(target);
        CRecord* record = folder != nullptr ? folder->AppendRecord() : nullptr;
        if (record == nullptr) {
            summary.skipped.push_back({"", std::string(msg::kNoMemoryRecord)});
            continue;
        }
        *record = entry.record;
        if (summary.records++ == 0) {
            summary.firstFolder = target;
        }
    }
    return summary;
}

std::string ImportSummaryText(const ImportSummary& summary, ImportFormat format,
                              std::size_t listed) {
    auto count = [](int n, std::string_view one, std::string_view many) {
        return std::to_string(n) + " " + std::string(n == 1 ? one : many);
    };
    std::string text = "Imported " + count(summary.records, "record", "records") + " and " +
                       count(summary.folders, "new folder", "new folders") + " from the " +
                       std::string(FormatInfo(format).title) + ".";
    if (!summary.skipped.empty()) {
        text += "\nSkipped " + count(static_cast<int>(summary.skipped.size()), "entry", "entries") +
                ":";
        for (std::size_t i = 0; i < summary.skipped.size() && i < listed; ++i) {
            const ImportSkip& skip = summary.skipped[i];
            text += "\n" + (skip.where.empty() ? std::string() : skip.where + ": ") + skip.reason;
        }
        if (summary.skipped.size() > listed) {
            text += "\n... and " + std::to_string(summary.skipped.size() - listed) + " more";
        }
    }
    return text;
}

}  // namespace zelvant
