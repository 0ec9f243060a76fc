// Sorting strings: the sort action of string!, which the string-like types
// and binary! reach by inheritance. It orders the code points, or records
// of skip code points, from the head in place.
#pragma once

#include "runtime/core/cell.h"

namespace vek::string {

// Sorts in place and answers the series.
//   case_sensitive: otherwise unit-1 text compares with A-Z folded to a-z,
//     wider text with both code points folded to upper case.
//   skip: records of that many code points; it must divide the range.
//   comparator: an integer! orders records by the code point at that
//     1-based offset (needs skip, excludes all); a function! is called with
//     two char! values (two one-record strings with all and skip), (b, a),
//     or (a, b) with reverse, and its answer orders them as for blocks.
//   part: a count, or a position in the same series; a negative count sorts
//     that many code points before the head, and the answer's head moves
//     back to the first of them.
//   all: records compare whole (needs skip).
//   reverse: descending. stable: equal records keep their order.
// Errors leave the text as it was: invalid-refine-arg for a bad part, skip
// or comparator, out-of-range for an offset outside the record, bad-refines
// for all without skip and an integer comparator with all or without skip.
Cell* sort(Cell* series, bool case_sensitive, const Cell* skip, const Cell* comparator, const Cell* part,
           bool all, bool reverse, bool stable);

}  // namespace vek::string
