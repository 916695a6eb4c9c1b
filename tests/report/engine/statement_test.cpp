// Statements: output of values, blocks, loops, calls, the host objects and execute.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

TEST(Statements, WhichValuesAreWritten) {
    EXPECT_EQ(RunCode("x := 3"), "");
    EXPECT_EQ(RunCode("x := 3; x"), "3");
    EXPECT_EQ(RunCode("x := 3; x++; ++x; x--"), "");
    EXPECT_EQ(RunCode("x := 3; -x"), "-3");
    EXPECT_EQ(RunCode("2.5"), "2.500000");
    EXPECT_EQ(RunCode("'s'; 1 < 2; 1 && 1; 0 || 0; !1; +1; 1 - 1; 2 * 2; 4 / 2; 5 % 3; 1 $ 1"),
              "s11001042211");
    EXPECT_EQ(RunCode("(x := 4)"), "");
    EXPECT_EQ(RunText("<# start #>a<# x := 1 #>b\n<# x #>c<# endtmpl #>"), "ab\n1c");
}

TEST(Statements, IfAndElseChains) {
    const std::string chain = "if a; 'A'; elseif b; 'X'; endif";
    EXPECT_EQ(RunCode("a := 0; b := 1; " + chain), "X");
    EXPECT_EQ(RunCode("a := 0; b := 0; " + chain), "");
    EXPECT_EQ(RunCode("a := 1; b := 1; " + chain), "A");
    const std::string full = "if a = 1; 1; elseif a = 2; 2; elseif a = 3; 3; else; 4; endif";
    EXPECT_EQ(RunCode("a := 1; " + full + "; a := 2; " + full + "; a := 3; " + full + "; a := 9; " +
                      full),
              "1234");
    EXPECT_EQ(RunCode("if 0; 1; else; endif; if ''; 1; else; 'e'; endif"), "e");
    EXPECT_EQ(RunCode("if 1; if 0; 1; else; 2; endif; 3; endif"), "23");
}

TEST(Statements, WhileLimits) {
    EXPECT_EQ(RunCode("while 1; n++; endwhile; n"), " while iteration max reached 1000");
    EXPECT_EQ(RunCode("while i < 1000, i++; endwhile; i"), " while iteration max reached 1000");
    EXPECT_EQ(RunCode("while i < 999, i++; endwhile; i"), "999");
    EXPECT_EQ(RunCode("sys.looplimit(3); while 1, n++; endwhile; n"),
              " while iteration max reached 3");
    EXPECT_EQ(RunCode("sys.looplimit(0); while x := 1; endwhile; x"),
              " while iteration max reached 0");
    EXPECT_EQ(RunCode("sys.looplimit(-1); while x := 1; endwhile; x"), "0");
    EXPECT_EQ(RunCode("sys.looplimit('ab'); while 1, n++; endwhile; n"),
              " while iteration max reached 2");
    // Each while takes the maximum when it starts; inner loops have their own count.
    EXPECT_EQ(RunCode("sys.looplimit(2); while i < 2, i++; while j < 2, j++; endwhile; j := 0;"
                      " endwhile; i"),
              " while iteration max reached  while iteration max reached "
              " while iteration max reached 2");
}

TEST(Statements, BreakAndContinue) {
    EXPECT_EQ(RunCode("while i < 5, i++; if i = 2; continue; endif; i; endwhile"), "0134");
    EXPECT_EQ(RunCode("while i < 5, i++; if i = 2; break; endif; i; endwhile; '|'; i"), "01|2");
    EXPECT_EQ(RunCode("while i < 3, i++; while 1; break; endwhile; i; endwhile"), "012");
    // Without an iterator, continue just goes round again.
    EXPECT_EQ(RunCode("while i < 3; i++; if i = 2; continue; endif; i; endwhile"), "13");
    EXPECT_EQ(RunCode("while i < 3, i; i++; endwhile"), "123");  // the iterator's value shows
}

// Calls between templates are tried in tests/report/cases.
TEST(Statements, ReturnFromStartAndFailedCalls) {
    EXPECT_EQ(RunText("<# start #>a<# return #>b<# endtmpl #>"), "a");
    EXPECT_EQ(RunText(Tmpl("start(a)", "'x'")), " template start call missing params ");
    EXPECT_EQ(RunCode("tmpl.nope(1); 'z'"), " can't find template nope z");
    EXPECT_EQ(RunText(Tmpl("start", "'a'; tmpl.start; 'b'")),
              std::string(1001, 'a') + " too many nested template calls ");
}

// Streams that append to a shared string, opened by name.
class CTestFactory : public COutputFactory {
  public:
    std::unique_ptr<COutputStream> Open(std::string_view name, COutputStream& current,
                                        std::span<const CValue> args) override {
        WriteText(current, "[open " + std::string(name) + " " + std::to_string(args.size()) + "]");
        if (name != "buf") {
            return nullptr;
        }
        auto out = std::make_unique<CForward>(captured);
        return out;
    }
    std::string captured;

  private:
    struct CForward : COutputStream {
        explicit CForward(std::string& t) : target(t) {}
        bool Write(const char* bytes, std::size_t& length) override {
            target.append(bytes, length);
            return length > 0;
        }
        std::string& target;
    };
};

