#include "runtime/core/root.h"

#include <gtest/gtest.h>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

TEST(Root, HoldsTheTwoStackBlocksInBuffersThatNeverMove) {
    const Cell* blocks[] = {root::argument_stack(), root::frame_stack()};
    for (const Cell* block : blocks) {
        EXPECT_EQ(cell_type(block), TYPE_BLOCK);
        EXPECT_TRUE(series_buffer(block)->flags & BUF_HEAP);
        EXPECT_GE(series_buffer(block)->capacity, 15000u * sizeof(Cell));
    }
    EXPECT_TRUE(series_buffer(&root::block)->flags & BUF_HEAP);
    EXPECT_EQ(stack::arguments_bottom, series_buffer(root::argument_stack())->cells());
    EXPECT_EQ(stack::arguments_end - stack::arguments_bottom, 20000);
    EXPECT_EQ(static_cast<void*>(stack::frames_bottom), series_buffer(root::frame_stack())->first());
}

TEST(Root, AppendingPastTheCapacityRaisesLimitHit) {
    SeriesBuffer* buffer = series_buffer(&root::block);
    Off saved_tail = buffer->tail;
    Cell* saved_top = stack::top;
    Cell* saved_arguments = stack::arguments;
    Cell try_word{TYPE_WORD, 0, 1, 0};
    stack::mark_try(&try_word);

    buffer->tail = buffer->offset + (root::ROOT_CELLS - 1) * uint32_t(sizeof(Cell));
    Cell* last = root::append();
    EXPECT_EQ(cell_type(last), TYPE_UNSET);
    EXPECT_EQ(last + 1, buffer->cells_tail());
    uint32_t code = 0;
    try {
        root::append();
    } catch (VekThrow& t) {
        code = t.code;
    }
    EXPECT_EQ(code, CODE_ERROR);
    EXPECT_EQ(test::code_of(stack::top - 1), error_code(err::internal::limit_hit));
    EXPECT_EQ(error_code(err::internal::limit_hit), 905u);

    buffer->tail = saved_tail;
    stack::frames_top = stack::frames_bottom;
    stack::top = saved_top;
    stack::arguments = saved_arguments;
}

}  // namespace
}  // namespace vek
