#pragma once
// What the interpreter needs from its host: where text goes, what `env` expressions mean, where
// `setoutput` writes, and how `sys.runcmd` runs a command.

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "report/engine/value.h"

namespace zelvant::report {

class COutputStream {
  public:
    virtual ~COutputStream() = default;
    // Writes up to `length` bytes; `length` becomes the number written. True when at least one
    // byte was written.
    virtual bool Write(const char* bytes, std::size_t& length) = 0;

    // Writes all of `text`: copied into the stream's free space when it offers room enough,
    // else through Write. A report makes millions of small writes, and this spares most of
    // them a call.
    void Put(std::string_view text);

  protected:
    // Free space a stream may offer, [next_, end_): whatever is copied there comes before what
    // Write is given next, so a stream that offers it hands it on before taking more.
    char* next_ = nullptr;
    char* end_ = nullptr;
};

// Writes all of a text to a stream (messages, literal text, values).
void WriteText(COutputStream& out, std::string_view text);

namespace detail {
// Most pieces are short: copies of a fixed size, overlapping, spare a call to memcpy.
[[gnu::always_inline]] inline void CopyShort(char* to, const char* from, std::size_t n) {
    if (n <= 16) {
        if (n >= 8) {
            std::memcpy(to, from, 8);
            std::memcpy(to + n - 8, from + n - 8, 8);
        } else if (n >= 4) {
            std::memcpy(to, from, 4);
            std::memcpy(to + n - 4, from + n - 4, 4);
        } else if (n > 0) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        }
        return;
    }
    if (n <= 32) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
        return;
    }
    std::memcpy(to, from, n);
}
}  // namespace detail

[[gnu::always_inline]] inline void COutputStream::Put(std::string_view text) {
    const std::size_t n = text.size();
    if (n <= static_cast<std::size_t>(end_ - next_)) {
        detail::CopyShort(next_, text.data(), n);
        next_ += n;
        return;
    }
    WriteText(*this, text);
}

// Collects everything in memory; for tests, diagnostics and small pages.
class CStringOutput : public COutputStream {
  public:
    bool Write(const char* bytes, std::size_t& length) override;
    std::string text;
};

// The arguments handed over may borrow the templates' text: keep one beyond the call with
// CValue::Owned. A value handed back may borrow bytes that outlive the run (CValue::View).
class CEnvironment {
  public:
    virtual ~CEnvironment() = default;
    // An `env` expression that stands as a statement.
    virtual void Run(std::string_view name, COutputStream& out, std::span<const CValue> args) = 0;
    // Every link of an `env` chain but the last; none ends the chain with long 0.
    virtual std::unique_ptr<CEnvironment> Child(std::string_view name, COutputStream& out,
                                                std::span<const CValue> args) = 0;
    // An `env` expression used as a value.
    virtual CValue Value(std::string_view name, COutputStream& out,
                         std::span<const CValue> args) = 0;

    // A run looks each name of a one-link `env` expression up once, and then passes the number
    // found together with the name on every use, so that a report need not look names up
    // hundreds of thousands of times. kByName, the default, keeps to the names.
    static constexpr int kByName = -1;
    virtual int Resolve(std::string_view /*name*/) { return kByName; }
    virtual void RunResolved(int /*number*/, std::string_view name, COutputStream& out,
                             std::span<const CValue> args) {
        Run(name, out, args);
    }
    virtual CValue ValueResolved(int /*number*/, std::string_view name, COutputStream& out,
                                 std::span<const CValue> args) {
        return Value(name, out, args);
    }
    // True with its value for a resolved name whose value, asked without arguments, stays the
    // same for the whole run and writes nothing: the run then asks for it once.
    virtual bool Constant(int /*number*/, CValue& /*value*/) { return false; }
};

class COutputFactory {
  public:
    virtual ~COutputFactory() = default;
    // None when the name is not known.
    virtual std::unique_ptr<COutputStream> Open(std::string_view name, COutputStream& current,
                                                std::span<const CValue> args) = 0;
};

// Runs a command line through the system's command interpreter and copies its standard output
// to `out` in blocks of up to 1024 bytes, waiting for it to end. False when it cannot be started.
using CommandRunner = std::function<bool(const std::string& command, COutputStream& out)>;

// popen/pclose on POSIX, _popen/_pclose on Windows.
bool RunSystemCommand(const std::string& command, COutputStream& out);

}  // namespace zelvant::report
