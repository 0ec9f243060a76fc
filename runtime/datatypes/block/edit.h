// Block editing: the editing actions that block! implements itself (append
// and insert, change, take, swap, trim and copy, declared for the family in
// internal.h) live in edit.cpp; here are what copy builds on and the common
// append that the action's entry tries first.
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
// The common append, one value other than a block at the tail of a block!
// with room left, done as a store and a tail bump; the series comes back at
// its head. Answers false, leaving everything as it was, where append would
// do more (tell an owner, keep a hash! index, grow).
bool append_in_place(Cell* series, const Cell* value);

void copy_values_of_types(Node node, uint32_t first, uint32_t end, uint32_t step, bool deep,
                          const Cell* types);

}  // namespace vek::block
