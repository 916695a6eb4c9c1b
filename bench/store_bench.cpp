// Load and save of a 100,000-record data file, set against what the machine can do at best with
// the same bytes: one bulk AES pass plus reading or writing the file.

#include <benchmark/benchmark.h>
#include <cryptopp/aes.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "best_times.h"
#include "native_listing.h"
#include "peak_memory.h"
#include "report/date_format.h"
#include "report/engine/interpreter.h"
#include "report/engine/template.h"
#include "report/report_environment.h"
#include "report/template_files.h"
#include "sample_document.h"
#include "store/data_file.h"
#include "store/zelvant_doc.h"

namespace fs = std::filesystem;
using namespace zelvant;

namespace {

constexpr int kRecords = 100000;
constexpr std::string_view kPassword = "benchmark password";
constexpr double kMiB = 1024.0 * 1024.0;

struct Setup {
    fs::path dir;
    std::string file;       // the generated document; only ever read
    std::string saveFile;   // target of the safe saves, replaced each time
    std::string plainFile;  // target of the plain saves
    std::string limitFile;  // target of the raw writes
    std::vector<std::uint8_t> bytes;
    FileKey key;
    CFolderSequence loaded;
    std::string columnLayout;
    // The same document sealed. The key is derived once, before timing: the loads below are the
    // sealed load minus the derivation, which BM_GuessSealed times on its own.
    std::string sealedFile;
    std::string sealedSaveFile;
    std::string sealedPlainFile;
    DocumentKey sealedKey;
    std::size_t sealedPayload = 0;
    SealParams guessParams;
};

Setup* g = nullptr;

void SetCounters(benchmark::State& state, bool records) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(g->bytes.size()));
    if (records) {
        state.counters["records/s"] =
            benchmark::Counter(kRecords, benchmark::Counter::kIsIterationInvariantRate);
    }
}

void BM_Load(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        auto folders = std::make_unique<CFolderSequence>();
        if (!LoadDataFile(g->file, g->key, *folders, log).ok) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(folders.get());
        state.PauseTiming();
        folders.reset();
        state.ResumeTiming();
    }
    SetCounters(state, true);
}

void BM_SaveSafely(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        if (!SaveDataFileSafely(g->saveFile, g->key, g->loaded, g->columnLayout, log)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    SetCounters(state, true);
}

// A new file each time: rewriting an existing one makes ext4 flush it on close, which would
// hide the cost of the safe save's fsync.
void BM_SaveInPlace(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        if (!SaveDataFile(g->plainFile, g->key, g->loaded, g->columnLayout, log)) {
            state.SkipWithError("save failed");
            break;
        }
        state.PauseTiming();
        fs::remove(g->plainFile);
        state.ResumeTiming();
    }
    SetCounters(state, true);
}

// One bulk pass of the raw block function over the file's bytes: the cipher's share of the limit.
template <class Aes>
void BM_LimitBulkAes(benchmark::State& state) {
    Aes aes(g->key.Bytes().data(), kAesKeySize);
    std::vector<std::uint8_t> out(g->bytes.size());
    for (auto _ : state) {
        aes.AdvancedProcessBlocks(g->bytes.data(), nullptr, out.data(), g->bytes.size(),
                                  CryptoPP::BlockTransformation::BT_AllowParallel);
        benchmark::DoNotOptimize(out.data());
    }
    SetCounters(state, false);
}

void BM_LimitDecrypt(benchmark::State& state) {
    BM_LimitBulkAes<CryptoPP::AES::Decryption>(state);
}
void BM_LimitEncrypt(benchmark::State& state) {
    BM_LimitBulkAes<CryptoPP::AES::Encryption>(state);
}

void BM_LimitRead(benchmark::State& state) {
    std::vector<std::uint8_t> buf(g->bytes.size());
    for (auto _ : state) {
        std::FILE* f = std::fopen(g->file.c_str(), "rb");
        if (f == nullptr || std::fread(buf.data(), 1, buf.size(), f) != buf.size()) {
            state.SkipWithError("read failed");
            break;
        }
        std::fclose(f);
        benchmark::DoNotOptimize(buf.data());
    }
    SetCounters(state, false);
}

