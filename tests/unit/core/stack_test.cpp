#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/word.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "runtime/core/raise.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/gc/collector.h"
#include "runtime/tables/cycles.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using stack::CallFrame;
using test::integer_cell;

constexpr Off BEFORE_CALL{0x1000};  // the function context's values pointer before the call

// A function context on the stack, made once and kept by a root. The
// collector never follows a stack context's values pointer, so a made-up one
// is safe.
Node function_context = Node::none;
void mark_function_context() { gc::mark_node(function_context); }
Off context_values() { return context::stack_values_pointer(function_context); }

Cell word(uint32_t symbol, uint32_t context = 0) { return Cell{TYPE_WORD, context, symbol, 0}; }
int32_t int_at(const Cell* c) { return cell_type(c) == TYPE_INTEGER ? integer::get(c) : -1; }

// Frames are named by a word of the global context (bound in SetUp): an error
// raised inside them looks the word up there.
Cell W = word(7);

// Runs body under a catch point of the error level; returns the code caught,
// or 0 when body threw nothing.
uint32_t catch_error(const std::function<void()>& body) {
    try {
        body();
    } catch (VekThrow& t) {
        if (!catches(CODE_ERROR, t.code)) throw;
        return t.code;
    }
    return 0;
}

// The code of the error that fire left on top of the stack.
int32_t raised_code() { return int32_t(test::code_of(stack::top - 1)); }

class StackTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(stack::frames_top, stack::frames_bottom) << "a test left frames behind";
        saved_top = stack::top;
        saved_arguments = stack::arguments;
        saved_throw_frame = stack::throw_frame;
        if (function_context == Node::none) {
            function_context = context::create(1, true, false, nullptr, context::KIND_FUNCTION);
            gc::add_root("stack test function context", mark_function_context);
        }
        context::set_stack_values_pointer(function_context, BEFORE_CALL);
        word::set_context(&W, context::global);
        bottom_word = word(1);
        stack::mark_eval(&bottom_word);  // the bottom frame, as the boot leaves one
    }
    void TearDown() override { restore(); }

    void restore() {
        stack::frames_top = stack::frames_bottom;
        stack::top = saved_top;
        stack::arguments = saved_arguments;
        stack::throw_frame = saved_throw_frame;
    }

    // A frame with the given cells; returns its base.
    Cell* enter(void (*mark)(const Cell*), std::initializer_list<Cell> cells) {
        mark(&W);
        for (const Cell& c : cells) stack::push(&c);
        return stack::arguments;
    }
    // An interpreted function call whose context's values move to its slots.
    Cell* enter_call(std::initializer_list<Cell> cells) {
        stack::push_call_frame(&W, function_context);
        context::set_stack_values_pointer(function_context, region::off(stack::top));
        for (const Cell& c : cells) stack::push(&c);
        return stack::arguments;
    }

    Cell* saved_top = nullptr;
    Cell* saved_arguments = nullptr;
    CallFrame* saved_throw_frame = nullptr;
    Cell bottom_word{};
};

