#pragma once
// File passwords: typed on the terminal without echo, or the lines of standard input.

#include <string>

#include "store/file_cipher.h"
#include "store/secure.h"

namespace zelvant::cli {

// The password dialogs of the program take at most this many characters.
inline constexpr std::size_t kMaxNewPasswordChars = 32;

class PasswordReader {
  public:
    explicit PasswordReader(bool fromStdin) : fromStdin_(fromStdin) {}

    // The password of an existing file. False with a message when none could be had.
    bool Current(SecretText& out, std::string& error);
    // A new password: typed twice on a terminal, one line from standard input.
    bool New(SecretText& out, std::string& error);

  private:
    bool Line(const char* prompt, SecretText& out, std::string& error);

    bool fromStdin_;
};

// The key of a typed password, by the program's rule for password bytes.
FileKey KeyFromPassword(const WipedString& typed);

}  // namespace zelvant::cli
