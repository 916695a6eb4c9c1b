#pragma once
// Runs the real zelvant-cli on real files in a temporary folder, with settings and template
// folders of its own so that nothing on this machine changes a result.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zelvant::clitest {

namespace fs = std::filesystem;

const std::string kSamples = std::string(ZELVANT_TEST_DATA) + "/samples/";
const std::string kPw = "correct horse\n";  // the sample's password, as typed

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Spit(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline bool OwnerOnly(const fs::path& path) {
    return (fs::status(path).permissions() & fs::perms::all) ==
           (fs::perms::owner_read | fs::perms::owner_write);
}

// The pointers an exec call takes; they borrow from `args`.
inline std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    return argv;
}

class CliFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "zelvant-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (dir / "system").c_str(), 1);
        StoreSettings("");
    }
    void TearDown() override {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
            ::unsetenv(name);
        }
        fs::remove_all(dir);
    }
    // Most tests are about what the tool does with a file, not about its form: their new files
    // are legacy ones, whose keys cost nothing. The sealed form has tests of its own.
    void StoreSettings(std::string_view lines) {
        fs::create_directories(dir / "Quillmere");
        Spit(dir / "Quillmere" / "Zelvant.conf",
             "[Settings]\n" + std::string(legacyNewFiles ? "LegacyNewFiles=1\n" : "") +
                 std::string(lines));
    }
    bool legacyNewFiles = true;

    // Runs the tool in the temporary folder with `input` on standard input and no display.
    Result Run(std::vector<std::string> args, std::string_view input = "") {
        Spit(dir / ".stdin", input);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, (dir / ".stdin").c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / ".stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, (dir / ".stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        args.insert(args.begin(), ZELVANT_CLI);
        std::vector<char*> envp;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string_view entry(*e);
            if (!entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY=")) {
                envp.push_back(*e);
            }
        }
        envp.push_back(nullptr);
        pid_t pid = 0;
        Result r;
        EXPECT_EQ(posix_spawn(&pid, ZELVANT_CLI, &actions, nullptr, Argv(args).data(), envp.data()),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        r.out = Slurp(dir / ".stdout");
        r.err = Slurp(dir / ".stderr");
        return r;
    }
    // The same with the password option given and `input` after the sample's password.
    Result RunPw(std::vector<std::string> args, const std::string& input = "") {
        args.push_back("--password-stdin");
        return Run(std::move(args), kPw + input);
    }

    Result ImportSample(const std::string& file = "s.zvd") {
        return RunPw({"import", file, kSamples + "sample-v101.json"});
    }

    fs::path dir;
};

}  // namespace zelvant::clitest