TEST_F(StackTest, MarksWriteTheirHeaderAndTheCallerBase) {
    struct Row {
        const char* name;
        void (*mark)(const Cell*);
        uint32_t header;
    };
    const Row rows[] = {
        {"mark_native", stack::mark_native, 0x02000000},
        {"mark_native_interp", stack::mark_native_interp, 0x82000000},
        {"mark_function_interp", stack::mark_function_interp, 0x81000000},
        {"mark_try", stack::mark_try, 0x04000000},
        {"mark_try_all", stack::mark_try_all, 0x05000000},
        {"mark_catch", stack::mark_catch, 0x06000000},
        {"mark_eval", stack::mark_eval, 0x87000000},
        {"mark_loop", stack::mark_loop, 0x08000000},
        {"push_call_frame", [](const Cell* w) { stack::push_call_frame(w, Node::none); }, 0x01000000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Cell* caller = enter(stack::mark_native, {integer_cell(1), integer_cell(2)});
        row.mark(&W);
        const CallFrame* f = stack::top_frame();
        EXPECT_EQ(f->header, (7u << 8) | row.header);
        EXPECT_EQ(f->caller_base, region::off(caller));
        EXPECT_EQ(f->word_context, context::global);
        EXPECT_EQ(f->function_context, Node::none);
        EXPECT_EQ(f->saved_values, Off::none);
        EXPECT_EQ(stack::arguments, caller + 2);
        EXPECT_EQ(stack::top, caller + 2);
        stack::pop_frame_drop();
        stack::pop_frame_drop();
    }
}

TEST_F(StackTest, SymbolIdsBeyondSixteenBitsNeverChangeTheKind) {
    Cell big = word(0x12345);
    stack::mark_loop(&big);
    EXPECT_EQ(stack::frame_symbol(stack::top_frame()), 0x2345u);
    EXPECT_EQ(stack::frame_kind(stack::top_frame()), stack::KIND_LOOP);
}

TEST_F(StackTest, FunctionFramesRecordTheirContext) {
    stack::push_call_frame(&W, function_context);
    EXPECT_EQ(stack::top_frame()->header, 0x01000700u);
    EXPECT_EQ(stack::top_frame()->function_context, function_context);
    EXPECT_EQ(stack::top_frame()->saved_values, BEFORE_CALL);

    Cell slot = integer_cell(3);
    stack::push(&slot);
    Cell* slots = stack::top;
    stack::mark_compiled_function(&W, function_context);
    EXPECT_EQ(context_values(), region::off(slots));  // the caller's cells become its slots
    EXPECT_EQ(stack::top_frame()->header, 0x12000700u);
    EXPECT_EQ(stack::top_frame()->function_context, function_context);
    EXPECT_EQ(stack::top_frame()->saved_values, BEFORE_CALL);
}

TEST_F(StackTest, PopTable) {
    enum Top { CALLEE_BASE, CALLEE_BASE_PLUS_1, CALLER_BASE };
    struct Row {
        const char* name;
        void (*pop)();
        bool compiled;  // a compiled function frame (kind 2) instead of an interpreted call
        Top top;
        bool restores;
        bool passes_result;
    };
    const Row rows[] = {
        {"pop_frame", stack::pop_frame, false, CALLEE_BASE, true, false},
        {"pop_frame of kind 2", stack::pop_frame, true, CALLEE_BASE, false, false},
        {"unwind", stack::unwind, false, CALLEE_BASE_PLUS_1, false, false},
        {"unwind_function", stack::unwind_function, false, CALLEE_BASE_PLUS_1, true, false},
        {"unwind_function of kind 2", stack::unwind_function, true, CALLEE_BASE_PLUS_1, true, false},
        {"unwind_function_drop", stack::unwind_function_drop, false, CALLER_BASE, true, false},
        {"unwind_last", stack::unwind_last, true, CALLEE_BASE_PLUS_1, false, true},
        {"unwind_function_last", stack::unwind_function_last, true, CALLEE_BASE_PLUS_1, true, true},
        {"pop_frame_drop", stack::pop_frame_drop, false, CALLER_BASE, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        context::set_stack_values_pointer(function_context, BEFORE_CALL);
        word::set_context(&W, context::global);
        Cell* caller = enter(stack::mark_native, {integer_cell(1), integer_cell(2)});
        Cell* callee;
        if (row.compiled) {
            stack::mark_compiled_function(&W, function_context);
            callee = stack::arguments;
            for (int v : {42, 43, 44}) {
                Cell c = integer_cell(v);
                stack::push(&c);
            }
        } else {
            callee = enter_call({integer_cell(42), integer_cell(43), integer_cell(44)});
        }
        Off during_call = context_values();
        CallFrame* caller_frame_top = stack::frames_top - 1;

        row.pop();

        EXPECT_EQ(stack::frames_top, caller_frame_top);
        EXPECT_EQ(stack::arguments, caller);
        Cell* expected_top = row.top == CALLEE_BASE ? callee
                             : row.top == CALLER_BASE ? caller
                                                      : callee + 1;
        EXPECT_EQ(stack::top, expected_top);
        EXPECT_EQ(context_values(), row.restores ? BEFORE_CALL : during_call);
        EXPECT_EQ(int_at(caller), row.passes_result ? 42 : 1);
        stack::pop_frame_drop();
    }
}

TEST_F(StackTest, PoppingTheLastFramePutsBothPointersAtTheBottom) {
    enter(stack::mark_native, {integer_cell(1)});
    stack::pop_frame();  // the test's own bottom frame is now the last one
    stack::pop_frame();
    EXPECT_EQ(stack::arguments, stack::arguments_bottom);
    EXPECT_EQ(stack::top, stack::arguments_bottom);
}

// bottom eval -> loop -> interpreted call (with context) -> native
class UnwindToTest : public StackTest {
protected:
    void SetUp() override {
        StackTest::SetUp();
        bottom_base = stack::arguments;
        loop_frame = stack::frames_top;
        loop_base = enter(stack::mark_loop, {integer_cell(0)});
        enter_call({integer_cell(1)});
        native_base = enter(stack::mark_native, {integer_cell(9), integer_cell(10)});
    }
    Cell* bottom_base = nullptr;
    CallFrame* loop_frame = nullptr;
    Cell* loop_base = nullptr;
    Cell* native_base = nullptr;
};

TEST_F(UnwindToTest, StopsAtTheKindKeepingOrNot) {
    stack::unwind_to(stack::KIND_LOOP, true);
    EXPECT_EQ(stack::frames_top, loop_frame + 1);
    EXPECT_EQ(stack::arguments, loop_base);  // the reached frame's own base
    EXPECT_EQ(stack::top, native_base + 1);
    EXPECT_EQ(context_values(), BEFORE_CALL);

    restore();
    SetUp();
    stack::unwind_to_loop(false);
    EXPECT_EQ(stack::frames_top, loop_frame + 1);
    EXPECT_EQ(stack::arguments, bottom_base);  // the reached frame's caller base
    EXPECT_EQ(stack::top, native_base + 1);
}

TEST_F(UnwindToTest, WithNothingToPopKeepsOneCell) {
    stack::unwind_to(stack::KIND_NATIVE, true);
    EXPECT_EQ(stack::arguments, native_base);
    EXPECT_EQ(stack::top, native_base + 1);
}

TEST_F(UnwindToTest, StopsAtTheBottomFrameWithBothPointersAtTheBottom) {
    stack::unwind_to(stack::KIND_CATCH, false);
    EXPECT_EQ(stack::frames_top, stack::frames_bottom + 1);
    EXPECT_EQ(stack::arguments, stack::arguments_bottom);
    EXPECT_EQ(stack::top, stack::arguments_bottom);
}

TEST_F(UnwindToTest, ToKindHandsTheResultToTheReachedFrame) {
    stack::unwind_to_kind(stack::KIND_LOOP);
    EXPECT_EQ(stack::frames_top, loop_frame + 1);
    EXPECT_EQ(stack::arguments, loop_base);
    EXPECT_EQ(stack::top, loop_base);
    EXPECT_EQ(int_at(loop_base), 9);
}

TEST_F(UnwindToTest, TryAllFrameStopsTheUnwinding) {
    CallFrame* barrier = stack::frames_top;
    Cell* barrier_base = enter(stack::mark_try_all, {integer_cell(5)});
    enter(stack::mark_native, {integer_cell(6)});
    stack::unwind_to_kind(stack::KIND_LOOP);
    EXPECT_EQ(stack::frames_top, barrier + 1);
    EXPECT_EQ(stack::top, barrier_base);
    EXPECT_EQ(int_at(barrier_base), 6);
}

TEST_F(UnwindToTest, BreakAndContinueLandOnTheNearestLoop) {
    struct Row {
        bool with_value, is_continue;
        Pending pending;
        int32_t result;  // -1: unset!
    };
    const Row rows[] = {
        {true, false, Pending::brk, 9},
        {false, false, Pending::brk, -1},
        {true, true, Pending::cont, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "value " << row.with_value << " continue " << row.is_continue);
        restore();
        SetUp();
        Pending p = stack::throw_break({.with_value = row.with_value, .is_continue = row.is_continue});
        EXPECT_EQ(p, row.pending);
        EXPECT_EQ(stack::frames_top, loop_frame + 1);
        EXPECT_EQ(stack::arguments, loop_base);
        EXPECT_EQ(stack::top, loop_base);
        EXPECT_EQ(context_values(), BEFORE_CALL);  // the call that was cut gave its context back
        if (row.result < 0)
            EXPECT_EQ(cell_type(loop_base), TYPE_UNSET);
        else
            EXPECT_EQ(int_at(loop_base), row.result);
    }
}

TEST_F(StackTest, ReturnLandsOnTheNearestReturnTarget) {
    struct Row {
        bool with_value, from_top;
        Pending pending;
        bool lands_on_top;
    };
    const Row rows[] = {
        {true, true, Pending::ret, true},
        {true, false, Pending::ret, false},
        {false, false, Pending::exit, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "value " << row.with_value << " from top " << row.from_top);
        restore();
        SetUp();
        CallFrame* outer = stack::frames_top;
        Cell* outer_base = enter(stack::mark_native, {integer_cell(0)});
        stack::set_return_target(true);
        CallFrame* inner = stack::frames_top;
        Cell* inner_base = enter(stack::mark_native, {integer_cell(7), integer_cell(8)});
        stack::set_return_target(true);

        Pending p = stack::throw_return({.with_value = row.with_value, .from_top = row.from_top});
        EXPECT_EQ(p, row.pending);
        CallFrame* target = row.lands_on_top ? inner : outer;
        Cell* base = row.lands_on_top ? inner_base : outer_base;
        EXPECT_EQ(stack::frames_top, target + 1);
        EXPECT_EQ(stack::arguments, base);
        EXPECT_EQ(stack::top, base);
        if (row.with_value)
            EXPECT_EQ(int_at(base), 7);
        else
            EXPECT_EQ(cell_type(base), TYPE_UNSET);
    }
}

TEST_F(StackTest, ThrowLeavesValueAndNameInTheCatchFrame) {
    stack::throw_frame = nullptr;
    CallFrame* catcher = stack::frames_top;
    Cell* catch_base = enter(stack::mark_catch, {integer_cell(0), integer_cell(0), integer_cell(0)});
    enter_call({integer_cell(1)});
    Cell name = word(99);
    enter(stack::mark_native, {integer_cell(11), name});
    CallFrame* at_throw = stack::frames_top;

    uint32_t code = 0;
    try {
        stack::throw_value(CODE_THROW);
    } catch (VekThrow& t) {
        code = t.code;
    }
    EXPECT_EQ(code, CODE_THROW);
    EXPECT_EQ(sysrec.thrown_code, CODE_THROW);
    EXPECT_EQ(stack::throw_frame, at_throw);
    EXPECT_EQ(stack::frames_top, catcher + 1);
    EXPECT_EQ(stack::arguments, catch_base);
    EXPECT_EQ(stack::top, catch_base + 2);
    EXPECT_EQ(int_at(catch_base), 11);
    EXPECT_EQ(cell_type(catch_base + 1), TYPE_WORD);
    EXPECT_EQ(word::symbol(&catch_base[1]), 99u);
    EXPECT_EQ(context_values(), BEFORE_CALL);
}

// A try/all frame blocks every search, and it is also where the resulting
// error lands. The frames below it hold every target the searches look for.
TEST_F(StackTest, TryAllFrameBlocksEveryNonLocalExit) {
    struct Row {
        const char* name;
        void (*exit)();
        err::Id<Category::throw_> id;
    };
    const Row rows[] = {
        {"break", [] { (void)stack::throw_break({}); }, err::throw_::break_},
        {"continue", [] { (void)stack::throw_break({.is_continue = true}); }, err::throw_::continue_},
        {"return", [] { (void)stack::throw_return({.with_value = true, .from_top = true}); }, err::throw_::return_},
        {"throw", [] { stack::throw_value(CODE_THROW); }, err::throw_::throw_},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        restore();
        SetUp();
        enter(stack::mark_try, {});
        enter(stack::mark_loop, {});
        enter(stack::mark_catch, {});
        enter(stack::mark_native, {});
        stack::set_return_target(true);
        CallFrame* barrier = stack::frames_top;
        Cell* barrier_caller = stack::arguments;
        enter(stack::mark_try_all, {});
        enter(stack::mark_native, {integer_cell(1), integer_cell(2)});
        Cell* top_before = stack::top;

        EXPECT_EQ(catch_error(row.exit), CODE_ERROR);
        EXPECT_EQ(raised_code(), int32_t(error_code(row.id)));
        EXPECT_EQ(stack::frames_top, barrier);
        EXPECT_EQ(stack::arguments, barrier_caller);
        EXPECT_EQ(stack::top, top_before + 1);
    }
}

TEST_F(StackTest, BreakOutsideAnyLoopRaisesTheBreakError) {
    enter(stack::mark_try, {});
    enter(stack::mark_native, {});
    EXPECT_EQ(catch_error([] { (void)stack::throw_break({}); }), CODE_ERROR);
    EXPECT_EQ(raised_code(), int32_t(error_code(err::throw_::break_)));
}

TEST_F(StackTest, FullArgumentStackLeavesFiveCellsForTheError) {
    cycles::reset();
    cycles::push(Node(16));  // any node: the guard only compares them
    CallFrame* catcher = stack::frames_top;
    enter(stack::mark_try, {});
    enter(stack::mark_native, {});
    EXPECT_EQ(catch_error([] {
                  for (;;) stack::push_cell();
              }),
              CODE_ERROR);
    EXPECT_EQ(cycles::depth(), 0u);  // emptied, so that the error can be formed
    EXPECT_EQ(stack::frames_top, catcher);
    EXPECT_EQ(stack::top, stack::arguments_end - 4);  // the error took one of the five
    EXPECT_EQ(raised_code(), int32_t(error_code(err::internal::stack_overflow)));
}

TEST_F(StackTest, FullFrameStackRaisesStackOverflow) {
    enter(stack::mark_try, {});
    enter(stack::mark_native, {integer_cell(1), integer_cell(2), integer_cell(3), integer_cell(4), integer_cell(5), integer_cell(6)});
    Cell* top_before = stack::top;
    EXPECT_EQ(catch_error([] {
                  for (;;) stack::mark_native(&W);
              }),
              CODE_ERROR);
    EXPECT_EQ(stack::frames_top, stack::frames_bottom + 1);
    EXPECT_EQ(stack::top, top_before - 5 + 1);
    EXPECT_EQ(raised_code(), int32_t(error_code(err::internal::stack_overflow)));
}

// An overflow cuts the stacks back only to the frame that catches it, even
// when the catcher has no cells of its own to spare: the error lands at or
// above the try frame's base, and the try native's argument is left intact.
TEST_F(StackTest, OverflowNeverCutsBelowTheCatchingFrame) {
    struct Row {
        const char* stack;
        void (*overflow)();
    };
    const Row rows[] = {
        {"frames", [] { for (;;) stack::mark_native(&W); }},
        {"arguments", [] { for (;;) stack::push_cell(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stack);
        Cell* native_base = enter(stack::mark_native, {integer_cell(1)});
        CallFrame* native = stack::top_frame();
        Cell* try_base = enter(stack::mark_try, {});
        EXPECT_EQ(catch_error(row.overflow), CODE_ERROR);
        EXPECT_EQ(raised_code(), int32_t(error_code(err::internal::stack_overflow)));
        EXPECT_GE(stack::top - 1, try_base);
        EXPECT_EQ(stack::frames_top, native + 1);
        EXPECT_EQ(stack::arguments, native_base);
        EXPECT_EQ(int_at(native_base), 1);
        restore();
        stack::mark_eval(&bottom_word);
    }
}

TEST_F(StackTest, UncaughtErrorPrintsItselfAndExits254) {
    // Nothing but a loop frame: no try anywhere.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            stack::mark_loop(&W);
            fire(err::script::no_value);
        },
        testing::ExitedWithCode(254),
        "^\\*\\*\\* Script Error: none has no value\n\\*\\*\\* Where: [^\n]+\n"
        "\\*\\*\\* Near : none\n\\*\\*\\* Stack: \n$");
    // A try frame already popped leaves its record at the bottom; it catches nothing.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            stack::frames_top = stack::frames_bottom;
            stack::mark_try(&W);
            stack::pop_frame();
            fire(err::math::zero_divide);
        },
        testing::ExitedWithCode(254),
        "^\\*\\*\\* Math Error: attempt to divide by zero\n\\*\\*\\* Where: \\?\\?\\?\n"
        "\\*\\*\\* Near : none\n$");
}

