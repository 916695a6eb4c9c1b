#include "report/engine/template.h"

#include <algorithm>
#include <unordered_map>

#include "report/engine/compiler.h"
#include "report/engine/emit.h"
#include "report/engine/lexer.h"

namespace zelvant::report {

CTemplate::CompileResult CTemplate::Compile(std::string_view text, std::size_t pos,
                                            unsigned firstLine, bool firstOfText) {
    code_.Clear();
    errorLine_ = 0;
    error_.clear();
    std::vector<CToken> tokens;
    const CLexResult lexed = Lex(text, pos, firstLine, firstOfText, code_.pool, tokens);
    CompileResult result;
    result.line = lexed.line;
    if (!lexed.ok) {
        errorLine_ = lexed.errorLine;
        error_ = "missing or invalid characters";
        return result;
    }
    result.end = lexed.end;
    if (tokens.empty()) {
        result.noTokens = true;
        return result;
    }
    CCompileError error;
    if (!CompileTemplate(tokens, code_, vars_, name_, paramCount_, error)) {
        errorLine_ = error.line;
        error_ = error.message;
        return result;
    }
    EmitCode(code_);
    return result;
}

CTemplateSet::CTemplateSet() = default;
CTemplateSet::~CTemplateSet() = default;

namespace {

void WriteLine(COutputStream& out, const std::string& line) {
    WriteText(out, line + "\n");
}

}  // namespace

bool CTemplateSet::Load(CSourceStream& source, COutputStream& diagnostics) {
    std::string raw;
    std::size_t size = 0;
    raw.resize(32768);
    for (;;) {
        const std::size_t got = source.Read(raw.data() + size, raw.size() - size);
        if (got == 0) {
            break;
        }
        size += std::min(got, raw.size() - size);
        if (size == raw.size()) {
            raw.resize(raw.size() + 32768);
        }
    }
    raw.resize(size);
    return LoadText(raw, diagnostics);
}

bool CTemplateSet::LoadText(std::string_view input, COutputStream& diagnostics) {
    templates_.clear();
    envNames_.clear();
    input = input.substr(0, input.find('\0'));
    std::string text;
    text.reserve(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!(input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) {
            text.push_back(input[i]);
        }
    }

    bool ok = true;
    std::size_t pos = 0;
    unsigned line = 1;
    for (;;) {
        auto tmpl = std::make_unique<CTemplate>(this);
        const CTemplate::CompileResult r =
            tmpl->Compile(text, pos, line, templates_.empty() && pos == 0);
        if (!r.end || r.noTokens || tmpl->ErrorLine() != 0) {
            if (tmpl->ErrorLine() != 0) {
                WriteLine(diagnostics, "template " + tmpl->Name() + ", line " +
                                           std::to_string(tmpl->ErrorLine()) + ": " +
                                           tmpl->ErrorMessage());
                ok = false;
            }
            break;
        }
        if (Find(tmpl->Name()) != nullptr) {
            WriteLine(diagnostics, "template " + tmpl->Name() + ", after line " +
                                       std::to_string(line) +
                                       ": has the same name as a previous template");
            ok = false;
            break;
        }
        templates_.push_back(std::move(tmpl));
        pos = *r.end;
        line = r.line;
    }
    if (templates_.empty()) {
        WriteLine(diagnostics, "no templates added");
        return false;
    }
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    const auto numberOf = [this, &numbers](std::string_view name) {
        const auto [it, added] =
            numbers.emplace(name, static_cast<std::uint32_t>(envNames_.size()));
        if (added) {
            envNames_.emplace_back(name);
        }
        return it->second;
    };
    for (const auto& t : templates_) {
        Link(t->code_, numberOf);
    }
    return ok;
}

void CTemplateSet::Link(CCode& code,
                        const std::function<std::uint32_t(std::string_view)>& numberOf) const {
    for (CSite& site : code.sites) {
        if (site.kind == CSite::Kind::Env) {
            site.link = numberOf(code.Name(site));
        } else if (site.kind == CSite::Kind::Template) {
            site.link = kNoTemplate;
            for (std::size_t i = 0; i < templates_.size(); ++i) {
                if (templates_[i]->Name() == code.Name(site)) {
                    site.link = static_cast<std::uint32_t>(i);
                    break;
                }
            }
        }
    }
}

const CTemplate* CTemplateSet::Find(std::string_view name) const {
    for (const auto& t : templates_) {
        if (t->Name() == name) {
            return t.get();
        }
    }
    return nullptr;
}

}  // namespace zelvant::report
