#include "runtime/datatypes/block_sort.h"

#include <algorithm>
#include <utility>

#include "runtime/datatypes/block_array.h"
#include "runtime/datatypes/series_actions.h"
#include "runtime/fixed_words.h"
#include "runtime/interpreter/actions.h"
#include "runtime/raise.h"
#include "runtime/sort.h"
#include "runtime/stack.h"

namespace vek::block {

namespace {

[[noreturn]] void bad_refine_arg(fixed_words::Ref refinement, const Cell* value) {
    fire(Category::script, err::invalid_refine_arg, fixed_words::refinement(refinement), value);
}

int32_t compare_cells(const Cell* a, const Cell* b, int32_t code) {
    Cell x = *a;
    Cell y = *b;
    int32_t result = actions::compare_values(&x, &y, code);
    return result == -2 ? int32_t(cell_type(&x)) - int32_t(cell_type(&y)) : result;
}

int compare_records(const void* a, const void* b, int code, void* flags) {
    return sort_compare(static_cast<const Cell*>(a), static_cast<const Cell*>(b), code,
                        *static_cast<uint32_t*>(flags));
}

// The cells to sort: from the head, or before it for a negative part, which
// moves the series' head back to the first of them.
uint32_t range_of(Cell* series, const Cell* part) {
    uint32_t length = length_from_head(series);
    if (part == nullptr) return length;
    int64_t count;
    if (cell_type(part) == TYPE_INTEGER) {
        count = int32_t(part->data2);
    } else if (cell_type(part) == cell_type(series) && part->data2 == series->data2) {
        count = int64_t(part->data1) - int64_t(series->data1);
    } else {
        bad_refine_arg(fixed_words::Ref::part, part);
    }
    if (count >= 0) return uint32_t(std::min<int64_t>(count, length));
    uint32_t head = std::min(series->data1, series_buffer(series)->length());
    auto before = uint32_t(std::min<int64_t>(-count, head));
    series->data1 = head - before;
    return before;
}

uint32_t record_size(const Cell* skip, uint32_t range) {
    if (skip == nullptr) return 1;
    int32_t size = int32_t(skip->data2);
    if (cell_type(skip) != TYPE_INTEGER || size < 1 || uint32_t(size) > range || range % uint32_t(size) != 0)
        bad_refine_arg(fixed_words::Ref::skip, skip);
    return uint32_t(size);
}

// The part of the flags word that the comparator argument and /all decide.
uint32_t record_flags(const Cell* comparator, const Cell* skip, uint32_t size, bool all) {
    if (comparator == nullptr) return all ? SORT_ALL | size << SORT_SHIFT : 0;
    switch (cell_type(comparator)) {
    case TYPE_FUNCTION: fire(Category::internal, err::not_done);
    case TYPE_INTEGER: {
        if (skip == nullptr || all) fire(Category::script, err::bad_refines);
        int32_t offset = int32_t(comparator->data2);
        if (offset < 1 || uint32_t(offset) > size) fire(Category::script, err::out_of_range, comparator);
        return uint32_t(offset - 1) << SORT_SHIFT;
    }
    default: bad_refine_arg(fixed_words::Ref::compare, comparator);
    }
}

// Records wider than a cell are merged through a malloc buffer, which the
// collector does not see: a copy of the range on the evaluation stack keeps
// alive what the cells refer to while they are in it.
void stable_sort_records(const Cell* series, uint32_t range, uint32_t size, int32_t code, uint32_t* flags) {
    Node copy = series::copy_part(series_node(series), series->data1, range);
    *stack::push_cell() = Cell{TYPE_BLOCK, 0, uint32_t(copy), 0};
    Cell* base = series_buffer(series)->cells() + series->data1;
    sort::merge_sort(base, range / size, size * uint32_t(sizeof(Cell)), code, flags, compare_records);
    stack::pop(1);
}

// The base pointer held in these frames keeps the block's buffer in place
// while the comparisons run.
void sort_range(const Cell* series, uint32_t range, uint32_t size, int32_t code, uint32_t flags, bool stable) {
    if (range / size < 2) return;
    Cell* base = series_buffer(series)->cells() + series->data1;
    if (!stable)
        sort::quick_sort(base, range / size, size * uint32_t(sizeof(Cell)), code, &flags, compare_records);
    else if (size == 1)
        sort::merge_sort_cells(base, range, code, &flags, compare_records);
    else
        stable_sort_records(series, range, size, code, &flags);
}

}  // namespace

int32_t sort_compare(const Cell* a, const Cell* b, int32_t code, uint32_t flags) {
    if (flags & SORT_REVERSE) std::swap(a, b);
    uint32_t n = flags >> SORT_SHIFT;
    if (!(flags & SORT_ALL)) return compare_cells(a + n, b + n, code);
    for (uint32_t i = 0; i < n; i++) {
        int32_t result = compare_cells(a + i, b + i, code);
        if (result != 0) return result;
    }
    return 0;
}

Cell* sort(Cell* series, bool case_sensitive, const Cell* skip, const Cell* comparator, const Cell* part,
           bool all, bool reverse, bool stable) {
    Cell position = *series;  // a negative part moves only the answer's head
    uint32_t range = range_of(&position, part);
    if (range == 0) return series;
    uint32_t size = record_size(skip, range);
    if (all && skip == nullptr) fire(Category::script, err::bad_refines);
    uint32_t flags = record_flags(comparator, skip, size, all) | (reverse ? SORT_REVERSE : 0);
    int32_t code = case_sensitive ? actions::COMP_CASE_SORT : actions::COMP_SORT;

    using series::Edit;
    auto head = int32_t(position.data1);
    if (series::notify_before(&position, Edit::sort, nullptr, head, int32_t(range))) {
        // The owner's handler may have changed the block.
        position.data1 = std::min(position.data1, series_buffer(&position)->length());
        range = std::min(range, length_from_head(&position));
        range -= range % size;
        sort_range(&position, range, size, code, flags, stable);
        series::notify_after(&position, Edit::sort, nullptr, head, int32_t(range));
    } else {
        sort_range(&position, range, size, code, flags, stable);
    }
    return copy_cell(&position, series);
}

}  // namespace vek::block
