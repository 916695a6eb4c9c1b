#include "cli/address.h"

#include <charconv>
#include <optional>
#include <vector>

#include "store/display.h"
#include "store/text_codec.h"

namespace zelvant::cli {
namespace {

struct IndexAddress {
    FolderIndex folder;
    std::optional<int> record;
};

std::optional<int> ParseNumber(std::string_view s) {
    int n = 0;
    if (s.empty() || s.front() < '0' || s.front() > '9') {
        return std::nullopt;
    }
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    return n;
}

// "#N" or "#N/M"; anything else is a path, even when it starts with '#'.
std::optional<IndexAddress> ParseIndex(std::string_view address) {
    if (!address.starts_with('#')) {
        return std::nullopt;
    }
    address.remove_prefix(1);
    const std::size_t slash = address.find('/');
    const auto folder = ParseNumber(address.substr(0, slash));
    if (!folder) {
        return std::nullopt;
    }
    if (slash == std::string_view::npos) {
        return IndexAddress{*folder, std::nullopt};
    }
    const auto record = ParseNumber(address.substr(slash + 1));
    if (!record) {
        return std::nullopt;
    }
    return IndexAddress{*folder, record};
}

std::string Quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

Resolved Fail(std::string error) {
    Resolved r;
    r.error = std::move(error);
    return r;
}

Resolved FromCandidates(const std::vector<Resolved>& found, std::string_view address,
                        std::string_view what) {
    if (found.empty()) {
        return Fail("no " + std::string(what) + " " + Quoted(address));
    }
    if (found.size() == 1) {
        return found.front();
    }
    std::string error = Quoted(address) + " names more than one " + std::string(what) + ": ";
    for (std::size_t i = 0; i < found.size(); ++i) {
        error += (i == 0 ? "" : ", ") + FormatAddress(found[i].folder, found[i].record);
    }
    return Fail(error + "; use one of these addresses instead");
}

Resolved Found(FolderIndex folder, int record = -1) {
    Resolved r;
    r.ok = true;
    r.folder = folder;
    r.record = record;
    return r;
}

std::vector<Resolved> FoldersAt(const CFolderSequence& folders, std::string_view path) {
    std::vector<Resolved> found;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        if (DisplayFolderPath(folders, i) == path) {
            found.push_back(Found(i));
        }
    }
    return found;
}

}  // namespace

std::string FormatAddress(FolderIndex folder, int record) {
    std::string s = "#" + std::to_string(folder);
    if (record >= 0) {
        s += "/" + std::to_string(record);
    }
    return s;
}

Resolved ResolveFolder(const CFolderSequence& folders, std::string_view address) {
    if (const auto index = ParseIndex(address)) {
        if (index->record) {
            return Fail(Quoted(address) + " is a record; a folder is named by its path or #N");
        }
        if (folders.FolderAt(index->folder) == nullptr) {
            return Fail("no folder " + FormatAddress(index->folder));
        }
        return Found(index->folder);
    }
    auto found = FoldersAt(folders, address);
    // The tree shows folders as "name/", so a copied trailing slash is forgiven.
    if (found.empty() && address.size() > 1 && address.ends_with('/')) {
        found = FoldersAt(folders, address.substr(0, address.size() - 1));
    }
    return FromCandidates(found, address, "folder");
}

Resolved ResolveRecord(const CFolderSequence& folders, std::string_view address) {
    if (const auto index = ParseIndex(address)) {
        if (!index->record) {
            return Fail(Quoted(address) + " is a folder; a record is named by its path or #N/M");
        }
        const CFolder* folder = folders.FolderAt(index->folder);
        if (folder == nullptr) {
            return Fail("no folder " + FormatAddress(index->folder));
        }
        if (folder->RecordAt(*index->record) == nullptr) {
            return Fail("folder " + FormatAddress(index->folder) + " has no record " +
                        std::to_string(*index->record));
        }
        return Found(index->folder, *index->record);
    }
    // Names may hold "/" themselves, so whole shown paths are compared rather than parts.
    std::vector<Resolved> found;
    for (FolderIndex i = 0; i < folders.Count(); ++i) {
        const std::string path = DisplayFolderPath(folders, i);
        if (address.size() <= path.size() || !address.starts_with(path) ||
            address[path.size()] != '/') {
            continue;
        }
        const std::string_view site = address.substr(path.size() + 1);
        const CFolder& folder = *folders.FolderAt(i);
        for (int r = 0; r < folder.RecordCount(); ++r) {
            if (DisplayText(folder.RecordAt(r)->GetText(RecordField::SiteName)) == site) {
                found.push_back(Found(i, r));
            }
        }
    }
    return FromCandidates(found, address, "record");
}

}  // namespace zelvant::cli
