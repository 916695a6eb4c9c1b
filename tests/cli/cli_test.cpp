// Runs the real zelvant-cli on real files in a temporary folder.

#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>

#include <csignal>

#include "store/messages.h"
#include "support/cli_fixture.h"
#include "support/sealed_reference.h"

namespace {

using namespace zelvant::clitest;
using CliTest = CliFixture;

const std::string kBadFile = std::string(zelvant::msg::kBadFile) + "\n";

TEST_F(CliTest, CreateWritesAnEmptyPrivateFileAndRefusesToOverwrite) {
    EXPECT_EQ(Run({"create", "v.zvd", "--password-stdin"}, "pw\n").status, 0);
    EXPECT_EQ(fs::file_size(dir / "v.zvd"), 64u);
    EXPECT_TRUE(OwnerOnly(dir / "v.zvd"));
    const Result info = Run({"info", "v.zvd", "--password-stdin"}, "pw\r\n");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "File: " + (dir / "v.zvd").string() +
                            "\nFile version: 101\nProtection: legacy (no key derivation; weak)\n"
                            "Folders: 0\nRecords: 0\nSize: 64 bytes\n"
                            "Rewritten as version 101 on next save: no\n");

    const Result again = Run({"create", "v.zvd", "--password-stdin"}, "other\n");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "zelvant-cli: v.zvd already exists; use --force to replace it\n");
    EXPECT_EQ(Run({"info", "v.zvd", "--password-stdin"}, "pw\n").status, 0);
    EXPECT_EQ(Run({"create", "v.zvd", "--force", "--password-stdin"}, "other\n").status, 0);
    EXPECT_EQ(Run({"info", "v.zvd", "--password-stdin"}, "other\n").status, 0);
}

// Writing commands save as the desktop program does, with its stored settings.
TEST_F(CliTest, WritesHonourAlwaysBackupAndRememberPass) {
    ASSERT_EQ(ImportSample().status, 0);
    const std::string before = Slurp(dir / "s.zvd");
    StoreSettings("AlwaysBackup=1\n");
    ASSERT_EQ(RunPw({"import", "s.zvd", "e.json"}).status, 1);  // no such file: nothing happens
    Spit(dir / "e.json", R"({"format": "zelvant-json", "version": 1, "folders": [{"name": "X"}]})");
    ASSERT_EQ(RunPw({"import", "s.zvd", "e.json"}).status, 0);
    EXPECT_EQ(Slurp(dir / "s.zvb"), before);
    EXPECT_TRUE(OwnerOnly(dir / "s.zvb"));
    EXPECT_NE(Slurp(dir / "s.zvd"), before);

    // Without RememberPass every save asks for a new password, as the program's dialogs do.
    StoreSettings("RememberPass=0\n");
    const Result asked = RunPw({"import", "s.zvd", "e.json"}, "fresh\n");
    EXPECT_EQ(asked.status, 0) << asked.err;
    EXPECT_EQ(Run({"info", "s.zvd", "--password-stdin"}, "fresh\n").status, 0);
    EXPECT_EQ(RunPw({"info", "s.zvd"}).err, kBadFile);
}

TEST_F(CliTest, NewPasswordsAreChecked) {
    EXPECT_EQ(Run({"create", "a.zvd", "--password-stdin"}, "\n").err,
              std::string(zelvant::msg::kEmptyPassword) + "\n");
    const Result tooLong = Run({"create", "a.zvd", "--password-stdin"}, std::string(33, 'x'));
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find("at most 32 characters"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "a.zvd"));
    // Characters count, not bytes.
    EXPECT_EQ(
        Run({"create", "a.zvd", "--password-stdin"}, "\xC3\xA9" + std::string(31, 'x')).status, 0);
}

