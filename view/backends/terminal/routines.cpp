#include "view/backends/terminal/routines.h"

#include <cmath>

#include "runtime/core/raise.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/core/stack.h"
#include "runtime/tables/ownership.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/routing.h"
#include "view/backends/terminal/tty.h"
#include "view/backends/terminal/updates.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

namespace {

using routine::Arg;

// The change mask bit of the para facet.
constexpr uint32_t PARA_CHANGED = mask_bit(Facet::PARA);

// The query codes of text-box-metrics.
enum Metric : int32_t {
    CARET_TO_OFFSET = 0,
    OFFSET_TO_CARET = 1,
    LINE_HEIGHT = 2,
    TEXT_SIZE = 3,
    LINE_COUNT = 4,
    OFFSET_TO_CHAR = 5,
    CARET_TO_OFFSET_LOWER = 6,
};

Arg answer(Cell* cell) { return {.cell = cell}; }
Arg nothing() { return answer(none::push()); }

[[noreturn]] void raise_invalid_type(const Cell* value) {
    Cell type = datatype::cell(cell_type(value));
    fire(err::script::invalid_type, &type);
}

void require_face(const Cell* value) {
    if (!is_face(value)) raise_invalid_type(value);
}

Arg point_answer(int32_t x, int32_t y) { return answer(point2d::push(float(x), float(y))); }

// A pair! or point2D! as whole cells; false for another value.
bool planar(const Cell* value, int32_t& x, int32_t& y) {
    if (cell_type(value) == TYPE_PAIR) {
        x = pair::x(value);
        y = pair::y(value);
        return true;
    }
    if (cell_type(value) == TYPE_POINT2D) {
        x = int32_t(std::trunc(point2d::x(value)));
        y = int32_t(std::trunc(point2d::y(value)));
        return true;
    }
    return false;
}

// The widget of a window handle!; nullptr for another value or a widget
// that is gone.
Widget* handle_widget(const Cell* value) {
    if (cell_type(value) != TYPE_HANDLE || handle::kind(value) != handle::Kind::window) return nullptr;
    return find_widget(WidgetId(handle::value(value)));
}

// Every value of the block is a face, or the block raises before any
// update; then each face with a state block is updated.
void update_faces(const Cell* block) {
    for (uint32_t i = series_index(block); i < series_buffer(block)->length(); ++i)
        if (cell_type(series_buffer(block)->cells() + i) != TYPE_OBJECT)
            raise_invalid_type(series_buffer(block)->cells() + i);
    Cell faces = *block;
    for (uint32_t i = series_index(&faces); i < series_buffer(&faces)->length(); ++i) {
        Cell face = series_buffer(&faces)->cells()[i];
        if (is_face(&face) && is_any_block(cell_type(facet(&face, Facet::STATE)))) update_widget(&face);
    }
}

int32_t whole_or_zero(const Cell* value) { return cell_type(value) == TYPE_INTEGER ? integer::get(value) : 0; }

// The window becomes the current one with the focus it had, or its own; the
// cursor hides when none of its widgets shows a caret; no widget stays
// hovered or pressed.
void show(Widget& window) {
    WidgetId id = id_of(window);
    backend().current_window = id;
    WindowRecord& record = *window.window;
    if (!find_widget(record.focused)) record.focused = id;
    if (Widget* focused = find_widget(record.focused)) focused->flags |= WIDGET_FOCUSED;
    if (record.caret_widgets == 0) {
        backend().screen.caret_column = -1;
        backend().screen.caret_row = -1;
    }
    pointer().hovered = 0;
    pointer().pressed = 0;
    pointer().pressed_list.clear();
    request_redraw(window);
}

}  // namespace

// ---------------------------------------------------------------- routines

Arg get_screen_size(const Arg*) {
    TerminalSize size = terminal_size();
    return answer(pair::push(size.columns, size.rows));
}

// The face's text, or the string given: its widest line and its lines.
Arg size_text(const Arg* args) {
    const Cell* face = args[0].cell;
    const Cell* value = args[1].cell;
    require_face(face);
    if (cell_type(value) != TYPE_NONE && !is_any_string(cell_type(value))) raise_invalid_type(value);
    const Cell* text = cell_type(value) == TYPE_NONE ? facet(face, Facet::TEXT) : value;
    if (!is_any_string(cell_type(text))) return nothing();
    TextSize size = measure_text(text_of(text), 0);
    return point_answer(size.width, size.lines);
}

