#include "report/engine/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "report/engine/wipe.h"

namespace zelvant::report {

CValue::CBlock* CValue::NewBlock(std::size_t capacity) {
    void* memory = ::operator new(sizeof(CBlock) + capacity);
    auto* block = new (memory) CBlock{{1}, capacity};
    return block;
}

// Texts may be secrets: wiped before the memory goes back.
void CValue::Unshare(CBlock* block) noexcept {
    if (block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        WipeBytes(block->Bytes(), block->capacity);
        block->~CBlock();
        ::operator delete(block);
    }
}

CValue CValue::Reserve(std::size_t size, std::size_t capacity, char*& bytes) {
    CValue out;
    out.type_ = Type::String;
    out.block_ = NewBlock(std::max(size, capacity));
    out.p_.chars = bytes = out.block_->Bytes();
    out.size_ = size;
    return out;
}

CValue CValue::String(std::string_view v) {
    if (v.empty()) {
        return View({});
    }
    char* bytes = nullptr;
    CValue out = Reserve(v.size(), v.size(), bytes);
    std::memcpy(bytes, v.data(), v.size());
    return out;
}

CValue CValue::Owned() const {
    if (type_ != Type::String || block_ != nullptr) {
        return *this;
    }
    return String(StringValue());
}

CValue CValue::Slice(std::size_t from, std::size_t count) const {
    const std::string_view part = StringValue().substr(from, count);
    CValue out = *this;
    out.type_ = Type::String;
    out.p_.chars = part.data();
    out.size_ = part.size();
    return out;
}

namespace {

// Truncation toward zero into 32 bits; values outside the range (and NaN) have no whole-number
// meaning, so they saturate rather than invoke undefined behaviour.
std::int32_t TruncateDouble(double d) {
    if (std::isnan(d)) {
        return 0;
    }
    if (d >= 2147483647.0) {
        return INT32_MAX;
    }
    if (d <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(d);
}

}  // namespace

std::int32_t CValue::ToLong() const {
    switch (type_) {
        case Type::Long:
            return p_.lng;
        case Type::Double:
            return TruncateDouble(p_.dbl);
        case Type::String:
            return static_cast<std::int32_t>(size_);
    }
    return 0;
}

std::string_view CValue::Text(char* buffer) const {
    switch (type_) {
        case Type::Long: {
            const auto r = std::to_chars(buffer, buffer + kNumberTextSize, p_.lng);
            return std::string_view(buffer, static_cast<std::size_t>(r.ptr - buffer));
        }
        case Type::Double: {
            // As "%f", but independent of the C locale a GUI toolkit may have switched.
            const auto r = std::to_chars(buffer, buffer + kNumberTextSize, p_.dbl,
                                         std::chars_format::fixed, 6);
            return std::string_view(buffer, static_cast<std::size_t>(r.ptr - buffer));
        }
        case Type::String:
            return StringValue();
    }
    return {};
}

std::string CValue::ToText() const {
    char buffer[kNumberTextSize];
    return std::string(Text(buffer));
}

bool CValue::DoubleIsTrue(double d) {
    return TruncateDouble(d) != 0;
}

void CValue::AppendText(std::string_view tail) {
    if (type_ == Type::String && block_ != nullptr &&
        block_->refs.load(std::memory_order_acquire) == 1) {
        const auto used = static_cast<std::size_t>(p_.chars - block_->Bytes()) + size_;
        if (block_->capacity - used >= tail.size()) {
            std::memcpy(block_->Bytes() + used, tail.data(), tail.size());
            size_ += tail.size();
            return;
        }
    }
    char buffer[kNumberTextSize];
    const std::string_view head = Text(buffer);
    const std::size_t size = head.size() + tail.size();
    char* bytes = nullptr;
    // Doubling keeps "v := v $ x" in a loop linear.
    CValue grown = Reserve(size, std::max<std::size_t>(2 * size, 32), bytes);
    std::memcpy(bytes, head.data(), head.size());
    std::memcpy(bytes + head.size(), tail.data(), tail.size());
    *this = std::move(grown);
}

CValue CValue::Concatenate(const CValue& left, const CValue& right) {
    char leftBuffer[kNumberTextSize];
    char rightBuffer[kNumberTextSize];
    const std::string_view l = left.Text(leftBuffer);
    const std::string_view r = right.Text(rightBuffer);
    if (l.empty() || r.empty()) {
        return l.empty() ? (right.IsString() ? right : String(r))
                         : (left.IsString() ? left : String(l));
    }
    char* bytes = nullptr;
    CValue out = Reserve(l.size() + r.size(), l.size() + r.size(), bytes);
    std::memcpy(bytes, l.data(), l.size());
    std::memcpy(bytes + l.size(), r.data(), r.size());
    return out;
}

CValue CValue::Join(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const std::string_view part : parts) {
        size += part.size();
    }
    if (size == 0) {
        return View({});
    }
    char* bytes = nullptr;
    CValue out = Reserve(size, size, bytes);
    for (const std::string_view part : parts) {
        std::memcpy(bytes, part.data(), part.size());
        bytes += part.size();
    }
    return out;
}

bool operator==(const CValue& a, const CValue& b) {
    if (a.type_ != b.type_) {
        return false;
    }
    switch (a.type_) {
        case CValue::Type::Long:
            return a.p_.lng == b.p_.lng;
        case CValue::Type::Double:
            return a.p_.dbl == b.p_.dbl;
        case CValue::Type::String:
            return a.StringValue() == b.StringValue();
    }
    return false;
}

}  // namespace zelvant::report