TEST_F(CliTest, ImportAndExportReproduceTheSamplesExactly) {
    ASSERT_EQ(ImportSample().status, 0);
    EXPECT_EQ(Slurp(dir / "s.zvd"), Slurp(kSamples + "sample-v101.zvd"));

    const Result exported = RunPw({"export", "s.zvd"});
    EXPECT_EQ(exported.out, Slurp(kSamples + "sample-v101.json") + "\n");
    // Importing into an existing file keeps its password.
    Spit(dir / "e.json", exported.out);
    EXPECT_EQ(RunPw({"import", "s.zvd", "e.json"}).status, 0);
    EXPECT_EQ(RunPw({"export", "s.zvd", "--output", "again.json"}).status, 0);
    EXPECT_EQ(Slurp(dir / "again.json"), exported.out);
    EXPECT_TRUE(OwnerOnly(dir / "again.json"));
    EXPECT_EQ(RunPw({"export", "s.zvd", "--output", "s.zvd"}).status, 1);

    // JSON on standard input after the password line.
    EXPECT_EQ(RunPw({"import", "n.zvd", "-"}, exported.out).status, 0);
    EXPECT_EQ(Slurp(dir / "n.zvd"), Slurp(kSamples + "sample-v101.zvd"));

    const Result csv = RunPw({"export", "s.zvd", "--format=csv"});
    EXPECT_TRUE(csv.out.starts_with("\"Folder\",\"Site Name/Description\","));
    EXPECT_NE(csv.out.find("\"Banking/Cards\",\"Loyalty card\","), std::string::npos);
}

TEST_F(CliTest, WrongPasswordsAndBadJsonLeaveFilesUntouched) {
    ASSERT_EQ(ImportSample().status, 0);
    for (const char* cmd : {"info", "ls", "export", "passwd"}) {
        const Result r = Run({cmd, "s.zvd", "--password-stdin"}, "correct hors\nx\n");
        EXPECT_EQ(r.status, 1) << cmd;
        EXPECT_EQ(r.err, kBadFile) << cmd;
        EXPECT_EQ(r.out, "") << cmd;
    }
    Spit(dir / "bad.json",
         R"({"format": "zelvant-json", "version": 1, "folders": [{"parent": 0}]})");
    const Result bad = RunPw({"import", "s.zvd", "bad.json"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(
        bad.err,
        "zelvant-cli: bad.json: folders[0].parent: must be -1 or the index of an earlier folder\n");
    EXPECT_EQ(
        Run({"import", "s.zvd", kSamples + "sample-v101.json", "--password-stdin"}, "nope\n").err,
        kBadFile);
    EXPECT_EQ(Slurp(dir / "s.zvd"), Slurp(kSamples + "sample-v101.zvd"));
}

TEST_F(CliTest, LegacyFileOpensWithItsPasswordTypedAsUtf8) {
    const std::string legacy = kSamples + "legacy-v100-cp1252.zvd";
    const Result info = Run({"info", legacy, "--password-stdin"}, "M\xC3\xBCller\n");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("File version: 100\n"), std::string::npos);
    EXPECT_NE(info.out.find("Rewritten as version 101 on next save: yes\n"), std::string::npos);
    const Result show = Run({"show", legacy, "Caf\xC3\xA9 & Co/M\xC3\xBCnchen Stadtwerke",
                             "--reveal", "--password-stdin"},
                            "M\xC3\xBCller\n");
    EXPECT_NE(show.out.find("Password: gr\xC3\xBC\xC3\x9F gott\n"), std::string::npos) << show.err;
    EXPECT_NE(show.out.find("Notes: Stra\xC3\x9F"
                            "e 5\n\xE2\x82\xAC 100 monthly\n"),
              std::string::npos);
}

TEST_F(CliTest, LsListsTheTreeSortedAndNested) {
    ASSERT_EQ(ImportSample().status, 0);
    EXPECT_EQ(RunPw({"ls", "s.zvd"}).out,
              "Banking/\n  Example Bank\n  Credit card\n  Cards/\n    Loyalty card\n"
              "Empty folder/\nWork/\n  Intranet\n  VPN\n  Sub of Work/\n    Wiki\n");
    EXPECT_EQ(RunPw({"ls", "s.zvd", "Work", "--index"}).out,
              "#0/0 Intranet\n#0/1 VPN\n#4 Sub of Work/\n  #4/0 Wiki\n");
    EXPECT_EQ(RunPw({"ls", "s.zvd", "#2"}).out, "Loyalty card\n");
    const Result missing = RunPw({"ls", "s.zvd", "Nope"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zelvant-cli: no folder \"Nope\"\n");
}

TEST_F(CliTest, ShowMasksUnlessRevealed) {
    ASSERT_EQ(ImportSample().status, 0);
    const Result masked = RunPw({"show", "s.zvd", "Banking/Example Bank"});
    EXPECT_EQ(
        masked.out,
        "Folder: Banking\nSite Name/Description: Example Bank\nLocation: https://bank.example\n"
        "Email:\nAccount Name: ********\nAccount Number: ***************************\n"
        "Username/ID: ********\nPassword: ********************\nPin Number: ****\n"
        "Created: 2026-12-05 09:45:00\nLast Modified: 2026-12-06 12:00:00\nExpires On:\n"
        "Notes:\n");
    const Result clear = RunPw({"show", "s.zvd", "#1/0", "--reveal"});
    EXPECT_NE(clear.out.find("Password: S3cure!Passw0rd#2026\nPin Number: 0000\n"),
              std::string::npos);
    const Result expiring = RunPw({"show", "s.zvd", "Work/VPN"});
    EXPECT_NE(
        expiring.out.find("Expires On: 2027-04-23\nNotes: Token serial 12345\nRenew yearly\n"),
        std::string::npos);
}

TEST_F(CliTest, DuplicateNamesAreReportedWithTheirAddresses) {
    Spit(dir / "dup.json", R"({"format": "zelvant-json", "version": 1, "folders": [
        {"name": "Mail", "records": [{"siteName": "Inbox"}]},
        {"name": "Mail", "records": [{"siteName": "Inbox", "password": "second"}]}]})");
    ASSERT_EQ(Run({"import", "d.zvd", "dup.json", "--password-stdin"}, "pw\n").status, 0);
    const Result r = Run({"show", "d.zvd", "Mail/Inbox", "--password-stdin"}, "pw\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "zelvant-cli: \"Mail/Inbox\" names more than one record: #0/0, #1/0; use one of "
              "these addresses instead\n");
    EXPECT_NE(
        Run({"show", "d.zvd", "#1/0", "--reveal", "--password-stdin"}, "pw\n").out.find("second"),
        std::string::npos);
}

