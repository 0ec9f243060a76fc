// The evaluator takes shorter paths while no tracer listens, and the general
// path, with every trace event, while tracing is on. These tests hold the two
// to the same outcome, and the traced path to the events it delivers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/stack.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek {
namespace {

using test::load_code;
using test::stack_formed;
using test::stack_molded;

// A tracer that hears nothing: the evaluator takes its general path.
class Silent {
public:
    Silent() {
        eval::trace::installed = true;
        eval::trace::mask = 0;
        eval::trace::tracing = true;
    }
    ~Silent() { eval::trace::installed = eval::trace::tracing = false; }
    Silent(const Silent&) = delete;
    Silent& operator=(const Silent&) = delete;
};

// Sources that rebind a global word put it back: both runs of a source, and
// the tests after it, see the same words.
class TracedPath : public test::NativeFrameTest {
protected:
    // The molded value of the source's last expression or, when it raised an
    // error, the error's whole text: run under try/keep, so that its stack
    // lists the calls under way when it was raised. The stacks must be back
    // where they were.
    std::string outcome(const std::string& source) {
        Cell code = load_code(("try/keep [" + source + "]").c_str());
        Cell* top = stack::top;
        const Cell* result = test::result_of(&code, source);
        std::string text = cell_type(result) == TYPE_ERROR ? stack_formed(result) : stack_molded(result);
        stack::top = top;
        return text;
    }

