// Faces for the terminal backend's tests and benchmark, without the view's
// library: objects with every facet of face! in its order, made from the
// prototype below in Vek code, and shown as show shows them.
#pragma once

#include "runtime/core/cell.h"
#include "view/backends/terminal/widgets.h"

namespace vek::test {

// Vek code that sets the word tui-face to an object with the facets of
// face!; faces are made from it (make tui-face [...]).
extern const char* const FACE_PROTOTYPE;

// Makes the face's widget under the parent's (0 for none) and keeps its
// handle in the face's state block, as show does.
view::backends::terminal::WidgetId show_face(Cell face, view::backends::terminal::WidgetId parent);

}  // namespace vek::test
