// The record list and the folder tree with a 100,000-record document: filling the list when a
// folder is chosen, sorting it by a column, and opening the file up to the tree on screen, set
// against loading the file alone. Runs on the offscreen platform unless another is asked for.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "best_times.h"
#include "report/date_format.h"
#include "sample_document.h"
#include "settings/security_password.h"
#include "store/data_file.h"
#include "store/file_cipher.h"
#include "ui/folder_tree.h"
#include "ui/zelvant_view.h"

using namespace zelvant;

namespace {

constexpr int kRecords = 100000;

// One window's worth of document: what the tree and the list are told about.
class Host : public ui::IViewHost, public ui::IFolderHost {
  public:
    CFolderSequence& Folders() override { return folders; }
    settings::AppSettings& Settings() override { return settings; }
    void RecordsChanged() override {}
    QString DocumentTitle() const override { return QStringLiteral("bench.zvd"); }
    void FoldersChanged() override {}
    void ShowMessage(const QString& text, QMessageBox::Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }

    CFolderSequence folders;
    settings::AppSettings settings;
};

struct Setup {
    QTemporaryDir dir;
    std::string file;  // the 100,000 records in about 20 folders
    FileKey key = MakeFileKey("benchmark password");
    Host host;  // the same records, all in one folder
    ui::CZelvantView* view = nullptr;
    FolderIndex big = 0;
};

Setup* g = nullptr;

void Prepare() {
    g = new Setup;
    CFolderSequence sample;
    bench::BuildSampleDocument(sample, kRecords);
    g->file = QDir(g->dir.path()).filePath(QStringLiteral("bench.zvd")).toStdString();
    CMessageLog log;
    if (!SaveDataFile(g->file, g->key, sample, "", log)) {
        std::fprintf(stderr, "could not write %s\n", g->file.c_str());
        std::exit(1);
    }
    // Every record in one folder: the case the list must stay quick for.
    CFolder* everything = g->host.folders.AppendFolder();
    everything->SetName("Everything");
    everything->ReserveRecords(kRecords);
    for (FolderIndex f = 0; f < sample.Count(); ++f) {
        const CFolder* folder = sample.FolderAt(f);
        for (int r = 0; r < folder->RecordCount(); ++r) {
            *everything->AppendRecord() = *folder->RecordAt(r);
        }
    }
    g->host.settings.display.password = 1;
    g->view = new ui::CZelvantView(g->host, report::MakeSystemDateFormatter());
    g->view->resize(1200, 800);
    g->view->InitialUpdate("");
    g->view->show();
}

// Choosing the folder: the list takes the rows and paints its first screen.
void BM_ShowFolder(benchmark::State& state) {
    for (auto _ : state) {
        g->view->ShowFolder(kTopLevel);
        g->view->ShowFolder(g->big);
        benchmark::DoNotOptimize(g->view->List().grab());
    }
    state.counters["rows"] = g->view->List().GetItemCount();
}

void SortBy(benchmark::State& state, int subitem) {
    g->view->ShowFolder(g->big);
    bool ascending = true;
    for (auto _ : state) {
        g->view->List().SortBy(subitem, ascending);
        benchmark::DoNotOptimize(g->view->List().grab());
        ascending = !ascending;
    }
}

void BM_SortSiteName(benchmark::State& state) {
    SortBy(state, 0);
}
void BM_SortCreated(benchmark::State& state) {
    SortBy(state, 10);
}
void BM_SortPassword(benchmark::State& state) {
    SortBy(state, 8);
}

// Scrolling a page at a time: only the rows on screen are asked for.
void BM_ScrollPage(benchmark::State& state) {
    g->view->ShowFolder(g->big);
    auto& list = g->view->List();
    QScrollBar* bar = list.verticalScrollBar();
    int value = 0;
    for (auto _ : state) {
        value = (value + bar->pageStep()) % std::max(1, bar->maximum());
        bar->setValue(value);
        benchmark::DoNotOptimize(list.grab());
    }
}

void BM_Load(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        auto folders = std::make_unique<CFolderSequence>();
        if (!LoadDataFile(g->file, g->key, *folders, log).ok) {
            state.SkipWithError("load failed");
        }
        state.PauseTiming();
        folders.reset();
        state.ResumeTiming();
    }
}

// Opening: the file is read into a fresh document and the tree shows its folders.
void BM_OpenAndShowTree(benchmark::State& state) {
    CMessageLog log;
    Host host;
    ui::CFolderTree tree(host);
    tree.resize(250, 600);
    tree.show();
    for (auto _ : state) {
        // Closing the previous document is not part of opening this one.
        state.PauseTiming();
        host.folders.Clear();
        state.ResumeTiming();
        if (!LoadDataFile(g->file, g->key, host.folders, log).ok) {
            state.SkipWithError("load failed");
        }
        tree.Rebuild();
        tree.SelectFolder(kTopLevel);
        benchmark::DoNotOptimize(tree.grab());
    }
}

}  // namespace

BENCHMARK(BM_ShowFolder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SortSiteName)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SortCreated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SortPassword)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenAndShowTree)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

// The check of the security password at every unlock, on the GUI thread, at the stored cost.
void BM_SecurityPasswordCheck(benchmark::State& state) {
    const std::string hash = settings::HashSecurityPassword("correct horse battery");
    for (auto _ : state) {
        benchmark::DoNotOptimize(settings::VerifySecurityPassword(hash, "correct horse battery"));
    }
}

}  // namespace

BENCHMARK(BM_SecurityPasswordCheck)->Unit(benchmark::kMillisecond)->UseRealTime();

namespace {

void Verdict(const char* what, double seconds, double limit, const char* limitText) {
    if (seconds < 0) {
        std::printf("  %-34s not measured\n", what);
        return;
    }
    std::printf("  %-34s %8.1f ms   target < %s: %s\n", what, seconds * 1e3, limitText,
                seconds < limit ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Prepare();
    bench::CBestTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double load = reporter.Time("BM_Load");
    std::printf("\nZelvant record list and folder tree, %d records\n", kRecords);
    Verdict("choose the folder (fill + paint)", reporter.Time("BM_ShowFolder"), 0.150, "150 ms");
    Verdict("sort by Site Name", reporter.Time("BM_SortSiteName"), 0.300, "300 ms");
    Verdict("sort by Created (dates)", reporter.Time("BM_SortCreated"), 0.300, "300 ms");
    Verdict("sort by Password (masked)", reporter.Time("BM_SortPassword"), 0.300, "300 ms");
    Verdict("scroll one page", reporter.Time("BM_ScrollPage"), 1.0 / 60, "one 60 Hz frame");
    Verdict("check the security password", reporter.Time("BM_SecurityPasswordCheck"), 0.250,
            "250 ms");
    const double open = reporter.Time("BM_OpenAndShowTree");
    if (load > 0 && open > 0) {
        std::printf("  %-34s %8.1f ms   load %.1f ms, %.2fx   target < 2x: %s\n",
                    "open the file and show the tree", open * 1e3, load * 1e3, open / load,
                    open < 2 * load ? "ok" : "MISSED");
    }
    delete g->view;
    delete g;
    return 0;
}