    void expect_same_outcomes(const std::vector<std::string>& sources) {
        for (const std::string& source : sources) {
            std::string untraced = outcome(source);
            Silent silent;
            EXPECT_EQ(outcome(source), untraced) << source;
        }
    }
};

TEST_F(TracedPath, OperatorsAndWords) {
    expect_same_outcomes({
        "x: 2147483647 reduce [x + 1 x - -1 x * 2 -2147483648 - 1 65536 * x]",
        "x: 1.5 y: 2 reduce [x * x x + y y - x y * x 1 + 0.5 0.25 - 1]",
        "x: 3 y: 3.0 reduce [x = y x == y x <> y x < y x > y x <= y x >= y x = 4]",
        "i: 1e308 * 10 n: i - i reduce [i n n < 1 n >= 1 n = n n <> n 0.1 + 0.2 = 0.3]",
        "reduce [#\"a\" + 1 1 + #\"a\" 1 + 50% 1 + 2 * 3 - 4]",
        "p: make op! func [a b] [a * 10 + b] q: make op! :add reduce [1 p 2 1 q 2 2147483647 q 1 1.5 q 1]",
        "f: func [x] [x * 2] reduce [1 + f 2 + 3 2 * (1 + 2) 1 + :x]",
        "1 + \"a\"", "1 < \"a\"", "\"a\" + 1", "1 +", "1 + + 2", "1 + undefined-word",
        "x: 1 r: copy [] loop 2 [append r 10 + x x: func [] [5]] r",
        "saved: :+ r: copy [] loop 2 [append r 1 + 1 set '+ :*] set '+ :saved r",
    });
}

TEST_F(TracedPath, SetWords) {
    expect_same_outcomes({
        "a: b: 1 + 2 reduce [a b]",
        "f: func [n /local x] [x: n + 1 n: x * 2 reduce [n x]] f 4",
        "x: 'a y: [1 2] z: y reduce [x z]",
        "x: 4 / 2 y: 1 < 2 = true z: x + 1.5 * 2 w: 2147483647 w: w + 1 reduce [x y z w]",
        "x: 1 < 2 + 1", "x: 1 + 2 y", "x: #\"a\" y: x + 1 reduce [x y]",
        "x:", "x: ()", "x: undefined-word", "x: 1 + none",
        "f: func [] [f: undefined-word] f",
        "f: func [] [x: 1 + 2147483647 y: x * \"a\"] f",
        "x: 2147483647 + 1 - 1 y: 65536 * 65536 z: -2147483648 - 1 * 2 reduce [x y z]",
        "e: try [1 / 0] do bind [arg1: 1 + 2 arg2: arg1 * 2] e reduce [get in e 'arg1 get in e 'arg2]",
    });
}

TEST_F(TracedPath, Conditionals) {
    expect_same_outcomes({
        "reduce [if 1 < 2 [3] if none [3] unless false [4] either 1 > 2 [5] [6]]",
        "reduce [any [none false 3] all [1 2 3] all [1 none] case [false [1] true [2]]]",
        "n: 0 case/all [true [n: n + 1] true [n: n + 10]] n",
        "b: [1] reduce [if true b either false b b]",
        "if true 7", "either true [1]", "if", "either 1 < 2 [1] [2] = 1", "any [1] = [1]",
        "f: func [] [if undefined-word [1]] f",
        "f: func [] [either () [1] [2]] f",
        "g: func [] [1 / 0] f: func [] [unless false [g]] f",
        "f: func [] [case [true [undefined-word]]] f",
        "saved: :if r: copy [] loop 3 [append r if true [1] if: func [c b] [2]] if: :saved r",
        "saved: :either r: copy [] loop 2 [append/only r either true [1] [2] either: :if] either: :saved r",
        "f: func [] [if true [undefined-word]] f", "f: func [x] [either x > 0 [x / 0] [0]] f 1",
        "f: func [] [any [none undefined-word]] f", "f: func [] [all [1 undefined-word]] f",
        "any 5", "case", "either true [1] 2", "unless",
        "n: 0 loop 3 [n: n + 1 case [n = 2 [break]]] n",
        "r: copy [] foreach [a b] [1 2 3 4] [all [a = 3 break] append r b] r",
        "saved: :unless r: copy [] loop 2 [append r unless false [1] unless: func [c b] [2]] unless: :saved r",
        "saved: :any r: copy [] loop 2 [append r any [1] any: func [b] [0]] any: :saved r",
        "saved: :all r: copy [] loop 2 [append r all [1] all: func [b] [0]] all: :saved r",
        "saved: :case r: copy [] loop 2 [append r case [true [1]] case: func [b] [0]] case: :saved r",
        "r: copy [] foreach c [1 none false] [append r either c [1] [2] append r if c [3] append r unless c [4]] r",
        "b: [either (clear b true) [1] [2]] do b", "if true [1] = [1]", "unless false [1] + 1", "either 1 [2]",
        "x: 1 f: func [y] [reduce [either true [x] [0] either false [0] [y] if true ['x] unless false [:x]]] f 2",
        "f: func [] [either true [undefined-word] [0]] f", "f: func [] [if true [append]] f",
        "x: 1 unset 'x if true [x]",
    });
}

TEST_F(TracedPath, Loops) {
    expect_same_outcomes({
        "n: 0 while [n < 5] [n: n + 1 if n = 3 [continue] if n = 4 [break]] n",
        "n: 0 until [n: n + 1 either n < 3 [continue] [n >= 3]]",
        "n: 0 loop 2.9 [n: n + 1] reduce [n loop 0 [1]]",
        "s: 0 repeat i 4 [s: s + i] reduce [s i repeat j 3 [j: 100]]",
        "s: 0 foreach [a b] [1 2 3 4] [s: s + (a * b)] s",
        "r: copy [] foreach x \"ab\" [append r x] r",
        "f: func [b] [foreach x b [if x > 2 [return x]] none] f [1 5 3]",
        "f: func [n] [loop 3 [if n > 0 [return f n - 1]] n] f 5",
        "n: 0 loop 3 [n: n + 1 f: func [] [break] f] n",
        "loop \"a\" [1]", "repeat 5 5 [1]", "foreach x 5 [x]", "while [true] 5", "while [break] [1]",
        "f: func [x] [loop x [x: x - 1 x / 0]] f 2",
        "f: func [] [foreach x [1 2] [x: x + none]] f",
        "n: 0 body: [n: n + 1 if n < 3 [append body [n: n + 100]]] loop 3 body n",
        "b: [1 2 3] s: 0 foreach x b [if x = 1 [append b 10] s: s + x] s",
        "n: 0 c: [n < 5] while c [n: n + 1 if n = 2 [clear c append c [n < 3]]] n",
        "n: 0 c: [n: n + 1 n < 3] while c [c: [false]] n",
        "saved: :while n: 0 while [n < 3] [n: n + 1 while: none] while: :saved n",
        "f: func [] [while [true] [1 + \"a\"]] f", "f: func [] [until [undefined-word]] f",
        "f: func [n] [repeat i n [if i = 2 [i / 0]]] f 3", "until 5", "repeat i", "loop 2", "repeat i [1] [2]",
        "n: 0 repeat i 4 [unless odd? i [continue] n: n + i] n",
        "r: copy [] foreach x [1 2 3 4] [if even? x [continue] append r x] r",
        "saved: :loop r: copy [] loop 2 [append r loop 1 [1] loop: func [n b] [0]] loop: :saved r",
        "saved: :repeat r: copy [] loop 2 [append r repeat i 1 [i] repeat: func ['w n b] [0]] repeat: :saved r",
        "saved: :foreach r: copy [] loop 2 [append r foreach x [1] [x] foreach: func ['w s b] [0]] foreach: :saved r",
        "saved: :until r: copy [] loop 2 [append r until [1] until: func [b] [0]] until: :saved r",
        "f: func [n /local i r] [r: copy [] repeat i n [if n > 1 [append r f n - 1] append r i] r] f 3",
        "g: func [b /local x s] [s: 0 foreach x b [if x > 1 [s: s + g next b] s: s + x] s] g [1 2 3]",
        "repeat i 20 [do append append copy \"grown-word-\" i \": i\"] reduce [i grown-word-20]",
        "w: 'k r: copy [] repeat :w 2 [append r k] r", "r: copy [] foreach (pick [[a b]] 1) [1 2 3 4] [append r b] r",
    });
}

// The code near an error is the innermost block under way, at the
// expression that failed, however many blocks ran, returned or were left
// early before it, and while the block grows or shrinks.
TEST_F(TracedPath, WhereErrorsArise) {
    expect_same_outcomes({
        "f: func [] [do [1 2 (3 / 0)]] f", "f: func [] [x: do [1 + 1] x / 0] f",
        "g: func [n] [n: n + 1 n / 0] repeat i 2 [g i]",
        "g: func [n] [n + 1] i: 0 while [i < 3] [i: i + 1 g i] 1 / 0",
        "f: func [] [while [true] [return 1]] f 1 / 0", "while [true] [break] 1 / 0",
        "g: func [] [reduce [1 undefined-word]] f: func [] [loop 1 [g]] f",
        "b: [x: 1 append b [x / 0] 2] do b", "b: [1 (clear b) 1 / 0] do b",
        "set [v i] do/next [1 / 0 2] 'i", "f: func [x] [print [x / 0]] f 1",
    });
}

// Blocks that run without a frame of their own still overflow the stacks
// at the depth, and with the calls listed, that a frame per block gives.
TEST_F(TracedPath, DeepRecursionThroughBlocks) {
    expect_same_outcomes({
        "f: func [n] [if true [f n + 1]] f 1", "f: func [n] [either n > 0 [(f n + 1)] [0]] f 1",
        "f: func [n] [all [any [f n + 1]]] f 1", "f: func [] [loop 1 [while [f] [1]]] f",
        "f: func [b] [do b] f [f [(1 / 0)]]", "f: func [] [case [true [f]]] f",
        "f: func [] [repeat i 1 [foreach x [1] [until [f]]]] f",
    });
}

TEST_F(TracedPath, BlocksThatChangeWhileTheyRun) {
    expect_same_outcomes({
        "x: 0 b: [x: x + 1 if x < 3 [append b [x: x + 10]]] do b x",
        "b: [append/dup b 0 100 1 + 2] do b",
        "b: [1 + (clear b 2) + 3 4] do b",
        "c: [(clear c true) [7] true [8]] case c",
        "loop 1 [if true [1]] 1 / 0",
        "if (loop 1 [true]) [1 / 0]",
        "f: func [] [g 1 / 0] g: func [] [loop 1 [2]] f",
    });
}

// ---------------------------------------------------------------- events

struct Heard {
    std::string event;
    std::string frames;  // the named frames, bottom up, as traces list them
};
std::vector<Heard>* heard = nullptr;

const char* event_name(uint32_t event) {
    switch (event) {
        case eval::trace::EV_PROLOG: return "prolog";
        case eval::trace::EV_EPILOG: return "epilog";
        case eval::trace::EV_ENTER: return "enter";
        case eval::trace::EV_EXIT: return "exit";
        case eval::trace::EV_OPEN: return "open";
        case eval::trace::EV_RETURN: return "return";
        case eval::trace::EV_FETCH: return "fetch";
        case eval::trace::EV_PUSH: return "push";
        case eval::trace::EV_SET: return "set";
        case eval::trace::EV_CALL: return "call";
        case eval::trace::EV_EXPR: return "expr";
        default: return "other";
    }
}

std::string named_frames() {
    std::string names;
    for (const stack::CallFrame* f = stack::frames_bottom; f < stack::frames_top; f++) {
        uint32_t symbol = stack::frame_symbol(f);
        if (symbol == 0 || symbol == stack::anon_symbol || symbol == stack::body_symbol) continue;
        if (!names.empty()) names += ' ';
        names += symbol::get_c_string(symbol);
    }
    return names;
}

// A native or action molds with its whole spec: its type says enough here.
std::string brief_molded(const Cell* value) {
    std::string text = stack_molded(value);
    if (is_callable(cell_type(value)) && text.rfind("make ", 0) == 0) text.resize(text.find(" ["));
    return text;
}

void listen(uint32_t event, const Cell*, int32_t offset, const Cell* value, const Cell* ref) {
    std::string text = std::string(event_name(event)) + ' ' + std::to_string(offset);
    if (value) text += ' ' + brief_molded(value);
    if (ref) text += " @" + stack_molded(ref);
    heard->push_back({text, named_frames()});
}

class TraceEvents : public TracedPath {
protected:
    void SetUp() override {
        TracedPath::SetUp();
        heard = &heard_;
        eval::trace::listener = listen;
        eval::trace::mask = eval::trace::ALL_EVENTS;
        eval::trace::installed = true;
    }
    void TearDown() override {
        eval::trace::installed = eval::trace::tracing = false;
        eval::trace::listener = nullptr;
        heard = nullptr;
        TracedPath::TearDown();
    }
    std::vector<Heard> events_of(const char* source, bool tracing) {
        heard_.clear();
        Cell code = load_code(source);
        Cell* top = stack::top;
        eval::trace::tracing = tracing;
        EXPECT_EQ(eval::eval_block(&code), Pending::none) << source;
        eval::trace::tracing = false;
        stack::top = top;
        return heard_;
    }

