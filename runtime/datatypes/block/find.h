// Searching blocks: the find, select and put actions of block!, which
// paren!, hash! and the path kinds share.
//
// How a cell matches the searched value: a datatype! matches the cells of
// that type and a typeset! the cells whose type it holds; a block!, paren!,
// hash! or path value is a sequence whose cells must match consecutive
// cells; any other value, and every value under only, matches a single cell
// that compares equal to it (search equality, strict with case_sensitive,
// identity with same, which wins over case_sensitive). any and wild change
// nothing on blocks.
//
// The refinement arguments (part, wild, skip) are nullptr when the
// refinement is absent. part is an integer! count from the head or a
// position in the same series (the cells before it); skip the distance in
// cells between the positions tried, the cell at the head and every skip-th
// one after it (before it when searching backwards).
#pragma once

#include "runtime/core/cell.h"

namespace vek::block {

// The series moved to the first match, or the none constant. Forwards from
// the head unless last (the last match from the head on) or reverse (the
// nearest match before the head; with part, backwards from the last cell of
// the part). match tests the head only; tail moves past the match: past a
// matched sequence, past the record when searching forwards, past the cell
// when searching backwards. A hash! answers single values from its index.
// A bad part or skip argument raises script invalid-refine-arg, a skip
// below 1 out-of-range.
Cell* find(Cell* series, const Cell* value, const Cell* part, bool only, bool case_sensitive,
           bool same, bool any, const Cell* wild, const Cell* skip, bool last, bool reverse,
           bool tail, bool match);

// The value that follows the match (past a matched sequence), written into
// the series cell; the none constant when nothing matches or the match ends
// the block.
Cell* select(Cell* series, const Cell* value, const Cell* part, bool only, bool case_sensitive,
             bool same, bool any, const Cell* wild, const Cell* skip, bool last, bool reverse);

// Sets the value that follows the key: the key is looked up as a single
// value from the head, and key and value are appended when it is absent. A
// cell that already holds this very value is left alone. Answers the value.
Cell* put(Cell* series, const Cell* key, Cell* value, bool case_sensitive);

}  // namespace vek::block
