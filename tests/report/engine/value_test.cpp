// Values share or borrow their bytes; none of that may show through value semantics.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "report/engine/value.h"

namespace zelvant::report {
namespace {

TEST(Values, CopiesNeverChangeWithEachOther) {
    CValue a = CValue::String("abc");
    CValue b = a;
    a.AppendText("d");
    EXPECT_EQ(a.StringValue(), "abcd");
    EXPECT_EQ(b.StringValue(), "abc");

    // Appending in place, once the block is no longer shared, and after a copy again.
    for (int i = 0; i < 100; ++i) {
        a.AppendText("y");
    }
    EXPECT_EQ(a.StringValue(), "abcd" + std::string(100, 'y'));
    const CValue c = a;
    a.AppendText("z");
    EXPECT_EQ(c.StringValue(), "abcd" + std::string(100, 'y'));
    EXPECT_EQ(a.StringValue().back(), 'z');

    // Numbers become their text first.
    CValue n = CValue::Long(12);
    n.AppendText("!");
    EXPECT_EQ(n, CValue::String("12!"));

    CValue moved = std::move(a);
    EXPECT_EQ(a, CValue::Long(0));  // what a move leaves behind is defined
    EXPECT_EQ(moved.StringValue().size(), 105u);
    const CValue& same = moved;
    moved = same;
    EXPECT_EQ(moved.StringValue().size(), 105u);
}

TEST(Values, BorrowedPartsAndOwnedCopies) {
    std::string source = "hello";
    const CValue view = CValue::View(source);
    const CValue owned = view.Owned();
    source[0] = 'J';
    EXPECT_EQ(view.StringValue(), "Jello");
    EXPECT_EQ(owned.StringValue(), "hello");

    CValue whole = CValue::String("hello");
    const CValue part = whole.Slice(1, 3);
    const CValue tail = whole.Slice(4, 10);
    whole = CValue();
    EXPECT_EQ(part.StringValue(), "ell");
    EXPECT_EQ(tail.StringValue(), "o");

    EXPECT_EQ(CValue::Join({"a", "", "bc"}), CValue::String("abc"));
    EXPECT_EQ(CValue::Join({}), CValue::String(""));
    EXPECT_EQ(CValue::Concatenate(CValue::Long(1), CValue::Double(2.5)),
              CValue::String("12.500000"));
    EXPECT_EQ(CValue::Concatenate(CValue::String(""), CValue::Long(7)), CValue::String("7"));
}

TEST(Values, EqualityIsByTypeAndContent) {
    EXPECT_EQ(CValue::String("a"), CValue::View("a"));
    EXPECT_NE(CValue::Long(1), CValue::Double(1.0));
    EXPECT_NE(CValue::Long(0), CValue::String(""));
    EXPECT_EQ(CValue(), CValue::Long(0));
}

// The count of a shared block may be changed by copies on several threads at once.
TEST(Values, CopiesOnSeveralThreads) {
    const CValue shared = CValue::String(std::string(64, 's'));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 100000; ++i) {
                const CValue copy = shared;
                if (copy.StringValue().size() != 64) {
                    std::abort();
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(shared.StringValue(), std::string(64, 's'));
}

}  // namespace
}  // namespace zelvant::report
