// block! (id 5): making blocks from other values, forming and molding them,
// comparing them, and the datatype's registration. The cell array layer is
// in array.h; paren! and the path kinds (paren.h, path.h) share the
// molding and comparison here.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block/array.h"

namespace vek::block {

// Slots 1 and 4 write the new value into the result cell, with the type
// asked for, and return it.
//
// make: a block, paren, hash or path spec gives a shallow copy of its cells
// from the head; an integer! or float! (truncated; out of 32 bits: script
// out-of-range) an empty block of that capacity, below 1 giving 1; anything
// else raises script bad-make-arg.
Cell* make(Cell* result, const Cell* spec, uint32_t type);
// to: block, paren, hash and path specs give a shallow copy, a typeset! the
// block of its datatype names, any other value a block holding that value.
Cell* to(Cell* result, const Cell* spec, uint32_t type);
// Shared with the path kinds: a new block holding a copy of the value (its
// new-line flag cleared), and the block pushed on the stack moved into the
// result cell; both retyped.
Cell* holding(Cell* result, const Cell* value, uint32_t type);
Cell* pop_into(Cell* result, const Cell* pushed, uint32_t type);

// Slot 5. The formed cells from the head, separated by one space unless the
// text so far ends in a tab or a line break; a block being formed already
// gives "...".
int32_t form(const Cell* value, const Cell* buffer, const Cell* part, int32_t limit);
// Slot 6. "[" and "]" around mold_each unless only; a block being molded
// already gives the cycle marker.
int32_t mold(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
             const Cell* part, int32_t limit, int32_t indent);
// Molds the cells from the head, laying out the new-line flags: a flagged
// cell starts a line indented by four spaces per level (the first cell of a
// bracketed run also opens a level, closed by a line of its own at the end);
// unflagged cells, and every cell with flat, follow after one space.
int32_t mold_each(const Cell* value, const Cell* buffer, bool only, bool all, bool flat,
                  const Cell* part, int32_t limit, int32_t indent);

// Slot 9. Values of different types are not comparable (-2), except a path!
// and a lit-path! under the equality codes 10 and 11.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op);
// Element-wise comparison; a shorter block orders first, an empty one first
// of all.
int32_t compare_each(const Cell* value1, const Cell* value2, int32_t op);

// Registers block!, after series!.
void init();

}  // namespace vek::block