// A new file each time, as in the saves.
void WriteLimit(benchmark::State& state, bool sync) {
    for (auto _ : state) {
        std::FILE* f = std::fopen(g->limitFile.c_str(), "wb");
        bool ok = f != nullptr &&
                  std::fwrite(g->bytes.data(), 1, g->bytes.size(), f) == g->bytes.size() &&
                  std::fflush(f) == 0 && (!sync || ::fsync(::fileno(f)) == 0);
        ok = f != nullptr && std::fclose(f) == 0 && ok;
        if (!ok) {
            state.SkipWithError("write failed");
            break;
        }
        state.PauseTiming();
        fs::remove(g->limitFile);
        state.ResumeTiming();
    }
    SetCounters(state, false);
}

void BM_LimitWriteSync(benchmark::State& state) {
    WriteLimit(state, true);
}
void BM_LimitWrite(benchmark::State& state) {
    WriteLimit(state, false);
}

// The report benchmarks: the shipped full listing with every field printed, run by the
// interpreter and written by hand, over the loaded document. The document is already in memory,
// so this is the report's own cost. The clock is fixed so that both write the very same page.
constexpr std::string_view kListingName = "Full listing";
constexpr std::string_view kListingTitle = "document.zvd";
const DateTimeValue kListingNow{45000.5, 0};

struct Listing {
    report::CTemplateSet templates;
    const report::CTemplate* start = nullptr;
    std::unique_ptr<report::IDateFormatter> dates;
    std::size_t pageBytes = 0;
    // Where both ways write the page: memory already there, as a file's page cache would be.
    // (A new string each time would measure the kernel handing out fresh pages.)
    std::string memory;
    std::string error;  // why the listing cannot be measured
};

Listing* gListing = nullptr;

std::string ReadFile(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) {
            text.append(buf, n);
        }
        std::fclose(f);
    }
    return text;
}

void RunListing(const CFolderSequence& folders, Listing& l, report::CStringOutput& page) {
    report::CReportCursor cursor;
    cursor.Reset(folders, std::string(kListingName));
    report::CReportEnvironment env({folders, cursor, report::PrintFlags::All(1),
                                    std::string(kListingTitle), *l.dates,
                                    [] { return kListingNow; }});
    report::Run(*l.start, &env, page, nullptr, report::RunOptions{.runCommand = {}});
}

void WriteListingByHand(const CFolderSequence& folders, const Listing& l, std::string& page) {
    bench::WriteNativeListing(folders, *l.dates, {kListingTitle, kListingName, kListingNow}, page);
}

// Compiles the template and checks, once, that both ways give the same page. That run also fills
// the date formatter's memory, which both ways then share.
Listing& PrepareListing(const CFolderSequence& folders) {
    if (gListing != nullptr) {
        return *gListing;
    }
    static Listing listing;
    gListing = &listing;
    const std::string path =
        report::TemplateFilePath(ZELVANT_TEMPLATES_DIR, std::string(kListingName));
    report::CStringOutput diagnostics;
    listing.templates.LoadText(ReadFile(path), diagnostics);
    listing.start = listing.templates.Find("start");
    listing.dates = report::MakeSystemDateFormatter();
    if (listing.start == nullptr) {
        listing.error = "no start template in " + path;
        return listing;
    }
    report::CStringOutput page;
    RunListing(folders, listing, page);
    std::string native;
    WriteListingByHand(folders, listing, native);
    if (page.text.find("iteration max") != std::string::npos) {
        listing.error = "the loop limit stopped the report";
    } else if (page.text != native) {
        const auto diff =
            std::mismatch(page.text.begin(), page.text.end(), native.begin(), native.end());
        listing.error = "the plain C++ page differs from the template's at byte " +
                        std::to_string(diff.first - page.text.begin());
    }
    listing.pageBytes = page.text.size();
    listing.memory = std::move(page.text);
    return listing;
}

