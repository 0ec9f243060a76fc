// The terminal backend's event loop, with a stand-in for the loop_world: a clock
// that a wait moves on by its time-out, input typed during chosen waits, a
// count of resizes, frames counted instead of written. A stand-in for the
// view's dispatcher records the events and acts as actors would: it ends
// loops, destroys faces, opens a nested loop.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/datatypes/event.h"
#include "tests/unit/support/terminal_fixture.h"
#include "view/backends/terminal/events.h"
#include "view/backends/terminal/loop.h"
#include "view/backends/terminal/timers.h"
#include "view/backends/terminal/widgets.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

// A wait past this many means the loop under test would never end.
constexpr size_t LOOP_RUNAWAY_WAITS = 200;

struct LoopWorld {
    int64_t now = 5000;                  // ms
    std::vector<int32_t> waits;          // the time-outs asked, in order
    std::string typed;                   // bytes the next read hands over
    std::function<void(size_t)> during;  // acts in the wait of that number (from 0)
    bool terminal = true;                // whether taking the terminal gives input
    bool mouse = false;                  // what the loop asked of mouse reports
    uint32_t resizes = 0;
    int reads = 0, taken = 0, given_back = 0, frames = 0;
};
LoopWorld loop_world;

int64_t loop_world_now() { return loop_world.now; }
void loop_world_wait(int32_t timeout, bool) {
    size_t number = loop_world.waits.size();
    loop_world.waits.push_back(timeout);
    loop_world.now += timeout == WAIT_FOREVER ? 1000 : timeout;
    if (loop_world.during) loop_world.during(number);
    if (number >= LOOP_RUNAWAY_WAITS) {
        ADD_FAILURE() << "the loop does not end";
        exit_event_loop();
    }
}
size_t loop_world_read(InputParser& input) {
    ++loop_world.reads;
    size_t count = loop_world.typed.size();
    input.feed(loop_world.typed);
    loop_world.typed.clear();
    return count;
}
uint32_t loop_world_resizes() { return loop_world.resizes; }
bool loop_world_take(Screen&, InputParser&, bool mouse) {
    ++loop_world.taken;
    loop_world.mouse = mouse;
    return loop_world.terminal;
}
void loop_world_give_back(Screen&) { ++loop_world.given_back; }
void loop_world_show(Screen& screen, bool) {
    ++loop_world.frames;
    screen.redraw_needed = false;
}

struct LoopHeard {
    uint32_t type;
    WidgetId widget;
    int32_t key;
    size_t depth;  // loops running when it came
};
std::vector<LoopHeard> loop_heard;
std::function<void(const LoopHeard&)> loop_react;

bool loop_recording_awake(const Cell* event) {
    uint32_t message = event::message(event);
    const InputEvent* sent = find_message(message);
    LoopHeard one{event::type_id(event), message_widget(message), sent ? sent->key : 0, loop_depth()};
    loop_heard.push_back(one);
    if (loop_react) loop_react(one);
    return false;
}

class TerminalLoop : public test::TerminalTest {
protected:
    void SetUp() override {
        test::TerminalTest::SetUp();
        reset_loop();
        loop_world = LoopWorld{};
        loop_heard.clear();
        loop_react = nullptr;
        saved_io_ = set_loop_io(LoopIo{
            .now_ms = loop_world_now,
            .wait = loop_world_wait,
            .read = loop_world_read,
            .resizes = loop_world_resizes,
            .take_terminal = loop_world_take,
            .give_back_terminal = loop_world_give_back,
            .show_frame = loop_world_show,
        });
        saved_awake_ = set_awake(loop_recording_awake);
    }
    void TearDown() override {
        set_awake(saved_awake_);
        set_loop_io(saved_io_);
        loop_react = nullptr;
        reset_loop();
        test::TerminalTest::TearDown();
    }

    // A window 10x2 with buttons a (rate 10) and b, a focused.
    WidgetId show_window() {
        run("win: make tui-face [type: 'window size: 10x2]"
            "a: make tui-face [type: 'button offset: 0x0 size: 4x1 text: {A} rate: 10 flags: [focusable]]"
            "b: make tui-face [type: 'button offset: 5x0 size: 4x1 text: {B}]"
            "win/pane: reduce [a b]");
        WidgetId window = test::show_face(global("win"), 0);
        a_ = test::show_face(global("a"), window);
        b_ = test::show_face(global("b"), window);
        return window;
    }

    void destroy(const char* name) {
        Cell face = global(name);
        destroy_widget(&face);
    }

    static std::vector<uint32_t> types_heard(WidgetId id) {
        std::vector<uint32_t> types;
        for (const LoopHeard& one : loop_heard)
            if (one.widget == id) types.push_back(one.type);
        return types;
    }
    static size_t count_heard(uint32_t type) {
        size_t count = 0;
        for (const LoopHeard& one : loop_heard) count += one.type == type;
        return count;
    }

    WidgetId a_ = 0, b_ = 0;

private:
    LoopIo saved_io_{};
    AwakeFn saved_awake_ = nullptr;
};

