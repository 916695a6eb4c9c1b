#pragma once
// A value of the template language: a 32-bit whole number (wrapping), a double, or a byte string.
//
// Copies are cheap: a string either borrows bytes that outlive it (see View) or shares one
// counted, never-changed block of bytes with its copies, so no copy allocates.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace zelvant::report {

class CValue {
  public:
    enum class Type : std::uint8_t { Long, Double, String };

    CValue() = default;  // long 0, the value of a variable never assigned
    CValue(const CValue& other) noexcept
        : type_(other.type_), p_(other.p_), size_(other.size_), block_(other.block_) {
        if (block_ != nullptr) {
            block_->refs.fetch_add(1, std::memory_order_relaxed);
        }
    }
    CValue(CValue&& other) noexcept
        : type_(other.type_), p_(other.p_), size_(other.size_), block_(other.block_) {
        other.Clear();
    }
    CValue& operator=(const CValue& other) noexcept {
        CValue copy(other);
        return *this = std::move(copy);
    }
    CValue& operator=(CValue&& other) noexcept {
        if (this != &other) {
            Release();
            type_ = other.type_;
            p_ = other.p_;
            size_ = other.size_;
            block_ = other.block_;
            other.Clear();
        }
        return *this;
    }
    ~CValue() { Release(); }

    static CValue Long(std::int32_t v) {
        CValue out;
        out.p_.lng = v;
        return out;
    }
    static CValue Double(double v) {
        CValue out;
        out.type_ = Type::Double;
        out.p_.dbl = v;
        return out;
    }
    // Copies the bytes.
    static CValue String(std::string_view v);
    static CValue String(const std::string& v) { return String(std::string_view(v)); }
    static CValue String(const char* v) { return String(std::string_view(v)); }
    // Refers to the bytes without copying them. They must stay unchanged for as long as the
    // value or any copy of it is used: static text, the text of the templates being run, or a
    // document that outlives the run.
    static CValue View(std::string_view v) {
        CValue out;
        out.type_ = Type::String;
        out.p_.chars = v.data();
        out.size_ = v.size();
        return out;
    }

    Type GetType() const { return type_; }
    bool IsLong() const { return type_ == Type::Long; }
    bool IsDouble() const { return type_ == Type::Double; }
    bool IsString() const { return type_ == Type::String; }
    std::int32_t LongValue() const { return type_ == Type::Long ? p_.lng : 0; }
    double DoubleValue() const { return type_ == Type::Double ? p_.dbl : 0.0; }
    std::string_view StringValue() const {
        return type_ == Type::String ? std::string_view(p_.chars, size_) : std::string_view();
    }
    // The same value, its bytes copied when borrowed: for keeping beyond the bytes' life.
    CValue Owned() const;
    // The bytes `[from, from + count)` of this string, sharing or borrowing as this does.
    CValue Slice(std::size_t from, std::size_t count) const;

    // Whole number: itself, truncated toward zero, or the string's length in bytes.
    std::int32_t ToLong() const;
    // "%ld", "%f" or the string itself.
    std::string ToText() const;
    // Not zero (a double after truncation) / not empty.
    bool IsTrue() const {
        switch (type_) {
            case Type::Long:
                return p_.lng != 0;
            case Type::Double:
                return DoubleIsTrue(p_.dbl);
            case Type::String:
                return size_ != 0;
        }
        return false;
    }

    // The text of a number ("%ld" or "%f") in `buffer`, which must hold kNumberTextSize bytes;
    // a string's own bytes.
    static constexpr std::size_t kNumberTextSize = 400;
    std::string_view Text(char* buffer) const;

    // Becomes the text of this value followed by `tail`, in place (what "v := v $ x" yields).
    // Appends into its own block when no other value shares it.
    void AppendText(std::string_view tail);
    // The text of `left` followed by the text of `right`.
    static CValue Concatenate(const CValue& left, const CValue& right);
    // A string of the parts one after another, copied into one block.
    static CValue Join(std::initializer_list<std::string_view> parts);

    friend bool operator==(const CValue& a, const CValue& b);

  private:
    // Bytes shared by the values that refer to them; the count is atomic so that copies may be
    // made and dropped on any thread.
    struct CBlock {
        std::atomic<std::size_t> refs;
        std::size_t capacity;
        char* Bytes() { return reinterpret_cast<char*>(this + 1); }
    };
    static CBlock* NewBlock(std::size_t capacity);
    static bool DoubleIsTrue(double d);
    // A string value of `size` bytes in a new block of at least `capacity`; the caller fills it.
    static CValue Reserve(std::size_t size, std::size_t capacity, char*& bytes);
    // What a value moved from is left as: long 0.
    void Clear() noexcept {
        type_ = Type::Long;
        p_.lng = 0;
        block_ = nullptr;
    }
    void Release() noexcept {
        if (block_ != nullptr) {
            Unshare(block_);
        }
    }
    static void Unshare(CBlock* block) noexcept;

    // Copied whole, whichever member is in use.
    union Payload {
        std::int32_t lng;
        double dbl;
        const char* chars;
    };

    Type type_ = Type::Long;
    Payload p_{0};
    std::size_t size_ = 0;     // bytes of a string
    CBlock* block_ = nullptr;  // owns the string's bytes when not null; else they are borrowed
};

}  // namespace zelvant::report
