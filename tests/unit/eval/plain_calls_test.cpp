// Plain calls (no path, no apply, no refinement named) take a lean path of
// their own. Tracing keeps every call on the general path, so each case here
// runs twice, once as it is and once traced (no event asked for), and both
// runs must end alike: the same result, or the same error with its Where,
// Near and Stack lines. A callable's first call builds what the lean path
// reads and takes the general path, so the call a case is about comes after
// another call of the same callable.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

void ignore_event(uint32_t, const Cell*, int32_t, const Cell*, const Cell*) {}

class PlainCalls : public test::NativeFrameTest {
protected:
    void TearDown() override {
        eval::trace::installed = eval::trace::tracing = false;
        eval::trace::listener = nullptr;
        NativeFrameTest::TearDown();
    }

    // The molded value of the source's last expression, or the whole error
    // it raised. The stacks must be back where they were.
    std::string outcome(const std::string& source, bool traced) {
        eval::trace::listener = ignore_event;
        eval::trace::mask = 0;
        eval::trace::installed = eval::trace::tracing = traced;
        Cell code = test::load_code(source.c_str());
        Cell error;
        std::string result;
        auto evaluate = [&] {
            result = test::stack_molded(test::result_of(&code, source));
            stack::pop(1);
        };
        if (test::raised(evaluate, &error)) result = test::stack_formed(&error);
        eval::trace::installed = eval::trace::tracing = false;
        return result;
    }

    // Each source's outcome starts with the expected text (a result, or an
    // error's first line) and is the same traced.
    struct Row {
        std::string source;
        const char* expected;
    };
    template <size_t N>
    void expect_same(const Row (&rows)[N]) {
        for (const Row& row : rows) {
            std::string plain = outcome(row.source, false);
            EXPECT_EQ(plain.substr(0, plain.find('\n')), row.expected) << row.source;
            EXPECT_EQ(plain, outcome(row.source, true)) << row.source;
        }
    }
};

TEST_F(PlainCalls, ResultsMatchTheGeneralPath) {
    const Row rows[] = {
        // functions: arguments, absent refinements, locals, return: entries
        {"f: func [a b] [a - b] f 10 f 5 2", "7"},
        {"f: func [] [] f f", "unset"},
        {"f: func [a /r b /s] [reduce [a r b s]] f 0 f 1", "[1 false none false]"},
        {"f: func [a /local b c] [b: a * 2 reduce [a b c]] f 0 f 3", "[3 6 none]"},
        {"f: function [a] [b: a + 1 b] f 0 f 1", "2"},
        {"f: func [a b return: [integer!]] [a * b] f 1 1 f 6 7", "42"},
        {"f: func [a [integer! string!]] [a] f 1 f \"x\"", "\"x\""},
        // passing modes, and an optional literal argument at the code's end
        {"f: func ['w :g] [reduce [w g]] f a b f (1 + 2) (3)", "[3 (3)]"},
        {"f: func ['x [word! unset!]] [type? :x] f a f", "unset!"},
        // natives and actions, their refinements left out
        {"not 1 = 2", "true"},
        {"append [1] [2 3]", "[1 2 3]"},
        {"type? type? 1", "datatype!"},
        // operators call their functions plainly too
        {"f: func [a b] [a * 10 + b] g: make op! :f 1 g 2 g 3", "123"},
        // an argument that redefines the function being called
        {"f: func [a b] [a + b] f 0 0 f (f: func [x] [x] 1) 2", "3"},
        // exits through plain calls
        {"f: func [] [loop 3 [return 1] 2] reduce [f f 3]", "[1 1 3]"},
        {"f: func [] [break] loop 1 [f] n: 0 loop 3 [n: n + 1 f] n", "1"},
        {"f: func [n] [either n < 2 [n] [(f n - 1) + (f n - 2)]] f 12", "144"},
        // the code cut short by an argument: the call takes what is left
        {"code: [f (clear next code 1) 2] f: func [a] [a] f 0 do code", "1"},
        // arguments that call nothing: words and literals with the operators
        // computed inline, which an overflow turns to float!, and those that
        // are not, which take the general step
        {"f: func [a b] [reduce [a b]] x: 2 f 0 0 f x + 1 * 3 x", "[9 2]"},
        {"f: func [a] [a] f 0 f 2147483647 + 1", "2147483648.0"},
        {"f: func [a] [a] g: make op! func [x y] [x - y] f 0 f 5 g 2", "3"},
        {"g: make op! func [a b] [a * b] x: 3 1 g 1 2 g x + 1", "7"},
        {"f: func [a] [a] f 0 f 'w", "w"},
        // a plain argument, then one that is quoted or takes the general step
        {"f: func [a 'w b] [reduce [a w b]] f 0 x 0 f 1 y (2)", "[1 y 2]"},
        // operators whose operands are computed: their kernels run inline
        {"(0) + (0) (0) - (0) (0) * (0) reduce [(1) + (2) (2147483647) + (1) (1.5) * (2) (7) - (10)]",
         "[3 2147483648.0 3.0 -3]"},
        {"(0) < (0) (0) = (0) (0) >= (0) (0) == (0) (0) <> (0) reduce [(1) < (2) (1) = (1.0) (2) >= (3.5) (3) == (3) (1) <> (1)]",
         "[true true false true false]"},
        {"p: make op! :add (0) p (0) (1) p (2)", "3"},
    };
    expect_same(rows);
}

