#pragma once
// The per-user key-value store the settings live in: integers and texts under a section and a
// key. Texts are Unicode, passed as UTF-8. Nothing here reports failures: a key that is absent or
// cannot be read yields the fallback, a write that fails is lost.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zelvant::settings {

class ISettingsStore {
  public:
    virtual ~ISettingsStore() = default;

    // A stored text that is not a whole decimal number, or one outside 32 bits, yields fallback.
    virtual int ReadInt(std::string_view section, std::string_view key, int fallback) = 0;
    // A stored integer reads as its decimal text.
    virtual std::string ReadString(std::string_view section, std::string_view key,
                                   std::string_view fallback) = 0;
    virtual void WriteInt(std::string_view section, std::string_view key, int value) = 0;
    virtual void WriteString(std::string_view section, std::string_view key,
                             std::string_view text) = 0;
    virtual void Remove(std::string_view section, std::string_view key) = 0;
    virtual bool Contains(std::string_view section, std::string_view key) = 0;
};

// Keeps everything in memory, with a log of the writes so that tests can see what was touched.
class CMemorySettingsStore final : public ISettingsStore {
  public:
    using Value = std::variant<int, std::string>;

    int ReadInt(std::string_view section, std::string_view key, int fallback) override;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) override;
    void WriteInt(std::string_view section, std::string_view key, int value) override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view text) override;
    void Remove(std::string_view section, std::string_view key) override;
    bool Contains(std::string_view section, std::string_view key) override;

    // "Section/Key" of every write and removal, oldest first.
    const std::vector<std::string>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }
    const Value* Find(std::string_view section, std::string_view key) const;

  private:
    using Name = std::pair<std::string, std::string>;

    void Log(std::string_view section, std::string_view key);

    std::map<Name, Value> values_;
    std::vector<std::string> writes_;
};

// Parses a whole decimal 32-bit number, with an optional sign; false for anything else.
bool ParseInt32(std::string_view text, int& value);

}  // namespace zelvant::settings
