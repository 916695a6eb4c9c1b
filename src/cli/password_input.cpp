#include "cli/password_input.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include "store/messages.h"
#include "store/text_codec.h"

namespace zelvant::cli {
namespace {

// What the signal handlers need to put the terminal back. g_ttyFd is set last and cleared first.
volatile std::sig_atomic_t g_ttyFd = -1;
termios g_saved{};
termios g_quiet{};

constexpr std::array<int, 5> kFatalSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

extern "C" void OnSignal(int sig) {
    const int fd = g_ttyFd;
    if (fd < 0) {
        return;
    }
    if (sig == SIGCONT) {
        // Back from a stop: hide the typing again and be ready for the next stop.
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigaction(SIGTSTP, &sa, nullptr);
        tcsetattr(fd, TCSANOW, &g_quiet);
        return;
    }
    tcsetattr(fd, TCSANOW, &g_saved);
    // The signal is blocked until the handler returns; then its default action runs.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(sig, &dfl, nullptr);
    raise(sig);
}

// Turns echo off for its lifetime and restores the terminal however the prompt ends.
class QuietTerminal {
  public:
    QuietTerminal(int fd, const termios& saved) : fd_(fd) {
        g_saved = saved;
        g_quiet = saved;
        g_quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        for (std::size_t i = 0; i < kFatalSignals.size(); ++i) {
            sigaction(kFatalSignals[i], &sa, &old_[i]);
        }
        sigaction(SIGCONT, &sa, &oldCont_);
        g_ttyFd = fd;
        tcsetattr(fd, TCSAFLUSH, &g_quiet);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;
    ~QuietTerminal() {
        tcsetattr(fd_, TCSAFLUSH, &g_saved);
        g_ttyFd = -1;
        for (std::size_t i = 0; i < kFatalSignals.size(); ++i) {
            sigaction(kFatalSignals[i], &old_[i], nullptr);
        }
        sigaction(SIGCONT, &oldCont_, nullptr);
    }

  private:
    int fd_;
    std::array<struct sigaction, kFatalSignals.size()> old_{};
    struct sigaction oldCont_ {};
};

// One line from fd without its line end. False on a read error; end of input ends the line.
bool ReadLine(int fd, WipedString& out, bool* ended = nullptr) {
    out.reserve(128);
    if (ended != nullptr) {
        *ended = false;
    }
    for (bool first = true;; first = false) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0 && first && ended != nullptr) {
            *ended = true;
        }
        if (n == 0 || c == '\n') {
            break;
        }
        out += c;
        c = 0;
    }
    if (!out.empty() && out.back() == '\r') {
        out.pop_back();
    }
    return true;
}

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool ReadFromTerminal(const char* prompt, WipedString& out, std::string& error) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = "zelvant-cli: no terminal to read the password from; use --password-stdin";
        return false;
    }
    termios saved{};
    if (tcgetattr(fd, &saved) != 0) {
        ::close(fd);
        error = "zelvant-cli: cannot use the terminal: " + std::string(std::strerror(errno));
        return false;
    }
    bool ok = false;
    {
        QuietTerminal quiet(fd, saved);
        WriteAll(fd, prompt);
        ok = ReadLine(fd, out);
        // The newline the user typed was not echoed.
        WriteAll(fd, "\n");
    }
    ::close(fd);
    if (!ok) {
        error = "zelvant-cli: cannot read the password from the terminal";
    }
    return ok;
}

}  // namespace

std::size_t MaxPasswordChars(FileForm form) {
    return form == FileForm::Sealed ? kMaxSealedPasswordChars : kMaxLegacyPasswordChars;
}

bool PasswordReader::Line(const char* prompt, SecretText& out, std::string& error, bool* ended) {
    WipeText(out.text);
    if (ended != nullptr) {
        *ended = false;
    }
    if (fromStdin_) {
        if (!ReadLine(STDIN_FILENO, out.text, ended)) {
            error = "zelvant-cli: cannot read the password from standard input";
            return false;
        }
        return true;
    }
    return ReadFromTerminal(prompt, out.text, error);
}

bool PasswordReader::Current(SecretText& out, std::string& error) {
    if (!Line("Password: ", out, error)) {
        return false;
    }
    if (out.text.empty()) {
        error = msg::kEmptyPassword;
        return false;
    }
    return true;
}

bool CliPasswordPrompt::AskPassword(const std::string&, FileForm, SecretText& password) {
    error_.clear();
    if (std::exchange(askedCurrent_, true)) {
        return false;
    }
    return reader_.Line("Password: ", password, error_);
}

bool CliPasswordPrompt::AskNewPassword(FileForm form, SecretText& password,
                                       SecretText& confirmation) {
    if (std::exchange(askedNew_, true)) {
        error_.clear();
        return false;
    }
    if (haveAhead_) {
        password.text = ahead_.text;
        confirmation.text = aheadConfirmation_.text;
        return aheadOk_;
    }
    return ReadNew(form, password, confirmation);
}

void CliPasswordPrompt::ReadNewPasswordAhead(FileForm form) {
    if (!haveAhead_) {
        aheadOk_ = ReadNew(form, ahead_, aheadConfirmation_);
        haveAhead_ = true;
    }
}

bool CliPasswordPrompt::ReadNew(FileForm form, SecretText& password, SecretText& confirmation) {
    error_.clear();
    if (!reader_.Line("New password: ", password, error_)) {
        return false;
    }
    const std::size_t most = MaxPasswordChars(form);
    if (CharacterCount(std::string_view(password.text)) > most) {
        error_ = "zelvant-cli: the password is too long; a password has at most " +
                 std::to_string(most) + " characters";
        return false;
    }
    if (password.text.empty()) {
        confirmation.text = password.text;
        return true;
    }
    if (reader_.FromStdin()) {
        bool ended = false;
        if (!confirmationLine_ || !reader_.Line("", confirmation, error_, &ended)) {
            confirmation.text = password.text;
            return error_.empty();
        }
        if (ended) {
            confirmation.text = password.text;
        }
        return true;
    }
    return reader_.Line("Confirm password: ", confirmation, error_);
}

}  // namespace zelvant::cli