TEST_F(CliTest, PasswdReplacesThePasswordAndKeepsTheContents) {
    ASSERT_EQ(ImportSample().status, 0);
    EXPECT_EQ(RunPw({"passwd", "s.zvd"}, "battery staple\n").status, 0);
    EXPECT_EQ(RunPw({"info", "s.zvd"}).err, kBadFile);
    EXPECT_EQ(Run({"export", "s.zvd", "--password-stdin"}, "battery staple\n").out,
              Slurp(kSamples + "sample-v101.json") + "\n");
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndHelpWorksEverywhere) {
    const std::vector<std::vector<std::string>> usage = {{},
                                                         {"frob"},
                                                         {"--frob"},
                                                         {"ls"},
                                                         {"ls", "a", "b", "c"},
                                                         {"show", "a.zvd", "x", "--bogus"},
                                                         {"export", "a.zvd", "--format", "xml"},
                                                         {"export", "a.zvd", "--output"},
                                                         {"create", "a", "--force=1"}};
    for (const auto& args : usage) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(r.err.find("Try 'zelvant-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    for (const char* cmd :
         {"create", "info", "ls", "show", "export", "import", "passwd", "report"}) {
        const Result help = Run({cmd, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.starts_with(std::string("usage: zelvant-cli ") + cmd)) << help.out;
        EXPECT_NE(help.out.find("Example:"), std::string::npos);
        EXPECT_EQ(Run({cmd, "x", "--version"}).out, "zelvant-cli " ZELVANT_VERSION "\n");
    }
    const Result top = Run({"--help"});
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("  passwd"), std::string::npos);
    EXPECT_NE(top.out.find("  report"), std::string::npos);
    EXPECT_EQ(Run({"--version"}).out, "zelvant-cli " ZELVANT_VERSION "\n");
}

// Reads from the pseudo-terminal until `want` shows up or the child is gone.
bool ReadUntil(int fd, std::string& seen, std::string_view want) {
    while (seen.find(want) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10000) <= 0) {
            return false;
        }
        char buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            return false;
        }
        seen.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

