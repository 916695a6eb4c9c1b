#pragma once
// File passwords: typed on the terminal without echo, or the lines of standard input.

#include <string>

#include "store/secure.h"
#include "store/zelvant_doc.h"

namespace zelvant::cli {

// The password dialogs of the program take at most this many characters for a legacy file;
// kMaxSealedPasswordChars for a sealed one.
inline constexpr std::size_t kMaxLegacyPasswordChars = 32;
std::size_t MaxPasswordChars(FileForm form);

class PasswordReader {
  public:
    explicit PasswordReader(bool fromStdin) : fromStdin_(fromStdin) {}

    // The password of an existing file. False with a message when none could be had.
    bool Current(SecretText& out, std::string& error);

    // One line as typed, empty or not. `ended`, when given, tells whether standard input had
    // already ended, so that no line was there at all.
    bool Line(const char* prompt, SecretText& out, std::string& error, bool* ended = nullptr);
    bool FromStdin() const { return fromStdin_; }

  private:
    bool fromStdin_;
};

// The document's password prompts on a terminal or standard input. Where the program's dialog
// would stay open after a refused entry, the command gives up instead: one attempt each.
class CliPasswordPrompt : public IPasswordPrompt {
  public:
    explicit CliPasswordPrompt(PasswordReader& reader) : reader_(reader) {}

    bool AskPassword(const std::string& caption, FileForm form, SecretText& password) override;
    bool AskNewPassword(FileForm form, SecretText& password, SecretText& confirmation) override;

    // Reads the new password's line now, for when standard input carries more after it.
    void ReadNewPasswordAhead(FileForm form);
    // On standard input, a line after the new password, when there is one, is its confirmation
    // (only where nothing else follows the password lines).
    void AcceptConfirmationLine() { confirmationLine_ = true; }

    // Why the last prompt gave up, when it was not a refused entry already reported.
    const std::string& Error() const { return error_; }

  private:
    bool ReadNew(FileForm form, SecretText& password, SecretText& confirmation);

    PasswordReader& reader_;
    bool askedCurrent_ = false;
    bool askedNew_ = false;
    bool haveAhead_ = false;
    bool aheadOk_ = false;
    bool confirmationLine_ = false;
    SecretText ahead_;
    SecretText aheadConfirmation_;
    std::string error_;
};

}  // namespace zelvant::cli