void BM_ReportFullListing(benchmark::State& state) {
    Listing& l = PrepareListing(g->loaded);
    if (!l.error.empty()) {
        state.SkipWithError(l.error.c_str());
        return;
    }
    report::CStringOutput page;
    page.text.swap(l.memory);
    for (auto _ : state) {
        page.text.clear();
        RunListing(g->loaded, l, page);
        benchmark::DoNotOptimize(page.text.data());
    }
    l.memory.swap(page.text);
    state.counters["page MiB"] = static_cast<double>(l.pageBytes) / kMiB;
    state.counters["records/s"] =
        benchmark::Counter(kRecords, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReportNativeFloor(benchmark::State& state) {
    Listing& l = PrepareListing(g->loaded);
    if (!l.error.empty()) {
        state.SkipWithError(l.error.c_str());
        return;
    }
    for (auto _ : state) {
        l.memory.clear();
        WriteListingByHand(g->loaded, l, l.memory);
        benchmark::DoNotOptimize(l.memory.data());
    }
    state.counters["page MiB"] = static_cast<double>(l.pageBytes) / kMiB;
    state.counters["records/s"] =
        benchmark::Counter(kRecords, benchmark::Counter::kIsIterationInvariantRate);
}

// What callgrind's --toggle-collect='*ProfiledListings*' counts.
[[gnu::noinline]] void ProfiledListings(const CFolderSequence& folders, Listing& l, bool byHand,
                                        int times) {
    for (int i = 0; i < times; ++i) {
        if (byHand) {
            l.memory.clear();
            WriteListingByHand(folders, l, l.memory);
            benchmark::DoNotOptimize(l.memory.data());
        } else {
            report::CStringOutput page;
            page.text.swap(l.memory);
            page.text.clear();
            RunListing(folders, l, page);
            benchmark::DoNotOptimize(page.text.data());
            l.memory.swap(page.text);
        }
    }
}

// For instruction counts under valgrind: builds the document in memory, skipping the file, and
// writes the listing `times` times one way ("template" or "native").
int ProfileListing(std::string_view way, int times) {
    CFolderSequence folders;
    bench::BuildSampleDocument(folders, kRecords);
    Listing& l = PrepareListing(folders);
    if (!l.error.empty() || (way != "template" && way != "native")) {
        std::cerr << (l.error.empty() ? "the way is \"template\" or \"native\"" : l.error) << "\n";
        return 1;
    }
    ProfiledListings(folders, l, way == "native", times);
    return 0;
}

void BM_LoadSealed(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        auto folders = std::make_unique<CFolderSequence>();
        if (!LoadDataFile(g->sealedFile, g->sealedKey, *folders, log).ok) {
            state.SkipWithError("sealed load failed");
            break;
        }
        benchmark::DoNotOptimize(folders.get());
        state.PauseTiming();
        folders.reset();
        state.ResumeTiming();
    }
    SetCounters(state, true);
}

void BM_SaveSealedSafely(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        if (!SaveDataFileSafely(g->sealedSaveFile, g->sealedKey, g->loaded, g->columnLayout, log)) {
            state.SkipWithError("sealed save failed");
            break;
        }
    }
    SetCounters(state, true);
}

void BM_SaveSealedInPlace(benchmark::State& state) {
    CMessageLog log;
    for (auto _ : state) {
        if (!SaveDataFile(g->sealedPlainFile, g->sealedKey, g->loaded, g->columnLayout, log)) {
            state.SkipWithError("sealed save failed");
            break;
        }
        state.PauseTiming();
        fs::remove(g->sealedPlainFile);
        state.ResumeTiming();
    }
    SetCounters(state, true);
}

// One XChaCha20-Poly1305 pass over a payload of the sealed file's size: the cipher's share.
void BM_LimitXChaCha(benchmark::State& state) {
    std::vector<std::uint8_t> buf(g->sealedPayload, 0x5A);
    std::uint8_t tag[crypto_aead_xchacha20poly1305_ietf_ABYTES];
    const std::uint8_t nonce[crypto_aead_xchacha20poly1305_ietf_NPUBBYTES] = {};
    const std::uint8_t key[crypto_aead_xchacha20poly1305_ietf_KEYBYTES] = {1};
    for (auto _ : state) {
        crypto_aead_xchacha20poly1305_ietf_encrypt_detached(
            buf.data(), tag, nullptr, buf.data(), buf.size(), nullptr, 0, nullptr, nonce, key);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buf.size()));
}

// The best single run of each fresh-process benchmark, in seconds: on a shared machine the
// mean of a few runs of a whole program says more about the neighbours than about the program.
std::map<std::string, double> g_bestRun;

