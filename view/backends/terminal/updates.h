// Bringing a shown face's widget in line with the facets that changed
// since the last update. The face's change handlers set one bit per facet
// in the change mask of its state block (state/2); an update applies the
// bits the backend acts on, in a fixed order (the rate first, so that a bad
// rate raises before anything else moved), runs the kind's update handler
// with system/view/auto-sync? held false, then asks for a frame and clears
// the mask. A change made in place to a series a facet holds reaches the
// backend as a facet change, which updates the face unless the kind keeps
// the change to itself.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::view::backends::terminal {

// Applies the face's change mask to its widget; nothing for a face without
// a widget. A bad rate raises script invalid-facet-type.
void update_widget(const Cell* face);

// A change made to a facet of a shown face (on-change-facet): the facet's
// word, its value, the action's word, the new value (nullptr when none was
// given), and the index and part of the series that changed.
struct FacetChange {
    const Cell* owner;
    const Cell* word;
    const Cell* value;
    const Cell* action;
    const Cell* new_value;
    int32_t index;
    int32_t part;
};
// Updates the owner's widget for the change; nothing for a face without a
// widget, and for a data change of a drop-down or drop-list with part 0.
void update_facet(const FacetChange& change);

}  // namespace vek::view::backends::terminal
