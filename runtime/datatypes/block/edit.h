// Block editing: the editing actions that block! implements itself (append
// and insert, change, take, swap, trim and copy, declared for the family in
// internal.h) live in edit.cpp; here is what copy builds on.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::block {

// Replaces every step-th cell (step at least 1) of the node's buffer from
// index first up to end (exclusive) whose type types names (a datatype! or
// typeset!) and that is a series, bitset!, object!, error! or map! by its
// own copy, deep with deep (types passed down). The cells' new-line flags
// stay.
void copy_values_of_types(Node node, uint32_t first, uint32_t end, uint32_t step, bool deep,
                          const Cell* types);

}  // namespace vek::block
