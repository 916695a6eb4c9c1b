// Leaving blocks early, values that outlive what made them, and how often the environment is
// asked: the places where running compiled instructions differs most from walking the tree.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

// "fwd" forwards every write to the output that was current, marked, and marks its end.
class CForwardFactory : public COutputFactory {
  public:
    std::unique_ptr<COutputStream> Open(std::string_view name, COutputStream& current,
                                        std::span<const CValue> args) override {
        if (name != "fwd") {
            return nullptr;
        }
        return std::make_unique<CForward>(current, args.empty() ? "" : args[0].ToText());
    }

  private:
    class CForward : public COutputStream {
      public:
        CForward(COutputStream& target, std::string tag) : target_(target), tag_(std::move(tag)) {}
        ~CForward() override { WriteText(target_, "]"); }
        bool Write(const char* bytes, std::size_t& length) override {
            if (!opened_) {
                WriteText(target_, "[" + tag_ + ":");
                opened_ = true;
            }
            WriteText(target_, std::string_view(bytes, length));
            return length > 0;
        }

      private:
        COutputStream& target_;
        std::string tag_;
        bool opened_ = false;
    };
};

TEST(Flow, LeavingOutputBlocksRestoresTheOutput) {
    CForwardFactory fwd;
    const auto run = [&](const std::string& text) { return RunText(text, nullptr, &fwd); };
    // break and continue leave the redirection they jump out of.
    EXPECT_EQ(run(Tmpl("start",
                       "while i < 4, i++; setoutput fwd(i); i; if i = 1; continue; "
                       "endif; 'x'; if i = 2; break; endif; endsetoutput; 'y'; "
                       "endwhile; '|'; i")),
              "[0:0x]y[1:1][2:2x]|2");
    // return and exit leave every redirection opened in the template they end.
    EXPECT_EQ(run(Tmpl("start", "'a'; tmpl.t; 'c'") +
                  Tmpl("t",
                       "setoutput fwd(1); setoutput fwd(2); 'b'; return; 'x'; "
                       "endsetoutput; endsetoutput")),
              "a[1:[2:b]]c");
    EXPECT_EQ(run(Tmpl("start",
                       "setoutput fwd(0); while 1; tmpl.t; 'x'; endwhile; "
                       "endsetoutput; 'y'") +
                  Tmpl("t", "setoutput fwd(1); 'b'; exit; endsetoutput")),
              "[0:[1:b]]");
    // Executed text runs in the redirection it is executed in; its return ends it alone.
    EXPECT_EQ(run(Tmpl("start",
                       "setoutput fwd(1); execute('<# 1; return; 2 #>'); 3; "
                       "endsetoutput; 4")),
              "[1:13]4");
    // Loops nested in and around redirections count their own runs.
    EXPECT_EQ(run(Tmpl("start",
                       "sys.looplimit(2); while 1, n++; setoutput fwd(n); "
                       "while 1, m++; m; endwhile; endsetoutput; endwhile; n $ m")),
              "[0:01 while iteration max reached ][1:23 while iteration max reached ]"
              " while iteration max reached 24");
}

TEST(Flow, ValuesOutliveWhatMadeThem) {
    // Literals of executed text are gone once it has run; what was assigned from them is not.
    EXPECT_EQ(RunCode("execute('<# s := \\'lit\\'; t := substr(\\'hello\\', 1, 3); u := s #>'); "
                      "execute('<# v := 1 #>'); s $ t $ u"),
              "litelllit");
    EXPECT_EQ(RunText(Tmpl("start", "execute('<# x := \\'abc\\' #>'); tmpl.t(x, 'q' $ x); x") +
                      Tmpl("t(p, r)", "p := p $ r")),
              "abcqabc");
    // A copy never changes with the value it was copied from, nor a part with its whole.
    EXPECT_EQ(RunCode("a := 'x'; a := a $ 'y'; b := a; a := a $ 'z'; b $ '|' $ a"), "xy|xyz");
    EXPECT_EQ(RunCode("s := 'hello'; t := substr(s, 1, 3); s := s $ '!'; s := 'new'; t $ s"),
              "ellnew");
    EXPECT_EQ(RunText(Tmpl("start", "a := 'x'; tmpl.t(a $ ''); tmpl.t(a); a") +
                      Tmpl("t(p)", "p := p $ p")),
              "xx");
    EXPECT_EQ(RunCode("n := 0; while n < 5, n++; s := s $ n $ '-'; endwhile; s"), "00-1-2-3-4-");
}

