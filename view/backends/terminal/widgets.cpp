#include "view/backends/terminal/widgets.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "view/backends/terminal/events.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/helpers.h"
#include "view/backends/terminal/kinds.h"
#include "view/backends/terminal/loop.h"
#include "view/backends/terminal/render.h"
#include "view/backends/terminal/routing.h"
#include "view/backends/terminal/timers.h"
#include "view/draw.h"

namespace vek::view::backends::terminal {

namespace {

// Ids: the slot in the low bits, the slot's generation above, so that the
// id of a freed widget names nothing once its slot serves another.
constexpr uint32_t SLOT_BITS = 20;
constexpr uint32_t SLOT_MASK = (1u << SLOT_BITS) - 1;
constexpr uint32_t GENERATION_MASK = 0x7FF;  // ids stay positive as handle values

Backend state;

constexpr uint32_t CELL = sizeof(Cell);

WidgetId make_id(uint32_t slot, uint32_t generation) { return (generation << SLOT_BITS) | slot; }

void mark_widgets() {
    for (const Widget& widget : state.widgets) {
        if (!widget.live) continue;
        gc::mark_cell(&widget.face);
        gc::mark_cell(&widget.ui_text);
    }
}

uint32_t take_slot() {
    if (!state.free_slots.empty()) {
        uint32_t slot = state.free_slots.back();
        state.free_slots.pop_back();
        return slot;
    }
    if (state.widgets.empty()) state.widgets.emplace_back();  // slot 0 names none
    state.widgets.emplace_back();
    return uint32_t(state.widgets.size() - 1);
}

// ---------------------------------------------------------------- reading the face

struct Box {
    float x, y;           // the offset
    float width, height;  // the size
    bool size_pair;       // the size was a pair!
};

// The face's offset, a pair! turned into a point2D! in the face itself
// (quietly: no change reaches the handlers); a window's becomes 0x0.
Box read_box(const Cell* face, bool window) {
    Cell* offset = facet(face, Facet::OFFSET);
    Box box{};
    if (cell_type(offset) == TYPE_PAIR) point2d::make_at(offset, float(pair::x(offset)), float(pair::y(offset)));
    if (window) point2d::make_at(offset, 0, 0);
    if (cell_type(offset) == TYPE_POINT2D) {
        box.x = point2d::x(offset);
        box.y = point2d::y(offset);
    }
    const Cell* size = facet(face, Facet::SIZE);
    if (cell_type(size) == TYPE_PAIR) {
        box.width = float(pair::x(size));
        box.height = float(pair::y(size));
        box.size_pair = true;
    } else if (cell_type(size) == TYPE_POINT2D) {
        box.width = point2d::x(size);
        box.height = point2d::y(size);
    }
    return box;
}

bool facet_true(const Cell* face, Facet which) {
    const Cell* value = facet(face, which);
    return cell_type(value) == TYPE_LOGIC && logic::get(value);
}

uint32_t widget_flags(const Cell* face, uint32_t face_bits, bool size_pair) {
    uint32_t flags = size_pair ? uint32_t(WIDGET_SIZE_PAIR) : 0u;
    if (face_bits & FACE_FOCUSABLE) flags |= WIDGET_FOCUSABLE;
    if (face_bits & FACE_ALL_OVER) flags |= WIDGET_ALL_OVER;
    if (face_bits & FACE_PASSWORD) flags |= WIDGET_PASSWORD;
    if (face_bits & FACE_FULLSCREEN) flags |= WIDGET_FULLSCREEN;
    if (!facet_true(face, Facet::VISIBLE_Q)) flags |= WIDGET_HIDDEN;
    if (!facet_true(face, Facet::ENABLED_Q)) flags |= WIDGET_DISABLED;
    return flags;
}

// ---------------------------------------------------------------- focus and windows

void give_focus(WindowRecord& record, Widget& widget) {
    if (Widget* old = find_widget(record.focused)) old->flags &= ~WIDGET_FOCUSED;
    record.focused = id_of(widget);
    widget.flags |= WIDGET_FOCUSED;
}

// A window: its record, a place in the window list, the root of rendering,
// the focus when nothing has it, and full screen when its flags ask.
void construct_window(Widget& widget) {
    widget.window = std::make_unique<WindowRecord>(WindowRecord{0, 0, widget.x2, widget.y2, 0, 0});
    widget.render = render_nothing;
    WidgetId id = id_of(widget);
    state.windows.push_back(id);
    state.current_window = id;
    give_focus(*widget.window, widget);
    if (widget.flags & WIDGET_FULLSCREEN) state.screen.full_screen = true;
}

// A child joins its window: the extent grows to hold a direct child, and
// the first focusable widget takes the focus from the window itself.
void join_window(Widget& child, Widget& parent) {
    Widget* window = window_of(parent);
    if (!window) return;
    WindowRecord& record = *window->window;
    if (&parent == window) {
        record.x1 = std::min(record.x1, child.x1);
        record.y1 = std::min(record.y1, child.y1);
        record.x2 = std::max(record.x2, child.x2);
        record.y2 = std::max(record.y2, child.y2);
    }
    if (child.flags & WIDGET_CARET) ++record.caret_widgets;
    bool unfocused = record.focused == 0 || record.focused == id_of(*window);
    if ((child.flags & WIDGET_FOCUSABLE) && unfocused) give_focus(record, child);
}

void leave_window_list(WidgetId id) {
    std::erase(state.windows, id);
    if (state.current_window == id) state.current_window = state.windows.empty() ? 0 : state.windows.back();
}

// ---------------------------------------------------------------- destroying

// Removes the face from the parent block of its font or para: the faces
// that use it, by identity.
void unlink_from(const Cell* face, Facet which) {
    const Cell* users = field(facet(face, which), Word::PARENT);
    if (!users || !is_any_block(cell_type(users))) return;
    Node node = series_node(users);
    Node context = object::context_node(face);
    SeriesBuffer* buffer = node_buffer(node);
    for (uint32_t i = 0; i < buffer->length(); ++i) {
        Cell* user = buffer->cells() + i;
        if (cell_type(user) != TYPE_OBJECT || object::context_node(user) != context) continue;
        std::memmove(static_cast<void*>(user), user + 1, size_t(buffer->length() - i - 1) * CELL);
        buffer->tail = Off(uint32_t(buffer->tail) - CELL);
        return;
    }
}

void destroy_children(const Cell* face, WidgetId id) {
    const Cell* pane = facet(face, Facet::PANE);
    if (!is_any_block(cell_type(pane))) return;
    Cell children = *pane;
    for (uint32_t i = series_index(&children); i < series_buffer(&children)->length(); ++i) {
        if (!pane_child(&children, i, id)) continue;
        Cell child = series_buffer(&children)->cells()[i];
        destroy_widget(&child);
    }
}

// Nothing the backend keeps names the widget any more.
void forget_widget(WidgetId id) {
    remove_timer(id);
    forget_widget_in_routing(id);
    forget_widget_messages(id);
}

void free_widget(Widget& widget) {
    uint32_t slot = uint32_t(&widget - state.widgets.data());
    forget_widget(id_of(widget));
    widget.generation = (widget.generation + 1) & GENERATION_MASK;
    widget.live = false;
    widget.image_cells = {};
    widget.on_event = nullptr;
    widget.caret = {};
    widget.window.reset();
    widget.face = blank_cell(TYPE_NONE);
    widget.ui_text = blank_cell(TYPE_NONE);
    state.free_slots.push_back(slot);
}

}  // namespace

Backend& backend() { return state; }

void reset_backend() {
    ColourMode mode = state.colour_mode;
    state = Backend{};
    state.colour_mode = mode;
    reset_timers();
    reset_routing();
    reset_events();
}

void init_widgets() {
    gc::add_root("terminal widgets", mark_widgets);
    init_events();
    init_face_to_image();
}

WidgetId id_of(const Widget& widget) {
    return make_id(uint32_t(&widget - state.widgets.data()), widget.generation);
}

Widget* find_widget(WidgetId id) {
    uint32_t slot = id & SLOT_MASK;
    if (slot == 0 || slot >= state.widgets.size()) return nullptr;
    Widget& widget = state.widgets[slot];
    return widget.live && id == id_of(widget) ? &widget : nullptr;
}

Widget* face_widget(const Cell* face) {
    const Cell* face_state = facet(face, Facet::STATE);
    if (!is_any_block(cell_type(face_state))) return nullptr;
    SeriesBuffer* buffer = series_buffer(face_state);
    uint32_t index = series_index(face_state);
    if (index >= buffer->length()) return nullptr;
    const Cell* first = buffer->cells() + index;
    if (cell_type(first) != TYPE_HANDLE || handle::kind(first) != handle::Kind::window) return nullptr;
    return find_widget(WidgetId(handle::value(first)));
}

Widget* window_of(Widget& widget) {
    Widget* at = &widget;
    while (at && !at->window) at = find_widget(at->parent);
    return at;
}

WidgetId make_widget(const Cell* face, WidgetId parent) {
    uint32_t face_bits = face_flags(facet(face, Facet::FLAGS));
    const Cell* type = facet(face, Facet::TYPE);
    bool window = is_word(type, Word::WINDOW);
    Box box = read_box(face, window);
    uint32_t flags = widget_flags(face, face_bits, box.size_pair);
    uint32_t kind = is_any_word(cell_type(type)) ? symbol::resolve(word::symbol(type)) : 0;
    Cell image = *facet(face, Facet::IMAGE);
    Cell rate = *facet(face, Facet::RATE);
    std::optional<int32_t> interval = rate_interval(&rate);

    uint32_t slot = take_slot();
    Widget& widget = state.widgets[slot];
    widget.live = true;
    widget.kind = kind;
    widget.flags = flags;
    widget.x1 = box.x;
    widget.y1 = box.y;
    widget.x2 = box.x + box.width;
    widget.y2 = box.y + box.height;
    widget.parent = parent;
    widget.image_width = 0;
    widget.first_row = 0;
    widget.ui_text = blank_cell(TYPE_NONE);
    widget.face = *face;
    widget.render = render_default;
    widget.on_update = nullptr;
    WidgetId id = id_of(widget);
    if (window) construct_window(widget);
    else construct_kind(widget);
    if (Widget* parent_widget = find_widget(parent)) join_window(widget, *parent_widget);
    if (cell_type(&image) == TYPE_IMAGE) prerender_image(*find_widget(id), &image);
    if (interval) set_timer(id, *interval);
    return id;
}

void destroy_widget(const Cell* face) {
    Widget* widget = face_widget(face);
    if (!widget) return;
    WidgetId id = id_of(*widget);
    destroy_children(face, id);
    unlink_from(face, Facet::FONT);
    unlink_from(face, Facet::PARA);
    widget = find_widget(id);
    // The window itself takes the focus its widget loses, so that keys
    // still reach the window (Escape closes it, Tab moves on).
    if (Widget* window = window_of(*widget); window && window != widget && window->window->focused == id)
        give_focus(*window->window, *window);
    bool window = widget->window != nullptr;
    if (window) leave_window_list(id);
    free_widget(*widget);
    if (window) window_destroyed(id);
    *facet(face, Facet::STATE) = blank_cell(TYPE_NONE);
    if (Widget* current = find_widget(state.current_window)) request_redraw(*current);
}

Widget* hit_test(Widget& widget, float x, float y) {
    Cell pane = *facet(&widget.face, Facet::PANE);
    if (!is_any_block(cell_type(&pane))) return nullptr;
    WidgetId id = id_of(widget);
    for (uint32_t i = series_buffer(&pane)->length(); i > series_index(&pane); --i) {
        Widget* child = pane_child(&pane, i - 1, id);
        if (!child || (child->flags & WIDGET_HIDDEN)) continue;
        if (x >= child->x1 && x < child->x2 && y >= child->y1 && y < child->y2) return child;
    }
    return nullptr;
}

Widget* pane_child(const Cell* pane, uint32_t i, WidgetId parent) {
    const Cell* face = series_buffer(pane)->cells() + i;
    Widget* child = is_face(face) ? face_widget(face) : nullptr;
    return child && child->parent == parent ? child : nullptr;
}

void request_redraw(const Widget& widget) {
    Widget* window = window_of(const_cast<Widget&>(widget));
    if (window && id_of(*window) == state.current_window) state.screen.redraw_needed = true;
}

}  // namespace vek::view::backends::terminal
