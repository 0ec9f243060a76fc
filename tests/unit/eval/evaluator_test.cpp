#include "runtime/eval/evaluator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/trace.h"
#include "runtime/natives/natives.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::load_code;
using test::stack_formed;
using test::stack_molded;

struct Row {
    const char* source;
    const char* expected;
};

class Evaluator : public test::NativeFrameTest {
protected:
    // The molded value of the source's last expression, or the first line of
    // the error it raised. The stacks must be back where they were.
    std::string run(const char* source) {
        Cell code = load_code(source);
        Cell error;
        std::string result;
        auto evaluate = [&] { result = stack_molded(test::result_of(&code, source)); };
        if (test::raised(evaluate, &error)) {
            result = stack_formed(&error);
            result = result.substr(0, result.find('\n'));
        }
        return result;
    }

    template <size_t N>
    void expect_rows(const Row (&rows)[N]) {
        for (const Row& row : rows) EXPECT_EQ(run(row.source), row.expected) << row.source;
    }
};

TEST_F(Evaluator, OperatorsApplyLeftToRightAndArgumentsTakeWholeInfixExpressions) {
    const Row rows[] = {
        {"1 + 2 * 3", "9"},
        {"2 * 3 + 1 - 2", "5"},
        {"f: func [x] [x] f 1 + 2", "3"},
        {"f: func [x y] [reduce [x y]] f 1 + 2 3 * 2", "[3 6]"},
        {"1 + (2 * 3)", "7"},
        {"a: 1 a + 1", "2"},
        {"", "unset"},
        {"'a", "a"},
        {"'a/b", "a/b"},
        {"a: 'b a", "b"},
        {"a: 5 :a", "5"},
    };
    expect_rows(rows);
}

TEST_F(Evaluator, PassingModes) {
    const Row rows[] = {
        // get: the value as it stands
        {"f: func [:x] [x] f (1 + 2)", "(1 + 2)"},
        {"f: func [:x] [x] f y", "y"},
        // literal: a paren's value, but a word itself
        {"f: func ['x] [x] f (1 + 2)", "3"},
        {"f: func ['x] [x] f y", "y"},
        {"v: 7 f: func ['x] [x] f :v", "7"},
        // an optional literal argument at the end of the code
        {"f: func ['x [word! unset!]] [type? :x] f", "unset!"},
        {"f: func ['x [word! unset!]] [type? :x] f y", "word!"},
    };
    expect_rows(rows);
}

TEST_F(Evaluator, RefinementsTakeTheirArgumentsInPathOrder) {
    const Row rows[] = {
        {"f: func [/a x /b y] [reduce [a x b y]] f/b/a 1 2", "[true 2 true 1]"},
        {"f: func [/a x /b y] [reduce [a x b y]] f/a/b 1 2", "[true 1 true 2]"},
        {"f: func [/a x /b y] [reduce [a x b y]] f", "[false none false none]"},
        // a get-word element decides by its value; the arguments go either way
        {"a: false f: func [/a x] [reduce [a x]] reduce [f/:a 1 2]", "[[false none] 2]"},
        {"a: 1 f: func [/a x] [reduce [a x]] f/:a 1", "[true 1]"},
        // a native's slots record where each refinement's arguments landed
        {"append/dup/only [] [1] 2", "[[1] [1]]"},
        {"append/only/dup [] [1] 2", "[[1] [1]]"},
    };
    expect_rows(rows);
}

TEST_F(Evaluator, NonLocalExits) {
    const Row rows[] = {
        // return ends only its own function, from inside a loop as well
        {"f: func [] [loop 3 [return 1] 2] reduce [f 3]", "[1 3]"},
        {"f: func [] [return 1] g: func [] [f 2] g", "2"},
        // break passes through a function to the loop around its call
        {"f: func [] [break] n: 0 loop 3 [n: n + 1 f] n", "1"},
        // a recursive call finds its own arguments again after the inner one
        {"f: func [n] [either n > 0 [n + f n - 1] [0]] f 4", "10"},
    };
    expect_rows(rows);
}

TEST_F(Evaluator, ErrorsNameTheirCulprits) {
    const Row rows[] = {
        {"a:", "*** Script Error: a: needs a value"},
        {"a: ()", "*** Script Error: a: needs a value"},
        {"no-such-word", "*** Script Error: no-such-word has no value"},
        {"+ 1 2", "*** Script Error: + operator is missing an argument"},
        {"f: func [x] [x] f", "*** Script Error: f is missing its x argument"},
        {"f: func [x [integer!]] [x] f \"a\"", "*** Script Error: f does not allow string! for its x argument"},
        {"f: func [/a] [a] f/a/a", "*** Script Error: duplicate refinement usage in: f/a/a"},
        {"a: false f: func [/a /b] [a] f/b/:a/:a", "*** Script Error: duplicate refinement usage in: f/b/:a/:a"},
        {"append/only/dup/only [] 1 2", "*** Script Error: duplicate refinement usage in: append/only/dup/only"},
        {"f: func [/a] [a] f/b", "*** Script Error: f has no refinement called b"},
        {"f: func [/a] [a] f/1", "*** Script Error: invalid refinement value: 1"},
        {"f: func [n] [f n + 1] f 1", "*** Internal Error: stack overflow"},
    };
    expect_rows(rows);
}