// Answers any name with the name, and counts how it was asked.
class CCountingEnvironment : public CEnvironment {
  public:
    void Run(std::string_view name, COutputStream& out, std::span<const CValue> args) override {
        ++byName;
        WriteText(out, "<" + std::string(name) + ArgsText(args) + ">");
    }
    std::unique_ptr<CEnvironment> Child(std::string_view name, COutputStream& out,
                                        std::span<const CValue> args) override {
        WriteText(out, "{" + std::string(name) + ArgsText(args) + "}");
        if (name == "none") {
            return nullptr;
        }
        return std::make_unique<CCountingEnvironment>();
    }
    CValue Value(std::string_view name, COutputStream&, std::span<const CValue> args) override {
        ++byName;
        return CValue::String(std::string(name) + ArgsText(args));
    }
    int Resolve(std::string_view name) override {
        ++resolved[std::string(name)];
        return name == "unnumbered" ? kByName : static_cast<int>(name.size());
    }
    void RunResolved(int number, std::string_view name, COutputStream& out,
                     std::span<const CValue> args) override {
        ++byNumber;
        // Into the page's free space, where Run goes through the stream's Write.
        out.Put("<" + std::to_string(number) + std::string(name) + ArgsText(args) + ">");
    }
    CValue ValueResolved(int number, std::string_view name, COutputStream&,
                         std::span<const CValue> args) override {
        ++byNumber;
        return CValue::String(std::to_string(number) + std::string(name) + ArgsText(args));
    }

    std::map<std::string, int> resolved;
    int byName = 0;
    int byNumber = 0;
};

TEST(Flow, EnvironmentNamesAreLookedUpOncePerRun) {
    CCountingEnvironment env;
    EXPECT_EQ(RunText(Tmpl("start",
                           "while n < 3, n++; env.ab(n); x := env.ab $ env.abc; endwhile; "
                           "x; env.unnumbered; tmpl.t") +
                          Tmpl("t", "env.abc; execute('<# env.fresh(1); env.ab #>')"),
                      &env),
              "<2ab(0)><2ab(1)><2ab(2)>2ab3abc<unnumbered><3abc><5fresh(1)><2ab>");
    // The set's names once when the run starts, and those of executed text when it is compiled.
    EXPECT_EQ(env.resolved,
              (std::map<std::string, int>{{"ab", 2}, {"abc", 1}, {"fresh", 1}, {"unnumbered", 1}}));
    EXPECT_EQ(env.byName, 1);
    EXPECT_EQ(env.byNumber, 12);
}

// Declares "k" (number 1) constant for the run.
class CConstantEnvironment : public CCountingEnvironment {
  public:
    bool Constant(int number, CValue& value) override {
        ++asked;
        if (number != 1) {
            return false;
        }
        value = CValue::String("K");
        return true;
    }
    int asked = 0;
};

TEST(Flow, ConstantNamesAreAskedOncePerRun) {
    CConstantEnvironment env;
    // Asked with arguments or as a statement, the name still goes to the environment.
    EXPECT_EQ(RunCode("while i < 3, i++; env.k $ env.k(i); if env.k; 'y'; endif; endwhile; "
                      "env.k",
                      &env),
              "K1k(0)yK1k(1)yK1k(2)y<1k>");
    EXPECT_EQ(env.asked, 1);
    EXPECT_EQ(env.byNumber, 4);
    EXPECT_EQ(env.byName, 0);
}

TEST(Flow, TemplatesThatDidNotCompileRunAsNothing) {
    CTemplate never(nullptr);
    CTemplate failed(nullptr);
    const auto result = failed.Compile("<# t #>x<# endif #>", 0, 1, true);
    ASSERT_TRUE(result.end.has_value());
    ASSERT_NE(failed.ErrorLine(), 0u);
    CStringOutput out;
    report::Run(never, nullptr, out, nullptr);
    report::Run(failed, nullptr, out, nullptr);
    EXPECT_EQ(out.text, "");
}

// The page is handed on in blocks; what the environment writes, into the free space or through
// the stream, and pieces longer than a block must keep their place among them.
TEST(Flow, LongPagesKeepTheirOrder) {
    CCountingEnvironment env;
    const std::string big(20000, 'z');
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        expected += "ab<1x(" + std::to_string(i) + ")><unnumbered>";
        if (i % 1000 == 999) {
            expected += big + "c";
        }
    }
    EXPECT_EQ(
        RunCode(
            "sys.looplimit(20001); big := ''; while n < 20000, n++; big := big $ 'z'; endwhile; "
            "while i < 3000, i++; 'ab'; env.x(i); env.unnumbered; "
            "if i % 1000 = 999; big; 'c'; endif; endwhile",
            &env),
        expected);
}

TEST(Flow, EnvironmentChainsEvaluateWhatTheyReach) {
    CCountingEnvironment env;
    // The arguments of a link are evaluated when the chain gets there, and not past a missing
    // child.
    EXPECT_EQ(
        RunCode("env.a(i++).none(j++).c(k++); x := env.a(i++).b(j++).c(k++); x; i; j; k", &env),
        "{a(0)}{none(0)}{a(1)}{b(1)}c(0)221");
    // Without an environment nothing of the expression runs.
    EXPECT_EQ(RunCode("env.a(i++); x := env.a(i++).b; i; x"),
              " no environment commands defined  no environment commands defined 00");
}

}  // namespace
}  // namespace zelvant::report::test