// Opening the file in a fresh process each time: a new heap, new page tables and the program's
// start, which the loop above never pays after its first round.
void RunCold(benchmark::State& state, const char* name, const std::vector<std::string>& argv,
             std::string_view input, std::string_view expect) {
    if (argv.empty() || argv[0].empty()) {
        state.SkipWithError("program not found");
        return;
    }
    double best = -1;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bench::ChildResult r = bench::RunMeasured(argv, input);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!r.started || r.exitCode != 0 || r.output.find(expect) == std::string::npos) {
            state.SkipWithError((argv[0] + " failed").c_str());
            return;
        }
        best = best < 0 ? took.count() : std::min(best, took.count());
    }
    const auto [it, added] = g_bestRun.emplace(name, best);
    if (!added && best < it->second) {
        it->second = best;
    }
    state.counters["best ms"] = best * 1e3;
}

double BestRun(const std::string& name) {
    const auto it = g_bestRun.find(name);
    return it == g_bestRun.end() ? -1.0 : it->second;
}

std::string SelfPath();

void BM_LoadColdCli(benchmark::State& state) {
#ifdef ZELVANT_CLI_PATH
    RunCold(state, "cli info", {ZELVANT_CLI_PATH, "info", "--password-stdin", g->file},
            std::string(kPassword) + "\n", "Records: 100000");
#else
    state.SkipWithError("zelvant-cli not built");
#endif
}

// The same load with none of the command-line tool's start or libraries.
void BM_LoadColdAlone(benchmark::State& state) {
    RunCold(state, "load alone", {SelfPath(), "--load-child", g->file},
            std::string(kPassword) + "\n", "Records: 100000");
}

// The start of the command-line tool alone: loading its libraries and nothing else.
void BM_StartCli(benchmark::State& state) {
#ifdef ZELVANT_CLI_PATH
    RunCold(state, "cli start", {ZELVANT_CLI_PATH, "--version"}, "", "zelvant-cli");
#else
    state.SkipWithError("zelvant-cli not built");
#endif
}

std::string OnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = std::min(dirs.find(':'), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(0, colon)) / program;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
        dirs.remove_prefix(std::min(colon + 1, dirs.size()));
    }
    return {};
}

// One bulk AES pass over the file's bytes by an external tool in a fresh process: reading the
// file and decrypting it, the least a fresh process opening it could pay.
void BM_LimitColdBulkAes(benchmark::State& state) {
    std::string hex;
    for (std::size_t i = 0; i < kAesKeySize; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", g->key.Bytes()[i]);
        hex += b;
    }
    RunCold(state, "bulk pass",
            {OnPath("openssl"), "enc", "-d", "-aes-128-ecb", "-nopad", "-K", hex, "-in", g->file,
             "-out", "/dev/null"},
            "", "");
}

