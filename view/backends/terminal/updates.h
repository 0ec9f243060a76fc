// Bringing a shown face's widget in line with the facets that changed
// since the last update. The face's change handlers set one bit per facet
// in the change mask of its state block (state/2); an update applies the
// bits the backend acts on, in a fixed order (the rate first, so that a bad
// rate raises before anything else moved), then asks for a frame and
// clears the mask.
#pragma once

#include "runtime/core/cell.h"

namespace vek::view::backends::terminal {

// Applies the face's change mask to its widget; nothing for a face without
// a widget. A bad rate raises script invalid-facet-type.
void update_widget(const Cell* face);

}  // namespace vek::view::backends::terminal
