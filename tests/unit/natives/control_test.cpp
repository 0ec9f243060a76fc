#include "runtime/natives/control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/core/fixed_words.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/eval/evaluator.h"
#include "runtime/natives/helpers.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::float_cell;
using test::integer_cell;
using test::raised;

using test::stack_molded;

// Each test runs inside a native frame, as a call from compiled code would.
class ControlNatives : public test::NativeFrameTest {
protected:
    // Loads the source and evaluates it; the molded value of its last
    // expression.
    std::string run(const char* source) {
        Cell code = test::load_code(source);
        Cell* frame = stack::arguments;
        stack::CallFrame* frames = stack::frames_top;
        Pending p = eval::eval_block(&code, {.chain = true});
        EXPECT_EQ(p, Pending::none) << source;
        EXPECT_EQ(stack::frames_top, frames) << source;
        EXPECT_EQ(stack::arguments, frame) << source;
        return stack_molded(stack::arguments);
    }
};

TEST_F(ControlNatives, RepeatCountsInItsOwnCellWhateverTheBodyAssigns) {
    struct Case {
        const char* source;
        const char* expected;
    } cases[] = {
        {"n: 0 repeat i 3 [i: \"x\" n: n + 1] n", "3"},
        {"n: 0 repeat i 3 [i: 100 n: n + 1] n", "3"},
        {"s: 0 repeat i 4 [s: s + i] s", "10"},
        {"repeat i 3 [] i", "3"},
        {"n: 0 repeat i 3 [n: n + 1 if i = 2 [i: -50 continue] i: 0] n", "3"},
        {"repeat i 0 [1]", "none"},
        {"repeat i 2.9 [i]", "2"},
    };
    for (const Case& c : cases) EXPECT_EQ(run(c.source), c.expected) << c.source;
}

// break, continue, return and exit come back as codes: each loop stops or
// goes on as they say and hands return and exit on with the stacks already
// cut back, whatever loops lie in between.
TEST_F(ControlNatives, PendingCodesCrossNestedLoopsAndConditionals) {
    struct Case {
        const char* source;
        const char* expected;
    } cases[] = {
        {"f: func [] [foreach x [1 2 3] [loop 2 [while [true] [if x = 2 [return x * 10] break]]]] f", "20"},
        {"f: func [] [forever [repeat i 5 [either i = 3 [return i] [none]]]] f", "3"},
        {"f: func [] [case [true [until [exit]]] 1] f", "unset"},
        {"f: func [] [any [none all [true do [return 7]]]] f", "7"},
        {"f: func [b] [forall b [switch b/1 [2 [return b]]] none] f [1 2 3]", "[2 3]"},
        {"f: func [] [remove-each x [1 2] [return x]] f", "1"},
        {"loop 3 [loop 3 [break] 9]", "9"},
        {"n: 0 loop 5 [n: n + 1 if n > 2 [break/return n * 2]]", "6"},
        {"n: 0 foreach x [1 2 3 4] [if odd? x [continue] n: n + x] n", "6"},
    };
    for (const Case& c : cases) EXPECT_EQ(run(c.source), c.expected) << c.source;
}

TEST_F(ControlNatives, WhileRefusesBreakInItsCondition) {
    Cell error;
    uint32_t code = raised([&] { run("while [break] [1]"); }, &error);
    EXPECT_NE(code, 0u);
    EXPECT_EQ(stack_molded(&error).find("while-cond") != std::string::npos, true) << stack_molded(&error);
}

TEST_F(ControlNatives, MaxMinOfMixedOperands) {
    struct Case {
        Cell a;
        Cell b;
        bool max;
        const char* expected;
    } cases[] = {
        {integer_cell(3), float_cell(3.0), true, "3"},
        {integer_cell(3), float_cell(3.0), false, "3.0"},
        {Cell{TYPE_PAIR, 0, 1, 5}, integer_cell(3), true, "3x5"},
        {Cell{TYPE_PAIR, 0, 1, 5}, float_cell(2.5), false, "1x2"},
        {integer_cell(3), Cell{TYPE_PAIR, 0, 1, 5}, true, "3x5"},
        {float_cell(NAN), integer_cell(1), true, "1.#NaN"},
        {integer_cell(1), float_cell(NAN), false, "1.#NaN"},
    };
    for (const Case& c : cases) {
        Cell* top = stack::top;
        stack::mark_native(fixed_words::word(fixed_words::Word::anon_tag));
        stack::push(&c.a);
        stack::push(&c.b);
        natives::max_min(c.max);
        Cell result = *stack::arguments;
        stack::pop_frame();
        stack::top = top;
        if (std::string(c.expected) == "1.#NaN") EXPECT_TRUE(std::isnan(float_::get(&result)));
        else EXPECT_EQ(stack_molded(&result), c.expected);
    }
    Cell* top = stack::top;
    stack::mark_native(fixed_words::word(fixed_words::Word::anon_tag));
    Cell pair{TYPE_PAIR, 0, 1, 5};
    Cell huge = float_cell(1e20);
    stack::push(&pair);
    stack::push(&huge);
    natives::max_min(true);
    EXPECT_EQ(cell_type(stack::arguments), TYPE_POINT2D);
    stack::pop_frame();
    stack::top = top;
}

TEST_F(ControlNatives, FloatToIntegerArgumentRefusesWhatDoesNotFit) {
    Cell fits = float_cell(2147483647.0);
    EXPECT_EQ(natives::float_to_integer_arg(&fits), 2147483647);
    Cell negative = float_cell(-2.7);
    EXPECT_EQ(natives::float_to_integer_arg(&negative), -2);
    for (double bad : {2147483648.0, double(NAN), double(INFINITY)}) {
        Cell value = float_cell(bad);
        EXPECT_NE(raised([&] { natives::float_to_integer_arg(&value); }), 0u) << bad;
    }
}

}  // namespace
}  // namespace vek