// What one password guess costs an attacker who has the file. Legacy: one AES key schedule and
// one block, then a look at the signature.
void BM_GuessLegacy(benchmark::State& state) {
    std::uint8_t block[16] = {};
    std::uint64_t guess = 0;
    for (auto _ : state) {
        std::uint8_t key[kAesKeySize] = {};
        std::memcpy(key, &++guess, sizeof guess);
        CryptoPP::AES::Decryption aes(key, kAesKeySize);
        aes.ProcessBlock(g->bytes.data(), block);
        benchmark::DoNotOptimize(block);
    }
    state.counters["guesses/s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

// Sealed: one Argon2id derivation with the parameters sealing chooses on this machine.
void BM_GuessSealed(benchmark::State& state) {
    std::uint8_t out[kSealedKeySize];
    const Salt salt{};
    for (auto _ : state) {
        if (!Argon2idDerive("guess", salt, g->guessParams,
                            std::span<std::uint8_t, kSealedKeySize>(out))) {
            state.SkipWithError("derivation failed");
            break;
        }
        benchmark::DoNotOptimize(out);
    }
    state.counters["guesses/s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MiB"] = g->guessParams.memoryKiB / 1024.0;
    state.counters["passes"] = g->guessParams.passes;
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadColdCli)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadColdAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartCli)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitColdBulkAes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadSealed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveSealedSafely)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveSealedInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitXChaCha)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GuessLegacy)->UseRealTime();
BENCHMARK(BM_GuessSealed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SaveSafely)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitWriteSync)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LimitWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
// The ratio of these two is a target. They take turns, five times each, and the summary takes
// the best time of each, so that a busy spell of the machine weighs on both alike.
void RegisterReportBenchmarks() {
    for (int turn = 0; turn < 5; ++turn) {
        benchmark::RegisterBenchmark("BM_ReportFullListing", BM_ReportFullListing)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_ReportNativeFloor", BM_ReportNativeFloor)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

bool Prepare(Setup& s) {
    std::string pattern = (fs::temp_directory_path() / "zelvant-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return false;
    }
    s.dir = pattern;
    s.file = (s.dir / "document.zvd").string();
    s.saveFile = (s.dir / "saved.zvd").string();
    s.plainFile = (s.dir / "plain.zvd").string();
    s.limitFile = (s.dir / "raw.bin").string();
    s.sealedFile = (s.dir / "sealed.zvd").string();
    s.sealedSaveFile = (s.dir / "sealed-saved.zvd").string();
    s.sealedPlainFile = (s.dir / "sealed-plain.zvd").string();
    s.key = MakeFileKey(kPassword);

    CMessageLog log;
    {
        CFolderSequence generated;
        bench::BuildSampleDocument(generated, kRecords);
        if (!SaveDataFile(s.file, s.key, generated, bench::kSampleColumnLayout, log)) {
            std::cerr << "cannot write " << s.file << "\n";
            return false;
        }
    }
    const LoadResult result = LoadDataFile(s.file, s.key, s.loaded, log);
    if (!result.ok || s.loaded.TotalRecordCount() != kRecords) {
        std::cerr << "cannot load " << s.file << "\n";
        return false;
    }
    s.columnLayout = result.columnLayout;
    s.bytes.resize(fs::file_size(s.file));
    std::FILE* f = std::fopen(s.file.c_str(), "rb");
    const bool read =
        f != nullptr && std::fread(s.bytes.data(), 1, s.bytes.size(), f) == s.bytes.size();
    if (f != nullptr) {
        std::fclose(f);
    }
    // What was loaded must save to the very same bytes, or the timings measure the wrong thing.
    if (!read || SaveDataToMemory(s.key, s.loaded, s.columnLayout) != s.bytes) {
        std::cerr << "the loaded document does not save to the bytes it was loaded from\n";
        return false;
    }
    // The sealed file's key with the least parameters a reader accepts: what is timed does not
    // depend on them.
    SealedHeader header;
    header.params = {kMinSealMemoryKiB, kMinSealPasses};
    RandomBytes(header.salt);
    s.sealedKey = KeyForFile(FileCheck::Sealed, header, kPassword, Argon2idDerive);
    if (s.sealedKey.Empty() ||
        !SaveDataFile(s.sealedFile, s.sealedKey, s.loaded, s.columnLayout, log)) {
        std::cerr << "cannot write " << s.sealedFile << "\n";
        return false;
    }
    s.sealedPayload = fs::file_size(s.sealedFile) - kSealedHeaderSize - kSealTagSize;
    s.guessParams = CalibratedSealParams();
    return true;
}

// Stand-in for the command-line tool: loads the file named by argv and nothing else.
int LoadChild(const char* path) {
    std::string password;
    std::getline(std::cin, password);
    CFolderSequence folders;
    CMessageLog log;
    const bool ok = LoadDataFile(path, MakeFileKey(password), folders, log).ok;
    std::cout << "Records: " << folders.TotalRecordCount() << "\n";
    return ok ? 0 : 1;
}

std::string SelfPath() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).string();
}

const char* Verdict(bool ok) {
    return ok ? "ok" : "MISSED";
}

void PrintRatio(const char* what, double t, double limit, const char* parts) {
    if (t < 0 || limit <= 0) {
        std::printf("  %-26s  not measured\n", what);
        return;
    }
    const double ratio = t / limit;
    std::printf(
        "  %-26s %9.1f ms   %9.0f records/s   limit %7.1f ms (%s)   %5.2fx  target < 5x: %s\n",
        what, t * 1e3, kRecords / t, limit * 1e3, parts, ratio, Verdict(ratio < 5.0));
}

// The interpreter against the same page written by hand, in the same run.
void PrintReportRatio(double t, double floor) {
    constexpr double kTarget = 1.5;
    if (t < 0 || floor <= 0) {
        std::printf("  %-26s  not measured\n", "report (full listing)");
        return;
    }
    const double ratio = t / floor;
    std::printf(
        "  %-26s %9.1f ms   %9.0f records/s   floor %7.1f ms (same page in plain C++)   %5.2fx  "
        "target <= %.1fx: %s\n",
        "report (full listing)", t * 1e3, kRecords / t, floor * 1e3, ratio, kTarget,
        Verdict(ratio <= kTarget));
}

