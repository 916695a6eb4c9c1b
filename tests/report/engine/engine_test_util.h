#pragma once
// Compiles template text and runs "start" into a string, for short tests.

#include <span>
#include <string>
#include <string_view>

#include "report/engine/interpreter.h"
#include "report/engine/template.h"

namespace zelvant::report::test {

// Diagnostics of loading the text.
inline std::string LoadMessages(std::string_view text, CTemplateSet* set = nullptr) {
    CTemplateSet local;
    CTemplateSet& s = set != nullptr ? *set : local;
    CStringOutput diagnostics;
    s.LoadText(text, diagnostics);
    return diagnostics.text;
}

// Runs "start" of the text; compile messages, if any, come first.
inline std::string RunText(std::string_view text, CEnvironment* env = nullptr,
                           COutputFactory* factory = nullptr, const RunOptions& options = {}) {
    CTemplateSet set;
    CStringOutput out;
    set.LoadText(text, out);
    if (const CTemplate* start = set.Find("start")) {
        Run(*start, env, out, factory, options);
    }
    return out.text;
}

// The output of one code block inside a "start" template.
inline std::string RunCode(std::string_view code, CEnvironment* env = nullptr) {
    return RunText("<# start #><# " + std::string(code) + " #><# endtmpl #>", env);
}

// A template named `name` (with its parameter list, if any) whose one code block is `code`.
inline std::string Tmpl(const std::string& name, const std::string& code) {
    return "<# " + name + " #><# " + code + " #><# endtmpl #>";
}

// Arguments as "(a)(b)", for fake environments that echo what they were asked.
inline std::string ArgsText(std::span<const CValue> args) {
    std::string s;
    for (const CValue& a : args) {
        s += "(" + a.ToText() + ")";
    }
    return s;
}

}  // namespace zelvant::report::test
