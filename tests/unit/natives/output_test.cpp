#include "runtime/natives/output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/eval/evaluator.h"
#include "runtime/natives/natives.h"
#include "runtime/output/print_hooks.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

std::vector<std::string> printed;

// Records what print and prin hand to the hooks, in place of the console.
void record(const Cell* string, bool new_line) {
    std::string text = test::text_of(string).substr(series_index(string));
    printed.push_back(text + (new_line ? "\n" : ""));
}

// Each test runs inside a native frame and checks that evaluation puts both
// stacks back as they were.
class OutputNatives : public test::NativeFrameTest {
protected:
    void SetUp() override {
        printed.clear();
        print_hooks::remove(print_hooks::console, nullptr);
        print_hooks::add(record, nullptr);
        NativeFrameTest::SetUp();
    }
    void TearDown() override {
        NativeFrameTest::TearDown();
        print_hooks::remove(record, nullptr);
        print_hooks::add(print_hooks::console, nullptr);
    }

    // The molded value of the source's last expression, or the code of the
    // error it raised as "error NNN".
    std::string run(const char* source) {
        Cell code = test::load_code(source);
        std::string result;
        uint32_t code_raised = test::raised([&] {
            Cell* frame = stack::arguments;
            stack::CallFrame* frames = stack::frames_top;
            EXPECT_EQ(eval::eval_block(&code, {.chain = true}), Pending::none) << source;
            EXPECT_EQ(stack::frames_top, frames) << source;
            EXPECT_EQ(stack::arguments, frame) << source;
            result = test::stack_molded(stack::arguments);
        });
        return code_raised ? "error " + std::to_string(code_raised) : result;
    }

    static uint32_t buffer_length() { return block::length_from_head(natives::print_buffer()); }
};

// The reduce buffer is shared by every print: however a reduction ends, the
// values it added are gone afterwards, and a nested print keeps the outer
// values it finds there.
TEST_F(OutputNatives, ThePrintBufferComesBackEmptyHoweverAReductionEnds) {
    struct Case {
        const char* source;
        std::vector<std::string> printed;
    } cases[] = {
        {"print [1 (print [2 3] 4) 5]", {"2 3\n", "1 4 5\n"}},
        {"loop 1 [print [1 break]]", {}},
        {"f: func [] [print [1 return 2]] f", {}},
        {"catch [print [1 throw 2]]", {}},
        {"try [print [1 1 / 0]]", {}},
        {"prin [\"a\" \"b\"] prin \"c\"", {"a b", "c"}},
    };
    for (const auto& c : cases) {
        printed.clear();
        run(c.source);
        EXPECT_EQ(buffer_length(), 0u) << c.source;
        EXPECT_EQ(printed, c.printed) << c.source;
    }
}

TEST_F(OutputNatives, PrintSetsTheLastLineFlagAndPrinClearsIt) {
    run("print 1");
    EXPECT_TRUE(natives::last_line);
    run("prin 1");
    EXPECT_FALSE(natives::last_line);
    run("prin 1 print 2");
    EXPECT_TRUE(natives::last_line);
}

// A caught throw or error is over: nothing may still read its code.
TEST_F(OutputNatives, CatchAndTryClearTheThrownCode) {
    const char* sources[] = {"catch [throw 1]", "catch/name [catch/name [throw/name 1 'a] 'b] 'a",
                             "try [1 / 0]", "try/all [break]"};
    for (const char* source : sources) {
        sysrec.thrown_code = 0;
        run(source);
        EXPECT_EQ(sysrec.thrown_code, 0u) << source;
    }
}

// A comparator runs Vek code between the sort's steps: it allocates (which
// may collect and move buffers), it may sort again, and it may leave the
// sort by break or by an error, which must leave the block as it was.
TEST_F(OutputNatives, SortComparatorsRunVekCodeSafely) {
    struct Case {
        const char* source;
        const char* expected;
    } cases[] = {
        {"b: [5 3 9 1 7 2 8 6 4] sort/compare b func [x y] [append copy [] x  x < y]", "[1 2 3 4 5 6 7 8 9]"},
        {"sort/compare [2 3 1] func [x y] [sort/compare [9 8 7] func [p q] [p < q]  x < y]", "[1 2 3]"},
        {"b: [3 1 2] loop 1 [sort/compare b func [x y] [break]] b", "[3 1 2]"},
        {"b: [3 1 2] try [sort/compare b func [x y] [1 / 0]] b", "[3 1 2]"},
        {"b: [3 1 2] try [sort/compare b func [x y] [clear b  x < y]] b", "[]"},
        {"f: func [b] [sort/compare b func [x y] [return 0]] f [2 1]", "[2 1]"},
    };
    for (const auto& c : cases) EXPECT_EQ(run(c.source), c.expected) << c.source;
}

}  // namespace
}  // namespace vek
