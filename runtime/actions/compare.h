// The comparison of runtime/actions/dispatch.h (actions::compare and
// actions::compare_values) as the runtime's own hash tables use it.
#pragma once

#include "runtime/core/cell.h"

namespace vek::actions {

// Whether two keys match under the tables' op (COMP_EQUAL,
// COMP_STRICT_EQUAL or COMP_SAME), through the first key's compare action. A
// datatype without a compare action of its own yet gets the tables' built-in
// comparison (hash_table::default_compare).
bool compare_for_tables(const Cell* a, const Cell* b, int op);

}  // namespace vek::actions