// Runs the tool on a terminal of its own, answering each prompt in turn. `echo` tells whether
// the terminal echoes again once the tool is gone.
Result RunOnTerminal(const fs::path& cwd, std::vector<std::string> args,
                     const std::vector<std::pair<std::string, std::string>>& dialogue,
                     bool* echo = nullptr) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        args.insert(args.begin(), ZELVANT_CLI);
        execv(ZELVANT_CLI, Argv(args).data());
        _exit(127);
    }
    Result r;
    for (const auto& [prompt, answer] : dialogue) {
        EXPECT_TRUE(ReadUntil(master, r.out, prompt)) << r.out;
        EXPECT_EQ(write(master, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
    }
    ReadUntil(master, r.out, "\x04never");  // to the end of the output
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -128 - WTERMSIG(wstatus);
    termios t{};
    if (echo != nullptr) {
        *echo = tcgetattr(master, &t) == 0 && (t.c_lflag & ECHO) != 0;
    }
    close(master);
    return r;
}

TEST_F(CliTest, TerminalPasswordsAreNotEchoedAndNewOnesAreConfirmed) {
    ASSERT_EQ(ImportSample().status, 0);
    const Result info = RunOnTerminal(dir, {"info", "s.zvd"}, {{"Password: ", "correct horse\n"}});
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("Folders: 5"), std::string::npos);
    EXPECT_EQ(info.out.find("correct horse"), std::string::npos);

    const Result mismatch = RunOnTerminal(
        dir, {"create", "t.zvd"}, {{"New password: ", "abc\n"}, {"Confirm password: ", "abd\n"}});
    EXPECT_EQ(mismatch.status, 1);
    EXPECT_NE(mismatch.out.find(zelvant::msg::kPasswordMismatch), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "t.zvd"));

    const Result created = RunOnTerminal(
        dir, {"create", "t.zvd"}, {{"New password: ", "abc\n"}, {"Confirm password: ", "abc\n"}});
    EXPECT_EQ(created.status, 0) << created.out;
    EXPECT_EQ(Run({"info", "t.zvd", "--password-stdin"}, "abc\n").status, 0);

    bool echo = false;
    const Result interrupted =
        RunOnTerminal(dir, {"info", "t.zvd"}, {{"Password: ", "\x03"}}, &echo);
    EXPECT_EQ(interrupted.status, -128 - SIGINT);
    EXPECT_TRUE(echo);
}

