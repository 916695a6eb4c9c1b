#include "report/report_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "report/engine/template.h"

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

// Writes straight to a descriptor; the page is never left half in a user-space buffer.
class CDescriptorOutput : public COutputStream {
  public:
    explicit CDescriptorOutput(int fd) : fd_(fd) {}
    bool Write(const char* bytes, std::size_t& length) override {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::write(fd_, bytes + done, length - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                failed = true;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        length = done;
        return done > 0;
    }
    bool failed = false;

  private:
    int fd_;
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
    const int err = page.failed ? errno : 0;
    if (::close(fd) != 0 || page.failed) {
        Tell(messages, FileErrorText("write", pagePath, err != 0 ? err : errno));
        return false;
    }
    return ran;
}

}  // namespace zelvant::report
