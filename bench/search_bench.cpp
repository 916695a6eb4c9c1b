// Searching a 100,000-record document, as the search box and "zelvant-cli search" do it on every
// keystroke or call; the target is 50 ms for a whole pass.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "best_times.h"
#include "sample_document.h"
#include "store/document_search.h"

using namespace zelvant;

namespace {

constexpr int kRecords = 100000;
constexpr double kTargetMs = 50.0;

CFolderSequence* g_folders = nullptr;

void Search(benchmark::State& state, const char* text) {
    std::size_t found = 0;
    for (auto _ : state) {
        const std::vector<RecordRef> refs = FindRecords(*g_folders, text);
        found = refs.size();
        benchmark::DoNotOptimize(refs.data());
    }
    state.counters["found"] = static_cast<double>(found);
}

// Found nowhere: every searched field is read to its end.
void BM_SearchMissing(benchmark::State& state) {
    Search(state, "zqxjv");
}
// A common piece of text: most records match on their first field.
void BM_SearchCommon(benchmark::State& state) {
    Search(state, "EXAMPLE");
}
// One letter, as the first keystroke in the box.
void BM_SearchOneLetter(benchmark::State& state) {
    Search(state, "q");
}
// Accented text is folded character by character wherever a field is not plain ASCII.
void BM_SearchAccented(benchmark::State& state) {
    Search(state, "M\xC3\xBCller");
}
void BM_ExpiryScan(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanExpiry(*g_folders, {45000.5, 0}, 14).records.data());
    }
}

BENCHMARK(BM_SearchMissing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchCommon)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchOneLetter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchAccented)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExpiryScan)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    auto folders = std::make_unique<CFolderSequence>();
    bench::BuildSampleDocument(*folders, kRecords);
    // A share of the texts are not plain ASCII, as in any real file.
    int n = 0;
    for (FolderIndex f = 0; f < folders->Count(); ++f) {
        CFolder& folder = *folders->FolderAt(f);
        for (int r = 0; r < folder.RecordCount(); r += 10) {
            CRecord& record = *folder.RecordAt(r);
            record.SetText(RecordField::UserName,
                           std::string(record.GetText(RecordField::UserName)) +
                               (++n % 2 == 0 ? "\xC3\xA9t\xC3\xA9" : "\xE9t\xE9"));
        }
    }
    g_folders = folders.get();
    bench::CBestTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSearch of %d records (target %.0f ms each):\n", kRecords, kTargetMs);
    bool met = true;
    for (const char* name : {"BM_SearchMissing", "BM_SearchCommon", "BM_SearchOneLetter",
                             "BM_SearchAccented", "BM_ExpiryScan"}) {
        const double ms = reporter.Time(name) * 1000.0;
        if (ms < 0) {
            continue;
        }
        met = met && ms < kTargetMs;
        std::printf("  %-20s %7.2f ms  %s\n", name + 3, ms, ms < kTargetMs ? "ok" : "TOO SLOW");
    }
    benchmark::Shutdown();
    return met ? 0 : 1;
}
