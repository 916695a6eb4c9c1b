#pragma once
// How the store tells the user about failures without knowing who shows the message.

#include <string>
#include <string_view>
#include <vector>

namespace zelvant {

enum class MessageIcon { Stop, Exclamation, Warning, Information, Question };

struct Message {
    std::string text;
    MessageIcon icon = MessageIcon::Stop;
    std::string caption;  // empty: the program's name
};

class IMessageSink {
  public:
    virtual ~IMessageSink() = default;
    virtual void ShowMessage(const Message& message) = 0;
};

// Keeps every message; for tests and for front ends that print them later.
class CMessageLog : public IMessageSink {
  public:
    void ShowMessage(const Message& message) override { messages.push_back(message); }
    std::vector<Message> messages;
};

namespace msg {
// 61451
inline constexpr std::string_view kBadFile =
    "Unable to open file. Either the password is incorrect, the file is not an Zelvant file or "
    "the file is corrupt";
// "/n" is two visible characters, as the program has always shown it.
inline constexpr std::string_view kVersionTooNew =
    "Unable to read Zelvant file - file type version %d/nPlease upgrade Zelvant to the latest "
    "version";
inline constexpr std::string_view kNoMemoryRecord = "Out of memory. Unable to create new record.";
inline constexpr std::string_view kNoMemoryFolder = "Out of memory. Unable to create new folder.";
// A sealed file's key needs its derivation's memory (up to 1 GiB) at once.
inline constexpr std::string_view kNoMemoryKey =
    "Out of memory. Unable to derive the key of the file.";
// 61448
inline constexpr std::string_view kEmptyPassword = "You have not entered a password!";
// 61449
inline constexpr std::string_view kPasswordMismatch =
    "Password and confirmation are not identical!";
}  // namespace msg

// Replaces the first "%d" in a message text with a signed number.
std::string FormatMessage(std::string_view text, long long number);

// The system's text for a failed file operation, naming the file.
std::string FileErrorText(std::string_view action, std::string_view path, int errorNumber);

}  // namespace zelvant