Arg text_box_metrics(const Arg* args) {
    const Cell* face = args[0].cell;
    const Cell* argument = args[1].cell;
    require_face(face);
    const Cell* type = facet(face, Facet::TYPE);
    if (!is_word(type, Word::RICH_TEXT)) fire(err::script::face_type, type);
    const Cell* text_cell = facet(face, Facet::TEXT);
    if (!is_any_string(cell_type(text_cell))) return nothing();
    Cell text = *text_cell;
    int32_t width_limit = 0, height_limit = 0;
    planar(facet(face, Facet::SIZE), width_limit, height_limit);
    int32_t x = 0, y = 0;
    switch (cell_type(args[2].cell) == TYPE_INTEGER ? integer::get(args[2].cell) : -1) {
    case CARET_TO_OFFSET:
    case CARET_TO_OFFSET_LOWER: {
        if (cell_type(argument) != TYPE_INTEGER) raise_invalid_type(argument);
        size_t index = size_t(std::max(integer::get(argument), 0));
        bool lower = integer::get(args[2].cell) == CARET_TO_OFFSET_LOWER;
        Caret caret = caret_to_offset(text_of(&text), index, width_limit, lower);
        return point_answer(caret.column, caret.line);
    }
    case OFFSET_TO_CARET:
    case OFFSET_TO_CHAR: {
        if (!planar(argument, x, y)) raise_invalid_type(argument);
        bool character = integer::get(args[2].cell) == OFFSET_TO_CHAR;
        return answer(integer::push(offset_to_caret(text_of(&text), x, y, width_limit, character)));
    }
    case LINE_HEIGHT: return answer(float_::push(1.0));
    case TEXT_SIZE: {
        TextSize size = measure_text(text_of(&text), width_limit);
        return point_answer(size.width, size.lines);
    }
    case LINE_COUNT: return answer(integer::push(measure_text(text_of(&text), width_limit).lines));
    default: return nothing();
    }
}

// Marks the para facet changed in the face's change mask.
Arg update_para(const Arg* args) {
    const Cell* face = args[0].cell;
    if (!is_face(face) || !is_any_word(cell_type(facet(face, Facet::TYPE)))) return nothing();
    const Cell* face_state = facet(face, Facet::STATE);
    if (!is_any_block(cell_type(face_state))) return nothing();
    SeriesBuffer* buffer = series_buffer(face_state);
    uint32_t index = series_index(face_state);
    if (index + 1 >= buffer->length()) return nothing();
    Cell* mask = buffer->cells() + index + 1;
    if (cell_type(mask) == TYPE_INTEGER) integer::make_at(mask, integer::get(mask) | int32_t(PARA_CHANGED));
    return nothing();
}

// A parent handle whose widget is gone names nothing: the face is made
// without a parent.
Arg make_view(const Arg* args) {
    const Cell* face = args[0].cell;
    const Cell* parent = args[1].cell;
    require_face(face);
    WidgetId parent_id = 0;
    if (cell_type(parent) == TYPE_HANDLE && handle::kind(parent) == handle::Kind::window &&
        find_widget(WidgetId(handle::value(parent))))
        parent_id = WidgetId(handle::value(parent));
    WidgetId id = make_widget(face, parent_id);
    return answer(handle::push(int32_t(id), handle::Kind::window));
}

Arg update_view(const Arg* args) {
    const Cell* target = args[0].cell;
    if (is_any_block(cell_type(target))) {
        update_faces(target);
    } else if (cell_type(target) == TYPE_OBJECT) {
        if (is_face(target) && !is_word(facet(target, Facet::TYPE), Word::SCREEN)) update_widget(target);
    } else {
        raise_invalid_type(target);
    }
    return nothing();
}

Arg redraw(const Arg* args) {
    if (Widget* widget = is_face(args[0].cell) ? face_widget(args[0].cell) : nullptr) request_redraw(*widget);
    return nothing();
}

Arg refresh_window(const Arg* args) {
    if (Widget* window = handle_widget(args[0].cell)) request_redraw(*window);
    return nothing();
}

Arg show_window(const Arg* args) {
    Widget* window = handle_widget(args[0].cell);
    if (window && window->window) show(*window);
    return nothing();
}

// When a window goes, the last of those that remain is shown.
Arg destroy_view(const Arg* args) {
    Widget* widget = is_face(args[0].cell) ? face_widget(args[0].cell) : nullptr;
    if (!widget) return nothing();
    bool window = widget->window != nullptr;
    destroy_widget(args[0].cell);
    if (window && !backend().windows.empty()) show(*find_widget(backend().windows.back()));
    return nothing();
}

// ---------------------------------------------------------------- facet, font and image changes

// A new value of none is no new value.
Arg on_change_facet(const Arg* args) {
    const Cell* new_value = args[4].cell;
    update_facet({
        .owner = args[0].cell,
        .word = args[1].cell,
        .value = args[2].cell,
        .action = args[3].cell,
        .new_value = cell_type(new_value) == TYPE_NONE ? nullptr : new_value,
        .index = whole_or_zero(args[5].cell),
        .part = whole_or_zero(args[6].cell),
    });
    return nothing();
}

// The font's state (what the backend made of it) is dropped for the changes
// of its name, size, style and angle (flags 0-3) and of its anti-alias mode
// (5); a colour change leaves it.
Arg update_font(const Arg* args) {
    int32_t flags = whole_or_zero(args[1].cell);
    bool reset = (flags >= 0 && flags <= 3) || flags == 5;
    if (Cell* font_state = reset ? field(args[0].cell, Word::STATE) : nullptr) *font_state = blank_cell(TYPE_NONE);
    return nothing();
}

Arg detach_image(const Arg* args) {
    if (cell_type(args[0].cell) == TYPE_IMAGE) ownership::unbind(args[0].cell);
    return nothing();
}

}  // namespace vek::view::backends::terminal