// Another process of the same user must not read the vault out of this one's memory, and a crash
// must not write it into a core file. As root every file in /proc is readable, so the tool then
// runs as nobody, whose /proc files are its own unless it made itself undumpable.
TEST_F(CliTest, ProcessMemoryIsKeptPrivate) {
    const bool root = ::geteuid() == 0;
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_CORE, &before), 0);
    const rlimit wide =
        root ? rlimit{RLIM_INFINITY, RLIM_INFINITY} : rlimit{before.rlim_max, before.rlim_max};
    if (wide.rlim_cur == 0) {
        GTEST_SKIP() << "core files cannot be turned on here";
    }
    ASSERT_EQ(::setrlimit(RLIMIT_CORE, &wide), 0);  // inherited by the tool
    std::vector<std::string> args;
    if (root) {
        args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    // Waits for its new password on standard input, before it touches any file.
    args.insert(args.end(),
                {ZELVANT_CLI, "create", "/nonexistent-zelvant/x.zvd", "--password-stdin"});
    std::vector<char*> argv = Argv(args);
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::setrlimit(RLIMIT_CORE, &before);
    ASSERT_EQ(spawned, 0);

    const std::string proc = "/proc/" + std::to_string(pid);
    bool guarded = false;
    for (int i = 0; i < 500 && !guarded; ++i) {
        guarded =
            Slurp(proc + "/limits").find("Max core file size        0                    0") !=
            std::string::npos;
        if (!guarded) {
            ::usleep(10000);
        }
    }
    EXPECT_TRUE(guarded) << Slurp(proc + "/limits");
    struct stat mem {};
    EXPECT_EQ(::stat((proc + "/mem").c_str(), &mem), 0);
    EXPECT_EQ(mem.st_uid, 0u) << "/proc/PID/mem belongs to the process's own user";
    ::close(input[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// The sealed form with the real key derivation, against the test's own implementation of the
// layout. Each derivation the tool makes here takes about a second: these tests keep them few.
class SealedCliTest : public CliTest {
  protected:
    void SetUp() override {
        legacyNewFiles = false;
        CliTest::SetUp();
    }
    zelvant::reference::Bytes Bytes(const std::string& name) {
        const std::string s = Slurp(dir / name);
        return {s.begin(), s.end()};
    }
};

namespace ref = zelvant::reference;

// 256 characters with combining marks typed (form D); the container holds form C.
const std::string kLongNfd = "Zoe\xCC\x88 " + std::string(251, 'k');
const std::string kLongNfc = "Zo\xC3\xAB " + std::string(251, 'k');

TEST_F(SealedCliTest, CreateSealsAFileThatAnIndependentReaderOpens) {
    const Result tooLong = Run({"create", "s.zvd", "--password-stdin"}, kLongNfd + "k\n");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find("at most 256 characters"), std::string::npos);
    ASSERT_EQ(Run({"create", "s.zvd", "--password-stdin"}, kLongNfd + "\n").status, 0);

    ref::Container header;
    const auto payload = ref::Open(kLongNfc, Bytes("s.zvd"), &header);
    ASSERT_TRUE(payload.has_value());
    const ref::Document doc = ref::Decode(*payload);
    EXPECT_EQ(doc.version, 101);
    EXPECT_TRUE(doc.folders.empty());
    EXPECT_EQ(header.memoryKiB, 256u * 1024);
    EXPECT_GE(header.passes, 3u);
    EXPECT_LE(header.passes, 32u);
}

TEST_F(SealedCliTest, FilesOfAnIndependentWriterOpenAndKeepTheirSalt) {
    ref::Container c;  // 64 MiB, 3 passes: the cheapest a reader accepts
    for (std::size_t i = 0; i < c.salt.size(); ++i) {
        c.salt[i] = static_cast<std::uint8_t>(3 * i);
    }
    ref::Document doc;
    ref::Folder bank{"B\xC3\xA4nk", 1, -1, {}};
    ref::Record r;
    r.text = {{"SiteName", "Example Bank"}, {"Password", "Tide!Compass-77"}};
    bank.records.push_back(r);
    doc.folders = {bank, {"Cards", 0, 0, {}}};
    const auto file = ref::Seal("p\xC3\xA9", c, ref::Encode(doc));
    Spit(dir / "theirs.zvd", std::string(file.begin(), file.end()));

    const Result shown =
        Run({"show", "theirs.zvd", "B\xC3\xA4nk/Example Bank", "--reveal", "--password-stdin"},
            "pe\xCC\x81\n");
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("Password: Tide!Compass-77\n"), std::string::npos);
    EXPECT_EQ(Run({"ls", "theirs.zvd", "--password-stdin"}, "p\xC3\xA9\n").out,
              "B\xC3\xA4nk/\n  Example Bank\n  Cards/\n");
    EXPECT_NE(
        Run({"info", "theirs.zvd", "--password-stdin"}, "p\xC3\xA9\n")
            .out.find("\nProtection: sealed (Argon2id, 64 MiB, 3 passes, XChaCha20-Poly1305)\n"),
        std::string::npos);

    // Wrong password and a changed byte: the same answer, nothing shown.
    EXPECT_EQ(Run({"ls", "theirs.zvd", "--password-stdin"}, "pe\n").err, kBadFile);
    std::string changed(file.begin(), file.end());
    changed[70] ^= 1;
    Spit(dir / "changed.zvd", changed);
    const Result tampered = Run({"ls", "changed.zvd", "--password-stdin"}, "p\xC3\xA9\n");
    EXPECT_EQ(tampered.err, kBadFile);
    EXPECT_EQ(tampered.out, "");

    // Writing into it keeps its salt and parameters and draws a new nonce.
    Spit(dir / "e.json", R"({"format": "zelvant-json", "version": 1, "folders": [{"name": "X"}]})");
    ASSERT_EQ(Run({"import", "theirs.zvd", "e.json", "--password-stdin"}, "p\xC3\xA9\n").status, 0);
    ref::Container after;
    const auto payload = ref::Open("p\xC3\xA9", Bytes("theirs.zvd"), &after);
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(ref::Decode(*payload).folders.at(0).name, "X");
    EXPECT_EQ(after.salt, c.salt);
    EXPECT_EQ(after.memoryKiB, c.memoryKiB);
    EXPECT_EQ(after.passes, c.passes);
    EXPECT_NE(after.nonce, c.nonce);
}

TEST_F(SealedCliTest, PasswdSealsALegacyFileAndConvertsItBackAfterAWarning) {
    StoreSettings("LegacyNewFiles=1\n");
    ASSERT_EQ(Run({"create", "v.zvd", "--password-stdin"}, "old\n").status, 0);
    EXPECT_EQ(fs::file_size(dir / "v.zvd"), 64u);
    fs::copy_file(dir / "v.zvd", dir / "v.zvb");
    EXPECT_EQ(Run({"passwd", "v.zvd", "--seal", "--legacy"}).status, 2);

    // A confirmation line that differs refuses before anything is derived or written.
    const Result mismatch =
        Run({"passwd", "v.zvd", "--seal", "--password-stdin"}, "old\nnew pass\nnew pas\n");
    EXPECT_EQ(mismatch.status, 1);
    EXPECT_EQ(mismatch.err, std::string(zelvant::msg::kPasswordMismatch) + "\n");
    EXPECT_EQ(fs::file_size(dir / "v.zvd"), 64u);

    const Result sealed =
        Run({"passwd", "v.zvd", "--seal", "--password-stdin"}, "old\nnew pass\nnew pass\n");
    EXPECT_EQ(sealed.status, 0) << sealed.err;
    EXPECT_NE(sealed.err.find("v.zvb is an older copy in the legacy form"), std::string::npos);
    const auto bytes = Bytes("v.zvd");
    ASSERT_GE(bytes.size(), 96u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "\x89ZVD\r\n\x1a\n");
    EXPECT_EQ(ref::Get32(bytes.data() + 12), 256u * 1024);

    const Result back =
        Run({"passwd", "v.zvd", "--legacy", "--password-stdin"}, "new pass\nshared\n");
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_NE(back.err.find("warning: v.zvd is being saved in the legacy form"), std::string::npos);
    const Result info = Run({"info", "v.zvd", "--password-stdin"}, "shared\n");
    EXPECT_NE(info.out.find("Protection: legacy (no key derivation; weak)\n"), std::string::npos)
        << info.err;
}
}  // namespace

