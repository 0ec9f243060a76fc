// A tracer function installed by do/trace runs at every event in frames of
// its own: however the tracer or the traced code ends (a value, an error, a
// throw, a break, return), the stacks come back where they stood and the
// tracer is gone.
#include <gtest/gtest.h>

#include <string>

#include "runtime/core/stack.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek {
namespace {

class TracerCalls : public test::NativeFrameTest {};

TEST_F(TracerCalls, StacksComeBackAndTheTracerGoesHoweverTheEvaluationEnds) {
    const std::string tracers =
        "n: 0 count: func [e c o v r f] [n: n + 1] "
        "raises: func [e c o v r f] [[expr] 1 / 0] "
        "throws: func [e c o v r f] [[fetch] throw 1] "
        "breaks: func [e c o v r f] [[expr] break] "
        "on-end: func [e c o v r f] [[end] 1 / 0] "
        "narrow: func [e] [n: n + 1] ";
    struct Case {
        const char* source;
        const char* molded;
    } cases[] = {
        {"do/trace [1 + 2] :count", "3"},
        {"f: func [] [do/trace [return 4] :count 5] f", "4"},
        {"loop 2 [do/trace [break] :count] 6", "6"},
        {"type? try [do/trace [1 / 0] :count]", "error!"},
        {"catch [do/trace [throw 7] :count]", "7"},
        {"type? try [do/trace [1 2] :raises]", "error!"},
        {"catch [do/trace [1 2] :throws]", "1"},
        {"type? try [loop 2 [do/trace [1] :breaks]]", "error!"},
        {"catch [do/trace [throw 8] :on-end]", "8"},
        {"type? try [do/trace [do make error! \"x\"] :on-end]", "error!"},
        {"type? try [do/trace [9] :on-end]", "error!"},
        {"do/trace [do/trace [10] :raises] :count", "10"},
        {"do/trace [11] :narrow", "11"},
    };
    for (const Case& c : cases) {
        std::string source = tracers + c.source;
        Cell code = test::load_code(source.c_str());
        const Cell* result = test::result_of(&code, c.source);
        EXPECT_EQ(test::stack_molded(result), c.molded) << c.source;
        stack::pop(1);
        EXPECT_FALSE(eval::trace::installed) << c.source;
        EXPECT_FALSE(eval::trace::tracing) << c.source;
    }
}

}  // namespace
}  // namespace vek
