#pragma once
// What the interpreter needs from its host: where text goes, what `env` expressions mean, where
// `setoutput` writes, and how `sys.runcmd` runs a command.

#include <cstddef>
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
};

// Writes all of a text to a stream (messages, literal text, values).
void WriteText(COutputStream& out, std::string_view text);

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
