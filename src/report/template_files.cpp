#include "report/template_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = CompareNoCase(a, b);
        return c != 0 ? c < 0 : a < b;
    });
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

}  // namespace zelvant::report
