#include "runtime/core/raise.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/region.h"
#include "tests/unit/support/death_test_fixture.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::integer_cell;

// Takes every page of the Vek heap that is still free, so that no new frame
// can be made; gives them back when it ends.
class ExhaustedHeap {
public:
    ExhaustedHeap() {
        for (size_t run = size_t(1) << 30; run >= region::PAGE;) {
            if (void* p = region::commit_pages(run))
                taken_.emplace_back(p, run);
            else
                run /= 2;
        }
    }
    ~ExhaustedHeap() {
        for (auto [p, bytes] : taken_) region::release_pages(p, bytes);
    }
    ExhaustedHeap(const ExhaustedHeap&) = delete;
    ExhaustedHeap& operator=(const ExhaustedHeap&) = delete;

private:
    std::vector<std::pair<void*, size_t>> taken_;
};

bool same_error(const Cell& a, const Cell* b) {
    return cell_type(&a) == TYPE_ERROR && object::context_node(&a) == object::context_node(b);
}

// Making an error needs memory and stack; these two are raised with the
// values made at start-up, and no-memory hands the reserve back so that the
// catcher finds room.
TEST(Raise, NoMemoryAndStackOverflowAllocateNothingWithTheHeapExhausted) {
    struct Row {
        err::AnyId id;
        Cell* kept;
        bool releases_reserve;
    };
    const Row rows[] = {
        {err::internal::no_memory, root::no_memory_error(), true},
        {err::internal::stack_overflow, root::stack_overflow_error(), false},
    };
    root::take_reserve();  // earlier tests that raised no-memory handed it out
    ASSERT_TRUE(root::reserve_held());
    ExhaustedHeap exhausted;
    for (const Row& row : rows) {
        SCOPED_TRACE(error_code(row.id));
        memory::Census before = memory::census();
        Cell error;
        EXPECT_EQ(test::raised([&] { fire(row.id); }, &error), error_code(row.id));
        memory::Census after = memory::census();
        EXPECT_EQ(after.in_use, before.in_use);
        EXPECT_EQ(after.occupied, before.occupied);
        EXPECT_TRUE(same_error(error, row.kept));
        EXPECT_NE(root::reserve_held(), row.releases_reserve);
        root::take_reserve();  // the pages it handed back are still free
        EXPECT_TRUE(root::reserve_held());
    }
}

// Work that is not written yet raises through the one not_done.
TEST(Raise, NotDoneRaisesInternalNotDone) {
    EXPECT_EQ(test::raised([] { not_done(); }), error_code(err::internal::not_done));
}

// The reserved values are renewed at each raise: what a catcher changed and
// the origin of an earlier raise are gone.
TEST(Raise, AReservedErrorDescribesTheLatestRaise) {
    Cell first;
    test::raised([] { fire(err::internal::stack_overflow); }, &first);
    *error::field(&first, error::FIELD_ARG1) = integer_cell(5);
    *error::field(&first, error::FIELD_CODE) = integer_cell(400);
    Cell again;
    EXPECT_EQ(test::raised([] { fire(err::internal::stack_overflow); }, &again),
              error_code(err::internal::stack_overflow));
    EXPECT_EQ(cell_type(error::field(&again, error::FIELD_ARG1)), TYPE_NONE);
    EXPECT_EQ(cell_type(error::field(&again, error::FIELD_STACK)), TYPE_INTEGER);
}

// An error raised before error values exist, or while another is being made,
// travels as its bare integer! code; this routine throws one the same way.
routine::Arg throw_bare_code(const routine::Arg* args) {
    Cell code = integer_cell(args[0].integer);
    stack::throw_error(&code);
}

class TryNative : public test::NativeFrameTest {};

TEST_F(TryNative, TurnsBareCodesIntoTheErrorsTheyName) {
    uint32_t index = routine::register_fn("raise-test-throw-bare-code", throw_bare_code, "code [integer!]");
    Cell spec = test::load_one("[code [integer!]]");
    Cell thrower = *routine::make_value(&spec, nullptr, index, 0, false);
    struct Row {
        const char* source;
        uint32_t code;
        const Cell* kept;  // the reserved value expected, or nullptr for a new error
    };
    const Row rows[] = {
        {"try [x 902]", 902, root::no_memory_error()},
        {"try/all [x 904]", 904, root::stack_overflow_error()},
        {"try [x 400]", 400, nullptr},
    };
    for (const Row& row : rows) {
        Cell code = test::load_code(row.source);
        Cell body = series_buffer(&code)->cells()[1];
        series_buffer(&body)->cells()[0] = thrower;
        ASSERT_EQ(eval::eval_block(&code, {.chain = true}), Pending::none) << row.source;
        Cell result = *stack::arguments;
        ASSERT_EQ(cell_type(&result), TYPE_ERROR) << row.source;
        EXPECT_EQ(test::code_of(&result), row.code) << row.source;
        if (row.kept) {
            EXPECT_TRUE(same_error(result, row.kept)) << row.source;
        }
    }
}

// try catches a real exhaustion as an error! and takes the reserve back once
// it is done, so that the next exhaustion can be caught as well.
TEST_F(TryNative, CatchesTheHeapRunningOut) {
    root::take_reserve();
    ExhaustedHeap exhausted;
    for (int round = 0; round < 2; round++) {
        Cell code = test::load_code("try [make binary! 3000000]");  // a big frame of its own
        ASSERT_EQ(eval::eval_block(&code, {.chain = true}), Pending::none);
        Cell result = *stack::arguments;
        EXPECT_TRUE(same_error(result, root::no_memory_error())) << round;
        EXPECT_TRUE(root::reserve_held()) << round;
    }
}

class UncaughtBareCode : public test::FreshProcessTest {};

TEST_F(UncaughtBareCode, IsReportedAsItsError) {
    EXPECT_EXIT(
        {
            test::report_to_stderr();
            Cell code = integer_cell(int32_t(error_code(err::internal::no_memory)));
            stack::throw_error(&code);
        },
        testing::ExitedWithCode(254), "^\\*\\*\\* Internal Error: not enough memory\n");
}

}  // namespace
}  // namespace vek
