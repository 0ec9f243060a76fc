// What the block! family's files share inside the family: the block! action
// implementations that live in edit.cpp, find.cpp, sort.cpp and
// path_access.cpp, for block.cpp to register and for the family's own code
// to call. Only runtime/datatypes/block/ includes this header; code elsewhere
// reaches these actions through the typed dispatchers
// (runtime/actions/dispatch.h). paren!, hash! and the path kinds take them
// from block!.
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"

namespace vek::block {

// ---------------------------------------------------------------- editing (edit.cpp)
//
// Each editing action tells the series' owner, if it has one, before and
// after the change, and re-reads the series after the first notice, since
// the owner's handler may have edited it. The navigation and the other
// editing actions come from series! (datatypes/series/actions.h).

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
void trim(Cell* series, const actions::TrimArgs& args);

// Slot 30. Writes into result a new value of the source's type (head 0)
// holding the cells that part selects (series!'s /part rules). With deep
// every series in it is copied deeply; with types (a datatype! or
// typeset!) only the values of those types that are series, bitset!,
// object!, error! or map! are copied, deeply with deep. A deep copy of a
// block that contains itself raises internal no-cycle, nesting deeper than
// the cycle guard allows internal too-deep.
Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types);

// ---------------------------------------------------------------- searching (find.cpp)
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

// The series moved to the first match, or the none constant. Forwards from
// the head unless last (the last match from the head on) or reverse (the
// nearest match before the head; with part, backwards from the last cell of
// the part). match tests the head only; tail moves past the match: past a
// matched sequence, past the record when searching forwards, past the cell
// when searching backwards. A hash! answers single values from its index.
// A bad part or skip argument raises script invalid-refine-arg, a skip
// below 1 out-of-range.
Cell* find(Cell* series, const Cell* value, const actions::FindArgs& args);

// The value that follows the match (past a matched sequence), written into
// the series cell; the none constant when nothing matches or the match ends
// the block.
Cell* select(Cell* series, const Cell* value, const actions::SelectArgs& args);

// Sets the value that follows the key: the key is looked up as a single
// value from the head, and key and value are appended when it is absent. A
// cell that already holds this very value is left alone. Answers the value.
Cell* put(Cell* series, const Cell* key, Cell* value, bool case_sensitive);

// ---------------------------------------------------------------- sorting (sort.cpp)

// Sorts the cells from the head in place and answers the series.
//   part: a count of cells, or a position in the same series; a negative
//     count sorts that many cells before the head instead (as many as
//     there are), and the series' head moves back to the first of them.
//   skip: sorts records of that many cells, which must divide the range.
//   comparator: an integer! orders records by that cell (1-based; needs
//     skip and excludes all); a function! is called with each pair of
//     records' first cells, (b, a), or (a, b) with reverse, and its answer
//     decides (true, a negative number, or any value but none! and false
//     sorts a after b). The range is sorted in a copy and written back; a
//     comparator that changed the block's buffer or length raises script
//     past-end instead.
//   all: records compare cell by cell (needs skip).
//   stable: equal elements keep their order.
// Errors leave the block as it was: invalid-refine-arg for a bad part,
// skip or comparator, out-of-range for a comparator offset outside the
// record, bad-refines for all without skip and for an integer comparator
// with all or without skip.
Cell* sort(Cell* series, const actions::SortArgs& args);

// ---------------------------------------------------------------- path access (path_access.cpp)

// Slot 7 (blk/2, blk/key, blk/2: value, blk/key: value). Reads when value is
// nullptr, else sets and answers value.
//
// An integer! element picks the element at that position (none when out of
// range) or pokes it (script out-of-range when out of range). Reading with a
// word! selects the value after that word (any spelling unless
// case_sensitive; a hash! searches its index instead); with any other
// element, the value after the first cell equal to it. Setting with a
// non-integer element finds the element (a block element as a sequence of
// cells) and pokes the cell after it: script bad-path-set with the path and
// the element when it is missing, out-of-range when it is the last cell.
// The answer of a read may lie in the block's buffer: copy it before the
// next call that may allocate.
//
// Sets go through the series poke, which tells the block's owner when it
// has one; a series held inside an owner carries the owner's record itself,
// so notify, which says that the parent lies inside an owner, adds nothing
// here. grandparent, previous, index, get and last mean nothing to blocks.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args);

}  // namespace vek::block