TEST(Statements, SetOutput) {
    EXPECT_EQ(RunCode("setoutput buf; 'x'; endsetoutput; 'y'"),
              " no alternate outputs specified y");
    CTestFactory factory;
    EXPECT_EQ(RunText(Tmpl("start", "'a'; setoutput buf(1, 'z'); 'b'; tmpl.t; endsetoutput; 'c'") +
                          Tmpl("t", "'t'; substr('', 0, 1)"),
                      nullptr, &factory),
              "a[open buf 2]c");
    EXPECT_EQ(factory.captured, "bt substr index larger than string 0");
    EXPECT_EQ(RunText(Tmpl("start", "setoutput nope; 'b'; endsetoutput; 'c'"), nullptr, &factory),
              "[open nope 0] output \"nope\" not known c");
}

// Answers "name" with a value, runs anything as a statement, and has one child, "folder".
class CTestEnvironment : public CEnvironment {
  public:
    explicit CTestEnvironment(std::string prefix = "") : prefix_(std::move(prefix)) {}
    void Run(std::string_view name, COutputStream& out, std::span<const CValue> args) override {
        WriteText(out, "run:" + prefix_ + std::string(name) + ArgsText(args));
    }
    std::unique_ptr<CEnvironment> Child(std::string_view name, COutputStream&,
                                        std::span<const CValue> args) override {
        if (name != "folder") {
            return nullptr;
        }
        return std::make_unique<CTestEnvironment>(prefix_ + "folder" + ArgsText(args) + ".");
    }
    CValue Value(std::string_view name, COutputStream&, std::span<const CValue> args) override {
        if (name == "flag") {
            return CValue::Long(args.empty() ? 1 : args[0].ToLong());
        }
        return CValue::String("val:" + prefix_ + std::string(name) + ArgsText(args));
    }

  private:
    std::string prefix_;
};

TEST(Statements, Environment) {
    EXPECT_EQ(RunCode("env.x"), " no environment commands defined ");
    EXPECT_EQ(RunCode("y := env.x; y"), " no environment commands defined 0");
    CTestEnvironment env;
    EXPECT_EQ(RunCode("env.site(1, 'a')", &env), "run:site(1)(a)");
    EXPECT_EQ(RunCode("env.site $ '!'", &env), "val:site!");
    EXPECT_EQ(RunCode("env.folder(2).site(3)", &env), "run:folder(2).site(3)");
    EXPECT_EQ(RunCode("x := env.folder.folder.name; x", &env), "val:folder.folder.name");
    EXPECT_EQ(RunCode("env.other.site; x := env.other.site; x", &env), "0");
    EXPECT_EQ(RunCode("if env.flag(0); 'no'; elseif env.flag; 'yes'; endif", &env), "yes");
    EXPECT_EQ(RunCode("while env.flag(n < 2), n++; n; endwhile", &env), "01");
}

TEST(Statements, SysCommands) {
    RunOptions fake;
    std::string ran;
    fake.runCommand = [&ran](const std::string& command, COutputStream& out) {
        ran += command + ";";
        WriteText(out, "<" + command + ">");
        return command != "fail";
    };
    const auto run = [&](const std::string& code, const RunOptions& options) {
        return RunText(Tmpl("start", code), nullptr, nullptr, options);
    };
    EXPECT_EQ(run("sys.runcmd('ls ' $ 1); sys.runcmd('fail')", fake),
              "<ls 1><fail> could not run command fail ");
    EXPECT_EQ(ran, "ls 1;fail;");
    EXPECT_EQ(run("sys.runcmd(5); sys.runcmd", fake),
              " sys.runcmd parameter is not a string  sys.runcmd parameter is not a string ");
    EXPECT_EQ(run("sys.runcmd('x')", RunOptions{nullptr}), " could not run command x ");
    EXPECT_EQ(run("sys.Reboot(1)", fake), " unknown command: sys.reboot ");
    EXPECT_EQ(run("sys.runcmd('printf abc')", RunOptions{}), "abc");
    EXPECT_EQ(run("sys.runcmd('printf %5000s | tr [:blank:] x')", RunOptions{}),
              std::string(5000, 'x'));
}

TEST(Statements, Execute) {
    EXPECT_EQ(RunCode("execute(\"<# y := 5 #>\"); y"), "5");
    EXPECT_EQ(RunCode("execute(\"y := 5\"); y"),
              " execute: line 1: missing or invalid characters 0");
    EXPECT_EQ(RunCode("execute(\"<# \n\n if #>\"); execute('<# 7 #>')"),
              " execute: line 3: if lacks expression 7");
    EXPECT_EQ(RunCode("execute(5)"), " execute parameter is not a string ");
    EXPECT_EQ(RunCode(R"(execute("dropped<# \'x\' #>kept\t<# endif #>ignored"))"), "xkept");
    // Variables made by executed text live on for the rest of the invocation.
    EXPECT_EQ(RunCode("a := 1; execute('<# z := a + 3 #>'); execute('<# z; a #>')"), "41");
    EXPECT_EQ(RunCode("execute('<# return #>'); 'after'"), "after");
    EXPECT_EQ(RunCode("execute('<# break #>')"),
              " execute: line 1: break/continue requires enclosing while ");
    EXPECT_EQ(RunCode(R"(execute("<# execute(\'<# 1 #>\'); 2 #>"))"),
              " execute not allowed within execute 2");
}

}  // namespace
}  // namespace zelvant::report::test
