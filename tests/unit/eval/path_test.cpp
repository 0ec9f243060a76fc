// The path walker hands each selector's path action the value that held the
// parent and the owner-notification flag drawn from it. No datatype reads
// them yet, so these tests put a recorder in block!'s path slot.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek {
namespace {

// What one call of the path action was given: the holder of the parent
// (its type, buffer and index; unset! when none was given) and the flags.
struct Step {
    uint32_t holder_type;
    uint32_t holder_node;
    uint32_t holder_index;
    int32_t index;
    bool notify;
};

struct Recorder {
    registry::ActionFn original = nullptr;
    std::array<Step, 8> steps{};
    uint32_t count = 0;
} recorder;

Cell* recording_eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    Step step{TYPE_UNSET, 0, 0, args.index, args.notify};
    if (args.grandparent) {
        step.holder_type = cell_type(args.grandparent);
        if (is_any_block(step.holder_type)) {
            step.holder_node = uint32_t(series_node(args.grandparent));
            step.holder_index = series_index(args.grandparent);
        }
    }
    if (recorder.count < recorder.steps.size()) recorder.steps[recorder.count++] = step;
    auto original = reinterpret_cast<actions::EvalPathFn>(recorder.original);
    return original(parent, element, args);
}

class PathWalk : public test::NativeFrameTest {
protected:
    void SetUp() override {
        NativeFrameTest::SetUp();
        recorder = {};
        recorder.original = slot();
        slot() = registry::as_action(recording_eval_path);
    }
    void TearDown() override {
        slot() = recorder.original;
        NativeFrameTest::TearDown();
    }

    static registry::ActionFn& slot() { return registry::action_table[TYPE_BLOCK][registry::SLOT_EVAL_PATH - 1]; }

    // Runs the source, then forgets the steps its set-up took: only the
    // path evaluated by run() is recorded.
    void prepare(const char* source) {
        run(source);
        recorder.count = 0;
    }
    void run(const char* source) {
        Cell code = test::load_code(source);
        Cell* top = stack::top;
        ASSERT_EQ(eval::eval_block(&code), Pending::none) << source;
        stack::top = top;
    }
    // The value of a global word, as a series: its buffer and index.
    static std::pair<uint32_t, uint32_t> series_of(const char* name) {
        const Cell* value = context::get(word::from_cstring(name));
        return {uint32_t(series_node(value)), series_index(value)};
    }
    static void expect_holder(const Step& step, std::pair<uint32_t, uint32_t> series, const char* what) {
        EXPECT_TRUE(is_any_block(step.holder_type)) << what;
        EXPECT_EQ(step.holder_node, series.first) << what;
        EXPECT_EQ(step.holder_index, series.second) << what;
    }
};

// From the second selector on, the holder is the value the previous
// selector was applied to, not the one two steps back.
TEST_F(PathWalk, EachSelectorGetsTheValueThatHeldItsParent) {
    prepare("walk-a: [b [c [d 1]]] walk-b: walk-a/b walk-c: walk-b/c");
    run("walk-a/b/c/d: 2");
    ASSERT_EQ(recorder.count, 3u);
    EXPECT_EQ(recorder.steps[0].holder_type, uint32_t(TYPE_UNSET)) << "a global head word has no owner";
    expect_holder(recorder.steps[1], series_of("walk-a"), "second selector");
    expect_holder(recorder.steps[2], series_of("walk-b"), "third selector");
    EXPECT_TRUE(recorder.steps[2].notify) << "a block holds the last parent";
    EXPECT_FALSE(recorder.steps[1].notify);
}

// The flag follows the holder: an object without change handlers holding
// the last parent asks for no notification, even when a block held the
// object.
TEST_F(PathWalk, NotificationFollowsTheHolderOfTheLastParent) {
    prepare("walk-o: reduce ['o make object! [x: [k 1]]]");
    run("walk-o/o/x/k: 2");
    ASSERT_EQ(recorder.count, 2u);  // the object's own step is not block!'s
    EXPECT_EQ(recorder.steps[1].index, 2);
    EXPECT_EQ(recorder.steps[1].holder_type, uint32_t(TYPE_OBJECT));
    EXPECT_FALSE(recorder.steps[1].notify);
}

}  // namespace
}  // namespace vek
