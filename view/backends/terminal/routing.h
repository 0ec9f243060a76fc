// Routing decoded input to the widgets of the current window. Pointer
// events go down the tree to the deepest widget under the pointer: moves
// become over (and over with the away flag for the widget the pointer
// left), presses and releases go up the path until a widget takes them,
// releases become clicks and double clicks, the wheel goes up the path
// until done, and a click gives the focus. Keys go to the focused widget:
// key-down, then key, then the widget's own handler, each only while the
// ones before did not answer done.
//
// Every event may run Vek code that destroys widgets, the window
// included. Routing holds widgets by their ids only and looks each one up
// again after every send, stopping where a widget is gone; a destroyed
// widget leaves the pointer state through forget_widget_in_routing.
#pragma once

#include <cstdint>
#include <vector>

#include "view/backends/terminal/input.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

// The pointer's state between events.
struct PointerState {
    WidgetId hovered = 0;                // the deepest widget under the pointer
    WidgetId pressed = 0;                // the widget hovered at the last down
    std::vector<WidgetId> pressed_list;  // the path of the last down
    float x = 0, y = 0;                  // the last position, relative to the window
    int32_t click_state = 0;             // CLICK_IDLE, CLICK_ONE or CLICK_DOUBLE
    int32_t click_timer = 0;             // ms since the last release
};
enum ClickState : int32_t { CLICK_IDLE = 0, CLICK_ONE = 2, CLICK_DOUBLE = 10 };
// Two releases closer than this are a double click.
constexpr int32_t DOUBLE_CLICK_MS = 500;
PointerState& pointer();

// A pointer event (over, a button's down or up, wheel), its position
// relative to the current window.
void route_pointer(const InputEvent& event);
// A key event, for the focused widget of the current window.
void route_key(const InputEvent& event);

// Moves the window's focus to the widget: unfocus to the one that had it,
// then focus to the widget.
void set_focus(WidgetId id);

// A tick of the given ms passed: the click timer runs while a click waits
// for a second one.
void advance_click_timer(int32_t ms);

// The widget is being destroyed: it is neither hovered nor pressed any more.
void forget_widget_in_routing(WidgetId id);
// The pointer state as at start.
void reset_routing();

}  // namespace vek::view::backends::terminal
