// Sorting blocks: the sort action of block! (paren! shares it) and the
// comparator it hands to the generic sorts of runtime/tables/sort.h.
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
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
// ordered as the compare action of the first cell's type orders it; values
// that cannot be compared order by their type ids.
int32_t sort_compare(const Cell* a, const Cell* b, int32_t code, uint32_t flags);

// Sorts range elements from the series' head (range a multiple of size) in
// records of size elements, under the flags word. args is what sort was
// asked: its part, skip and reverse are read already, as range, size and
// flags.
using RangeSorter = void (*)(const Cell* series, uint32_t range, uint32_t size, uint32_t flags,
                             const actions::SortArgs& args);

// The sort action over any series, its elements ordered by sort_range: reads
// and checks part, skip, the comparator and all as block!'s sort says
// (internal.h), tells the series' owner before and after, and answers the
// series, its head moved back by a negative part. An empty range sorts
// nothing and tells no one.
Cell* sort_series(Cell* series, const actions::SortArgs& args, RangeSorter sort_range);

}  // namespace vek::block
