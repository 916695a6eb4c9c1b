#include "report/report_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "report/engine/template.h"
#include "store/secure.h"

namespace zelvant::report {
namespace {

namespace fs = std::filesystem;

class CFileSource : public CSourceStream {
  public:
    explicit CFileSource(std::FILE* file) : file_(file) {}
    std::size_t Read(char* buffer, std::size_t maximum) override {
        return std::fread(buffer, 1, maximum, file_);
    }

  private:
    std::FILE* file_;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Collects the page in blocks and writes each block whole: a report makes millions of small
// writes, far too many for one system call each. The blocks may hold passwords: wiped.
class CDescriptorOutput : public COutputStream {
  public:
    explicit CDescriptorOutput(int fd) : fd_(fd) { buffer_.reserve(kBlock); }
    CDescriptorOutput(const CDescriptorOutput&) = delete;
    CDescriptorOutput& operator=(const CDescriptorOutput&) = delete;
    ~CDescriptorOutput() override { SecureWipe(buffer_.data(), buffer_.capacity()); }

    bool Write(const char* bytes, std::size_t& length) override {
        if (failed) {
            length = 0;
            return false;
        }
        if (buffer_.size() + length > kBlock && !Flush()) {
            length = 0;
            return false;
        }
        if (length >= kBlock) {
            return WriteAll(bytes, length);
        }
        buffer_.insert(buffer_.end(), bytes, bytes + length);
        return length > 0;
    }

    // Writes what is still collected; false once anything could not be written.
    bool Flush() {
        std::size_t n = buffer_.size();
        const bool ok = n == 0 || WriteAll(buffer_.data(), n);
        SecureWipe(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok && !failed;
    }

    bool failed = false;
    int error = 0;

  private:
    static constexpr std::size_t kBlock = 1 << 16;

    bool WriteAll(const char* bytes, std::size_t& length) {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::write(fd_, bytes + done, length - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                failed = true;
                error = n < 0 ? errno : EIO;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        length = done;
        return done > 0;
    }

    int fd_;
    std::vector<char> buffer_;
};

void Tell(IMessageSink& messages, std::string text) {
    messages.ShowMessage({std::move(text), MessageIcon::Exclamation, ""});
}

}  // namespace

bool RunReport(const std::string& templatePath, COutputStream& page, CEnvironment& environment,
               COutputStream& diagnostics, IMessageSink& messages, const RunOptions& options) {
    std::error_code ec;
    std::unique_ptr<std::FILE, FileCloser> file;
    if (!fs::is_directory(templatePath, ec)) {
        file.reset(std::fopen(templatePath.c_str(), "rb"));
    }
    if (!file) {
        Tell(messages, "Cannot open " + templatePath);
        return false;
    }
    CTemplateSet templates;
    CFileSource source(file.get());
    templates.Load(source, diagnostics);
    const CTemplate* start = templates.Find("start");
    if (start == nullptr) {
        Tell(messages, "Cannot find template in " + templatePath);
        return false;
    }
    Run(*start, &environment, page, nullptr, options);
    return true;
}

bool RunReportToFile(const std::string& templatePath, const std::string& pagePath,
                     CEnvironment& environment, COutputStream& diagnostics, IMessageSink& messages,
                     const RunOptions& options) {
    // The page is only touched once the template is known to be there.
    std::error_code ec;
    if (fs::is_directory(templatePath, ec) || ::access(templatePath.c_str(), R_OK) != 0) {
        Tell(messages, "Cannot open " + templatePath);
        return false;
    }
    const int fd = ::open(pagePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        Tell(messages, FileErrorText("create", pagePath, errno));
        return false;
    }
    // An older page may have been readable by others.
    ::fchmod(fd, 0600);
    CDescriptorOutput page(fd);
    const bool ran = RunReport(templatePath, page, environment, diagnostics, messages, options);
    const bool written = page.Flush();
    const int closeError = ::close(fd) != 0 ? errno : 0;
    if (!written || closeError != 0) {
        Tell(messages, FileErrorText("write", pagePath, !written ? page.error : closeError));
        return false;
    }
    return ran;
}

}  // namespace zelvant::report
