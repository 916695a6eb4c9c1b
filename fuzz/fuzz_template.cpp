// Arbitrary text as a template file: it must compile without harm, and its "start" must run over
// a small document. Runs are skipped for texts whose work has no bound the language would set
// (nested loops around growing strings, recursion, run-time compilation), since a hang there is
// the template's doing, not a fault.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "report/engine/interpreter.h"
#include "report/engine/template.h"
#include "report/report_environment.h"

namespace {

using namespace zelvant;
using namespace zelvant::report;

std::size_t Count(std::string_view text, std::string_view word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

bool BoundedWork(std::string_view folded) {
    if (folded.size() > 2048 || Count(folded, "execute") > 0 || Count(folded, "looplimit") > 0) {
        return false;
    }
    const std::size_t loops = Count(folded, "while");
    const std::size_t calls = Count(folded, "tmpl") - Count(folded, "endtmpl");
    const std::size_t growth = Count(folded, "$") + Count(folded, "html");
    if (loops > 0) {
        return loops <= 2 && calls == 0 && growth == 0;
    }
    return calls <= 1 && Count(folded, "$") <= 8 && Count(folded, "html") <= 2;
}

void BuildDocument(CFolderSequence& folders) {
    for (auto [name, parent] :
         {std::pair<const char*, int>{"Banking", -1}, {"Cards", 0}, {"Work", -1}, {"Empty", -1}}) {
        CFolder* f = folders.AppendFolder();
        f->SetName(name);
        f->SetParent(parent);
    }
    for (int folder : {0, 0, 1, 2}) {
        CRecord* r = folders.FolderAt(folder)->AppendRecord(DateTimeValue{45000.5, 0});
        r->SetText(RecordField::SiteName, "Site <&> \xFC");
        r->SetText(RecordField::Password, "secret");
        r->SetText(RecordField::Notes, "one\r\ntwo");
        r->SetInt(RecordField::HasExpiry, folder);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CTemplateSet templates;
    CStringOutput diagnostics;
    templates.LoadText(text, diagnostics);
    const CTemplate* start = templates.Find("start");

    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (start == nullptr || !BoundedWork(folded)) {
        return 0;
    }
    static CFolderSequence* folders = [] {
        auto* f = new CFolderSequence;
        BuildDocument(*f);
        return f;
    }();
    static const CFixedDateFormatter dates;
    CReportCursor cursor;
    cursor.Reset(*folders, "fuzz");
    CReportEnvironment env({*folders, cursor, PrintFlags::All(1), "fuzz.zvd", dates, [] {
                                return DateTimeValue{45000.25, 0};
                            }});
    CStringOutput page;
    Run(*start, &env, page, nullptr, RunOptions{.runCommand = {}});
    return 0;
}