namespace {

// Reports read the print flags the desktop program stored; each test gets its own settings.
class ReportCliTest : public CliTest {
  protected:
    Result Report(std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"report", kSamples + "sample-v101.zvd"});
        return RunPw(extra);
    }
};

const std::string kShipped = std::string(ZELVANT_TEMPLATES) + "/";

TEST_F(ReportCliTest, EachShippedTemplateReportsTheSample) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"Full listing", {"S3cure!Passw0rd#2026", "Tr0ub4dor&amp;3", "Work / Sub of Work"}},
        {"Password sheet", {"S3cure!Passw0rd#2026", "jane.doe", "Credit card"}},
        {"Summary", {"Banking / Cards", "Empty folder"}},
    };
    for (const auto& [name, texts] : cases) {
        SCOPED_TRACE(name);
        const Result r = Report({"--template", kShipped + name + ".ZVT", "--print", "all"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(r.out.starts_with("<!DOCTYPE html>\n"));
        EXPECT_NE(r.out.find("<title>sample-v101.zvd - " + std::string(name) + "</title>"),
                  std::string::npos);
        for (const std::string& t : texts) {
            EXPECT_NE(r.out.find(t), std::string::npos) << t;
        }
        EXPECT_EQ(r.out.find("command unknown"), std::string::npos);
        EXPECT_EQ(r.out.find("iteration max"), std::string::npos);
    }
}

TEST_F(ReportCliTest, PrintChoicesComeFromOptionOrStoredSettings) {
    EXPECT_NE(Report({"--template", kShipped + "Full listing.ZVT"}).out.find("S3cure!"),
              std::string::npos);
    const Result none = Report({"--template", kShipped + "Full listing.ZVT", "--print", "none"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.find("S3cure!"), std::string::npos);
    EXPECT_EQ(none.out.find("jane.doe"), std::string::npos);

    fs::create_directories(dir / "Quillmere");
    Spit(dir / "Quillmere" / "Zelvant.conf", "[Printing]\nPassword=0\n");
    const Result stored = Report({"--template", kShipped + "Full listing.ZVT"});
    EXPECT_EQ(stored.out.find("S3cure!"), std::string::npos);
    EXPECT_NE(stored.out.find("jane.doe"), std::string::npos);
    EXPECT_NE(Report({"--template", kShipped + "Full listing.ZVT", "--print", "Password"})
                  .out.find("S3cure!"),
              std::string::npos);

    const Result bad = Report({"--template", kShipped + "Summary.ZVT", "--print", "Password,Pins"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown print field 'Pins'"), std::string::npos);
}

TEST_F(ReportCliTest, WithoutFileAShippedTemplateByNameReportsAnEmptyDocument) {
    const Result r = Run({"report", "--template", "summary.zvt"});
    EXPECT_EQ(r.status, 1);  // names are matched as written, only the extension's case is free
    const Result ok = Run({"report", "--template", "Summary"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("<h1>Untitled</h1>"), std::string::npos);
    EXPECT_EQ(ok.err, "");
}

// A template's commands run with the user's rights and record values in them: only when asked.
TEST_F(ReportCliTest, CommandsRunOnlyWithAllowCommands) {
    Spit(dir / "cmd.ZVT", "<# start #>[<# sys.runcmd('touch ran; echo out') #>]<# endtmpl #>");
    const Result refused = Report({"--template", "./cmd.ZVT"});
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.out, "[ could not run command touch ran; echo out ]");
    EXPECT_NE(refused.err.find("--allow-commands"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "ran"));

    const Result allowed = Report({"--template", "./cmd.ZVT", "--allow-commands"});
    EXPECT_EQ(allowed.status, 0);
    EXPECT_EQ(allowed.out, "[out\n]");
    EXPECT_EQ(allowed.err, "");
    EXPECT_TRUE(fs::exists(dir / "ran"));
}

TEST_F(ReportCliTest, TemplateFailuresAndPrivateOutput) {
    const Result missing = Report({"--template", "nope.ZVT"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Cannot find template file\nnope.ZVT\n");
    Spit(dir / "other.ZVT", "<# other #>x<# endtmpl #>");
    const Result noStart = Report({"--template", "./other.ZVT"});
    EXPECT_EQ(noStart.status, 1);
    EXPECT_EQ(noStart.err, "Cannot find template in ./other.ZVT\n");
    EXPECT_EQ(Run({"report", "--template", "./"}).err, "Cannot open ./\n");
    EXPECT_EQ(Run({"report"}).status, 2);

    const Result out = Report({"--template", kShipped + "Summary.ZVT", "--output", "r.html"});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out, "");
    EXPECT_TRUE(Slurp(dir / "r.html").starts_with("<!DOCTYPE html>"));
    EXPECT_TRUE(OwnerOnly(dir / "r.html"));
}

// A name is looked up in the user's folder, the system's, then the program's; a path is a path.
TEST_F(ReportCliTest, TemplateNamesComeFromTheTemplateFoldersNeverTheCurrentOne) {
    const auto put = [this](const fs::path& file, const std::string& text) {
        fs::create_directories((dir / file).parent_path());
        Spit(dir / file, "<# start #>" + text + "<# endtmpl #>");
    };
    put("data/zelvant/templates/Summary.zvt", "user summary");
    put("system/zelvant/templates/Summary.ZVT", "system summary");
    put("system/zelvant/templates/Site.ZVT", "site");
    put("Here.ZVT", "current folder");
    put("zelvant/templates/Rel.ZVT", "relative");

    EXPECT_EQ(Run({"report", "--template", "Summary"}).out, "user summary");
    EXPECT_EQ(Run({"report", "--template", "Site.ZVT"}).out, "site");
    EXPECT_NE(Run({"report", "--template", "Password sheet"}).out.find("<!DOCTYPE html>"),
              std::string::npos);
    const Result here = Run({"report", "--template", "Here.ZVT"});
    EXPECT_EQ(here.status, 1);
    EXPECT_EQ(here.out, "");
    EXPECT_EQ(here.err,
              "Cannot find template file\nHere.ZVT\nzelvant-cli: template names are not looked up "
              "in the current folder; give the file as ./Here.ZVT\n");
    EXPECT_EQ(Run({"report", "--template", "./Here.ZVT"}).out, "current folder");

    const Result list = Run({"templates"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "Full listing\nPassword sheet\nSite\nSummary\n");
    const Result paths = Run({"templates", "--paths"});
    EXPECT_NE(
        paths.out.find("Summary\t" + (dir / "data/zelvant/templates/Summary.zvt").string() + "\n"),
        std::string::npos);
    EXPECT_NE(paths.out.find(
                  "Full listing\t" +
                  (fs::path(ZELVANT_CLI).parent_path() / "templates/Full listing.ZVT").string()),
              std::string::npos);

    // Relative data folders would be the current folder: ignored.
    ::setenv("XDG_DATA_HOME", ".", 1);
    ::setenv("XDG_DATA_DIRS", ".", 1);
    EXPECT_EQ(Run({"templates"}).out, "Full listing\nPassword sheet\nSummary\n");
    EXPECT_EQ(Run({"report", "--template", "Rel"}).status, 1);
}

}  // namespace
