#include "view/backends/terminal/kinds.h"

#include <algorithm>
#include <cmath>

#include "runtime/datatypes/string/buffer.h"
#include "view/backends/terminal/events.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/render.h"

namespace vek::view::backends::terminal {

namespace {

constexpr int32_t CTRL_B = 2;
constexpr int32_t CTRL_F = 6;
constexpr int32_t BACKSPACE = 8;
constexpr int32_t TAB = 9;
constexpr int32_t ENTER = 13;
constexpr int32_t SPACE = 32;
constexpr int32_t DEL = 127;

int32_t box_width(const Widget& widget) {
    float width = widget.x2 - widget.x1;
    return width > 0 ? int32_t(std::min(std::trunc(width), 1e6f)) : 0;
}

// ---------------------------------------------------------------- field

// The field's text; a string made in its place when it holds none.
Cell* field_text(Widget& widget) {
    if (cell_type(facet(&widget.face, Facet::TEXT)) != TYPE_STRING) {
        Cell made;
        string::rs_make_at(&made, 0);
        *facet(&widget.face, Facet::TEXT) = made;
    }
    return facet(&widget.face, Facet::TEXT);
}

int32_t text_width(TextView text, size_t count) {
    int32_t width = 0;
    for (size_t i = 0; i < count; ++i) width += cell_width(text[i]);
    return width;
}

// The caret's column and the text's width from the caret's index, which a
// script that set the text may have left past its end.
void sync_caret(FieldCaret& caret, TextView text) {
    caret.index = std::clamp(caret.index, 0, int32_t(text.size()));
    caret.column = text_width(text, size_t(caret.index));
    caret.width = text_width(text, text.size());
}

// The caret after the last character that fits in the field's width.
void caret_at_end(Widget& widget) {
    const Cell* text = facet(&widget.face, Facet::TEXT);
    widget.caret = {};
    if (!is_any_string(cell_type(text))) return;
    TextView view = text_of(text);
    int32_t limit = box_width(widget);
    FieldCaret& caret = widget.caret;
    for (size_t i = 0; i < view.size() && caret.column + cell_width(view[i]) <= limit; ++i) {
        caret.column += cell_width(view[i]);
        ++caret.index;
    }
    caret.width = text_width(view, view.size());
}

// The character under the column, or the end of the text.
void caret_to_column(Widget& widget, float x) {
    Cell* text = field_text(widget);
    TextView view = text_of(text);
    int32_t column = 0;
    size_t index = 0;
    for (; index < view.size(); ++index) {
        int32_t width = cell_width(view[index]);
        if (float(column + width) > x) break;
        column += width;
    }
    widget.caret.index = int32_t(index);
    sync_caret(widget.caret, view);
}

// Edits the text at the caret by the key; answers whether the text changed.
bool edit_field(Widget& widget, const InputEvent& event) {
    Cell* text = field_text(widget);
    FieldCaret& caret = widget.caret;
    sync_caret(caret, text_of(text));
    bool special = event.flags & KEY_SPECIAL;
    int32_t key = event.key;
    uint32_t head = series_index(text);
    if ((special && key == KEY_LEFT) || (!special && key == CTRL_B)) {
        caret.index = std::max(caret.index - 1, 0);
    } else if ((special && key == KEY_RIGHT) || (!special && key == CTRL_F)) {
        caret.index = std::min(caret.index + 1, int32_t(text_of(text).size()));
    } else if (!special && (key == BACKSPACE || key == DEL)) {
        if (caret.index == 0) return false;
        string::remove_char(text, head + uint32_t(caret.index) - 1);
        --caret.index;
        return true;
    } else if (!special && key >= SPACE && caret.width + cell_width(char32_t(key)) <= box_width(widget)) {
        string::insert_char(series_buffer(text), head + uint32_t(caret.index), uint32_t(key));
        ++caret.index;
        return true;
    }
    return false;
}

// Tab, Enter and no key at all are the view's (its event functions move the
// focus and answer Enter); every other key redraws, and one that altered
// the text sends change.
void field_key(Widget& widget, const InputEvent& event) {
    bool special = event.flags & KEY_SPECIAL;
    if (!special && (event.key == TAB || event.key == ENTER || event.key == 0)) return;
    bool changed = edit_field(widget, event);
    sync_caret(widget.caret, text_of(field_text(widget)));
    request_redraw(widget);
    if (changed) send_widget_event(id_of(widget), InputEvent{.type = EVENT_CHANGE});
}

void field_event(Widget& widget, const InputEvent& event) {
    if (event.type == EVENT_KEY) field_key(widget, event);
    else if (event.type == EVENT_CLICK) caret_to_column(widget, event.x);
}

// One row high; the caret stands where the field's caret is while it has
// the focus.
void render_field(Widget& widget, int32_t x, int32_t y, CellBox clip) {
    clip.y2 = std::min(clip.y2, y + 1);
    uint32_t flags = RENDER_INTERPRET | ((widget.flags & WIDGET_PASSWORD) ? uint32_t(RENDER_MASKED) : 0u);
    WidgetId id = id_of(widget);
    render_face(widget, x, y, clip, flags);
    Widget* shown = find_widget(id);
    if (!shown || !(shown->flags & WIDGET_FOCUSED)) return;
    backend().screen.caret_column = x + shown->caret.column;
    backend().screen.caret_row = y;
}

void construct_field(Widget& widget) {
    widget.flags |= WIDGET_CARET;
    widget.render = render_field;
    widget.on_event = field_event;
    caret_at_end(widget);
}

// ---------------------------------------------------------------- button

void button_event(Widget& widget, const InputEvent& event) {
    if (event.type == EVENT_KEY && !(event.flags & KEY_SPECIAL) && event.key == SPACE)
        send_widget_event(id_of(widget), InputEvent{.type = EVENT_CLICK});
}

void render_button(Widget& widget, int32_t x, int32_t y, CellBox clip) {
    uint32_t reverse = (widget.flags & WIDGET_FOCUSED) ? uint32_t(RENDER_REVERSE) : 0u;
    render_face(widget, x, y, clip, RENDER_INTERPRET | reverse);
}

void construct_button(Widget& widget) {
    widget.render = render_button;
    widget.on_event = button_event;
}

}  // namespace

void construct_kind(Widget& widget) {
    const Cell* type = facet(&widget.face, Facet::TYPE);
    if (is_word(type, Word::FIELD)) construct_field(widget);
    else if (is_word(type, Word::BUTTON)) construct_button(widget);
}

}  // namespace vek::view::backends::terminal
