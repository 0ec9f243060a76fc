// Object change events: an object that defines on-change* hears of every
// field assigned, and one that defines on-deep-change* of every change made
// in place to a series held in one of its fields.
#pragma once

#include "runtime/core/cell.h"

namespace vek::object {

// Computes the object's event record from its handler fields, registers the
// object as owner of its series values when it has an on-deep-change*
// handler, and stores the object cell as its context's owner.
void init_events(Cell* object);

// Calls the object's on-change* with the word, the old and the new value,
// when it has one.
void fire_on_change(const Cell* object, const Cell* word, const Cell* old_value, const Cell* new_value);

}  // namespace vek::object
