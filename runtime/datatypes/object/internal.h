// What the object! files share among themselves: the action implementations
// that object.cpp registers, each defined in the file of its concern
// (making and copying in make.cpp, fields by path and key in access.cpp,
// reflection in reflect.cpp).
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"

namespace vek::object {

// copy: copy_into with the deep flag and the types; /part raises script
// invalid-refine-arg.
Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types);

// select: the value of the field the key (a word kind, else script
// invalid-type) names, or none!.
Cell* select(Cell* object, const Cell* key, const actions::SelectArgs& args);
// put: sets the field the key (a word!, else script invalid-key-type) names
// as a set-path would, change handler included; answers the value.
Cell* put(Cell* object, const Cell* key, Cell* value, bool case_sensitive);

// reflect: words, values, body, class, changed, owner, events?; any other
// field raises internal not-done.
void reflect(Cell* object, uint32_t field);
// modify: changed (with none! only, clears the assigned marks), owner (the
// object owns its series values), owned (none! drops the object's owner, a
// block [owner-object field-word] records one). Answers the value.
Cell* modify(Cell* object, const Cell* field, const Cell* value, bool case_sensitive);

}  // namespace vek::object
