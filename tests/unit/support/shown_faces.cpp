#include "tests/unit/support/shown_faces.h"

#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "view/backends/terminal/faces.h"

namespace vek::test {

const char* const FACE_PROTOTYPE =
    "tui-face: make object! [type: 'base offset: 0x0 size: 0x0 text: none image: none color: none menu: none "
    "data: none enabled?: true visible?: true selected: none flags: none options: none parent: none pane: none "
    "state: none rate: none edge: none para: none font: none actors: none extra: none draw: none "
    "on-change*: func [word old new] [] on-deep-change*: func [owner word target action new index part] []]";

view::backends::terminal::WidgetId show_face(Cell face, view::backends::terminal::WidgetId parent) {
    using namespace view::backends::terminal;
    WidgetId id = make_widget(&face, parent);
    Cell state;
    block::make_at(&state, 4);
    Cell value;
    block::rs_append(&state, handle::make_at(&value, int32_t(id), handle::Kind::window));
    block::rs_append(&state, integer::make_at(&value, 0));
    block::rs_append(&state, none::box());
    block::rs_append(&state, logic::constant(false));
    *facet(&face, view::Facet::STATE) = state;
    return id;
}

}  // namespace vek::test
