#include "view/backends/terminal/helpers.h"

#include "runtime/core/sockets.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

namespace {

using routine::Arg;

Arg answer(Cell* cell) { return {.cell = cell}; }

Widget* widget_of(const Cell* value) { return is_face(value) ? face_widget(value) : nullptr; }

// Character cells hold no pixels: a face gives none.
bool face_to_image(const Cell* value, Cell* out) {
    if (!is_face(value)) return false;
    *out = blank_cell(TYPE_NONE);
    return true;
}

}  // namespace

Arg gui_init(const Arg* args) {
    bool indexed = cell_type(args[0].cell) == TYPE_INTEGER && integer::get(args[0].cell) == int32_t(ColourMode::indexed);
    reset_backend();
    backend().colour_mode = indexed ? ColourMode::indexed : ColourMode::rgb;
    return answer(none::push());
}

Arg focused_q(const Arg* args) {
    Widget* widget = widget_of(args[0].cell);
    return answer(logic::push(widget && (widget->flags & WIDGET_FOCUSED)));
}

Arg widget_data(const Arg* args) {
    Widget* widget = widget_of(args[0].cell);
    return answer(integer::push(widget ? widget->first_row : 0));
}

Arg set_face_ui(const Arg* args) {
    if (Widget* widget = widget_of(args[0].cell)) widget->ui_text = *args[1].cell;
    return answer(none::push());
}

void init_face_to_image() { sockets::face_to_image = face_to_image; }

}  // namespace vek::view::backends::terminal