TEST_F(PlainCalls, ErrorsMatchTheGeneralPath) {
    const Row rows[] = {
        {"f: func [a b] [a] f 1 2 f 1", "*** Script Error: f is missing its b argument"},
        {"f: func [a [integer!] b] [a] f 1 2 f \"x\" 2",
         "*** Script Error: f does not allow string! for its a argument"},
        {"f: func [a [integer!]] [a] h: func [x] [f x] h 1 h \"x\"",
         "*** Script Error: f does not allow string! for its a argument"},
        {"f: func ['x] [x] f 1 f", "*** Script Error: f is missing its x argument"},
        {"f: func [a b [integer!]] [a] f 1 2 f 1 \"x\"",
         "*** Script Error: f does not allow string! for its b argument"},
        {"f: func [a b] [a] f 1 2 f 1 + \"x\" 2", "*** Script Error: string! type is not allowed here"},
        {"f: func [a b] [a / b] h: func [x] [f x 0] f 4 2 h 1", "*** Math Error: attempt to divide by zero"},
        {"not true not", "*** Script Error: not is missing its value argument"},
        {"append [] 1 append 1 2", "*** Script Error: append does not allow integer! for its series argument"},
        {"if true [] if true 1", "*** Script Error: if does not allow integer! for its then-blk argument"},
        {"f: func [a [integer!] b] [a] g: make op! :f 1 g 2 \"x\" g 1",
         "*** Script Error: g does not allow string! for its a argument"},
        {"f: func [n] [f n + 1] f 1", "*** Internal Error: stack overflow"},
        {"f: func [a] [a] f 1 f u", "*** Script Error: u has no value"},
        {"(0) + (0) (1) + (\"x\")", "*** Script Error: string! type is not allowed here"},
        {"f: func [a] [a] x: 1 f 1 f x + \"s\"", "*** Script Error: string! type is not allowed here"},
    };
    expect_same(rows);
}

// Callables whose absent refinements take more cells than the lean path
// lays out, or more slots than a native call passes, keep the general path.
TEST_F(PlainCalls, WideSpecsMatchTheGeneralPath) {
    std::string spec = "a";
    for (int i = 0; i < 40; i++) spec += " /r" + std::to_string(i) + " x" + std::to_string(i);
    std::string refinements;
    for (int i = 0; i < 33; i++) refinements += " /r" + std::to_string(i);
    const Row rows[] = {
        {"f: func [" + spec + "] [reduce [a r39 x39]] f 1 f 1", "[1 false none]"},
        {"f: func [" + spec + " [integer!]] [a] f 1 f", "*** Script Error: f is missing its a argument"},
        // more refinements than a native call has slots for: not runnable
        {"n: make native! [[value" + refinements + "] 33] try [n true] n true",
         "*** Internal Error: reserved for future use (or not yet implemented)"},
    };
    expect_same(rows);
}

// A function with compiled code cannot run as interpreted code: every call
// of it raises once its arguments are fetched, on the lean path as well.
TEST_F(PlainCalls, CompiledFunctionsRaiseAsTheGeneralPathDoes) {
    Cell spec = test::load_code("a");
    Cell body = test::load_code("a");
    function::make_value(&spec, &body, Node::none, 1, 0, 0);
    context::set_global(symbol::make("compiled-f"), stack::top - 1);
    stack::pop(1);
    const Row rows[] = {
        {"try [compiled-f 1] compiled-f 1", "*** Internal Error: reserved for future use (or not yet implemented)"},
        {"compiled-f", "*** Script Error: compiled-f is missing its a argument"},
    };
    expect_same(rows);
}

// An operator computed inline, its right operand evaluated (a paren, a call,
// a path), runs that operand in the operator's frame as a plain call would.
// Each source uses the operator once before, so that the case is no first call.
TEST_F(PlainCalls, OperatorsOnEvaluatedOperandsMatchTheGeneralPath) {
    const Row rows[] = {
        {"1 + (0) f: func [] [2] reduce [1 + (2) 1 + f 2147483647 + (1) 1.5 * (2) - (0.5)]", "[3 3 2147483648.0 2.5]"},
        {"1 < (0) b: [1 2] reduce [1 < b/2 1 = (1.0) 1 == (1.0) 2 >= (2)]", "[true true false true]"},
        {"1 + (0) f: func [] [#\"a\"] 1 + f", "98"},
        {"1 + (0) f: func [] [1 + (return 5) 7] r: 0 loop 3 [r: r + (break)] reduce [f r]", "[5 0]"},
        {"1 + (0) 1 + (undefined-word)", "*** Script Error: undefined-word has no value"},
        {"1 + (0) 1 + ()", "*** Script Error: + does not allow unset! for its value2 argument"},
        {"1 + (0) f: func [] [\"a\"] 1 + f", "*** Script Error: string! type is not allowed here"},
        {"1 < (0) f: func [x] [x < (1 / 0)] f 1", "*** Math Error: attempt to divide by zero"},
        {"1 + (0) f: func [n] [1 + (f n)] f 1", "*** Internal Error: stack overflow"},
    };
    expect_same(rows);
}

}  // namespace
}  // namespace vek
