// Compile errors: each message with the line it is reported on.
#include <gtest/gtest.h>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

// "line: message" of the first load message of a whole file.
std::string FileError(const std::string& text) {
    const std::string all = LoadMessages(text);
    const auto at = all.find(", line ");
    if (at == std::string::npos) {
        return all;
    }
    return all.substr(at + 7, all.find('\n') - at - 7);
}

// A "start" template whose body is `code`, starting on line 2.
std::string BodyError(const std::string& code) {
    return FileError("<# start #>\n<# " + code + " #>\n<# endtmpl #>");
}

TEST(CompileErrors, TemplateHeader) {
    EXPECT_EQ(FileError("<# 5 #>x<# endtmpl #>"), "1: missing or invalid template name");
    EXPECT_EQ(FileError("<# t() #>x<# endtmpl #>"), "1: invalid parameter name");
    EXPECT_EQ(FileError("<# t(a,\n3) #>x<# endtmpl #>"), "2: invalid parameter name");
    EXPECT_EQ(FileError("<# t(a\n b) #>x<# endtmpl #>"), "1: expected ) on parameter list");
    EXPECT_EQ(FileError("<# t\n x #>x<# endtmpl #>"), "2: statement end expected");
    EXPECT_EQ(FileError("<# t #>\n<# endtmpl #>"), "1: no statements in template");
    EXPECT_EQ(FileError("<# t #>\nx\n<# y := 1 #>"), "1: missing endtmpl");
    EXPECT_EQ(FileError("<# t #>x\n<# endif #>"), "2: unrecognized statement");
    EXPECT_EQ(FileError("<# t #>x<# endtmpl\n y"), "2: statement end expected");
}

TEST(CompileErrors, Blocks) {
    EXPECT_EQ(BodyError("if"), "2: if lacks expression");
    EXPECT_EQ(BodyError("\nif 1 2"), "3: statement end expected");
    EXPECT_EQ(BodyError("if 1; elseif\n"), "2: elseif lacks expression");
    EXPECT_EQ(FileError("<# t #>\n<# if 1 #>\nx"), "2: if lacks endif");
    EXPECT_EQ(BodyError("if 1;\n endwhile"), "3: unrecognized statement");
    EXPECT_EQ(BodyError("while"), "2: while lacks expression");
    EXPECT_EQ(BodyError("while 1,\n;"), "3: while lacks iterator expression");
    EXPECT_EQ(BodyError("while 1, i\n j"), "2: while lacks iterator statement");
    EXPECT_EQ(FileError("<# t #>\n<# while 1 #>\nx"), "2: while lacks endwhile");
    EXPECT_EQ(BodyError("setoutput"), "2: setoutput lacks name");
    EXPECT_EQ(BodyError("setoutput f\n x"), "2: statement end expected");
    EXPECT_EQ(FileError("<# t #>\n<# setoutput f #>\nx"), "2: setoutput lacks endsetoutput");
    EXPECT_EQ(BodyError("break"), "2: break/continue requires enclosing while");
    EXPECT_EQ(BodyError("while 1; endwhile; continue"),
              "2: break/continue requires enclosing while");
    EXPECT_EQ(BodyError("while 1;\n while 1; while 1; while 1; while 1;\n\n while 1;"
                        " endwhile; endwhile; endwhile; endwhile; endwhile; endwhile"),
              "5: nested while statement limit exceded");
    EXPECT_EQ(FileError("<# t #><# while 1; while 1; while 1; while 1; while 1; break;"
                        " endwhile; endwhile; endwhile; endwhile; endwhile #><# endtmpl #>"),
              "");  // five nested whiles compile
}

