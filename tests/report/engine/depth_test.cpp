// Deep call chains and loops must fit a small native stack.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

#include "engine_test_util.h"

namespace zelvant::report::test {
namespace {

// Runs `work` on a thread with a 1 MB stack.
void OnSmallStack(const std::function<void()>& work) {
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 1024 * 1024), 0);
    pthread_t thread;
    auto body = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(Depth, SelfCallingTemplateWithNestedWhilesOnSmallStack) {
    const std::string text =
        "<# start #><# n++; tmpl.start #><# endtmpl #>"
        "<# loops(d) #><# if d < 999; tmpl.loops(d + 1); endif;"
        " sys.looplimit(2); while a < 1, a++; while b < 1, b++; while c < 1, c++;"
        " while e < 1, e++; while f < 1, f++; tmpl.leaf; endwhile; endwhile; endwhile;"
        " endwhile; endwhile #><# endtmpl #>"
        "<# leaf #><# 'x' #><# endtmpl #>"
        "<# deep #><# tmpl.loops(1); '|' #><# endtmpl #>";
    std::string out;
    std::string loops;
    OnSmallStack([&] {
        out = RunText(text);
        CTemplateSet set;
        CStringOutput diag;
        set.LoadText(text, diag);
        CStringOutput page;
        report::Run(*set.Find("deep"), nullptr, page, nullptr);
        loops = page.text;
    });
    EXPECT_EQ(out, " too many nested template calls ");
    EXPECT_EQ(loops, std::string(999, 'x') + "|");
}

TEST(Depth, DeepExpressionsAndBlocksOnSmallStack) {
    std::string expr = std::string(99, '(') + "1" + std::string(99, ')');
    std::string ifs;
    for (int i = 0; i < 99; ++i) {
        ifs += "if 1;";
    }
    ifs += "'in';";
    for (int i = 0; i < 99; ++i) {
        ifs += "endif;";
    }
    std::string sum = "0";
    for (int i = 0; i < 95; ++i) {
        sum += "+1";
    }
    std::string out;
    OnSmallStack([&] {
        out = RunCode(expr + "; " + ifs + "; " + sum + "; execute('<# " + sum + " #>')") +
              RunCode(std::string(5000, '(') + "1" + std::string(5000, ')'));
    });
    EXPECT_EQ(out,
              "1in9595template start, line 1: expression too deeply nested\n"
              "no templates added\n");
}

}  // namespace
}  // namespace zelvant::report::test
