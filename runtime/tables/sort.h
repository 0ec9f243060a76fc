// The two generic in-place sorts over an array of fixed-width items: a stable
// natural merge sort (Powersort merge policy) and an adaptive quicksort. The
// caller supplies the comparison; the sorts never look inside an item.
//
// An exception thrown by the comparison (a VekThrow or any other) passes
// through, and the array is left holding every one of its items exactly
// once, in some order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::sort {

// > 0 when a sorts after b. mode and extra are the caller's, passed through.
using Compare = int (*)(const void* a, const void* b, int mode, void* extra);

struct Context {
    uint32_t width;  // bytes per item, at least 1
    bool bytewise;   // the width is not a multiple of 4
    int mode;
    void* extra;
    Compare cmp;
};

Context make_context(uint32_t width, int mode, void* extra, Compare cmp);

// Stable. The merge buffer (count / 2 items) comes from malloc: use it for
// items that hold no cells. A buffer size beyond 32 bits raises script
// too-long; an allocation failure raises internal no-memory.
void merge_sort(void* base, uint32_t count, uint32_t width, int mode, void* extra, Compare cmp);

// merge_sort for value cells, count records of record_cells cells each: the
// merge buffer is a Vek series held on the evaluation stack for the whole
// sort, so the collector marks the cells it holds and does not move it while
// a comparison runs. The caller keeps the array itself alive and in place
// (holding base on the C++ stack does that). When the comparison raises, the
// buffer's cell stays on the evaluation stack for the unwinding to cut away.
void merge_sort_cells(Cell* base, uint32_t count, int mode, void* extra, Compare cmp, uint32_t record_cells = 1);

// Not stable; no scratch space.
void quick_sort(void* base, uint32_t count, uint32_t width, int mode, void* extra, Compare cmp);

// Exchanges two items, 4 bytes at a time unless bytewise.
void swap(void* a, void* b, uint32_t width, bool bytewise);

// The end of the natural run starting at start (start < end): ascending
// (cmp <= 0 between neighbours) or strictly descending, in which case it is
// reversed in place.
std::byte* find_run(std::byte* start, std::byte* end, const Context& ctx);

// Merges the adjacent sorted runs [left, middle) and [middle, end) stably,
// copying the shorter one into buffer, which must hold that many items.
void merge(std::byte* left, std::byte* middle, std::byte* end, std::byte* buffer, const Context& ctx);

}  // namespace vek::sort
