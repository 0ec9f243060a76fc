// The editing actions that block! implements itself, shared by paren!, hash!
// and the path kinds: append and insert (one routine), change, take, swap,
// trim and copy. The navigation and the other editing actions come from
// series! (datatypes/series/actions.h).
//
// Each action tells the series' owner, if it has one, before and after the
// change, and re-reads the series after the first notice, since the owner's
// handler may have edited it.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::block {

// Slots 25 and 35. The value's cells from its head are spliced in when it is
// a block-like value and only is not set; otherwise it is one cell. part is
// the number of those cells to take (negative: all of them), dup the number
// of copies (at least 1). Appending writes at the tail and leaves the series
// at its head; inserting writes at the head (clamped to the tail) and leaves
// the series just past the new cells. A size that overflows 32 bits raises
// internal no-memory.
void append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append);

// Slot 28. Writes dup copies of the value's cells (spliced as for insert) at
// the head, over as many cells as it writes, or over part cells when part is
// not negative; the series grows or shrinks by the difference and is left
// just past the new cells.
void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);

// Slot 50. series!'s take; with deep every taken series is replaced by its
// deep copy. Without part a single taken cell is answered itself rather than
// in a block. An empty series gives none.
Cell* take(Cell* series, const Cell* part, bool deep, bool last);

// Slot 47. Exchanges the cells at the two heads when both have one; the
// second must be block-like (else script invalid-arg). Leaves series1.
void swap(Cell* series1, Cell* series2);

// Slot 51. Removes every none! from the head on; the refinements mean nothing
// for blocks.
void trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, const Cell* with);

// Slot 30. Writes into result a new value of the source's type (head 0)
// holding the cells that part selects (series!'s /part rules). With deep
// every series in it is copied deeply; with types (a datatype! or
// typeset!) only the values of those types that are series, bitset!,
// object!, error! or map! are copied, deeply with deep. A deep copy of a
// block that contains itself raises internal no-cycle, nesting deeper than
// the cycle guard allows internal too-deep.
Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types);

// Replaces every step-th cell (step at least 1) of the node's buffer from
// index first up to end (exclusive) whose type types names (a datatype! or
// typeset!) and that is a series, bitset!, object!, error! or map! by its
// own copy, deep with deep (types passed down). The cells' new-line flags
// stay.
void copy_values_of_types(Node node, uint32_t first, uint32_t end, uint32_t step, bool deep,
                          const Cell* types);

}  // namespace vek::block
