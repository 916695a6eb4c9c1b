#pragma once
// Files that hold secrets in clear. Written ones are readable by the owner only and complete
// before they appear; no buffer that held their bytes is freed unwiped.

#include <initializer_list>
#include <string>
#include <string_view>

namespace zelvant::cli {

// Writes the pieces to a new temporary file beside `path` (mode 0600), flushes it to disk and
// renames it over `path`. On failure nothing is left behind and `error` says why.
bool WritePrivateFile(const std::string& path, std::initializer_list<std::string_view> pieces,
                      std::string& error);

// The whole file, or with "-" the rest of standard input (read unbuffered, so that password
// lines taken from it before stay taken).
bool ReadSecretFile(const std::string& path, std::string& out, std::string& error);

}  // namespace zelvant::cli
