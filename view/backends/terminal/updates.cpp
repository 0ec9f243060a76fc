#include "view/backends/terminal/updates.h"

#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/render.h"
#include "view/backends/terminal/routing.h"
#include "view/backends/terminal/timers.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

namespace {

// The change mask cell of the face's state block; nullptr when it has none.
Cell* change_mask(const Cell* face) {
    const Cell* face_state = facet(face, Facet::STATE);
    if (!is_any_block(cell_type(face_state))) return nullptr;
    SeriesBuffer* buffer = series_buffer(face_state);
    uint32_t index = series_index(face_state);
    if (index + 1 >= buffer->length()) return nullptr;
    Cell* mask = buffer->cells() + index + 1;
    return cell_type(mask) == TYPE_INTEGER ? mask : nullptr;
}

bool facet_true(const Cell* face, Facet which) {
    const Cell* value = facet(face, which);
    return cell_type(value) == TYPE_LOGIC && logic::get(value);
}

void set_flag(Widget& widget, uint32_t flag, bool on) {
    widget.flags = on ? widget.flags | flag : widget.flags & ~flag;
}

// A pair! or point2D! facet as two floats; false for another value.
bool planar(const Cell* value, float& x, float& y) {
    if (cell_type(value) == TYPE_PAIR) {
        x = float(pair::x(value));
        y = float(pair::y(value));
        return true;
    }
    if (cell_type(value) != TYPE_POINT2D) return false;
    x = point2d::x(value);
    y = point2d::y(value);
    return true;
}


void move_box(Widget& widget) {
    float x, y;
    if (!planar(facet(&widget.face, Facet::OFFSET), x, y)) return;
    widget.x2 += x - widget.x1;
    widget.y2 += y - widget.y1;
    widget.x1 = x;
    widget.y1 = y;
}

// A window's extent becomes its own box.
void resize_box(Widget& widget) {
    float width, height;
    if (!planar(facet(&widget.face, Facet::SIZE), width, height)) return;
    widget.x2 = widget.x1 + width;
    widget.y2 = widget.y1 + height;
    if (!widget.window) return;
    WindowRecord& record = *widget.window;
    record.x1 = record.y1 = 0;
    record.x2 = width;
    record.y2 = height;
}

// A window's selected face takes the focus; none leaves it with nobody.
void focus_selected(Widget& window) {
    Cell selected = *facet(&window.face, Facet::SELECTED);
    if (Widget* chosen = is_face(&selected) ? face_widget(&selected) : nullptr) {
        set_focus(id_of(*chosen));
    } else if (cell_type(&selected) == TYPE_NONE) {
        if (Widget* old = find_widget(window.window->focused)) old->flags &= ~WIDGET_FOCUSED;
        window.window->focused = 0;
    }
}

void take_flags(Widget& widget) {
    uint32_t bits = face_flags(facet(&widget.face, Facet::FLAGS));
    set_flag(widget, WIDGET_ALL_OVER, bits & FACE_ALL_OVER);
    set_flag(widget, WIDGET_PASSWORD, bits & FACE_PASSWORD);
}

// The image's cells made again, or none when the face has no image any more.
void take_image(Widget& widget) {
    Cell image = *facet(&widget.face, Facet::IMAGE);
    if (cell_type(&image) == TYPE_IMAGE) {
        prerender_image(widget, &image);
        return;
    }
    widget.image_cells.clear();
    widget.image_width = 0;
}

// system/view/auto-sync?; nullptr before the view exists.
Cell* auto_sync_cell() {
    const Cell* system = context::get_global_cell(symbol_of(Word::SYSTEM));
    const Cell* view = system ? field(system, Word::VIEW) : nullptr;
    return view ? field(view, Word::AUTO_SYNC_Q) : nullptr;
}

// Holds system/view/auto-sync? false while a kind's update handler runs: the
// facets the handler sets wait in the face's change mask instead of updating
// the widget again from inside its own update. The switch is put back
// however the handler ends.
class AutoSyncHeld {
public:
    AutoSyncHeld() {
        Cell* flag = auto_sync_cell();
        if (!flag || cell_type(flag) != TYPE_LOGIC) return;
        held_ = true;
        saved_ = logic::get(flag);
        *flag = *logic::constant(false);
    }
    ~AutoSyncHeld() {
        Cell* flag = held_ ? auto_sync_cell() : nullptr;
        if (flag) *flag = *logic::constant(saved_);
    }
    AutoSyncHeld(const AutoSyncHeld&) = delete;
    AutoSyncHeld& operator=(const AutoSyncHeld&) = delete;

private:
    bool held_ = false;
    bool saved_ = false;
};

void run_update_handler(Widget& widget) {
    if (!widget.on_update) return;
    AutoSyncHeld held;
    widget.on_update(widget);
}

// A data change of a drop-down or drop-list that names no part leaves the
// list as it is.
bool list_left_alone(const Widget& widget, const FacetChange& change) {
    const Cell* type = facet(&widget.face, Facet::TYPE);
    return is_word(change.word, Word::DATA) && (is_word(type, Word::DROP_DOWN) || is_word(type, Word::DROP_LIST)) &&
           change.part == 0;
}

}  // namespace

void update_widget(const Cell* face) {
    Widget* widget = face_widget(face);
    Cell* mask_cell = change_mask(face);
    if (!widget || !mask_cell) return;
    uint32_t mask = uint32_t(integer::get(mask_cell));
    WidgetId id = id_of(*widget);
    if (mask & mask_bit(Facet::RATE)) set_timer_from_rate(id, facet(face, Facet::RATE));
    if (mask & mask_bit(Facet::OFFSET)) move_box(*widget);
    if (mask & mask_bit(Facet::SIZE)) resize_box(*widget);
    if ((mask & mask_bit(Facet::SELECTED)) && widget->window) focus_selected(*widget);
    widget = find_widget(id);
    if (!widget) return;
    if (mask & mask_bit(Facet::ENABLED_Q)) set_flag(*widget, WIDGET_DISABLED, !facet_true(face, Facet::ENABLED_Q));
    if (mask & mask_bit(Facet::VISIBLE_Q)) set_flag(*widget, WIDGET_HIDDEN, !facet_true(face, Facet::VISIBLE_Q));
    if (mask & mask_bit(Facet::FLAGS)) take_flags(*widget);
    if (mask & mask_bit(Facet::IMAGE)) take_image(*widget);
    if ((widget = find_widget(id))) run_update_handler(*widget);
    if ((widget = find_widget(id))) request_redraw(*widget);
    if ((mask_cell = change_mask(face))) integer::make_at(mask_cell, 0);
}

void update_facet(const FacetChange& change) {
    Widget* widget = is_face(change.owner) ? face_widget(change.owner) : nullptr;
    if (!widget || list_left_alone(*widget, change)) return;
    update_widget(change.owner);
}

}  // namespace vek::view::backends::terminal