// Timers go by the clock, not by counted ticks: an idle loop sleeps until
// the next timer is due (100 ms for rate 10), and draws its one frame.
TEST_F(TerminalLoop, AnIdleLoopSleepsUntilItsTimerIsDueAndDrawsOnce) {
    show_window();
    loop_react = [](const LoopHeard& one) {
        if (one.type == EVENT_TIME && count_heard(EVENT_TIME) == 3) exit_event_loop();
    };
    run_event_loop(false);
    EXPECT_EQ(types_heard(a_), (std::vector<uint32_t>{EVENT_TIME, EVENT_TIME, EVENT_TIME}));
    EXPECT_EQ(loop_world.waits, (std::vector<int32_t>{100, 100, 100}));
    EXPECT_EQ(loop_world.frames, 1);
    EXPECT_EQ(loop_world.taken, 1);
    EXPECT_EQ(loop_world.given_back, 1);
    EXPECT_EQ(loop_depth(), 0u);
}

// Without timers nothing but input can happen: the wait has no end but
// input. A byte held back (ESC at the end of a read) waits one tick at
// most, then arrives as the Esc key.
TEST_F(TerminalLoop, WithoutTimersTheLoopWaitsForInputAndAHeldEscWaitsOneTick) {
    show_window();
    remove_timer(a_);
    loop_world.during = [](size_t wait) {
        if (wait == 0) loop_world.typed = "x\x1b";
    };
    loop_react = [](const LoopHeard& one) {
        if (one.type == EVENT_KEY && one.key == 27) exit_event_loop();
    };
    run_event_loop(false);
    ASSERT_EQ(loop_world.waits.size(), 2u);
    EXPECT_EQ(loop_world.waits[0], WAIT_FOREVER);
    EXPECT_LE(loop_world.waits[1], TICK_MS);
    std::vector<int32_t> keys;
    for (const LoopHeard& one : loop_heard)
        if (one.type == EVENT_KEY) keys.push_back(one.key);
    EXPECT_EQ(keys, (std::vector<int32_t>{'x', 27}));
}

// An actor that takes a button out of its pane leaves the loop running;
// the destruction of the loop's window ends it.
TEST_F(TerminalLoop, OnlyTheDestructionOfItsWindowEndsALoop) {
    show_window();
    loop_react = [this](const LoopHeard& one) {
        if (one.type != EVENT_TIME) return;
        destroy(count_heard(EVENT_TIME) == 1 ? "b" : "win");
    };
    run_event_loop(false);
    EXPECT_EQ(count_heard(EVENT_TIME), 2u);
    EXPECT_EQ(loop_depth(), 0u);
    EXPECT_EQ(loop_world.given_back, 1);
}

// A loop run from an actor nests: it does not take the terminal again,
// exit-event-loop ends it alone, and the outer loop goes on.
TEST_F(TerminalLoop, ANestedLoopEndsAloneAndTheOuterOneGoesOn) {
    show_window();
    std::vector<size_t> depths;
    loop_react = [&depths](const LoopHeard& one) {
        if (one.type != EVENT_TIME) return;
        depths.push_back(one.depth);
        if (depths.size() == 1) run_event_loop(false);
        else exit_event_loop();
    };
    run_event_loop(false);
    EXPECT_EQ(depths, (std::vector<size_t>{1, 2, 1}));
    EXPECT_EQ(loop_world.taken, 1);
    EXPECT_EQ(loop_world.given_back, 1);
    EXPECT_EQ(loop_depth(), 0u);
}

// wait in an actor runs one pass of the loop: it reads the input and
// routes it, without waiting.
TEST_F(TerminalLoop, APassInsideARunningLoopRoutesTheInput) {
    show_window();
    loop_react = [](const LoopHeard& one) {
        if (one.type == EVENT_KEY) exit_event_loop();
        if (one.type != EVENT_TIME) return;
        loop_world.typed = "k";
        size_t waits = loop_world.waits.size();
        EXPECT_TRUE(run_event_loop(true));
        EXPECT_EQ(loop_world.waits.size(), waits);
    };
    run_event_loop(false);
    ASSERT_EQ(count_heard(EVENT_KEY), 1u);
    EXPECT_EQ(loop_heard.back().key, 'k');
}

// A one-pass loop outside a running one (do-events/no-wait, wait) neither
// takes the terminal nor reads it nor waits; a loop without a window
// returns at once. Without the terminal's input, a loop whose timers are
// gone ends: nothing else could end it.
TEST_F(TerminalLoop, LoopsThatCannotWaitForAnythingReturnAtOnce) {
    EXPECT_FALSE(run_event_loop(true));
    EXPECT_FALSE(run_event_loop(false));
    show_window();
    EXPECT_FALSE(run_event_loop(true));
    EXPECT_EQ(loop_world.taken + loop_world.reads + loop_world.frames, 0);

    loop_world.terminal = false;
    loop_react = [](const LoopHeard& one) {
        if (one.type == EVENT_TIME) remove_timer(one.widget);
    };
    run_event_loop(false);
    EXPECT_EQ(count_heard(EVENT_TIME), 1u);
    EXPECT_EQ(loop_world.reads + loop_world.frames, 0);
    EXPECT_EQ(loop_depth(), 0u);
}

// A resize noted during a wait reaches every window, and the window is
// drawn again.
TEST_F(TerminalLoop, AResizeReachesTheWindowAndRedrawsIt) {
    WidgetId window = show_window();
    remove_timer(a_);
    loop_world.during = [](size_t wait) {
        if (wait == 0) ++loop_world.resizes;
    };
    loop_react = [](const LoopHeard& one) {
        if (one.type == EVENT_RESIZE) exit_event_loop();
    };
    run_event_loop(false);
    EXPECT_EQ(types_heard(window), (std::vector<uint32_t>{EVENT_RESIZE}));
    EXPECT_EQ(loop_world.frames, 2);
}

}  // namespace
}  // namespace vek
