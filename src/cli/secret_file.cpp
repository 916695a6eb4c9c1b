#include "cli/secret_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

#include "store/messages.h"
#include "store/secure.h"

namespace zelvant::cli {

bool WritePrivateFile(const std::string& path, std::initializer_list<std::string_view> pieces,
                      std::string& error) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = FileErrorText("create a file in", dir.string(), errno);
        return false;
    }
    auto fail = [&](std::string_view action, const std::string& name, int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        error = FileErrorText(action, name, err);
        return false;
    };
    for (std::string_view rest : pieces) {
        while (!rest.empty()) {
            const ssize_t n = ::write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return fail("write", temp, n < 0 ? errno : EIO);
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    if (::fsync(fd) != 0) {
        return fail("write", temp, errno);
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = FileErrorText("close", temp, err);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = FileErrorText("replace", path, err);
        return false;
    }
    if (const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool ReadSecretFile(const std::string& path, std::string& out, std::string& error) {
    const bool stdinput = path == "-";
    const int fd = stdinput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = FileErrorText("open", path, errno);
        return false;
    }
    WipedString buffer;
    std::array<char, 65536> chunk{};
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            err = n < 0 ? errno : 0;
            break;
        }
        buffer.append(chunk.data(), static_cast<std::size_t>(n));
    }
    SecureWipe(chunk.data(), chunk.size());
    if (!stdinput) {
        ::close(fd);
    }
    if (err != 0) {
        WipeText(buffer);
        error = FileErrorText("read", stdinput ? "standard input" : path, err);
        return false;
    }
    out.assign(buffer.data(), buffer.size());
    WipeText(buffer);
    return true;
}

}  // namespace zelvant::cli
