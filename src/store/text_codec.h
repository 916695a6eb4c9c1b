#pragma once
// Stored texts are byte strings: new text is UTF-8, older files hold Windows-1252.
// These helpers decide how such bytes are shown, compared and how passwords become bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zelvant {

bool IsValidUtf8(std::string_view bytes);

// Appends one character, encoded as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined map to the
// C1 controls of the same value, so the decoding can always be reversed.
std::string Cp1252ToUtf8(std::string_view bytes);

// None when the text is not UTF-8 or holds a character Windows-1252 has no byte for.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

// What the user sees of stored bytes, as UTF-8: UTF-8 as it is, anything else read as Windows-1252.
std::string DisplayText(std::string_view stored);

// The bytes a typed password (UTF-8) stands for in the file key: Windows-1252 when every
// character has a byte there, so passwords made on older installations keep working; else UTF-8.
std::string PasswordBytes(std::string_view typedUtf8);

// The start of a typed password (UTF-8) whose bytes, as PasswordBytes forms them, are the first
// `keyBytes` of the key; the rest of the password makes no difference to the key.
std::string KeyedPasswordPart(std::string_view typedUtf8, std::size_t keyBytes);

// Number of characters a stored text shows as.
std::size_t CharacterCount(std::string_view stored);

// Case-insensitive order of stored texts, by their characters (not the locale's collation).
int CompareNoCase(std::string_view a, std::string_view b);

// The characters of a stored text with case folded as CompareNoCase folds it, as UTF-8.
std::string FoldCaseText(std::string_view stored);

}  // namespace zelvant
