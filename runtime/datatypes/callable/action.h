// action! (22, child of native!): an entry of the actions table wrapped as a
// value. The cell is laid out as a native!'s (native.h), word 1 holding the
// action's slot (1-6, 10-62) instead of a natives-table position.
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"

namespace vek::action {

inline uint32_t slot(const Cell* action) {
    VEK_CHECK_LAYOUT(action, type_in<TYPE_ACTION>);
    return action->data1;
}
inline actions::EntryFn entry(const Cell* action) { return actions::action_table[slot(action) - 1]; }

// Slots 1-6 and 10-62 have entries; 7, 8 and 9 (path access, the empty slot
// and compare) are reached by other means.
inline bool valid_slot(int64_t slot) { return (slot >= 1 && slot <= 6) || (slot >= 10 && slot <= 62); }

// Pushes a new action! on the evaluation stack: the spec block (from its
// head, not copied) and a valid slot (else script bad-make-arg).
Cell* push(const Cell* spec, uint32_t slot);

// Registers action!, after native!.
void init();

}  // namespace vek::action
