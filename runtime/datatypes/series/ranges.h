// Reading the /part and /skip arguments that the series actions of blocks
// and strings share, and the positions a search derives from them. Lengths
// and positions count elements: cells, code points or bytes alike.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/fixed_words.h"

namespace vek::series {

// Raises script invalid-refine-arg with the refinement and its argument.
[[noreturn]] void bad_refine_arg(fixed_words::Ref refinement, const Cell* value);

// Whether other is a position in the same series: the same datatype over
// the same buffer.
bool same_series(const Cell* series, const Cell* other);

// The elements from the head that a /part argument covers: an integer!
// count, or the distance to a position in the same series. May be 0 or
// negative; any other argument raises invalid-refine-arg.
int64_t part_count(const Cell* series, const Cell* part);

// The distance between the positions a search tries: 1 without /skip. An
// argument that is not an integer! raises invalid-refine-arg, one below 1
// out-of-range.
uint32_t search_step(const Cell* skip);

// A backward search tries the positions a forward search from the head
// would try, so records stay aligned with the head: it starts at the last
// such position from which a match of need elements still ends at or before
// end.
int64_t backward_start(int64_t head, int64_t end, uint32_t need, uint32_t step);

// The record size of the set operations: 1 without /skip; anything but an
// integer! of at least 1 raises invalid-refine-arg.
uint32_t set_record_size(const Cell* skip);

// The head index, pulled back to the tail (and rewritten in the cell) when
// it lies beyond it.
uint32_t clamped_head(Cell* series);

// Whether both series have an element at their heads (what swap exchanges),
// each head first pulled back to its tail.
bool both_have_heads(Cell* series1, Cell* series2);

}  // namespace vek::series
