#include "view/backends/terminal/routing.h"

#include <algorithm>

#include "view/backends/terminal/events.h"

namespace vek::view::backends::terminal {

namespace {

PointerState state;

// A widget on the pointer's path, with the pointer relative to it.
struct Step {
    WidgetId id;
    float x, y;
};
using Path = std::vector<Step>;

// From the current window down to the deepest shown widget under the point.
Path path_under(float x, float y) {
    Path path;
    Widget* widget = find_widget(backend().current_window);
    while (widget) {
        path.push_back({id_of(*widget), x, y});
        widget = hit_test(*widget, x, y);
        if (widget) {
            x -= widget->x1;
            y -= widget->y1;
        }
    }
    return path;
}

// The widget's origin relative to its window.
void origin_of(Widget& widget, float& x, float& y) {
    x = y = 0;
    for (Widget* at = &widget; at && !at->window; at = find_widget(at->parent)) {
        x += at->x1;
        y += at->y1;
    }
}

bool is_ancestor(WidgetId ancestor, WidgetId id) {
    for (Widget* at = find_widget(id); at; at = find_widget(at->parent))
        if (at->parent == ancestor) return true;
    return false;
}

InputEvent at(const InputEvent& event, uint8_t type, float x, float y, uint32_t extra_flags = 0) {
    InputEvent moved = event;
    moved.type = EventType(type);
    moved.x = x;
    moved.y = y;
    moved.flags |= extra_flags;
    return moved;
}

// The event at the pointer's position relative to the widget.
bool send_at_pointer(WidgetId id, const InputEvent& event, uint8_t type, uint32_t extra_flags = 0) {
    Widget* widget = find_widget(id);
    if (!widget) return false;
    float x, y;
    origin_of(*widget, x, y);
    return send_widget_event(id, at(event, type, state.x - x, state.y - y, extra_flags));
}

// ---------------------------------------------------------------- moves

// The pointer left the old widget for the new one: away for the old one
// unless the pointer is still inside it (the new one is its descendant),
// over for the new one unless the pointer was inside it already.
void change_hover(WidgetId old, const Step& now, const InputEvent& event, float last_x, float last_y) {
    if (!is_ancestor(old, now.id)) {
        if (Widget* widget = find_widget(old)) {
            if (old == state.pressed) widget->flags |= WIDGET_LEFT;
            float x, y;
            origin_of(*widget, x, y);
            send_widget_event(old, at(event, EVENT_OVER, last_x - x, last_y - y, FLAG_AWAY));
        }
    }
    if (is_ancestor(now.id, old)) return;
    if (Widget* widget = find_widget(now.id)) {
        widget->flags &= ~WIDGET_LEFT;
        send_widget_event(now.id, at(event, EVENT_OVER, now.x, now.y));
    }
}

void route_move(const InputEvent& event, const Path& path, float last_x, float last_y) {
    const Step& deepest = path.back();
    WidgetId old = state.hovered;
    state.hovered = deepest.id;
    if (old == 0) {
        for (const Step& step : path) send_widget_event(step.id, at(event, EVENT_OVER, step.x, step.y));
    } else if (old != deepest.id) {
        change_hover(old, deepest, event, last_x, last_y);
    } else if (Widget* widget = find_widget(deepest.id); widget && (widget->flags & WIDGET_ALL_OVER)) {
        send_widget_event(deepest.id, at(event, EVENT_OVER, deepest.x, deepest.y));
    }
    Widget* pressed = find_widget(state.pressed);
    if (pressed && (pressed->flags & WIDGET_LEFT) && (pressed->flags & WIDGET_ALL_OVER))
        send_at_pointer(state.pressed, event, EVENT_OVER);
}

// ---------------------------------------------------------------- buttons

// From the deepest widget up, until one answers done or is gone.
void send_up_the_path(const Path& path, const InputEvent& event) {
    for (size_t i = path.size(); i-- > 0;) {
        const Step& step = path[i];
        if (!find_widget(step.id)) return;
        if (send_widget_event(step.id, at(event, event.type, step.x, step.y))) return;
        if (!find_widget(step.id)) return;
    }
}

bool was_pressed(WidgetId id) {
    return std::find(state.pressed_list.begin(), state.pressed_list.end(), id) != state.pressed_list.end();
}

void take_focus_on_click(WidgetId id) {
    Widget* widget = find_widget(id);
    if (widget && (widget->flags & WIDGET_FOCUSABLE) && !(widget->flags & WIDGET_FOCUSED)) set_focus(id);
}

// The widgets of the path that the down reached get click, from the
// deepest up until one answers done; a quick second release adds dbl-click.
void send_clicks(const Path& path, const InputEvent& event) {
    bool double_below = false;
    for (size_t i = path.size(); i-- > 0;) {
        const Step& step = path[i];
        if (!was_pressed(step.id) || !find_widget(step.id)) continue;
        bool quick = state.click_state == CLICK_ONE && state.click_timer < DOUBLE_CLICK_MS;
        bool done = send_widget_event(step.id, at(event, EVENT_CLICK, step.x, step.y));
        if ((quick || double_below) && find_widget(step.id)) {
            done = send_widget_event(step.id, at(event, EVENT_DBL_CLICK, step.x, step.y)) || done;
            double_below = true;
            state.click_state = CLICK_DOUBLE;
        }
        if (i == path.size() - 1) take_focus_on_click(step.id);
        if (done) return;
    }
}

void route_press(const InputEvent& event, const Path& path) {
    state.pressed = state.hovered;
    state.pressed_list.clear();
    for (const Step& step : path) state.pressed_list.push_back(step.id);
    send_up_the_path(path, event);
}

void route_release(const InputEvent& event, const Path& path) {
    send_up_the_path(path, event);
    if (event.type == EVENT_UP) send_clicks(path, event);
    if (Widget* pressed = find_widget(state.pressed); pressed && (pressed->flags & WIDGET_LEFT)) {
        pressed->flags &= ~WIDGET_LEFT;
        send_at_pointer(state.pressed, event, event.type);
    }
    state.pressed = 0;
    state.pressed_list.clear();
    if (event.type != EVENT_UP) return;
    state.click_state = state.click_state == CLICK_DOUBLE ? CLICK_IDLE : CLICK_ONE;
    state.click_timer = 0;
}

// Up the path from the deepest widget, the enabled ones with a face, until
// one answers done.
void route_wheel(const InputEvent& event, const Path& path) {
    for (size_t i = path.size(); i-- > 0;) {
        const Step& step = path[i];
        if (send_widget_event(step.id, at(event, EVENT_WHEEL, step.x, step.y))) return;
    }
}

}  // namespace

PointerState& pointer() { return state; }

void route_pointer(const InputEvent& event) {
    float last_x = state.x, last_y = state.y;
    state.x = event.x;
    state.y = event.y;
    Path path = path_under(event.x, event.y);
    if (path.empty()) return;
    switch (event.type) {
    case EVENT_OVER: route_move(event, path, last_x, last_y); break;
    case EVENT_DOWN:
    case EVENT_MID_DOWN:
    case EVENT_ALT_DOWN: route_press(event, path); break;
    case EVENT_UP:
    case EVENT_MID_UP:
    case EVENT_ALT_UP: route_release(event, path); break;
    case EVENT_WHEEL: route_wheel(event, path); break;
    default: break;
    }
}

void route_key(const InputEvent& event) {
    if (event.key == 0) return;
    Widget* window = find_widget(backend().current_window);
    if (!window) return;
    WidgetId id = window->window->focused;
    if (send_widget_event(id, at(event, EVENT_KEY_DOWN, 0, 0))) return;
    if (send_widget_event(id, at(event, EVENT_KEY, 0, 0))) return;
    Widget* widget = find_widget(id);
    if (widget && widget->on_event && !(widget->flags & WIDGET_DISABLED)) widget->on_event(*widget, event);
}

void set_focus(WidgetId id) {
    Widget* widget = find_widget(id);
    Widget* window = widget ? window_of(*widget) : nullptr;
    if (!window) return;
    WidgetId old = window->window->focused;
    if (old == id) return;
    window->window->focused = id;
    if (Widget* unfocused = find_widget(old)) {
        unfocused->flags &= ~WIDGET_FOCUSED;
        send_widget_event(old, InputEvent{.type = EVENT_UNFOCUS});
    }
    widget = find_widget(id);
    if (!widget) return;
    widget->flags |= WIDGET_FOCUSED;
    send_widget_event(id, InputEvent{.type = EVENT_FOCUS});
    if (Widget* shown = find_widget(id)) request_redraw(*shown);
}

void advance_click_timer(int32_t ms) {
    if (state.click_state == CLICK_ONE && state.click_timer < 800) state.click_timer += ms;
}

void forget_widget_in_routing(WidgetId id) {
    if (state.hovered == id) state.hovered = 0;
    if (state.pressed == id) state.pressed = 0;
    std::erase(state.pressed_list, id);
}

void reset_routing() { state = PointerState{}; }

}  // namespace vek::view::backends::terminal
