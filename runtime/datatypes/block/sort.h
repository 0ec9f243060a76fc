// Sorting blocks: the sort action of block! (paren! shares it) and the
// comparator it hands to the generic sorts of runtime/tables/sort.h.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::block {

// The flags word of a comparator: the operands swapped (/reverse), whole
// records compared (/all), and above them a number n: with SORT_ALL the
// record size in cells, otherwise the offset of the compared cell inside
// each record.
constexpr uint32_t SORT_REVERSE = 1;
constexpr uint32_t SORT_ALL = 2;
constexpr uint32_t SORT_SHIFT = 2;

// The default comparator over two records under the sort code (7, or 8 for
// case-sensitive): the first unequal pair of cells decides, each pair
// through the compare action of the first cell's type; values that cannot
// be compared order by their type ids.
int32_t sort_compare(const Cell* a, const Cell* b, int32_t code, uint32_t flags);

// What sort was asked beside the range and the record size, handed to the
// sorter of the series' own elements.
struct SortArgs {
    bool case_sensitive;
    const Cell* comparator;  // nullptr without /compare
    bool all;
    bool stable;
};

// Sorts range elements from the series' head (range a multiple of size) in
// records of size elements, under the flags word.
using RangeSorter = void (*)(const Cell* series, uint32_t range, uint32_t size, uint32_t flags,
                             const SortArgs& args);

// The sort action over any series, its elements ordered by sort_range: reads
// and checks part, skip, the comparator and all as sort below says, tells
// the series' owner before and after, and answers the series, its head moved
// back by a negative part. An empty range sorts nothing and tells no one.
Cell* sort_series(Cell* series, const Cell* skip, const Cell* part, bool reverse, const SortArgs& args,
                  RangeSorter sort_range);

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
Cell* sort(Cell* series, bool case_sensitive, const Cell* skip, const Cell* comparator, const Cell* part,
           bool all, bool reverse, bool stable);

}  // namespace vek::block