// Opening the file, cold and warm, against one bulk AES pass over its bytes. A fresh process is
// set against the pass by an external tool in a fresh process, and the warm loop against the
// pass in this process.
void PrintLoadAgainstBulkPass(const bench::CBestTimesReporter& rep, double warmLimit) {
    constexpr double kTarget = 3.0;
    const double coldLimit = BestRun("bulk pass");
    std::printf(
        "\nLoad against one bulk AES pass over the file (fresh processes: best run; target for a "
        "fresh zelvant-cli info < %.0fx):\n",
        kTarget);
    if (coldLimit > 0) {
        std::printf("  %-36s %7.1f ms\n", "bulk pass, fresh process (openssl)", coldLimit * 1e3);
    } else {
        std::printf("  %-36s  not measured (openssl not found)\n", "bulk pass, fresh process");
    }
    if (warmLimit > 0) {
        std::printf("  %-36s %7.1f ms\n", "bulk pass in process (decrypt+read)", warmLimit * 1e3);
    }
    const auto row = [&](const char* what, double t, double limit, const char* against,
                         double target) {
        if (t < 0 || limit <= 0) {
            std::printf("  %-36s  not measured\n", what);
            return;
        }
        std::printf("  %-36s %7.1f ms   %5.2fx the %s  target < %.0fx: %s\n", what, t * 1e3,
                    t / limit, against, target, Verdict(t / limit < target));
    };
    row("cold: zelvant-cli info", BestRun("cli info"), coldLimit, "fresh-process pass", kTarget);
    row("cold: LoadDataFile alone", BestRun("load alone"), coldLimit, "fresh-process pass",
        kTarget);
    // The warm loop keeps the target it has always had against the pass in this process.
    row("warm: load in a loop", rep.Time("BM_Load"), warmLimit, "in-process pass  ", 5.0);
    if (const double start = BestRun("cli start"); start > 0) {
        std::printf("  %-36s %7.1f ms   (zelvant-cli --version: its libraries loaded)\n",
                    "of which the program's start", start * 1e3);
    }
}

// Peak memory of a program that opens the file, against twice the file plus 30 MiB.
void PrintMemory(const char* what, const std::vector<std::string>& argv) {
    const double fileMiB = static_cast<double>(g->bytes.size()) / kMiB;
    const double budget = 2.0 * fileMiB + 30.0;
    const bench::ChildResult r =
        bench::RunMeasuredViaHelper(SelfPath(), argv, std::string(kPassword) + "\n");
    const bool loaded = r.started && r.exitCode == 0 &&
                        (r.output.find("100000") != std::string::npos ||
                         r.output.find("100,000") != std::string::npos);
    if (!loaded) {
        std::printf("  %-26s  did not load the file (exit %d)\n", what, r.exitCode);
        return;
    }
    const double peak = static_cast<double>(r.maxRssKiB) / 1024.0;
    std::printf("  %-26s %9.1f MiB peak RSS   target < 2 x %.1f + 30 = %.1f MiB: %s\n", what, peak,
                fileMiB, budget, Verdict(peak < budget));
}

