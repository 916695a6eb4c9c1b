#include "cli/cli_support.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace zelvant::cli {

namespace fs = std::filesystem;

void Print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintError(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

void PrintOwnError(std::string_view text) {
    PrintError(std::string(kProgramName) + ": " + std::string(text));
}

bool CheckReadable(const std::string& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    int err = 0;
    if (!fs::exists(status)) {
        err = ENOENT;
    } else if (fs::is_directory(status)) {
        err = EISDIR;
    }
    if (err != 0) {
        PrintError(FileErrorText("open", path, err));
        return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool CliDocument::OpenOrStart(const std::string& path, bool exists, bool passwordFirst) {
    if (exists) {
        // The current password must open the file before it is changed.
        return CheckReadable(path) && doc.OnOpenDocument(path);
    }
    doc.OnNewDocument();
    if (passwordFirst) {
        prompt.ReadNewPasswordAhead(doc.Form());
    }
    return true;
}

}  // namespace zelvant::cli
