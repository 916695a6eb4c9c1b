#pragma once
// Template files: one or more templates, each literal text with "<# ... #>" code blocks,
// compiled into syntax trees.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/engine/host.h"
#include "report/engine/syntax.h"

namespace zelvant::report {

class CTemplateSet;

// One compiled template: its name, parameters, variables and statement tree.
class CTemplate {
  public:
    explicit CTemplate(const CTemplateSet* owner) : owner_(owner) {}

    struct CompileResult {
        std::optional<std::size_t> end;  // just behind the template; none after a lexical error
        unsigned line = 0;               // the line count the lexer reached
        bool noTokens = false;
    };
    // Lexes and compiles the template that starts at `pos`. Only the first template of a text
    // counts finding nothing at all as an error; later ones simply end the text.
    CompileResult Compile(std::string_view text, std::size_t pos, unsigned firstLine,
                          bool firstOfText);

    const std::string& Name() const { return name_; }
    const CTemplateSet* Owner() const { return owner_; }
    std::size_t ParamCount() const { return paramCount_; }
    const std::vector<std::string>& Variables() const { return vars_; }
    const CCode& Code() const { return code_; }
    unsigned ErrorLine() const { return errorLine_; }
    const std::string& ErrorMessage() const { return error_; }

  private:
    friend class CTemplateSet;

    const CTemplateSet* owner_;
    std::string name_ = "unknown";
    std::vector<std::string> vars_;
    std::size_t paramCount_ = 0;
    CCode code_;
    unsigned errorLine_ = 0;
    std::string error_;
};

// Something to read a template file from: read(buffer, maximum) -> bytes read, 0 at the end.
class CSourceStream {
  public:
    virtual ~CSourceStream() = default;
    virtual std::size_t Read(char* buffer, std::size_t maximum) = 0;
};

class CTemplateSet {
  public:
    CTemplateSet();
    CTemplateSet(const CTemplateSet&) = delete;
    CTemplateSet& operator=(const CTemplateSet&) = delete;
    ~CTemplateSet();

    // Discards the templates held, reads the whole stream (CR LF reads as LF), compiles the
    // templates in order and writes compile messages to `diagnostics`, one per line. True when
    // at least one template was added and none failed; templates before a failure stay.
    bool Load(CSourceStream& source, COutputStream& diagnostics);
    bool LoadText(std::string_view text, COutputStream& diagnostics);

    // The first template of that name (byte for byte), or none.
    const CTemplate* Find(std::string_view name) const;
    std::size_t Count() const { return templates_.size(); }
    const CTemplate* At(std::size_t index) const { return templates_[index].get(); }

    // The names of the one-link `env` expressions of all templates, each once, in the order of
    // the numbers their sites were linked with.
    const std::vector<std::string>& EnvNames() const { return envNames_; }
    // Links `code` against this set: each `tmpl` call to its template's position, each one-link
    // `env` expression to the number `numberOf` gives its name.
    void Link(CCode& code, const std::function<std::uint32_t(std::string_view)>& numberOf) const;

  private:
    std::vector<std::unique_ptr<CTemplate>> templates_;
    std::vector<std::string> envNames_;
};

}  // namespace zelvant::report
