// The column set and cell ordering of the report list: plain data, no widgets.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "controls/report_ctrl.h"

namespace zelvant::controls {

namespace {

// Wider than any screen; keeps a hostile layout text from overflowing the header's arithmetic.
constexpr int kMaxColumnSize = 1 << 16;
constexpr std::size_t kCompareLength = 255;

// Reads a decimal number the way the layout has always been read: leading blanks skipped, an
// optional sign, then digits. Advances past what was read.
std::optional<int> ReadNumber(std::string_view text, std::size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    std::size_t start = at;
    if (start < text.size() && text[start] == '+') {
        ++start;
    }
    int value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end == first) {
        return std::nullopt;
    }
    at = static_cast<std::size_t>(end - text.data());
    return value;
}

bool Skip(std::string_view text, std::size_t& at) {
    if (at >= text.size()) {
        return false;
    }
    ++at;
    return true;
}

const ColumnDefinition& NoDefinition() {
    static const ColumnDefinition none{};
    return none;
}

}  // namespace

void CColumnSet::Define(int subitem, ColumnDefinition definition) {
    subitem = std::clamp(subitem, 0, DefinedCount());
    if (definition.size < 0) {
        definition.size = kDefaultColumnSize;
    }
    const int size = definition.size;
    definitions_.insert(definitions_.begin() + subitem, std::move(definition));
    sizes_.insert(sizes_.begin() + subitem, size);
    for (int& shown : shown_) {
        if (shown >= subitem) {
            ++shown;
        }
    }
}

const ColumnDefinition& CColumnSet::Definition(int subitem) const {
    if (subitem < 0 || subitem >= DefinedCount()) {
        return NoDefinition();
    }
    return definitions_[static_cast<std::size_t>(subitem)];
}

int CColumnSet::Size(int subitem) const {
    if (subitem < 0 || subitem >= DefinedCount()) {
        return 0;
    }
    return sizes_[static_cast<std::size_t>(subitem)];
}

void CColumnSet::SetSize(int subitem, int size) {
    if (subitem >= 0 && subitem < DefinedCount()) {
        sizes_[static_cast<std::size_t>(subitem)] = std::clamp(size, 0, kMaxColumnSize);
    }
}

bool CColumnSet::Activate(int subitem, int position) {
    if (subitem < 0 || subitem >= DefinedCount() || IsShown(subitem)) {
        return false;
    }
    position = std::clamp(position, 0, static_cast<int>(shown_.size()));
    shown_.insert(shown_.begin() + position, subitem);
    return true;
}

bool CColumnSet::Deactivate(int subitem) {
    const auto found = std::find(shown_.begin(), shown_.end(), subitem);
    if (found == shown_.end()) {
        return false;
    }
    shown_.erase(found);
    return true;
}

void CColumnSet::DeactivateAll() {
    shown_.clear();
}

bool CColumnSet::IsShown(int subitem) const {
    return std::find(shown_.begin(), shown_.end(), subitem) != shown_.end();
}

bool CColumnSet::Move(int subitem, int position) {
    if (!Deactivate(subitem)) {
        return false;
    }
    position = std::clamp(position, 0, static_cast<int>(shown_.size()));
    shown_.insert(shown_.begin() + position, subitem);
    return true;
}

std::string CColumnSet::Layout() const {
    char number[32];
    std::snprintf(number, sizeof number, "(%d,%d)", DefinedCount(),
                  static_cast<int>(shown_.size()));
    std::string text = number;
    for (const int size : sizes_) {
        std::snprintf(number, sizeof number, " %d", size);
        text += number;
    }
    for (const int subitem : shown_) {
        std::snprintf(number, sizeof number, " %d", subitem);
        text += number;
    }
    return text;
}

bool CColumnSet::SetLayout(std::string_view text) {
    // Everything is read and checked before anything changes.
    std::size_t at = 0;
    if (!Skip(text, at)) {
        return false;
    }
    const std::optional<int> defined = ReadNumber(text, at);
    if (!defined || !Skip(text, at)) {
        return false;
    }
    const std::optional<int> shownCount = ReadNumber(text, at);
    if (!shownCount || *defined != DefinedCount() || *shownCount <= 0 ||
        *shownCount > DefinedCount()) {
        return false;
    }
    std::vector<int> sizes;
    sizes.reserve(sizes_.size());
    for (int i = 0; i < DefinedCount(); ++i) {
        if (!Skip(text, at)) {
            return false;
        }
        const std::optional<int> size = ReadNumber(text, at);
        if (!size || *size < 0 || *size > kMaxColumnSize) {
            return false;
        }
        sizes.push_back(*size);
    }
    std::vector<int> shown;
    shown.reserve(static_cast<std::size_t>(*shownCount));
    for (int i = 0; i < *shownCount; ++i) {
        if (!Skip(text, at)) {
            return false;
        }
        const std::optional<int> subitem = ReadNumber(text, at);
        if (!subitem || *subitem < 0 || *subitem >= DefinedCount() ||
            std::find(shown.begin(), shown.end(), *subitem) != shown.end()) {
            return false;
        }
        shown.push_back(*subitem);
    }
    sizes_ = std::move(sizes);
    shown_ = std::move(shown);
    return true;
}

int CompareCells(std::string_view leftText, int leftImage, std::string_view rightText,
                 int rightImage) {
    leftText = leftText.substr(0, std::min(leftText.size(), kCompareLength));
    rightText = rightText.substr(0, std::min(rightText.size(), kCompareLength));
    if (!leftText.empty() || !rightText.empty()) {
        // char_traits<char> orders bytes as unsigned char, which is what the list has always done.
        const int order = leftText.compare(rightText);
        return (order > 0) - (order < 0);
    }
    return (leftImage > rightImage) - (leftImage < rightImage);
}

}  // namespace zelvant::controls