    static std::vector<std::string> texts_of(const std::vector<Heard>& events) {
        std::vector<std::string> texts;
        for (const Heard& h : events) texts.push_back(h.frames.empty() ? h.event : h.event + " | " + h.frames);
        return texts;
    }

private:
    std::vector<Heard> heard_;
};

// Every event of a short program that meets a set-word, an operator, a
// conditional and a loop, in order, with the named frames under way.
TEST_F(TraceEvents, TheGeneralPathDeliversEveryEvent) {
    std::vector<std::string> expected = {
        "enter 0",
        "fetch 0 x:",
        "push 0 x:",
        "fetch 1 1 | x",
        "push 1 1 | x",
        "set 2 1 @x: | x",
        "expr 0 1",
        "fetch 2 if",
        "open 3 if",
        "fetch 3 x | if",
        "push 3 1 | if",
        "fetch 4 < | if",
        "open 5 < | if",
        "fetch 5 2 | if <",
        "push 5 2 | if <",
        "call 6 make native! @< | if <",
        "return 6 true @< | if",
        "fetch 6 [x: x + 1] | if",
        "push 6 [x: x + 1] | if",
        "call 7 make native! @if | if",
        "enter 0 | if",
        "fetch 0 x: | if",
        "push 0 x: | if",
        "fetch 1 x | if x",
        "push 1 1 | if x",
        "fetch 2 + | if x",
        "open 3 + | if x",
        "fetch 3 1 | if x +",
        "push 3 1 | if x +",
        "call 4 make action! @+ | if x +",
        "return 4 2 @+ | if x",
        "set 4 2 @x: | if x",
        "expr 0 2 | if",
        "exit 4 2 | if",
        "return 7 2 @if",
        "expr 2 2",
        "fetch 7 loop",
        "open 8 loop",
        "fetch 8 1 | loop",
        "push 8 1 | loop",
        "fetch 9 [x] | loop",
        "push 9 [x] | loop",
        "call 10 make native! @loop | loop",
        "enter 0 | loop",
        "fetch 0 x | loop",
        "push 0 2 | loop",
        "expr 0 2 | loop",
        "exit 1 2 | loop",
        "return 10 2 @loop",
        "expr 7 2",
        "fetch 10 x",
        "push 10 2",
        "expr 10 2",
        "exit 11 2",
    };
    EXPECT_EQ(texts_of(events_of("x: 1 if x < 2 [x: x + 1] loop 1 [x] x", true)), expected);
}

// A function that asks to be traced is, from whatever untraced code calls
// it: its events see the frames of the conditionals and loops around it.
TEST_F(TraceEvents, ATracedFunctionSeesTheFramesAroundIt) {
    std::vector<std::string> expected = {
        "prolog -1 func [[trace] n][n * 2] @g | loop if either x g",
        "enter 0 | loop if either x g",
        "fetch 0 n | loop if either x g",
        "push 0 3 | loop if either x g",
        "fetch 1 * | loop if either x g",
        "open 2 * | loop if either x g",
        "fetch 2 2 | loop if either x g *",
        "push 2 2 | loop if either x g *",
        "call 3 make action! @* | loop if either x g *",
        "return 3 6 @* | loop if either x g",
        "expr 0 6 | loop if either x g",
        "exit 3 6 | loop if either x g",
        "epilog -1 func [[trace] n][n * 2] @g | loop if either x g",
    };
    std::vector<Heard> events =
        events_of("g: func [[trace] n] [n * 2] x: 0 loop 1 [if true [either x < 1 [x: g 3] [0]]] x", false);
    EXPECT_EQ(texts_of(events), expected);
}

// The events among texts that start with prefix, in order.
std::vector<std::string> events_named(const std::vector<std::string>& texts, const std::string& prefix) {
    std::vector<std::string> named;
    for (const std::string& text : texts)
        if (text.rfind(prefix, 0) == 0) named.push_back(text);
    return named;
}

// A function run many times untraced, then traced: it delivers the events,
// frames and values that a function of the same source which never ran
// delivers, and goes back to running silently.
TEST_F(TraceEvents, TracingOnAfterManyUntracedRunsHearsEverything) {
    const char* define = "f: func [n /local s] [s: 0 loop n [s: s + either odd? n [(g n)] [1]] s] g: func [k] [k * 2]";
    events_of(define, false);
    EXPECT_TRUE(events_of("loop 50 [f 3 f 2]", false).empty());
    std::vector<std::string> warmed = texts_of(events_of("f 3", true));
    EXPECT_TRUE(events_of("f 3", false).empty());
    events_of(define, false);
    EXPECT_EQ(warmed, texts_of(events_of("f 3", true)));
    std::vector<std::string> sets = {"set 2 0 @s: | f s", "set 8 6 @s: | f loop s", "set 8 12 @s: | f loop s",
                                     "set 8 18 @s: | f loop s"};
    EXPECT_EQ(events_named(warmed, "set "), sets);
    ASSERT_FALSE(warmed.empty());
    EXPECT_EQ(warmed.back(), "exit 2 18");
}

// A function that asks to be traced, called in a loop whose body ran the
// same block untraced many times, traces that block as it would one that
// never ran; the loop around it stays silent.
TEST_F(TraceEvents, ATracedCallInAWarmLoopHearsEverything) {
    std::string define = "b: [s: s + either odd? k [(k * 2)] [1]] t: func [[trace]] [do b]";
    std::string body = " [k: k + 1 either k < 19 [do b] [t]]";
    std::vector<std::string> warmed = texts_of(events_of((define + " k: 0 s: 0 loop 20" + body).c_str(), false));
    std::vector<std::string> fresh = texts_of(events_of((define + " k: 18 s: 171 loop 2" + body).c_str(), false));
    EXPECT_EQ(warmed, fresh);
    std::vector<std::string> sets = {"set 8 209 @s: | loop either t do s", "set 8 210 @s: | loop either t do s"};
    EXPECT_EQ(events_named(warmed, "set "), sets);
    EXPECT_EQ(events_named(warmed, "prolog ").size(), 2u);
}

}  // namespace
}  // namespace vek