void PrintSummary(const bench::CBestTimesReporter& rep) {
    const double decrypt = rep.Time("BM_LimitDecrypt");
    const double encrypt = rep.Time("BM_LimitEncrypt");
    const double read = rep.Time("BM_LimitRead");
    const double writeSync = rep.Time("BM_LimitWriteSync");
    const double write = rep.Time("BM_LimitWrite");
    auto sum = [](double a, double b) { return a < 0 || b < 0 ? -1.0 : a + b; };

    std::printf("\nZelvant store: %d records in %d folders, file %.1f MiB (%zu bytes) in %s\n",
                kRecords, g->loaded.Count(), static_cast<double>(g->bytes.size()) / kMiB,
                g->bytes.size(), g->dir.c_str());
    std::printf("Limits:");
    const std::pair<const char*, double> limits[] = {{"AES decrypt", decrypt},
                                                     {"AES encrypt", encrypt},
                                                     {"read", read},
                                                     {"write", write},
                                                     {"write+fsync", writeSync}};
    for (const auto& [label, t] : limits) {
        if (t >= 0) {
            std::printf("  %s %.1f ms", label, t * 1e3);
        } else {
            std::printf("  %s n/a", label);
        }
    }
    std::printf("\n");
    PrintRatio("load", rep.Time("BM_Load"), sum(decrypt, read), "decrypt+read");
    PrintRatio("save safely (fsync)", rep.Time("BM_SaveSafely"), sum(encrypt, writeSync),
               "encrypt+write+fsync");
    PrintRatio("save in place (no fsync)", rep.Time("BM_SaveInPlace"), sum(encrypt, write),
               "encrypt+write");

    PrintReportRatio(rep.Time("BM_ReportFullListing"), rep.Time("BM_ReportNativeFloor"));

    PrintLoadAgainstBulkPass(rep, sum(decrypt, read));

    const double xchacha = rep.Time("BM_LimitXChaCha");
    std::printf("\nSealed form: file %.1f MiB; XChaCha20-Poly1305 pass ",
                static_cast<double>(fs::file_size(g->sealedFile)) / kMiB);
    if (xchacha > 0) {
        std::printf("%.1f ms\n", xchacha * 1e3);
    } else {
        std::printf("n/a\n");
    }
    const std::tuple<const char*, const char*, const char*> pairs[] = {
        {"load (minus derivation)", "BM_LoadSealed", "BM_Load"},
        {"save safely (fsync)", "BM_SaveSealedSafely", "BM_SaveSafely"},
        {"save in place", "BM_SaveSealedInPlace", "BM_SaveInPlace"}};
    for (const auto& [what, sealed, legacy] : pairs) {
        const double ts = rep.Time(sealed);
        const double tl = rep.Time(legacy);
        if (ts < 0 || tl <= 0 || xchacha <= 0) {
            std::printf("  %-26s  not measured\n", what);
            continue;
        }
        std::printf(
            "  %-26s %9.1f ms   legacy %7.1f ms   %5.2fx  target <= 1.2x: %s   %6.1fx the "
            "XChaCha pass\n",
            what, ts * 1e3, tl * 1e3, ts / tl, Verdict(ts / tl <= 1.2), ts / xchacha);
    }
    const double guessLegacy = rep.Time("BM_GuessLegacy");
    const double guessSealed = rep.Time("BM_GuessSealed");
    if (guessLegacy > 0 && guessSealed > 0) {
        std::printf(
            "  one guess: legacy %.0f ns (%.3g guesses/s per core), sealed %.0f ms "
            "(%.2f guesses/s per core; Argon2id %u MiB, %u passes): %.3gx dearer\n",
            guessLegacy * 1e9, 1 / guessLegacy, guessSealed * 1e3, 1 / guessSealed,
            g->guessParams.memoryKiB / 1024, g->guessParams.passes, guessSealed / guessLegacy);
    }

#ifdef ZELVANT_CLI_PATH
    PrintMemory("zelvant-cli info", {ZELVANT_CLI_PATH, "info", "--password-stdin", g->file});
#else
    std::printf("  %-26s  not built\n", "zelvant-cli info");
#endif
    PrintMemory("LoadDataFile alone", {SelfPath(), "--load-child", g->file});
}

// Writes the benchmark's legacy file for timing tools by hand, and prints its AES key in hex
// for an external bulk pass (openssl enc -d -aes-128-ecb -nopad -K KEY).
int WriteSample(const char* path) {
    CFolderSequence generated;
    bench::BuildSampleDocument(generated, kRecords);
    CMessageLog log;
    const FileKey key = MakeFileKey(kPassword);
    if (!SaveDataFile(path, key, generated, bench::kSampleColumnLayout, log)) {
        std::cerr << "cannot write " << path << "\n";
        return 1;
    }
    std::cout << "password: " << kPassword << "\nkey: ";
    for (std::uint8_t b : key.Bytes()) {
        std::printf("%02x", b);
    }
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--load-child") {
        return LoadChild(argv[2]);
    }
    if (argc == 4 && std::string_view(argv[1]) == "--profile-listing") {
        return ProfileListing(argv[2], std::atoi(argv[3]));
    }
    if (argc == 3 && std::string_view(argv[1]) == "--write-sample") {
        return WriteSample(argv[2]);
    }
    if (argc >= 2 && std::string_view(argv[1]) == bench::kHelperFlag) {
        return bench::PeakMemoryHelperMain(argc, argv);
    }
    RegisterReportBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    auto setup = std::make_unique<Setup>();
    g = setup.get();
    const bool prepared = Prepare(*setup);
    if (prepared) {
        bench::CBestTimesReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        PrintSummary(reporter);
    }
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(setup->dir, ec);
    return prepared ? 0 : 1;
}
