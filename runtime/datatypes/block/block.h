// block! (id 5): making blocks from other values, forming and molding them,
// comparing them, and the datatype's registration. The cell array layer is
// in array.h; paren! and the path kinds (paren.h, path.h) share the
// molding and comparison here.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/text/sink.h"

namespace vek::block {

// block!'s to, which the path kinds fall back on; written into the result
// cell, with the type asked for, and returned.
// to: block, paren, hash and path specs give a shallow copy, a typeset! the
// block of its datatype names, an object! or map! its body (set-words and
// values), any other value a block holding that value.
Cell* convert(Cell* result, const Cell* spec, uint32_t type);
// Shared with the path kinds: a new block holding a copy of the value (its
// new-line flag cleared), and the block pushed on the stack moved into the
// result cell; both retyped.
Cell* holding(Cell* result, const Cell* value, uint32_t type);
Cell* pop_into(Cell* result, const Cell* pushed, uint32_t type);

// Molds the cells from the head, laying out the new-line flags: a flagged
// cell starts a line indented by four spaces per level from the sink's level
// (the first cell of a bracketed run also opens a level, closed by a line of
// its own at the end); unflagged cells, and every cell with flat, follow
// after one space.
void mold_each(const Cell* value, text::Sink& out, bool only);

// Element-wise comparison; a shorter block orders first, an empty one first
// of all.
int32_t compare_each(const Cell* value1, const Cell* value2, int32_t op);

// Registers block!, after series!.
void init();

}  // namespace vek::block
