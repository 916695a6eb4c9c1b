#include "report/template_files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "store/text_codec.h"

namespace zelvant::report {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExtension = ".zvt";

bool HasTemplateExtension(const std::string& fileName) {
    if (fileName.size() < kExtension.size()) {
        return false;
    }
    const std::string_view tail = std::string_view(fileName).substr(fileName.size() - 4);
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// As a list box sorts: case ignored, then as written so that the order is total.
bool ListOrder(const std::string& a, const std::string& b) {
    const int c = CompareNoCase(a, b);
    return c != 0 ? c < 0 : a < b;
}

// Set when the variable holds an absolute path; anything else would mean the current folder.
std::optional<fs::path> AbsolutePath(const char* value) {
    if (value == nullptr || *value == '\0' || !fs::path(value).is_absolute()) {
        return std::nullopt;
    }
    return fs::path(value);
}

}  // namespace

std::string TemplatesFolder(const std::string& programFolder) {
    return (fs::path(programFolder) / "templates").string();
}

std::vector<std::string> ListTemplates(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string fileName = it->path().filename().string();
        if (!HasTemplateExtension(fileName) || fileName.size() == kExtension.size() ||
            !IsRegularFile(it->path())) {
            continue;
        }
        names.push_back(fileName.substr(0, fileName.size() - kExtension.size()));
    }
    std::sort(names.begin(), names.end(), ListOrder);
    return names;
}

std::string TemplateFilePath(const std::string& folder, const std::string& name) {
    const fs::path exact = fs::path(folder) / (name + ".ZVT");
    if (IsRegularFile(exact)) {
        return exact.string();
    }
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string fileName = it->path().filename().string();
        if (HasTemplateExtension(fileName) && fileName.size() == name.size() + kExtension.size() &&
            fileName.compare(0, name.size(), name) == 0 && IsRegularFile(it->path())) {
            return it->path().string();
        }
    }
    return exact.string();
}

Message MissingTemplateFileMessage(const std::string& path) {
    return {"Cannot find template file\n" + path, MessageIcon::Exclamation, ""};
}

std::vector<TemplateFolder> TemplateFolders(const std::string& programFolder,
                                            const EnvironmentLookup& environment) {
    std::vector<TemplateFolder> folders;
    std::set<fs::path> seen;
    auto add = [&](const fs::path& folder, bool user) {
        const fs::path path = folder.lexically_normal();
        std::error_code ec;
        fs::path key = fs::weakly_canonical(path, ec);
        if (ec) {
            key = path;
        }
        if (seen.insert(key).second) {
            folders.push_back({path.string(), user});
        }
    };
    const fs::path sub = fs::path("zelvant") / "templates";
    if (const auto dataHome = AbsolutePath(environment("XDG_DATA_HOME"))) {
        add(*dataHome / sub, true);
    } else if (const auto home = AbsolutePath(environment("HOME"))) {
        add(*home / ".local" / "share" / sub, true);
    }
    const char* dataDirs = environment("XDG_DATA_DIRS");
    const std::string dirs =
        dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        if (const auto dir = AbsolutePath(dirs.substr(start, end - start).c_str())) {
            add(*dir / sub, false);
        }
        start = end + 1;
    }
    if (fs::path(programFolder).is_absolute()) {
        add(fs::path(programFolder) / ZELVANT_DATA_FROM_BIN / "templates", false);
        add(TemplatesFolder(programFolder), false);
    }
    return folders;
}

std::vector<TemplateFolder> TemplateFolders(const std::string& programFolder) {
    return TemplateFolders(programFolder, [](const char* name) { return std::getenv(name); });
}

std::vector<TemplateEntry> FindTemplates(const std::vector<TemplateFolder>& folders) {
    std::vector<TemplateEntry> entries;
    std::set<std::string> seen;
    for (const TemplateFolder& folder : folders) {
        for (std::string& name : ListTemplates(folder.path)) {
            if (seen.insert(name).second) {
                std::string path = TemplateFilePath(folder.path, name);
                entries.push_back({std::move(name), std::move(path), folder.user});
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [](const TemplateEntry& a, const TemplateEntry& b) {
        return ListOrder(a.name, b.name);
    });
    return entries;
}

std::optional<TemplateEntry> FindTemplate(const std::vector<TemplateFolder>& folders,
                                          const std::string& name) {
    // A name never leads out of the folders.
    if (name.empty() || name.find('/') != std::string::npos) {
        return std::nullopt;
    }
    for (const TemplateFolder& folder : folders) {
        std::string path = TemplateFilePath(folder.path, name);
        if (IsRegularFile(path)) {
            return TemplateEntry{name, std::move(path), folder.user};
        }
    }
    return std::nullopt;
}

}  // namespace zelvant::report