// A million returns from inside a loop each reach their function as a code:
// no exception is involved, or the evaluation would not come back.
TEST_F(Evaluator, ReturnsFromLoopsAreCodes) {
    uint64_t before = eval::returns_handled();
    EXPECT_EQ(run("f: func [] [loop 1 [return 1]] n: 0 loop 1000000 [n: n + f] n"), "1000000");
    EXPECT_EQ(eval::returns_handled() - before, 1000000u);
}

// Blocks that run in their caller's frame count towards the frame limit
// while they run: whichever way they are left, the whole frame stack is
// free again after.
TEST_F(Evaluator, EveryWayOutOfABlockGivesItsFrameBack) {
    stack::CallFrame* limit = stack::frames_limit;
    const Row rows[] = {
        {"f: func [] [loop 3 [if true [(return 1)]]] f", "1"},
        {"n: 0 while [n < 3] [n: n + 1 any [n = 2 continue] if n = 2 [break]] n", "2"},
        {"catch [loop 2 [either true [all [throw 5]] [0]]]", "5"},
        {"try [repeat i 2 [case [true [(1 / 0)]]]] 1", "1"},
        {"f: func [] [foreach x [1 2] [until [exit]]] f 2", "2"},
        {"f: func [n] [if true [f n + 1]] f 1", "*** Internal Error: stack overflow"},
        {"do [(1 / 0)]", "*** Math Error: attempt to divide by zero"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(run(row.source), row.expected) << row.source;
        EXPECT_EQ(stack::frames_limit, limit) << row.source;
    }
}

// ---------------------------------------------------------------- tracing

struct Seen {
    uint32_t event;
    int32_t offset;
    std::string value;
    std::string ref;
};
std::vector<Seen>* seen = nullptr;

void record(uint32_t event, const Cell*, int32_t offset, const Cell* value, const Cell* ref) {
    seen->push_back({event, offset, value ? stack_molded(value) : "", ref ? stack_molded(ref) : ""});
}

class Tracing : public Evaluator {
protected:
    void SetUp() override {
        Evaluator::SetUp();
        seen = &events_;
        eval::trace::listener = record;
        eval::trace::mask = eval::trace::ALL_EVENTS;
        eval::trace::installed = true;
    }
    void TearDown() override {
        eval::trace::installed = eval::trace::tracing = false;
        eval::trace::listener = nullptr;
        seen = nullptr;
        Evaluator::TearDown();
    }
    std::vector<Seen> traced(const char* source, uint32_t events) {
        Cell code = load_code(source);
        return traced(&code, events);
    }
    std::vector<Seen> traced(const Cell* code, uint32_t events) {
        events_.clear();
        eval::trace::tracing = true;
        EXPECT_EQ(eval::eval_block(code), Pending::none);
        eval::trace::tracing = false;
        stack::pop(1);
        std::vector<Seen> kept;
        for (const Seen& s : events_)
            if (s.event & events) kept.push_back(s);
        return kept;
    }

private:
    std::vector<Seen> events_;
};

TEST_F(Tracing, ExprFollowsEachStatementAndCallNamesTheCall) {
    auto events = traced("f: func [x] [x] f 1 + 2", eval::trace::EV_EXPR);
    // the block's first statement, f's body, then the block's second one
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].offset, 0);
    EXPECT_EQ(events[1].offset, 0);
    EXPECT_EQ(events[1].value, "3");
    EXPECT_EQ(events[2].offset, 4);
    EXPECT_EQ(events[2].value, "3");

    events = traced("f: func [x] [x] f 1", eval::trace::EV_CALL);
    ASSERT_EQ(events.size(), 2u);  // func, then f
    EXPECT_EQ(events[1].ref, "f");
}

TEST_F(Tracing, AnUnnamedCallIsReportedByTheFunctionItself) {
    auto events = traced("do reduce [func [x] [x] 1]", eval::trace::EV_CALL);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().ref, "func [x][x]");
}

// What library code evaluates fires no event.
TEST_F(Tracing, LibraryCodeIsSilent) {
    Cell code = load_code("1 + 2 3");
    node_buffer(series_node(&code))->flags |= eval::BUF_LIBRARY;
    EXPECT_TRUE(traced(&code, eval::trace::ALL_EVENTS).empty());
}

uint32_t position_seen = 0;
Pending capture_position(bool, const int32_t*) {
    // Word 1 of the position cell: its index once user code has set it.
    Cell position = eval::current_position();
    position_seen = payload_word(&position, 1);
    return Pending::none;
}

// The current position follows user code expression by expression; library
// code leaves it alone.
TEST_F(Evaluator, CurrentPositionFollowsUserCodeOnly) {
    // A native that reads the position, in place of stats! for the test.
    const Cell* stats = context::get(word::from_cstring("stats"));
    ASSERT_EQ(cell_type(stats), TYPE_NATIVE);
    natives::NativeFn saved = natives::table[native::position(stats) - 1];
    natives::table[native::position(stats) - 1] = capture_position;

    Cell user = load_code("1 2 stats");
    make_unset(stack::push_cell());
    EXPECT_EQ(eval::eval_block(&user), Pending::none);
    EXPECT_EQ(position_seen, 2u);
    Cell after = eval::current_position();
    EXPECT_EQ(cell_type(&after), TYPE_UNSET);  // the finished block is not kept

    Cell library = load_code("stats");
    node_buffer(series_node(&library))->flags |= eval::BUF_LIBRARY;
    EXPECT_EQ(eval::eval_block(&library), Pending::none);
    Cell outside = eval::current_position();
    EXPECT_EQ(position_seen, payload_word(&outside, 1));

    natives::table[native::position(stats) - 1] = saved;
}

}  // namespace
}  // namespace vek
