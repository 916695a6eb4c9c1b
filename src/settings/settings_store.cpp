#include "settings/settings_store.h"

#include <charconv>

namespace zelvant::settings {

bool ParseInt32(std::string_view text, int& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = parsed;
    return true;
}

const CMemorySettingsStore::Value* CMemorySettingsStore::Find(std::string_view section,
                                                              std::string_view key) const {
    const auto it = values_.find(Name(section, key));
    return it == values_.end() ? nullptr : &it->second;
}

int CMemorySettingsStore::ReadInt(std::string_view section, std::string_view key, int fallback) {
    const Value* value = Find(section, key);
    if (value == nullptr) {
        return fallback;
    }
    if (const int* number = std::get_if<int>(value)) {
        return *number;
    }
    int parsed = fallback;
    return ParseInt32(std::get<std::string>(*value), parsed) ? parsed : fallback;
}

std::string CMemorySettingsStore::ReadString(std::string_view section, std::string_view key,
                                             std::string_view fallback) {
    const Value* value = Find(section, key);
    if (value == nullptr) {
        return std::string(fallback);
    }
    if (const int* number = std::get_if<int>(value)) {
        return std::to_string(*number);
    }
    return std::get<std::string>(*value);
}

void CMemorySettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
    values_[Name(section, key)] = value;
    Log(section, key);
}

void CMemorySettingsStore::WriteString(std::string_view section, std::string_view key,
                                       std::string_view text) {
    values_[Name(section, key)] = std::string(text);
    Log(section, key);
}

void CMemorySettingsStore::Remove(std::string_view section, std::string_view key) {
    values_.erase(Name(section, key));
    Log(section, key);
}

bool CMemorySettingsStore::Contains(std::string_view section, std::string_view key) {
    return Find(section, key) != nullptr;
}

void CMemorySettingsStore::Log(std::string_view section, std::string_view key) {
    writes_.push_back(std::string(section) + "/" + std::string(key));
}

}  // namespace zelvant::settings