TEST(CompileErrors, CallsAndStatements) {
    EXPECT_EQ(BodyError("tmpl x"), "2: tmpl lacks .");
    EXPECT_EQ(BodyError("tmpl.\n5"), "2: tmpl lacks name");
    EXPECT_EQ(BodyError("sys"), "2: sys lacks .");
    EXPECT_EQ(BodyError("sys.;"), "2: sys lacks name");
    EXPECT_EQ(BodyError("tmpl.x(\n)"), "3: invalid parameter");
    EXPECT_EQ(BodyError("tmpl.x(1,\n)"), "3: invalid parameter");
    EXPECT_EQ(BodyError("tmpl.x(1\n 2)"), "2: expected ) on parameter list");
    EXPECT_EQ(BodyError("execute 1"), "2: execute lacks (");
    EXPECT_EQ(BodyError("execute(\n)"), "2: execute: invalid expression");
    EXPECT_EQ(BodyError("execute('x'\n"), "2: execute lacks )");
}

TEST(CompileErrors, Expressions) {
    EXPECT_EQ(BodyError("\n1 := 2"), "3: variable required for assignment");
    EXPECT_EQ(BodyError("a :=\n)"), "3: invalid expression");
    EXPECT_EQ(BodyError("a +\n)"), "3: invalid operand");
    EXPECT_EQ(BodyError("-\n)"), "3: invalid operand");
    EXPECT_EQ(BodyError("++\n 5"), "3: variable required for ++/--");
    EXPECT_EQ(BodyError("5\n ++"), "2: variable required for ++/--");
    EXPECT_EQ(BodyError("a++\n ++"), "2: variable required for ++/--");
    EXPECT_EQ(BodyError("(\n)"), "3: invalid expression");
    EXPECT_EQ(BodyError("(1\n"), "2: expected ) on expression");
    EXPECT_EQ(BodyError("substr\n 1"), "3: expected ( after substr");
    EXPECT_EQ(BodyError("substr(\n,"), "3: invalid string expression");
    EXPECT_EQ(BodyError("substr(1\n 2"), "3: expected , after string expression");
    EXPECT_EQ(BodyError("substr(1,\n)"), "3: invalid expression");
    EXPECT_EQ(BodyError("substr(1, 2\n 3"), "3: expected , after expression");
    EXPECT_EQ(BodyError("substr(1, 2,\n)"), "3: invalid expression");
    EXPECT_EQ(BodyError("substr(1, 2, 3\n"), "2: expected ) after substr");
    EXPECT_EQ(BodyError("env x"), "2: expected . after env");
    EXPECT_EQ(BodyError("env.a.\n5"), "3: missing or invalid env name");
    EXPECT_EQ(BodyError("param 1"), "2: expected [ after param");
    EXPECT_EQ(BodyError("param[\n]"), "3: invalid param expression");
    EXPECT_EQ(BodyError("param[1\n"), "2: expected ] on param expression");
}

TEST(CompileErrors, HostileNestingIsRefused) {
    const std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
    EXPECT_EQ(BodyError(deep), "2: expression too deeply nested");
    EXPECT_EQ(BodyError(std::string(5000, '!') + "1"), "2: expression too deeply nested");
    std::string sum = "1";
    for (int i = 0; i < 5000; ++i) {
        sum += "+1";
    }
    EXPECT_EQ(BodyError(sum), "2: expression too deeply nested");
    std::string chain = "a";
    for (int i = 0; i < 5000; ++i) {
        chain += ":=a";
    }
    EXPECT_EQ(BodyError(chain), "2: expression too deeply nested");
    std::string ifs;
    for (int i = 0; i < 5000; ++i) {
        ifs += "if 1;";
    }
    EXPECT_EQ(BodyError(ifs), "2: statements too deeply nested");
    // Nesting within the limits still works, and long flat chains are no nesting at all.
    EXPECT_EQ(RunCode(std::string(90, '(') + "7" + std::string(90, ')')), "7");
    std::string args = "tmpl.t(1";
    for (int i = 0; i < 5000; ++i) {
        args += ",1";
    }
    EXPECT_EQ(
        RunText("<# start #><# " + args + ") #><# endtmpl #><# t #><# param[0] #><# endtmpl #>"),
        "5001");
}

}  // namespace
}  // namespace zelvant::report::test