TEST_F(StackTest, ResultHelpers) {
    Cell error{TYPE_ERROR, 1, 2, 3};
    Cell other = integer_cell(5);
    enter(stack::mark_native, {integer_cell(1), integer_cell(2), error});
    EXPECT_EQ(stack::last_type(), uint32_t(TYPE_ERROR));
    stack::keep_error();
    EXPECT_EQ(cell_type(stack::arguments), TYPE_ERROR);
    EXPECT_EQ(stack::top, stack::arguments + 1);

    stack::push(&other);
    stack::push(&other);
    stack::keep_error();  // not an error: the result stays
    EXPECT_EQ(cell_type(stack::arguments), TYPE_ERROR);
    EXPECT_EQ(stack::top, stack::arguments + 1);

    stack::push(&other);
    stack::set_last_only(&other);
    EXPECT_EQ(int_at(stack::arguments), 5);
    EXPECT_EQ(stack::top, stack::arguments + 1);

    stack::pop(UINT32_MAX);
    EXPECT_EQ(stack::top, stack::arguments_bottom);
}

TEST_F(StackTest, InterpretedLooksBelowTheFrame) {
    // bottom eval (interpreted) -> native -> native* -> native
    CallFrame* plain = stack::frames_top;
    enter(stack::mark_native, {});
    CallFrame* interp = stack::frames_top;
    enter(stack::mark_native_interp, {});
    enter(stack::mark_native, {});
    struct Row {
        const CallFrame* frame;
        bool only_next, expected;
    };
    const Row rows[] = {
        {nullptr, true, true},  {nullptr, false, true},       {interp, true, false},
        {interp, false, true},  {plain, true, true},          {stack::frames_bottom, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "frame " << (row.frame ? row.frame - stack::frames_bottom : -1)
                                        << " only next " << row.only_next);
        EXPECT_EQ(stack::interpreted(row.frame, row.only_next), row.expected);
    }
}

TEST_F(StackTest, FlagEditsOnTheTopFrames) {
    enter(stack::mark_native, {});
    CallFrame* caller = stack::frames_top - 1;
    enter(stack::mark_native, {});
    CallFrame* f = stack::top_frame();
    stack::set_return_target(true);
    EXPECT_EQ(f->header, 0x12000700u);
    stack::set_return_target(false);
    EXPECT_EQ(f->header, 0x02000700u);
    stack::set_interpreted();
    EXPECT_EQ(f->header, 0x82000700u);
    stack::set_caller_return_target();
    stack::set_caller_return_target();
    EXPECT_EQ(caller->header, 0x12000700u);
}

}  // namespace
}  // namespace vek
