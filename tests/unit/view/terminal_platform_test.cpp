// The platform routines of the terminal backend that act on the window
// list and on a kind's update, and the backend's start: gui-init takes the
// colour mode of the run; a kind's update handler runs with
// system/view/auto-sync? held false and put back however it ends, and
// closing one of two windows shows the other with its focus and a fresh
// pointer state.
#include <gtest/gtest.h>

#include "runtime/core/raise.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/terminal_fixture.h"
#include "view/backends/terminal/helpers.h"
#include "view/backends/terminal/routines.h"
#include "view/backends/terminal/routing.h"
#include "view/backends/terminal/updates.h"
#include "view/backends/terminal/widgets.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

// What system/view/auto-sync? held while the update handler ran.
bool auto_sync_in_handler = true;

bool auto_sync_now() {
    Cell code = test::load_code("auto-sync-seen: system/view/auto-sync?");
    EXPECT_EQ(eval::eval_block(&code), Pending::none);
    return logic::get(context::get_global_cell(symbol::make_case_folded("auto-sync-seen")));
}

void recording_update(Widget&) { auto_sync_in_handler = auto_sync_now(); }

void failing_update(Widget& widget) { fire(err::script::invalid_arg, &widget.face); }

class TerminalPlatform : public test::TerminalTest {
protected:
    void SetUp() override {
        test::TerminalTest::SetUp();
        run("set/any 'saved-system get/any 'system system: make object! [view: make object! [auto-sync?: true]]");
    }
    void TearDown() override {
        run("set/any 'system get/any 'saved-system");
        test::TerminalTest::TearDown();
    }

    WidgetId show(const char* name, WidgetId parent = 0) { return test::show_face(global(name), parent); }
};

TEST_F(TerminalPlatform, AKindsUpdateRunsWithAutoSyncHeldFalse) {
    run("win: make tui-face [type: 'window size: 20x4] a: make tui-face [size: 4x1] win/pane: reduce [a]");
    WidgetId window = show("win");
    WidgetId a = show("a", window);
    Cell face = global("a");

    find_widget(a)->on_update = recording_update;
    run("a/state/2: 2");
    update_widget(&face);
    EXPECT_FALSE(auto_sync_in_handler);
    EXPECT_TRUE(auto_sync_now());

    find_widget(a)->on_update = failing_update;
    EXPECT_EQ(test::raised([&face] { update_widget(&face); }), error_code(err::script::invalid_arg));
    EXPECT_TRUE(auto_sync_now());
}

TEST_F(TerminalPlatform, ClosingOneOfTwoWindowsShowsTheOther) {
    run("one: make tui-face [type: 'window size: 20x4] b: make tui-face [size: 4x1 flags: [focusable]]"
        "one/pane: reduce [b] two: make tui-face [type: 'window size: 10x2]");
    WidgetId first = show("one");
    WidgetId button = show("b", first);
    WidgetId second = show("two");
    ASSERT_EQ(backend().current_window, second);
    pointer().hovered = button;
    pointer().pressed = button;
    pointer().pressed_list = {first, button};

    Cell closed = global("two");
    routine::Arg args[] = {{.cell = &closed}, {.cell = &closed}};
    destroy_view(args);
    EXPECT_EQ(backend().current_window, first);
    EXPECT_EQ(backend().windows, std::vector<WidgetId>{first});
    EXPECT_EQ(find_widget(first)->window->focused, button);
    EXPECT_TRUE(find_widget(button)->flags & WIDGET_FOCUSED);
    EXPECT_EQ(pointer().hovered, 0u);
    EXPECT_EQ(pointer().pressed, 0u);
    EXPECT_TRUE(pointer().pressed_list.empty());
    EXPECT_TRUE(backend().screen.redraw_needed);
}

// gui-init makes the backend afresh in the colour mode it is given; a mode
// it does not know is true colour.
TEST_F(TerminalPlatform, GuiInitTakesTheColourModeOfTheRun) {
    run("win: make tui-face [type: 'window size: 20x4]");
    show("win");
    for (auto [mode, expected] : {std::pair{2, ColourMode::indexed}, {4, ColourMode::rgb}, {7, ColourMode::rgb}}) {
        Cell given;
        integer::make_at(&given, mode);
        routine::Arg args[] = {{.cell = &given}};
        gui_init(args);
        EXPECT_EQ(backend().colour_mode, expected) << mode;
        EXPECT_TRUE(backend().windows.empty());
    }
}

}  // namespace
}  // namespace vek
